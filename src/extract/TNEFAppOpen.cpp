#include "TNEFAppOpen.h"

#include "UtilFiles.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/FolderChooser.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"

#include <QDir>

namespace {

// How often in a row a name may be snatched away between the search and the
// creation before the attachment is given up; only a file system that answers
// the existence test and the creation differently gets anywhere near it.
constexpr int kMaxLostRaces = 1000;

struct PrefSet {
    SInt32 dest = 0;
    QString destOther;
    SInt32 folder = 0;
};

PrefSet prefSet(UInt32 selector)
{
    switch (selector) {
    case 1: return {gTNEFPrefCEDest, gTNEFPrefCEDestOther, gTNEFPrefCEFolder};
    case 2: return {gTNEFPrefAEDest, gTNEFPrefAEDestOther, gTNEFPrefAEFolder};
    default: return {};
    }
}

// Destination mode 2: the folder the user chooses, or `destination` unchanged.
QString askForDestination(const QString &destination)
{
    const QString chosen = FolderChooserChoose();
    // A cancelled dialog, or none installed, gives no valid reply.
    if (chosen.isNull()) {
        DebugAssert("Parvane: myNavReply.validRecord == true", nullptr, false, 0, __FILE__,
                    __LINE__);
        return destination;
    }
    return QDir::isAbsolutePath(chosen) && FSIsFolder(chosen) ? chosen : destination;
}

// Destination mode 3: the stored folder, or `destination` unchanged.
QString storedDestination(const QString &myPrefDestOther, const QString &destination)
{
    if (myPrefDestOther.isNull()) {
        TNEF_REPORT(myPrefDestOther != NULL);
        return destination;
    }
    // A stored file is no place to write into, so only a folder counts.
    const QString path = TNEFPrefsPathFromDestOther(myPrefDestOther);
    const bool myBool = !path.isNull() && FSIsFolder(path);
    if (!myBool) {
        TNEF_REPORT_MSG(myBool == true, "Invalid directory saved in preferences.");
        return destination;
    }
    return path;
}

// The new folder named after the TNEF file, created inside `destination`;
// `destination` itself when it cannot be made. A name that somebody takes
// between the search and the creation sends the search on to the next
// counter.
QString makeNewFolder(const TNEFFile *tnefFile, const QString &destination,
                      const TNEFAutomateEvents *events)
{
    const QString mySourceFileName = tnefFile->fileName;
    if (mySourceFileName.isEmpty()) {
        TNEF_REPORT(mySourceFileName != NULL);
        return destination;
    }
    UInt32 counter = 0;
    for (int race = 0; race < kMaxLostRaces; ++race) {
        const QString myNewDirURL =
            UtilFileFindUniqueDir(destination, mySourceFileName, counter, &counter);
        if (myNewDirURL.isNull()) {
            TNEF_REPORT(myNewDirURL != NULL);
            return destination;
        }
        OSErr err = noErr;
        if (UtilFileCreateDir(myNewDirURL, &err)) {
            if (events && events->folderCreated)
                events->folderCreated(myNewDirURL);
            return myNewDirURL;
        }
        if (err != dupFNErr || counter + 1 == kUtilFileCounterEnd)
            break;
        ++counter;
    }
    return destination;
}

// Writes attachment `fileID` as `fileName` in `destination`, never over
// anything: the writer creates the file exclusively, and a name taken in the
// meantime moves the search on to the next counter.
void writeAttachment(TNEFFile *tnefFile, UInt32 fileID, const QString &myFileName,
                     const QString &destination, const TNEFAutomateEvents *events)
{
    UInt32 counter = 0;
    SInt32 myStatus = dupFNErr;
    for (int race = 0; race < kMaxLostRaces && myStatus == dupFNErr; ++race) {
        const QString myNewFileURL =
            UtilFileFindUniqueFile(destination, myFileName, counter, &counter);
        if (myNewFileURL.isNull()) {
            TNEF_REPORT(myNewFileURL != NULL);
            if (events && events->failed)
                events->failed(fileID, myFileName, -1);
            return;
        }
        if (events && events->writing)
            events->writing(myNewFileURL);
        myStatus = TNEFFileSave(tnefFile, fileID, myNewFileURL, false);
        if (myStatus == noErr) {
            if (events && events->written)
                events->written(myNewFileURL);
            return;
        }
        if (counter + 1 == kUtilFileCounterEnd)
            break;
        ++counter;
    }
    TNEF_REPORT_STATUS(myStatus);
    if (events && events->failed)
        events->failed(fileID, myFileName, myStatus);
}

} // namespace

SInt32 TNEFAppOpenAutomate(TNEFFile *inTnefFile, UInt32 inPrefSet,
                           const TNEFAutomateEvents *events)
{
    if (!inTnefFile) {
        TNEF_REPORT(inTnefFile != NULL);
        return 0;
    }
    const PrefSet prefs = prefSet(inPrefSet);

    const QString myFileURL = inTnefFile->fileRef.isEmpty()
        ? QString()
        : QDir::cleanPath(QDir::current().absoluteFilePath(inTnefFile->fileRef));
    if (myFileURL.isEmpty()) {
        TNEF_REPORT(myFileURL != NULL);
        return 0;
    }
    const QString myParentDirURL = FSPathParent(myFileURL);
    if (myParentDirURL.isEmpty()) {
        TNEF_REPORT(myParentDirURL != NULL);
        return 0;
    }

    QString destination = myParentDirURL;
    if (prefs.dest == 2)
        destination = askForDestination(destination);
    else if (prefs.dest == 3)
        destination = storedDestination(prefs.destOther, destination);

    UInt32 count = 0;
    for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next)
        ++count;

    if (prefs.folder == 3 || (prefs.folder == 1 && count >= 2))
        destination = makeNewFolder(inTnefFile, destination, events);

    UInt32 fileID = 1;
    for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next, ++fileID) {
        const QString myFileName = item->name.empty()
            ? QString::fromUtf8(kTNEFUntitledAttachment)
            : UtilFileCreateSafeName(QString::fromStdString(item->name));
        writeAttachment(inTnefFile, fileID, myFileName, destination, events);
    }
    return 0;
}
