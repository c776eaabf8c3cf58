#include "UtilFiles.h"

#include "platform/ErrorLog.h"
#include "platform/FileManager.h"

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

// One candidate of a search: counter 0 is the bare name with the first
// suffix, any other counter the name with the counted suffix. The name is cut
// so that the whole candidate stays within one component; a bare file name
// keeps its extension, a counted one loses its tail because the counter must
// stand at the very end.
QString candidateName(const QString &base, const QString &firstSuffix,
                      const QString &counterSuffix, UInt32 counter)
{
    const QString suffix = counter == 0 ? firstSuffix : counterSuffix.arg(counter);
    if (suffix.isEmpty())
        return UtilFileCutNameKeepingExtension(base, kUtilFileMaxNameBytes);
    return UtilFileCutName(base, kUtilFileMaxNameBytes - UtilFileNameBytes(suffix)) + suffix;
}

// The search that files and folders share: candidates from `firstCounter` up,
// one existence test each, the first free one wins. A taken name may be a
// file, a folder or a link of any kind.
QString findUniqueName(const QString &parentDir, const QString &base, const QString &firstSuffix,
                       const QString &counterSuffix, UInt32 firstCounter, UInt32 *outCounter)
{
    for (UInt32 counter = firstCounter; counter != kUtilFileCounterEnd; ++counter) {
        const QString path = FSPathAppendingComponent(
            parentDir, candidateName(base, firstSuffix, counterSuffix, counter));
        if (!FSObjectExists(path)) {
            if (outCounter)
                *outCounter = counter;
            return path;
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
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString extension = name.mid(dot);
        const int extensionBytes = UtilFileNameBytes(extension);
        if (extensionBytes < maxBytes) {
            const QString stem = UtilFileCutName(name.left(dot), maxBytes - extensionBytes);
            if (!stem.isEmpty())
                return stem + extension;
        }
    }
    return UtilFileCutName(name, maxBytes);
}

QString UtilFileCreateSafeName(const QString &inName)
{
    QString myAltFileNameMut = inName;
    myAltFileNameMut.remove(QLatin1Char(':'));
    myAltFileNameMut.remove(QLatin1Char('/'));
    // A NUL would end the name early in every system call that sees it.
    myAltFileNameMut.remove(QChar(u'\0'));
    myAltFileNameMut = UtilFileCutNameKeepingExtension(myAltFileNameMut, kUtilFileMaxNameBytes);
    // These would name no file of their own but the destination or its parent.
    if (myAltFileNameMut.isEmpty() || myAltFileNameMut == QLatin1String(".")
        || myAltFileNameMut == QLatin1String(".."))
        return QString::fromUtf8(kTNEFUntitledAttachment);
    return myAltFileNameMut;
}

QString UtilFileFindUniqueFile(const QString &inParentDir, const QString &inFileName,
                               UInt32 inFirstCounter, UInt32 *outCounter)
{
    if (inParentDir.isNull()) {
        TNEF_REPORT(inParentDir != NULL);
        return QString();
    }
    if (inFileName.isNull()) {
        TNEF_REPORT(inFileName != NULL);
        return QString();
    }
    return findUniqueName(inParentDir, inFileName, QString(), QStringLiteral(" %1"),
                          inFirstCounter, outCounter);
}

QString UtilFileFindUniqueDir(const QString &inParentDir, const QString &inDirectoryName,
                              UInt32 inFirstCounter, UInt32 *outCounter)
{
    if (inParentDir.isNull()) {
        TNEF_REPORT(inParentDir != NULL);
        return QString();
    }
    if (inDirectoryName.isNull()) {
        TNEF_REPORT(inDirectoryName != NULL);
        return QString();
    }
    return findUniqueName(inParentDir, inDirectoryName, QStringLiteral(" Folder"),
                          QStringLiteral(" Folder %1"), inFirstCounter, outCounter);
}

bool UtilFileCreateDir(const QString &inDir, OSErr *outErr)
{
    if (outErr)
        *outErr = paramErr;
    if (inDir.isNull()) {
        TNEF_REPORT(inDir != NULL);
        return false;
    }
    const QString myParentDirURL = FSPathParent(inDir);
    if (myParentDirURL.isEmpty()) {
        TNEF_REPORT(myParentDirURL != NULL);
        return false;
    }
    const QString myNewDir = FSPathLastComponent(inDir);
    if (myNewDir.isEmpty()) {
        TNEF_REPORT(myNewDir != NULL);
        return false;
    }
    const bool myBool = FSIsFolder(myParentDirURL);
    if (!myBool) {
        if (outErr)
            *outErr = dirNFErr;
        TNEF_REPORT(myBool == true);
        return false;
    }
    const OSErr myErr = FSCreateDirectoryUnicode(myParentDirURL, myNewDir, nullptr);
    if (outErr)
        *outErr = myErr;
    if (myErr != noErr) {
        // A name taken in the meantime is the caller's to handle.
        if (myErr != dupFNErr)
            TNEF_REPORT_STATUS(myErr);
        return false;
    }
    return true;
}
