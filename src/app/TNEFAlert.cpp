#include "TNEFAlert.h"

#include "platform/ErrorLog.h"
#include "platform/UserNotify.h"

#include <QApplication>
#include <QMessageBox>

namespace {

OSStatus runMessageBox(const QString &message, const QString &explanation)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok);
    box.setInformativeText(explanation);
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
