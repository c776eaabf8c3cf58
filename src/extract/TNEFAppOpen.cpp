#include "TNEFAppOpen.h"

#include "UtilFiles.h"
#include "platform/ErrorLog.h"
#include "platform/FSFolder.h"
#include "platform/FileManager.h"
#include "platform/FolderChooser.h"
#include "platform/NativePath.h"
#include "platform/UserNotify.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFMessageItems.h"
#include "tnef/TNEFParse.h"
#include "tnef/TNEFText.h"

#include <QDir>
#include <QHash>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

// Destination mode 3: the stored folder, `destination` unchanged when none
// is stored, or a null string when the stored text names no folder here.
QString storedDestination(const QString &myPrefDestOther, const QString &destination)
{
    if (myPrefDestOther.isNull()) {
        TNEF_REPORT(myPrefDestOther != NULL);
        return destination;
    }
    return TNEFPrefsPathFromDestOther(myPrefDestOther);
}

QString quoted(const QString &text)
{
    return QStringLiteral("\u201C%1\u201D").arg(FSPathForDisplay(text));
}

// Why no file can be made in `folder`, as the end of a sentence, with the
// status the attachments fail with in *status; a null string when files can
// be made there.
QString folderProblem(const QString &folder, OSErr *status)
{
    const QByteArray native = FSPathToNative(folder);
    struct stat info {};
    int err = 0;
    if (::stat(native.constData(), &info) != 0)
        err = errno;
    else if (!S_ISDIR(info.st_mode))
        err = ENOTDIR;
    else if (::access(native.constData(), W_OK | X_OK) != 0)
        err = errno;
    if (err == 0)
        return QString();
    *status = FSStatusFromErrno(err);
    const QString name = quoted(folder);
    switch (err) {
    case ENOENT: return QStringLiteral("the folder %1 does not exist.").arg(name);
    case ENOTDIR: return QStringLiteral("%1 is not a folder.").arg(name);
    case EACCES:
    case EPERM: return QStringLiteral("you are not allowed to write in the folder %1.").arg(name);
    case EROFS: return QStringLiteral("the folder %1 is on a read-only disk.").arg(name);
    default: return QStringLiteral("the folder %1 cannot be used (%2).").arg(name, QString::fromLocal8Bit(std::strerror(err)));
    }
}

// Makes the new folder named after `mySourceFileName` (the TNEF file, or an
// attached message) inside `destination`, and opens it as `*created`, to be
// written into through its own descriptor; false when no folder can be
// made. A name that somebody takes between the search and the creation sends
// the search on to the next counter.
bool makeNewFolder(const QString &mySourceFileName, const FSFolder &destination, FSFolder *created,
                   const TNEFAutomateEvents *events)
{
    if (mySourceFileName.isEmpty()) {
        TNEF_REPORT(mySourceFileName != NULL);
        return false;
    }
    UInt32 counter = 0;
    for (int race = 0; race < kMaxLostRaces; ++race) {
        const QString myNewDirName =
            UtilFileFindUniqueDir(destination, mySourceFileName, counter, &counter);
        if (myNewDirName.isNull()) {
            TNEF_REPORT(myNewDirURL != NULL);
            return false;
        }
        OSErr err = noErr;
        if (UtilFileCreateDir(destination, myNewDirName, created, &err)) {
            if (events && events->folderCreated)
                events->folderCreated(created->path());
            return true;
        }
        if (err != dupFNErr || counter + 1 == kUtilFileCounterEnd)
            return false;
        ++counter;
    }
    return false;
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

} // namespace

