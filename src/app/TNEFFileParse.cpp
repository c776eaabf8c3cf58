#include "TNEFFileParse.h"

#include "TNEFAlert.h"
#include "platform/ErrorLog.h"
#include "platform/UserNotify.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"

SInt32 TNEFFileParse(TNEFFile *tnefFile, bool alert)
{
    const SInt32 status =
        TNEFParseFileList(tnefFile->forkRefNum, &tnefFile->fileList, &tnefFile->attributeList,
                          &tnefFile->messagePlaces);
    if (status != 0) {
        if (alert) {
            TNEF_LOG_ERROR("    TNEFParseFileList() returned %ld.\n", long(status));
            TNEFAlertAppModal(QStringLiteral("An error occurred opening this file."),
                              QStringLiteral("Either the file is not a TNEF file or the file is "
                                             "corrupted. Please consult the Readme file for error "
                                             "reporting information."));
        } else {
            SysBeep(1);
        }
        return status;
    }
    tnefFile->winFile = TNEFWinFileCreate(tnefFile);
    if (!tnefFile->winFile) {
        TNEF_LOG_ERROR("    TNEFWinFileCreate() returned NULL.\n");
        return -1;
    }
    const OSStatus err = TNEFWinFileSetTitle(tnefFile->winFile, tnefFile->fileName);
    if (err != noErr)
        TNEF_LOG_ERROR("    TNEFWinFileSetTitle() returned %ld.\n", long(err));
    TNEFWinFileShow(tnefFile->winFile);
    return 0;
}

SInt32 TNEFFileOpenDocument(const QString &path, bool alert, TNEFFile **outShown)
{
    if (outShown)
        *outShown = nullptr;
    OSErr myErr = noErr;
    TNEFFile *tnefFile = TNEFFileOpen(path, &myErr);
    if (!tnefFile) {
        TNEF_REPORT_STATUS(myErr);
        return myErr;
    }
    const SInt32 myStatus = TNEFFileParse(tnefFile, alert);
    if (myStatus != 0) {
        TNEF_REPORT_STATUS(myStatus);
        TNEFFileDestroy(tnefFile);
        return myStatus;
    }
    if (outShown)
        *outShown = tnefFile;
    return 0;
}
