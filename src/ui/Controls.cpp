#include "Controls.h"

#include <QIcon>
#include <QWidget>

UInt32 FourCharCodeFromText(const QString &text)
{
    if (text.size() != 4)
        return 0;
    UInt32 code = 0;
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return 0;
        code = (code << 8) | c.unicode();
    }
    return code;
}

void SelectWindow(WindowRef window)
{
    if (!window)
        return;
    window->show();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

QIcon GetApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/TNEFIconApp/parvane-%1.png").arg(size), QSize(size, size));
    return icon;
}