QList<TNEFBodyFile> TNEFExtractReadBodies(const TNEFFile *tnefFile, const TNEFAutomateEvents &events)
{
    const SInt16 fork = tnefFile->forkRefNum;
    TNEFMessage message;
    if (const SInt32 myStatus = TNEFMessageRead(fork, tnefFile->messagePlaces, &message)) {
        TNEF_REPORT_STATUS(myStatus);
        if (events.failed)
            events.failed(0, QStringLiteral("message"), myStatus);
        return {};
    }
    QList<TNEFBodyFile> files;
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

TNEFAttachedMessage TNEFAttachedMessageOpen(const TNEFFile *tnefFile, UInt32 fileID, int depth)
{
    TNEFAttachedMessage opened;
    // Each level is a shorter stretch of the file, but a file of nested
    // messages could still cost a parse of nearly all of it per level.
    if (depth > kTNEFAttachedMaxDepth) {
        opened.tooDeep = true;
        return opened;
    }
    TNEFFile *attached = TNEFFileOpenAttached(tnefFile, fileID, &opened.openStatus);
    if (!attached)
        return opened;
    opened.parseCode = TNEFParseFileList(attached->forkRefNum, &attached->fileList, nullptr, &attached->messagePlaces);
    if (opened.parseCode != 0) {
        TNEFFileDestroy(attached);
        return opened;
    }
    TNEFFileAddVirtualItems(attached);
    opened.file = attached;
    return opened;
}

namespace {

// One document's files into `destination` (kept open by the caller), then,
// when asked, each of its attached messages' into a folder of its own.
// `folderName` names the new folder; an attached message (`depth` above 0)
// gets one whenever it has anything to write.
void extractDocument(TNEFFile *inTnefFile, const FSFolder &parent, OSErr myErr, const QString &folderName,
                     const TNEFExtractOptions &options, int depth)
{
    const TNEFAutomateEvents &events = options.events;

    // The bodies are read first: they count among the files that ask for a
    // folder of their own.
    QList<TNEFBodyFile> bodies = options.body ? TNEFExtractReadBodies(inTnefFile, events) : QList<TNEFBodyFile>();
    std::vector<const TNEFFileItem *> items;
    if (options.fileIDs.empty() || depth > 0) {
        for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next)
            items.push_back(item);
    } else {
        for (UInt32 fileID : options.fileIDs) {
            if (const TNEFFileItem *item = TNEFFileFindItem(inTnefFile, fileID))
                items.push_back(item);
        }
    }
    const auto count = UInt32(bodies.size() + items.size());

    // An attached message's files always go into a folder of their own, so
    // that they cannot be taken for the outer message's.
    const bool wanted = depth > 0 ? count > 0 : options.folderMode == 3 || (options.folderMode == 1 && count >= 2);
    FSFolder made;
    const bool inNewFolder = parent.isOpen() && wanted
        && makeNewFolder(folderName, parent, &made, &events);
    const FSFolder &destination = inNewFolder ? made : parent;

    NextCounters nextCounters;
    const auto write = [&](UInt32 fileID, const QString &myFileName, const SaveAs &save) {
        if (destination.isOpen())
            writeFile(fileID, myFileName, save, destination, &nextCounters, events);
        else if (events.failed)
            events.failed(fileID, myFileName, myErr);
    };
    for (const TNEFFileItem *item : items) {
        write(item->fileID, UtilFileCreateSafeName(TNEFFileItemFileName(item)), [&](const QString &name, const TNEFFileSaveNextName &nextName, QString *written) {
            return TNEFFileSaveItem(inTnefFile, item, destination, name, false, nextName, written);
        });
    }
    for (const TNEFBodyFile &body : bodies) {
        write(0, body.name, [&](const QString &name, const TNEFFileSaveNextName &nextName, QString *written) {
            return TNEFFileSaveBytes(body.bytes, destination, name, false, nextName, written);
        });
    }
    if (!options.recursive)
        return;
    // One attached message open at a time per level, and no body kept while
    // it is: memory grows with the depth only, by a list of names each.
    bodies.clear();
    for (const TNEFFileItem *item : items) {
        if (item->isTNEF != -1)
            continue;
        const TNEFAttachedMessage attached = TNEFAttachedMessageOpen(inTnefFile, item->fileID, depth + 1);
        if (!attached.file) {
            TNEF_REPORT_STATUS(attached.openStatus != noErr ? SInt32(attached.openStatus) : attached.parseCode);
            if (events.unreadMessage)
                events.unreadMessage(TNEFFileItemTitle(item), attached);
            continue;
        }
        extractDocument(attached.file, destination, myErr, UtilFileCreateSafeName(TNEFFileItemTitle(item)), options,
                        depth + 1);
        TNEFFileDestroy(attached.file);
    }
}

} // namespace

void TNEFExtractAll(TNEFFile *inTnefFile, const TNEFExtractOptions &options)
{
    if (!inTnefFile) {
        TNEF_REPORT(inTnefFile != NULL);
        return;
    }
    // The destination is opened once; from here on every file and folder is
    // made through that descriptor.
    FSFolder destination;
    const OSErr myErr = destination.open(options.destination);
    if (myErr != noErr)
        TNEF_REPORT_STATUS(myErr);
    extractDocument(inTnefFile, destination, myErr, inTnefFile->fileName, options, 0);
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

    // A folder that cannot take the files is named to the user with the
    // reason, and nothing is written: the TNEF file's own folder is often a
    // mail program's temporary one, where files written instead are lost.
    OSErr myStatus = bdNamErr;
    const QString problem = options.destination.isNull()
        ? QStringLiteral("%1, the destination saved in the preferences, is no folder path or file URL.")
              .arg(quoted(prefs.destOther))
        : folderProblem(options.destination, &myStatus);
    const bool myBool = problem.isNull();
    if (myBool) {
        TNEFExtractAll(inTnefFile, options);
        return 0;
    }
    if (prefs.dest == 3)
        TNEF_REPORT_MSG(myBool == true, "Invalid directory saved in preferences.");
    else
        TNEF_REPORT_STATUS(myStatus);
    UserNotifyAlert(QStringLiteral("An error occurred extracting the attachments."),
                    QStringLiteral("The attachments of %1 were not written: ").arg(quoted(inTnefFile->fileName)) + problem);
    if (options.events.failed) {
        for (const TNEFFileItem *item = inTnefFile->fileList; item; item = item->next)
            options.events.failed(item->fileID, UtilFileCreateSafeName(TNEFFileItemFileName(item)), myStatus);
        if (options.body)
            options.events.failed(0, QStringLiteral("message"), myStatus);
    }
    return myStatus;
}
