#include "Controls.h"

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
