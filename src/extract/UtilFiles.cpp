#include "UtilFiles.h"

#include "platform/ErrorLog.h"
#include "platform/FSFolder.h"

namespace {

// Length in UTF-8 of the character that starts at `i`, and how many UTF-16
// units it spans. A lone surrogate is written as U+FFFD, three bytes.
struct CharSpan {
    int bytes;
    int units;
};

CharSpan charAt(const QString &s, qsizetype i)
{
    const char16_t c = s.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < s.size() && QChar::isLowSurrogate(s.at(i + 1).unicode()))
        return {4, 2};
    if (c < 0x80)
        return {1, 1};
    if (c < 0x800)
        return {2, 1};
    return {3, 1};
}

// `name` with `suffix` inserted before its extension, cut to `maxBytes`:
// the part before the extension gives way first, as long as some of it
// remains; otherwise the suffix goes at the end of the cut name.
QString insertBeforeExtension(const QString &name, const QString &suffix, int maxBytes)
{
    const int suffixBytes = UtilFileNameBytes(suffix);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString extension = name.mid(dot);
        const int room = maxBytes - suffixBytes - UtilFileNameBytes(extension);
        const QString stem = room > 0 ? UtilFileCutName(name.left(dot), room) : QString();
        if (!stem.isEmpty())
            return stem + suffix + extension;
    }
    return UtilFileCutName(name, maxBytes - suffixBytes) + suffix;
}

// One candidate of a search: counter 0 is the bare name (a file's cut
// keeping its extension, a folder's followed by " Folder"); any other counter
// goes before a file's extension, or after a folder's " Folder".
QString candidateName(const QString &base, bool folder, UInt32 counter)
{
    if (folder) {
        const QString suffix = counter == 0 ? QStringLiteral(" Folder")
                                            : QStringLiteral(" Folder %1").arg(counter);
        return UtilFileCutName(base, kUtilFileMaxNameBytes - UtilFileNameBytes(suffix)) + suffix;
    }
    if (counter == 0)
        return UtilFileCutNameKeepingExtension(base, kUtilFileMaxNameBytes);
    return insertBeforeExtension(base, QStringLiteral(" %1").arg(counter), kUtilFileMaxNameBytes);
}

// The search that files and folders share: candidates from `firstCounter` up,
// one existence test each, the first free one wins. A taken name may be a
// file, a folder or a link of any kind.
QString findUniqueName(const FSFolder &parentDir, const QString &base, bool folder,
                       UInt32 firstCounter, UInt32 *outCounter)
{
    for (UInt32 counter = firstCounter; counter != kUtilFileCounterEnd; ++counter) {
        const QString name = candidateName(base, folder, counter);
        if (!parentDir.contains(name)) {
            if (outCounter)
                *outCounter = counter;
            return name;
        }
    }
    return QString();
}

} // namespace

int UtilFileNameBytes(const QString &name)
{
    int bytes = 0;
    for (qsizetype i = 0; i < name.size();) {
        const CharSpan span = charAt(name, i);
        bytes += span.bytes;
        i += span.units;
    }
    return bytes;
}

QString UtilFileCutName(const QString &name, int maxBytes)
{
    int bytes = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const CharSpan span = charAt(name, i);
        if (bytes + span.bytes > maxBytes)
            break;
        bytes += span.bytes;
        i += span.units;
    }
    return name.left(i);
}

QString UtilFileCutNameKeepingExtension(const QString &name, int maxBytes)
{
    if (UtilFileNameBytes(name) <= maxBytes)
        return name;
    return insertBeforeExtension(name, QString(), maxBytes);
}

QString UtilFileCreateSafeName(const QString &inName)
{
    QString safeName = inName;
    safeName.remove(QLatin1Char(':'));
    safeName.remove(QLatin1Char('/'));
    // A NUL would end the name early in every system call that sees it.
    safeName.remove(QChar(u'\0'));
    safeName = UtilFileCutNameKeepingExtension(safeName, kUtilFileMaxNameBytes);
    // These would name no file of their own but the destination or its parent.
    if (safeName.isEmpty() || safeName == QLatin1String(".")
        || safeName == QLatin1String(".."))
        return QString::fromUtf8(kTNEFUntitledAttachment);
    return safeName;
}

QString UtilFileFindUniqueFile(const FSFolder &inParentDir, const QString &inFileName,
                               UInt32 inFirstCounter, UInt32 *outCounter)
{
    if (!inParentDir.isOpen()) {
        TNEF_REPORT_TEXT("inParentDir != NULL");
        return QString();
    }
    if (inFileName.isNull()) {
        TNEF_REPORT_TEXT("inFileName != NULL");
        return QString();
    }
    return findUniqueName(inParentDir, inFileName, false, inFirstCounter, outCounter);
}

QString UtilFileFindUniqueDir(const FSFolder &inParentDir, const QString &inDirectoryName,
                              UInt32 inFirstCounter, UInt32 *outCounter)
{
    if (!inParentDir.isOpen()) {
        TNEF_REPORT_TEXT("inParentDir != NULL");
        return QString();
    }
    if (inDirectoryName.isNull()) {
        TNEF_REPORT_TEXT("inDirectoryName != NULL");
        return QString();
    }
    return findUniqueName(inParentDir, inDirectoryName, true, inFirstCounter, outCounter);
}

bool UtilFileCreateDir(const FSFolder &inParentDir, const QString &inName, FSFolder *outDir,
                       OSErr *outErr)
{
    if (outErr)
        *outErr = paramErr;
    if (inName.isEmpty()) {
        TNEF_REPORT_TEXT("inDir != NULL");
        return false;
    }
    if (!inParentDir.isOpen()) {
        if (outErr)
            *outErr = dirNFErr;
        TNEF_REPORT_TEXT("myBool == true");
        return false;
    }
    const OSErr status = FSCreateDirectoryUnicode(inParentDir, inName, outDir);
    if (outErr)
        *outErr = status;
    if (status != noErr) {
        // A name taken in the meantime is the caller's to handle.
        if (status != dupFNErr)
            TNEF_REPORT_STATUS_TEXT("myErr", status);
        return false;
    }
    return true;
}
