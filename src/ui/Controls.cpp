#include "Controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>

namespace {

// Reference constants are kept as a plain property, so that any window of
// any form can carry one.
constexpr char kRefConProperty[] = "parvaneRefCon";

} // namespace

OSStatus GetControlByID(WindowRef window, SInt32 id, ControlRef *outControl)
{
    *outControl = nullptr;
    if (!window)
        return errUnknownControl;
    const QString suffix = QLatin1Char('_') + QString::number(id);
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->objectName().endsWith(suffix)) {
            *outControl = child;
            return noErr;
        }
    }
    return errUnknownControl;
}

WindowRef GetControlOwner(ControlRef control)
{
    return control ? control->window() : nullptr;
}

void SetWRefCon(WindowRef window, void *refCon)
{
    window->setProperty(kRefConProperty, QVariant::fromValue(refCon));
}

void *GetWRefCon(WindowRef window)
{
    return window ? window->property(kRefConProperty).value<void *>() : nullptr;
}

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

SInt32 GetControl32BitValue(ControlRef control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->isChecked() ? 1 : 0;
    if (auto *choice = qobject_cast<QComboBox *>(control))
        return choice->currentIndex() + 1;
    return 0;
}

void SetControl32BitValue(ControlRef control, SInt32 value)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        button->setChecked(value != 0);
    } else if (auto *choice = qobject_cast<QComboBox *>(control)) {
        choice->setCurrentIndex(value >= 1 && value <= choice->count() ? value - 1 : -1);
    }
}

OSStatus SetControlText(ControlRef control, const QString &text)
{
    if (auto *field = qobject_cast<QLineEdit *>(control)) {
        field->setText(text);
        // A long path shows its beginning, not its end.
        field->setCursorPosition(0);
        return noErr;
    }
    if (auto *label = qobject_cast<QLabel *>(control)) {
        label->setText(text);
        return noErr;
    }
    return paramErr;
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
