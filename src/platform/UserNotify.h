#pragma once
// The two ways the program tells the user something went wrong: a modal alert
// and the system beep. The core has no windows, so the application installs
// the real ones; tests install their own to watch what the user would see.
#include "MacTypes.h"

#include <QString>
#include <functional>

// Shows a modal alert with one button and returns once the user dismissed
// it: 0, or the status of the failure that kept it from being shown.
using UserNotifyAlertHook =
    std::function<OSStatus(const QString &message, const QString &explanation)>;
using UserNotifyBeepHook = std::function<void()>;

// Null restores the default, which writes to standard error.
void UserNotifySetAlertHook(UserNotifyAlertHook hook);
void UserNotifySetBeepHook(UserNotifyBeepHook hook);

OSStatus UserNotifyAlert(const QString &message, const QString &explanation);
// The duration is kept for the callers' sake; no desktop lets us choose it.
void SysBeep(SInt16 duration);
