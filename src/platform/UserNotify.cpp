#include "UserNotify.h"

#include <cstdio>

namespace {

UserNotifyAlertHook gAlertHook;
UserNotifyBeepHook gBeepHook;

} // namespace

void UserNotifySetAlertHook(UserNotifyAlertHook hook)
{
    gAlertHook = std::move(hook);
}

void UserNotifySetBeepHook(UserNotifyBeepHook hook)
{
    gBeepHook = std::move(hook);
}

OSStatus UserNotifyAlert(const QString &message, const QString &explanation)
{
    if (gAlertHook)
        return gAlertHook(message, explanation);
    std::fprintf(stderr, "Parvane: %s\n%s\n", message.toLocal8Bit().constData(),
                 explanation.toLocal8Bit().constData());
    std::fflush(stderr);
    return noErr;
}

void SysBeep(SInt16 duration)
{
    (void)duration;
    if (gBeepHook) {
        gBeepHook();
        return;
    }
    std::fputc('\a', stderr);
    std::fflush(stderr);
}
