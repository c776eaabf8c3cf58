#include "TNEFFile.h"

#include "TNEFParse.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"

#include <functional>
#include <unistd.h>
#include <new>

TNEFFile *gTNEFFileList = nullptr;

TNEFFile *TNEFFileCreate()
{
    auto *tnefFile = new (std::nothrow) TNEFFile{};
    if (!tnefFile) {
        TNEF_LOG_ERROR("    NewPtrClear() returned NULL.\n");
        return nullptr;
    }
    TNEFFile **link = &gTNEFFileList;
    while (*link)
        link = &(*link)->next;
    *link = tnefFile;
    return tnefFile;
}

void TNEFFileDestroy(TNEFFile *tnefFile)
{
    if (!tnefFile)
        return;
    if (tnefFile->forkRefNum != 0) {
        const OSErr err = FSCloseFork(tnefFile->forkRefNum);
        if (err != noErr)
            TNEF_LOG_ERROR("    FSCloseFork() returned %d.\n", err);
        tnefFile->forkRefNum = 0;
    }
    TNEFParseDestroy(&tnefFile->fileList, &tnefFile->attributeList);
    for (TNEFFile **link = &gTNEFFileList; *link; link = &(*link)->next) {
        if (*link == tnefFile) {
            *link = tnefFile->next;
            break;
        }
    }
    delete tnefFile;
}

namespace {

// How every TNEF stream begins, byte for byte: a pipe that does not is
// refused before it is copied.
QByteArray signatureBytes()
{
    const UInt32 s = kTNEFSignature;
    const char bytes[] = {char(s), char(s >> 8), char(s >> 16), char(s >> 24)};
    return QByteArray(bytes, sizeof bytes);
}

// A new TNEFFile named after `path`, its fork opened by `open`.
TNEFFile *openAs(const QString &path, const std::function<OSErr(TNEFFile *)> &open, OSErr *status)
{
    OSErr err = noErr;
    TNEFFile *tnefFile = TNEFFileCreate();
    if (!tnefFile) {
        err = memFullErr;
    } else {
        tnefFile->fileRef = FSPathAbsolute(path);
        tnefFile->fileName = FSPathLastComponent(path);
        err = open(tnefFile);
        if (err != noErr) {
            tnefFile->forkRefNum = 0;
            TNEFFileDestroy(tnefFile);
            tnefFile = nullptr;
        }
    }
    if (status)
        *status = err;
    return tnefFile;
}

} // namespace

TNEFFile *TNEFFileOpen(const QString &path, OSErr *status)
{
    return openAs(path, [](TNEFFile *tnefFile) {
        const OSErr err = FSOpenFork(tnefFile->fileRef, fsRdPerm, &tnefFile->forkRefNum, signatureBytes());
        if (err != noErr)
            TNEF_LOG_ERROR("    FSOpenFork() returned %d.\n", err);
        return err;
    }, status);
}

TNEFFile *TNEFFileOpenStream(int fd, const QString &name, OSErr *status)
{
    return openAs(name, [fd](TNEFFile *tnefFile) {
        return FSOpenForkFromStream(fd, &tnefFile->forkRefNum, signatureBytes());
    }, status);
}

TNEFFile *TNEFFileOpenDescriptor(int fd, const QString &container, const QString &name, OSErr *status)
{
    bool adopted = false;
    TNEFFile *tnefFile = openAs(container, [fd, &adopted](TNEFFile *tnefFile) {
        adopted = true;
        return FSOpenForkFromDescriptor(fd, &tnefFile->forkRefNum);
    }, status);
    if (!adopted)
        ::close(fd);
    if (tnefFile)
        tnefFile->fileName = name;
    return tnefFile;
}

const TNEFFileItem *TNEFFileFindItem(const TNEFFile *tnefFile, UInt32 fileID)
{
    for (const TNEFFileItem *item = tnefFile ? tnefFile->fileList.head : nullptr; item; item = item->next) {
        if (item->fileID == fileID)
            return item;
    }
    return nullptr;
}

const TNEFAttributeItem *TNEFFileFindAttribute(const TNEFFile *tnefFile, UInt32 objectID)
{
    for (const TNEFAttributeItem *item = tnefFile ? tnefFile->attributeList.head : nullptr; item;
         item = item->next) {
        if (item->objectID == objectID)
            return item;
    }
    return nullptr;
}
