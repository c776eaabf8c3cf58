#pragma once
// The one way an error reaches the user: an application-modal stop alert with
// a message, an explanation and one button.
#include "platform/MacTypes.h"

#include <QString>

// Shows the alert and returns once the user dismissed it: 0, or the status of
// the failure that kept it from being shown.
OSStatus TNEFAlertAppModal(const QString &message, const QString &explanation);
// Makes the alert and the beep the desktop's own: a message box and the
// application's beep. Needs a QApplication.
void TNEFAlertInstall();
