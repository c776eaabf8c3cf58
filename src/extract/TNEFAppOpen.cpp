#include "TNEFAppOpen.h"

#include "UtilFiles.h"
#include "platform/ErrorLog.h"
#include "platform/FSFolder.h"
#include "platform/FileManager.h"
#include "platform/FolderChooser.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"

#include <QDir>
#include <QHash>

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

// Makes the new folder named after the TNEF file inside `destination`, and
// makes it the destination, written into through its own descriptor;
// `destination` stays as it was when no folder can be made. A name that
// somebody takes between the search and the creation sends the search on to
// the next counter.
void makeNewFolder(const TNEFFile *tnefFile, FSFolder *destination, const TNEFAutomateEvents *events)
{
    const QString mySourceFileName = tnefFile->fileName;
    if (mySourceFileName.isEmpty()) {
        TNEF_REPORT(mySourceFileName != NULL);
        return;
    }
    UInt32 counter = 0;
    for (int race = 0; race < kMaxLostRaces; ++race) {
        const QString myNewDirName =
            UtilFileFindUniqueDir(*destination, mySourceFileName, counter, &counter);
        if (myNewDirName.isNull()) {
            TNEF_REPORT(myNewDirURL != NULL);
            return;
        }
        OSErr err = noErr;
        FSFolder created;
        if (UtilFileCreateDir(*destination, myNewDirName, &created, &err)) {
            *destination = std::move(created);
            if (events && events->folderCreated)
                events->folderCreated(destination->path());
            return;
        }
        if (err != dupFNErr || counter + 1 == kUtilFileCounterEnd)
            return;
        ++counter;
    }
}

// Where the searches of one extraction stopped, by name: a candidate found
// taken is never tested again, so like-named attachments cost one test each.
using NextCounters = QHash<QString, UInt32>;

// Writes `item` as `fileName` in `destination`, never over anything: the
// file gets its name only once it is complete, exclusively, and a name taken
// by then moves the search on to the next counter.
void writeAttachment(TNEFFile *tnefFile, const TNEFFileItem *item, const QString &myFileName,
                     const FSFolder &destination, NextCounters *nextCounters,
                     const TNEFAutomateEvents *events)
{
    UInt32 counter = nextCounters->value(myFileName, 0);
    bool noNameLeft = false;
    const auto candidate = [&]() -> QString {
        const QString found = UtilFileFindUniqueFile(destination, myFileName, counter, &counter);
        noNameLeft = found.isNull();
        if (!noNameLeft && events && events->writing)
            events->writing(destination.pathOf(found));
        return found;
    };
    int races = 0;
    const auto nextName = [&]() -> QString {
        if (++races >= kMaxLostRaces || counter + 1 == kUtilFileCounterEnd)
            return QString();
        ++counter;
        return candidate();
    };

    const QString myNewFileName = candidate();
    SInt32 myStatus = -1;
    QString written;
    if (!myNewFileName.isNull())
        myStatus = TNEFFileSaveItem(tnefFile, item, destination, myNewFileName, false, nextName, &written);
    // A name this file took is never free again; one that a failed write
    // left untaken may be tested again.
    if (!noNameLeft)
        nextCounters->insert(myFileName, myStatus == noErr ? counter + 1 : counter);
    if (myStatus == noErr) {
        if (events && events->written)
            events->written(destination.pathOf(written));
        return;
    }
    if (noNameLeft) {
        TNEF_REPORT(myNewFileURL != NULL);
        myStatus = -1;
    } else {
        TNEF_REPORT_STATUS(myStatus);
    }
    if (events && events->failed)
        events->failed(item->fileID, myFileName, myStatus);
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

    QString destinationPath = myParentDirURL;
    if (prefs.dest == 2)
        destinationPath = askForDestination(destinationPath);
    else if (prefs.dest == 3)
        destinationPath = storedDestination(prefs.destOther, destinationPath);

    // The destination is opened once; from here on every file and folder is
    // made through that descriptor.
    FSFolder destination;
    const OSErr myErr = destination.open(destinationPath);
    if (myErr != noErr)
        TNEF_REPORT_STATUS(myErr);

    UInt32 count = 0;
    for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next)
        ++count;

    if (destination.isOpen() && (prefs.folder == 3 || (prefs.folder == 1 && count >= 2)))
        makeNewFolder(inTnefFile, &destination, events);

    NextCounters nextCounters;
    for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next) {
        const QString myFileName = item->name.empty()
            ? QString::fromUtf8(kTNEFUntitledAttachment)
            : UtilFileCreateSafeName(QString::fromStdString(item->name));
        if (destination.isOpen())
            writeAttachment(inTnefFile, item, myFileName, destination, &nextCounters, events);
        else if (events && events->failed)
            events->failed(item->fileID, myFileName, myErr);
    }
    return 0;
}
