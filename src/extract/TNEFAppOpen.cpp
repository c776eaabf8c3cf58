#include "TNEFAppOpen.h"

#include "UtilFiles.h"
#include "platform/ErrorLog.h"
#include "platform/FSFolder.h"
#include "platform/FileManager.h"
#include "platform/FolderChooser.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFText.h"

#include <QDir>
#include <QHash>

namespace {

// How often in a row a name may be snatched away between the search and the
// creation before the attachment is given up; only a file system that answers
// the existence test and the creation differently gets anywhere near it.
constexpr int kMaxLostRaces = 1000;

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

// Writes one file, through `save`, as `myFileName` in `destination`, never
// over anything: the file gets its name only once it is complete,
// exclusively, and a name taken by then moves the search on to the next
// counter. `fileID` is the attachment's, 0 for a body.
using SaveAs = std::function<SInt32(const QString &name, const TNEFFileSaveNextName &nextName, QString *written)>;
void writeFile(UInt32 fileID, const QString &myFileName, const SaveAs &save, const FSFolder &destination,
               NextCounters *nextCounters, const TNEFAutomateEvents &events)
{
    UInt32 counter = nextCounters->value(myFileName, 0);
    bool noNameLeft = false;
    const auto candidate = [&]() -> QString {
        const QString found = UtilFileFindUniqueFile(destination, myFileName, counter, &counter);
        noNameLeft = found.isNull();
        if (!noNameLeft && events.writing)
            events.writing(destination.pathOf(found));
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
        myStatus = save(myNewFileName, nextName, &written);
    // A name this file took is never free again; one that a failed write
    // left untaken may be tested again.
    if (!noNameLeft)
        nextCounters->insert(myFileName, myStatus == noErr ? counter + 1 : counter);
    if (myStatus == noErr) {
        if (events.written)
            events.written(destination.pathOf(written));
        return;
    }
    if (noNameLeft) {
        TNEF_REPORT(myNewFileURL != NULL);
        myStatus = -1;
    } else {
        TNEF_REPORT_STATUS(myStatus);
    }
    if (events.failed)
        events.failed(fileID, myFileName, myStatus);
}

// One body of the message, ready to be written.
struct BodyFile {
    QString name;
    QByteArray bytes;
};

// The bodies to write, read from the file: HTML and RTF, or else the plain
// text. A body that is there but cannot be read is reported and left out.
QList<BodyFile> readBodies(const TNEFFile *tnefFile, const TNEFAutomateEvents &events)
{
    const SInt16 fork = tnefFile->forkRefNum;
    TNEFMessage message;
    if (const SInt32 myStatus = TNEFMessageRead(fork, tnefFile->messagePlaces, &message)) {
        TNEF_REPORT_STATUS(myStatus);
        if (events.failed)
            events.failed(0, QStringLiteral("message"), myStatus);
        return {};
    }
    QList<BodyFile> files;
    bool found = false;
    bool damageTold = false;
    const auto take = [&](const char *name, SInt32 myStatus, const TNEFBody &body) {
        if (myStatus == kTNEFMessageErrNoBody)
            return;
        found = true;
        if (myStatus == noErr) {
            files.append({QString::fromLatin1(name), body.bytes});
            if ((body.rtf.crcMismatch || body.rtf.truncated) && !damageTold && events.bodyDamaged)
                events.bodyDamaged(QString::fromLatin1(name), body.rtf);
            damageTold = damageTold || body.rtf.crcMismatch || body.rtf.truncated;
            return;
        }
        TNEF_REPORT_STATUS(myStatus);
        if (events.failed)
            events.failed(0, QString::fromLatin1(name), myStatus);
    };
    TNEFBody body;
    take("message.html", TNEFMessageGetHtml(fork, message, &body), body);
    take("message.rtf", TNEFMessageGetBody(fork, message, TNEFBodyKind::Rtf, &body), body);
    if (!found)
        take("message.txt", TNEFMessageGetBody(fork, message, TNEFBodyKind::Text, &body), body);
    return files;
}

} // namespace

QString TNEFExtractSourceFolder(const TNEFFile *inTnefFile)
{
    if (!inTnefFile) {
        TNEF_REPORT(inTnefFile != NULL);
        return QString();
    }
    const QString myFileURL = inTnefFile->fileRef.isEmpty()
        ? QString()
        : QDir::cleanPath(QDir::current().absoluteFilePath(inTnefFile->fileRef));
    if (myFileURL.isEmpty()) {
        TNEF_REPORT(myFileURL != NULL);
        return QString();
    }
    const QString myParentDirURL = FSPathParent(myFileURL);
    if (myParentDirURL.isEmpty()) {
        TNEF_REPORT(myParentDirURL != NULL);
        return QString();
    }
    return myParentDirURL;
}

void TNEFExtractAll(TNEFFile *inTnefFile, const TNEFExtractOptions &options)
{
    if (!inTnefFile) {
        TNEF_REPORT(inTnefFile != NULL);
        return;
    }
    const TNEFAutomateEvents &events = options.events;

    // The destination is opened once; from here on every file and folder is
    // made through that descriptor.
    FSFolder destination;
    const OSErr myErr = destination.open(options.destination);
    if (myErr != noErr)
        TNEF_REPORT_STATUS(myErr);

    // The bodies are read first: they count among the files that ask for a
    // folder of their own.
    const QList<BodyFile> bodies = options.body ? readBodies(inTnefFile, events) : QList<BodyFile>();
    std::vector<const TNEFFileItem *> items;
    if (options.fileIDs.empty()) {
        for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next)
            items.push_back(item);
    } else {
        for (UInt32 fileID : options.fileIDs) {
            if (const TNEFFileItem *item = TNEFFileFindItem(inTnefFile, fileID))
                items.push_back(item);
        }
    }
    const auto count = UInt32(bodies.size() + items.size());

