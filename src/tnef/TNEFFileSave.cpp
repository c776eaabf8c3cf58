// The attachment writer: copies one attachment's byte range out of the TNEF
// file into a new file, and records the new file's MIME type.
#include "TNEFFile.h"

#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"

#include <QMimeDatabase>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <sys/xattr.h>

namespace {

// The status of a name whose extension no MIME type claims.
constexpr SInt32 kNoMappingErr = -666;

constexpr UInt32 kCopyBlockSize = 8000;

// Creates an empty file with a fresh hidden name in `folder` and opens it for
// writing. The name is random so that two writers never meet; the leading dot
// keeps it out of file listings while it is incomplete.
OSErr createTemporaryFile(const QString &folder, QString *path, SInt16 *forkRefNum)
{
    OSErr err = dupFNErr;
    for (int attempt = 0; attempt < 100 && err == dupFNErr; ++attempt) {
        const QString name = QStringLiteral(".parvane-%1.tmp")
                                 .arg(QRandomGenerator::global()->generate64(), 16, 16,
                                      QLatin1Char('0'));
        err = FSCreateFileUnicode(folder, name, path, forkRefNum);
    }
    return err;
}

// Type and creator: the MIME type of the name goes into the file's extended
// attributes. Never stops the save.
void setFileType(const QString &path, const QString &fileName)
{
    QString mimeType;
    if (TNEFFileSaveSetCorrectFileType(fileName, &mimeType) != noErr)
        return;
    const QByteArray value = mimeType.toUtf8();
    // lsetxattr: should the path have become a link, the link is refused
    // rather than some other file labelled.
    if (::lsetxattr(FSPathToNative(path).constData(), "user.mime_type", value.constData(),
                    static_cast<size_t>(value.size()), 0)
        != 0) {
        TNEF_LOG_ERROR("    FSpSetFInfo() returned %d.\n", FSStatusFromErrno(errno));
    }
}

const TNEFFileItem *findItem(const TNEFFile *tnefFile, UInt32 fileID)
{
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next) {
        if (item->fileID == fileID)
            return item;
    }
    return nullptr;
}

// Copies the item's bytes into the open fork in blocks of at most 8000 bytes.
// The mark of the shared fork is set once, at the start of the contents, and
// the blocks follow it, so the file layer can read ahead for the whole copy.
OSErr copyItem(const TNEFFile *tnefFile, const TNEFFileItem *item, SInt16 newFork)
{
    char buffer[kCopyBlockSize];
    OSErr err = FSSetForkPosition(tnefFile->forkRefNum, fsFromStart, item->dataPosition);
    if (err != noErr) {
        TNEF_LOG_ERROR("    FSSetForkPosition() returned %d.\n", err);
        return err;
    }
    UInt64 copied = 0;
    while (copied < item->dataLength) {
        const UInt32 block = static_cast<UInt32>(
            std::min<UInt64>(kCopyBlockSize, item->dataLength - copied));
        UInt32 actual = 0;
        err = FSReadFork(tnefFile->forkRefNum, fsAtMark, 0, block, buffer, &actual);
        if (err != noErr) {
            TNEF_LOG_ERROR("    FSReadFork() returned %d.\n", err);
            return err;
        }
        err = FSWriteFork(newFork, fsAtMark, 0, actual, buffer, &actual);
        if (err == noErr && actual != block)
            err = dskFulErr;
        if (err != noErr) {
            TNEF_LOG_ERROR("    FSWriteFork() returned %d.\n", err);
            return err;
        }
        copied += block;
    }
    return noErr;
}

void removeIncomplete(const QString &path)
{
    const OSErr err = FSDeleteObject(path);
    if (err != noErr)
        TNEF_LOG_ERROR("    FSDeleteObject() returned %d.\n", err);
}

} // namespace

SInt32 TNEFFileSaveSetCorrectFileType(const QString &fileName, QString *mimeType)
{
    static const QMimeDatabase database;
    const QList<QMimeType> types = database.mimeTypesForFileName(fileName);
    if (types.isEmpty()) {
        TNEF_LOG_ERROR("    ICMapFilename() returned %d.\n", kNoMappingErr);
        return kNoMappingErr;
    }
    if (mimeType)
        *mimeType = types.first().name();
    return noErr;
}

SInt32 TNEFFileSave(TNEFFile *tnefFile, UInt32 fileID, const QString &destination, bool replace)
{
    if (!tnefFile)
        return paramErr;

    const QString fileName = FSPathLastComponent(destination);
    if (fileName.isEmpty()) {
        TNEF_LOG_ERROR("    CFURLCopyLastPathComponent() returned NULL.\n");
        return -1;
    }
    const QString folder = FSPathParent(destination);
    if (folder.isEmpty() || !destination.startsWith(QLatin1Char('/'))) {
        TNEF_LOG_ERROR("    CFURLCreateCopyDeletingLastPathComponent() returned NULL.\n");
        return -1;
    }
    if (!FSIsFolder(folder)) {
        TNEF_LOG_ERROR("    CFURLGetFSRef() returned false.\n");
        return -1;
    }

    // Without replace the file is created under its own name, exclusively, so
    // an existing object answers dupFNErr and stays untouched. With replace
    // the copy goes into a temporary file that takes the name only once it is
    // complete; until then the old file is still there.
    QString writtenPath;
    SInt16 newFork = 0;
    OSErr err = replace ? createTemporaryFile(folder, &writtenPath, &newFork)
                        : FSCreateFileUnicode(folder, fileName, &writtenPath, &newFork);
    if (err != noErr) {
        // A name taken in the meantime is no failure: the caller that asked
        // for this name moves on to the next one.
        if (err != dupFNErr || replace)
            TNEF_LOG_ERROR("    FSCreateFileUnicode() returned %ld.\n", static_cast<long>(err));
        return err;
    }

    setFileType(writtenPath, fileName);

    if (const TNEFFileItem *item = findItem(tnefFile, fileID))
        err = copyItem(tnefFile, item, newFork);

    const OSErr closeErr = FSCloseFork(newFork);
    if (closeErr != noErr) {
        TNEF_LOG_ERROR("    FSCloseFork() returned %d.\n", closeErr);
        if (err == noErr)
            err = closeErr;
    }
    if (err == noErr && replace) {
        err = FSReplaceObject(writtenPath, destination);
        if (err != noErr)
            TNEF_LOG_ERROR("    FSReplaceObject() returned %d.\n", err);
    }
    // A file that is not complete must not stay behind, under the attachment's
    // name or any other; the writer created it, so it may remove it.
    if (err != noErr)
        removeIncomplete(writtenPath);
    return err;
}
