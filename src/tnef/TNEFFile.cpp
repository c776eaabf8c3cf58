#include "TNEFFile.h"

#include "TNEFParse.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"

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

TNEFFile *TNEFFileOpen(const QString &path, OSErr *status)
{
    OSErr err = noErr;
    TNEFFile *tnefFile = TNEFFileCreate();
    if (!tnefFile) {
        err = memFullErr;
    } else {
        tnefFile->fileRef = FSPathAbsolute(path);
        tnefFile->fileName = FSPathLastComponent(path);
        err = FSOpenFork(tnefFile->fileRef, fsRdPerm, &tnefFile->forkRefNum);
        if (err != noErr) {
            TNEF_LOG_ERROR("    FSOpenFork() returned %d.\n", err);
            tnefFile->forkRefNum = 0;
            TNEFFileDestroy(tnefFile);
            tnefFile = nullptr;
        }
    }
    if (status)
        *status = err;
    return tnefFile;
}
