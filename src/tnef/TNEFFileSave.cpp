// The attachment writer: copies one attachment's byte range out of the TNEF
// file into a new file, and records the new file's MIME type.
#include "TNEFFile.h"

#include "platform/ErrorLog.h"
#include "platform/FSFolder.h"
#include "platform/FileManager.h"

#include <QMimeDatabase>
#include <algorithm>
#include <cerrno>

namespace {

// The status of a name whose extension no MIME type claims.
constexpr SInt32 kNoMappingErr = -666;

constexpr UInt32 kCopyBlockSize = 8000;

// Type and creator: the MIME type of the name goes into the file's extended
// attributes. Never stops the save.
void setFileType(FSNewFile &file, const QString &fileName)
{
    QString mimeType;
    if (TNEFFileSaveSetCorrectFileType(fileName, &mimeType) != noErr)
        return;
    if (const OSErr err = file.setAttribute("user.mime_type", mimeType.toUtf8()))
        TNEF_LOG_ERROR("    FSpSetFInfo() returned %d.\n", err);
}

// Copies what the kernel would not, from `from` bytes into the item on, in
// blocks of at most 8000 bytes. The mark of the shared fork is set once, at
// the first byte, and the blocks follow it, so the file layer can read ahead.
OSErr copyThroughBuffer(const TNEFFile *tnefFile, const TNEFFileItem *item, UInt64 from, SInt16 newFork)
{
    char buffer[kCopyBlockSize];
    OSErr err = FSSetForkPosition(tnefFile->forkRefNum, fsFromStart, item->dataPosition + SInt64(from));
    if (err != noErr) {
        TNEF_LOG_ERROR("    FSSetForkPosition() returned %d.\n", err);
        return err;
    }
    for (UInt64 copied = from; copied < item->dataLength;) {
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

// Copies the item's bytes into the new fork. The kernel moves them where it
// can; where it refuses, the rest goes through a buffer.
OSErr copyItem(const TNEFFile *tnefFile, const TNEFFileItem *item, SInt16 newFork)
{
    // A file made from the message is written from memory.
    if (item->contents) {
        UInt32 actual = 0;
        const auto size = UInt32(item->contents->size());
        OSErr err = FSWriteFork(newFork, fsAtMark, 0, size, item->contents->constData(), &actual);
        if (err == noErr && actual != size)
            err = dskFulErr;
        if (err != noErr)
            TNEF_LOG_ERROR("    FSWriteFork() returned %d.\n", err);
        return err;
    }
    UInt64 copied = 0;
    const OSErr err =
        FSCopyFork(tnefFile->forkRefNum, item->dataPosition, newFork, item->dataLength, &copied);
    if (err == unimpErr)
        return copyThroughBuffer(tnefFile, item, copied, newFork);
    if (err != noErr) {
        // The end of the TNEF file is the reading's failure; anything else
        // the writing's.
        if (err == eofErr)
            TNEF_LOG_ERROR("    FSReadFork() returned %d.\n", err);
        else
            TNEF_LOG_ERROR("    FSWriteFork() returned %d.\n", err);
    }
    return err;
}

// Gives the complete file its name: in place of an existing file with
// `replace`, otherwise only a free name, asking `nextName` for another while
// the one tried is taken.
OSErr nameFile(FSNewFile &file, QString name, bool replace, const TNEFFileSaveNextName &nextName,
               QString *outName)
{
    if (replace) {
        if (const OSErr err = file.replace(name)) {
            TNEF_LOG_ERROR("    FSReplaceObject() returned %d.\n", err);
            return err;
        }
    } else {
        OSErr err = file.link(name);
        while (err == dupFNErr && nextName) {
            name = nextName();
            if (name.isNull())
                break;
            err = file.link(name);
        }
        if (err != noErr) {
            TNEF_LOG_ERROR("    FSCreateFileUnicode() returned %ld.\n", static_cast<long>(err));
            return err;
        }
    }
    if (outName)
        *outName = name;
    return noErr;
}

// Makes a new file in `folder`, lets `fill` write it, and gives it `name`
// once it is complete. The file has no name (or a hidden one) until then, so
// a file that is not complete never shows under the name, and a failed one
// leaves nothing behind.
OSErr saveNewFile(const FSFolder &folder, const QString &name, bool replace, const TNEFFileSaveNextName &nextName,
                  QString *outName, const std::function<OSErr(SInt16 newFork)> &fill)
{
    FSNewFile file;
    SInt16 newFork = 0;
    OSErr err = file.create(folder, &newFork);
    if (err != noErr) {
        TNEF_LOG_ERROR("    FSCreateFileUnicode() returned %ld.\n", static_cast<long>(err));
        return err;
    }

    setFileType(file, name);

    err = fill(newFork);
    // Gathered writes that fail show only here; they are the writing's failure.
    if (err == noErr) {
        err = FSFlushFork(newFork);
        if (err != noErr)
            TNEF_LOG_ERROR("    FSWriteFork() returned %d.\n", err);
    }
    const OSErr closeErr = FSCloseFork(newFork);
    if (closeErr != noErr) {
        TNEF_LOG_ERROR("    FSCloseFork() returned %d.\n", closeErr);
        if (err == noErr)
            err = closeErr;
    }
    if (err == noErr)
        err = nameFile(file, name, replace, nextName, outName);
    return err;
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

SInt32 TNEFFileSaveItem(TNEFFile *tnefFile, const TNEFFileItem *item, const FSFolder &folder,
                        const QString &name, bool replace, const TNEFFileSaveNextName &nextName,
                        QString *outName)
{
    if (!tnefFile)
        return paramErr;
    return saveNewFile(folder, name, replace, nextName, outName, [&](SInt16 newFork) {
        return item ? copyItem(tnefFile, item, newFork) : OSErr(noErr);
    });
}

SInt32 TNEFFileSaveBytes(const QByteArray &bytes, const FSFolder &folder, const QString &name, bool replace,
                         const TNEFFileSaveNextName &nextName, QString *outName)
{
    return saveNewFile(folder, name, replace, nextName, outName, [&](SInt16 newFork) {
        const UInt32 size = UInt32(bytes.size());
        UInt32 actual = 0;
        OSErr err = size ? FSWriteFork(newFork, fsAtMark, 0, size, bytes.constData(), &actual) : OSErr(noErr);
        if (err == noErr && actual != size)
            err = dskFulErr;
        if (err != noErr)
            TNEF_LOG_ERROR("    FSWriteFork() returned %d.\n", err);
        return err;
    });
}

namespace {

// Opens the folder of `destination`, an absolute path, and names the file
// in it: noErr, or -1 (logged) when the path names no file in a folder.
SInt32 openDestination(const QString &destination, FSFolder *folder, QString *fileName)
{
    *fileName = FSPathLastComponent(destination);
    if (fileName->isEmpty()) {
        TNEF_LOG_ERROR("    CFURLCopyLastPathComponent() returned NULL.\n");
        return -1;
    }
    const QString folderPath = FSPathParent(destination);
    if (folderPath.isEmpty() || !destination.startsWith(QLatin1Char('/'))) {
        TNEF_LOG_ERROR("    CFURLCreateCopyDeletingLastPathComponent() returned NULL.\n");
        return -1;
    }
    if (folder->open(folderPath) != noErr) {
        TNEF_LOG_ERROR("    CFURLGetFSRef() returned false.\n");
        return -1;
    }
    return noErr;
}

} // namespace

SInt32 TNEFFileSave(TNEFFile *tnefFile, UInt32 fileID, const QString &destination, bool replace)
{
    if (!tnefFile)
        return paramErr;
    FSFolder folder;
    QString fileName;
    if (const SInt32 status = openDestination(destination, &folder, &fileName))
        return status;
    return TNEFFileSaveItem(tnefFile, TNEFFileFindItem(tnefFile, fileID), folder, fileName, replace);
}

SInt32 TNEFFileSaveBytesTo(const QByteArray &bytes, const QString &destination, bool replace)
{
    FSFolder folder;
    QString fileName;
    if (const SInt32 status = openDestination(destination, &folder, &fileName))
        return status;
    return TNEFFileSaveBytes(bytes, folder, fileName, replace);
}
