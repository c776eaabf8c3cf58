#include "TNEFAlert.h"

#include "platform/ErrorLog.h"
#include "platform/UserNotify.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace {

OSStatus runMessageBox(const QString &message, const QString &explanation)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok);
    box.setInformativeText(explanation);
    // The texts name files and attachments, which a sender chose: shown as
    // they are, never read as markup that could load a picture from disk.
    box.setTextFormat(Qt::PlainText);
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    // Dismissing an alert is not closing the application's last window.
    box.setAttribute(Qt::WA_QuitOnClose, false);
    box.exec();
    return noErr;
}

} // namespace

OSStatus TNEFAlertAppModal(const QString &message, const QString &explanation)
{
    const OSStatus err = UserNotifyAlert(message, explanation);
    if (err != noErr)
        TNEF_LOG_ERROR("    RunStandardAlert() returned %ld.\n", long(err));
    return err;
}

void TNEFAlertInstall()
{
    UserNotifySetAlertHook(runMessageBox);
    UserNotifySetBeepHook([] { QApplication::beep(); });
}
