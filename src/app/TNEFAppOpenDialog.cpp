#include "TNEFAppOpenDialog.h"

#include "TNEFApp.h"
#include "platform/ErrorLog.h"
#include "ui/Controls.h"

QPointer<QFileDialog> gTNEFAppOpenDialogRef;

namespace {

TNEFAppOpenDialogHook gDialogHook;

void dispose(QFileDialog *dialog)
{
    if (dialog) {
        dialog->hide();
        dialog->deleteLater();
    }
    if (gTNEFAppOpenDialogRef == dialog)
        gTNEFAppOpenDialogRef = nullptr;
}

} // namespace

void TNEFAppOpenSetDialogHook(TNEFAppOpenDialogHook hook)
{
    gDialogHook = std::move(hook);
}

OSStatus TNEFAppOpenCreate()
{
    if (gTNEFAppOpenDialogRef) {
        if (gTNEFAppOpenDialogRef->isVisible()) {
            SelectWindow(gTNEFAppOpenDialogRef);
            return noErr;
        }
        dispose(gTNEFAppOpenDialogRef);
    }
    if (gDialogHook) {
        TNEFAppOpenDialogEventHandler(nullptr, gDialogHook());
        return noErr;
    }
    auto *dialog = new QFileDialog(nullptr, QObject::tr("Open"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setNameFilters({QObject::tr("TNEF files and mail (*.dat *.tnef *.eml)"), QObject::tr("All files (*)")});
    dialog->setWindowModality(Qt::NonModal);
    // Its end is handled below, where closing the last window is decided
    // once the chosen files had their chance to open.
    dialog->setAttribute(Qt::WA_QuitOnClose, false);
    gTNEFAppOpenDialogRef = dialog;
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog](int result) {
        TNEFAppOpenReply reply;
        if (result == QDialog::Accepted) {
            reply.files = dialog->selectedFiles();
            reply.validRecord = !reply.files.isEmpty();
        }
        TNEFAppOpenDialogEventHandler(dialog, reply);
    });
    SelectWindow(dialog);
    return noErr;
}

void TNEFAppOpenDialogEventHandler(QFileDialog *dialog, const TNEFAppOpenReply &reply)
{
    if (!reply.validRecord)
        TNEF_REPORT_TEXT("navReply.validRecord != NULL");
    else
        TNEFAppOpenFiles(reply.files, 1);
    dispose(dialog);
    if (dialog)
        TNEFAppQuitWithoutWindows();
}

OSStatus TNEFAppOpenDestroy()
{
    dispose(gTNEFAppOpenDialogRef);
    return noErr;
}