    const SInt32 folderMode = options.folderMode;
    if (destination.isOpen() && (folderMode == 3 || (folderMode == 1 && count >= 2)))
        makeNewFolder(inTnefFile, &destination, &events);

    NextCounters nextCounters;
    const auto write = [&](UInt32 fileID, const QString &myFileName, const SaveAs &save) {
        if (destination.isOpen())
            writeFile(fileID, myFileName, save, destination, &nextCounters, events);
        else if (events.failed)
            events.failed(fileID, myFileName, myErr);
    };
    for (const TNEFFileItem *item : items) {
        write(item->fileID, UtilFileCreateSafeName(TNEFFileItemTitle(item)), [&](const QString &name, const TNEFFileSaveNextName &nextName, QString *written) {
            return TNEFFileSaveItem(inTnefFile, item, destination, name, false, nextName, written);
        });
    }
    for (const BodyFile &body : bodies) {
        write(0, body.name, [&](const QString &name, const TNEFFileSaveNextName &nextName, QString *written) {
            return TNEFFileSaveBytes(body.bytes, destination, name, false, nextName, written);
        });
    }
}

SInt32 TNEFAppOpenAutomate(TNEFFile *inTnefFile, UInt32 inPrefSet,
                           const TNEFAutomateEvents *events)
{
    TNEFExtractOptions options;
    options.destination = TNEFExtractSourceFolder(inTnefFile);
    if (options.destination.isNull())
        return 0;
    const TNEFPrefSet prefs = TNEFPrefsGetSet(inPrefSet);
    if (prefs.dest == 2)
        options.destination = askForDestination(options.destination);
    else if (prefs.dest == 3)
        options.destination = storedDestination(prefs.destOther, options.destination);
    options.folderMode = prefs.folder;
    options.body = prefs.body == 1;
    if (events)
        options.events = *events;
    TNEFExtractAll(inTnefFile, options);
    return 0;
}
