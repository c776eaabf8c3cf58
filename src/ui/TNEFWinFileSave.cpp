#include "TNEFWinFileSave.h"

#include "DataBrowser.h"
#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "extract/TNEFAppOpen.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFText.h"

#include <QFileDialog>
#include <QPointer>

namespace {

TNEFWinFileSaveDialogHook gDialogHook;
TNEFWinFileFolderDialogHook gFolderDialogHook;

// Where the dialogs start: beside the TNEF file.
QString startFolder(const TNEFWinFile *window)
{
    return FSPathParent(window->document()->fileRef);
}

// Asks for a folder in a dialog attached to the window, then calls `chosen`
// with it, unless the dialog was cancelled or the window closed meanwhile.
void chooseFolder(TNEFWinFile *window, const QString &title, std::function<void(const QString &)> chosen)
{
    if (gFolderDialogHook) {
        const QString folder = gFolderDialogHook(window);
        if (!folder.isNull())
            chosen(folder);
        return;
    }
    auto *dialog = new QFileDialog(window, title, startFolder(window));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setWindowModality(Qt::WindowModal);
    const QPointer<TNEFWinFile> owner(window);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [owner, dialog, chosen](int result) {
        const QStringList folders = dialog->selectedFiles();
        if (owner && owner->document() && result == QDialog::Accepted && !folders.isEmpty())
            chosen(folders.first());
    });
    dialog->open();
}

// Writes into a folder the user chose: no new folder, nothing of the
// message, only the attachments listed (all when none are).
void extractInto(TNEFFile *tnefFile, const QString &folder, const std::vector<UInt32> &fileIDs,
                 const TNEFAutomateEvents &events)
{
    TNEFExtractOptions options;
    options.destination = folder;
    options.folderMode = 2;
    options.events = events;
    options.fileIDs = fileIDs;
    TNEFExtractAll(tnefFile, options);
}

// Extracts, then tells in the window's status bar where the files went.
TNEFWinFileSaved extractAndTell(TNEFFile *tnefFile, UInt32 prefSet, const QString &folder)
{
    TNEFWinFileSaved saved;
    TNEFAutomateEvents events;
    events.folderCreated = [&](const QString &path) { saved.folder = path; };
    events.writing = [&](const QString &path) { saved.folder = FSPathParent(path); };
    events.written = [&](const QString &) { ++saved.written; };
    events.failed = [&](UInt32, const QString &, SInt32) { ++saved.failed; };
    // A chosen folder, or else the one preference set `prefSet` names.
    if (folder.isNull())
        TNEFAppOpenAutomate(tnefFile, prefSet, &events);
    else
        extractInto(tnefFile, folder, {}, events);
    if (tnefFile->winFile && !saved.folder.isEmpty())
        TNEFWinFileShowSaved(tnefFile->winFile, saved.folder, saved.written, saved.failed);
    return saved;
}

} // namespace

void TNEFWinFileSaveSetDialogHook(TNEFWinFileSaveDialogHook hook)
{
    gDialogHook = std::move(hook);
}

void TNEFWinFileSaveSetFolderDialogHook(TNEFWinFileFolderDialogHook hook)
{
    gFolderDialogHook = std::move(hook);
}

OSStatus TNEFWinFileSaveCommandEventHandler(TNEFWinFile *window, UInt32 commandID)
{
    const TNEFFile *tnefFile = window->document();
    if (!tnefFile) {
        TNEF_LOG_ERROR("    GetWRefCon() returned NULL.\n");
        return eventInternalErr;
    }
    if (commandID != kTNEFCommandSave)
        return eventNotHandledErr;
    const std::vector<UInt32> selected = DataBrowser::of(window->form().fileList_131)->selectedItems();
    if (selected.size() > 1) {
        const QPointer<TNEFWinFile> owner(window);
        chooseFolder(window, QObject::tr("Save the selected attachments in"), [owner, selected](const QString &folder) {
            const QStringList saved = TNEFWinFileSaveItems(owner->document(), selected, folder);
            TNEFWinFileShowSaved(owner, folder, saved.size(), int(selected.size()) - saved.size());
        });
        return noErr;
    }
    const TNEFFileItem *item = TNEFFileFindItem(tnefFile, tnefFile->selectedFileID);
    if (!item)
        return eventNotHandledErr;
    // A "/" cannot stand in a file name here; every other character of the
    // name is proposed as it is, an attachment without a title as an empty
    // name (an attached message still gets its extension).
    const QString name = item->name.empty() && item->isTNEF != -1 ? QString() : TNEFFileItemFileName(item);
    TNEFWinFileSaveShow(QString(name).remove(QLatin1Char('/')), window);
    return noErr;
}

OSStatus TNEFWinFileSaveShow(const QString &fileName, TNEFWinFile *window)
{
    if (!window->document()) {
        TNEF_LOG_ERROR("    GetWRefCon() returned NULL.\n");
        return eventInternalErr;
    }
    if (gDialogHook) {
        TNEFWinFileSaveEventProc(window, gDialogHook(window, fileName));
        return noErr;
    }
    auto *dialog = new QFileDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setDirectory(startFolder(window));
    dialog->selectFile(fileName);
    const QPointer<TNEFWinFile> owner(window);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [owner, dialog](int result) {
        TNEFWinFileSaveReply reply;
        const QStringList chosen = dialog->selectedFiles();
        if (result == QDialog::Accepted && !chosen.isEmpty()) {
            const QString path = chosen.first();
            reply.validRecord = true;
            reply.folder = FSPathParent(path);
            reply.fileName = FSPathLastComponent(path);
            // The dialog accepts a name that is taken only after the user
            // agreed to replace that file.
            reply.replacing = FSObjectExists(path);
        }
        if (owner)
            TNEFWinFileSaveEventProc(owner, reply);
    });
    dialog->open();
    return noErr;
}

void TNEFWinFileSaveEventProc(TNEFWinFile *window, const TNEFWinFileSaveReply &reply)
{
    if (!reply.validRecord)
        return;
    // Looked up again now: the window may have closed while the dialog ran.
    TNEFFile *tnefFile = window->document();
    if (!tnefFile)
        return;
    const QString destination = FSPathAppendingComponent(reply.folder, reply.fileName);
    TNEFFileSave(tnefFile, tnefFile->selectedFileID, destination, reply.replacing);
}

OSStatus TNEFWinFileSaveAll(TNEFWinFile *window)
{
    if (!window->document() || !window->document()->fileList)
        return eventNotHandledErr;
    const QPointer<TNEFWinFile> owner(window);
    chooseFolder(window, QObject::tr("Save all attachments in"), [owner](const QString &folder) {
        extractAndTell(owner->document(), 0, folder);
    });
    return noErr;
}

TNEFWinFileSaved TNEFWinFileAutomate(TNEFFile *tnefFile, UInt32 prefSet)
{
    return extractAndTell(tnefFile, prefSet, QString());
}

QStringList TNEFWinFileSaveItems(TNEFFile *tnefFile, const std::vector<UInt32> &fileIDs, const QString &folder)
{
    QStringList saved;
    TNEFAutomateEvents events;
    events.written = [&saved](const QString &path) { saved << path; };
    extractInto(tnefFile, folder, fileIDs, events);
    return saved;
}
