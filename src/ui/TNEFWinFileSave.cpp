#include "TNEFWinFileSave.h"

#include "TNEFWinFile.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFFile.h"

#include <QFileDialog>
#include <QPointer>

namespace {

TNEFWinFileSaveDialogHook gDialogHook;

} // namespace

void TNEFWinFileSaveSetDialogHook(TNEFWinFileSaveDialogHook hook)
{
    gDialogHook = std::move(hook);
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
    const TNEFFileItem *item = TNEFFileFindItem(tnefFile, tnefFile->selectedFileID);
    if (!item)
        return eventNotHandledErr;
    // A "/" cannot stand in a file name here; every other character of the
    // title is proposed as it is, an empty title as an empty name.
    TNEFWinFileSaveShow(QString::fromStdString(item->name).remove(QLatin1Char('/')), window);
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
