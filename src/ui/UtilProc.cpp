#include "UtilProc.h"

#include <QApplication>
#include <QRegularExpression>
#include <QSysInfo>
#include <QWidget>
#include <algorithm>

namespace {

SInt32 versionFromText(const QString &version)
{
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = numbers.match(version);
    if (!match.hasMatch())
        return 0;
    const int major = std::min(match.captured(1).toInt(), 99);
    const int minor = std::min(match.captured(2).toInt(), 9);
    const int bugFix = std::min(match.captured(3).toInt(), 9);
    return SInt32((major / 10) << 12 | (major % 10) << 8 | minor << 4 | bugFix);
}

} // namespace

SInt32 UtilGetSystemVersion()
{
    return versionFromText(QSysInfo::kernelVersion());
}

bool UtilProcAmFront()
{
    return QApplication::activeWindow() != nullptr;
}

void UtilProcSetFront(QWidget *window)
{
    if (UtilProcAmFront())
        return;
    if (!window) {
        const auto windows = QApplication::topLevelWidgets();
        const auto shown = std::find_if(windows.begin(), windows.end(),
                                        [](const QWidget *w) { return w->isVisible(); });
        if (shown == windows.end())
            return;
        window = *shown;
    }
    window->raise();
    window->activateWindow();
}
