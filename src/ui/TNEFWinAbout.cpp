#include "TNEFWinAbout.h"

#include "MenuBar.h"
#include "platform/ErrorLog.h"
#include "ui_TNEFWinAbout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <cstring>

QPointer<QWidget> gTNEFWinAboutRef;
QIcon gTNEFWinAboutIconRef;

namespace {

class TNEFWinAboutWindow : public QWidget {
public:
    TNEFWinAboutWindow() { m_form.setupUi(this); }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        TNEFWinAboutCloseHandler();
        event->accept();
    }

private:
    Ui::WinAbout m_form;
};

enum class TextStyle { A, B };

struct Row {
    const char *key;
    SInt32 id;
    TextStyle style;
};

const Row kRows[] = {
    {"CFBundleName", kTNEFWinAboutNameID, TextStyle::A},
    {"CFBundleVersion", kTNEFWinAboutVersionID, TextStyle::B},
    {"CFBundleCopyright", kTNEFWinAboutCopyrightID, TextStyle::B},
};

// A: the big system font, bold; B: the small system font. Both centred.
void setTextStyle(QWidget *control, TextStyle style)
{
    QFont font = QApplication::font();
    if (style == TextStyle::A) {
        font.setPointSizeF(font.pointSizeF() * 1.4);
        font.setBold(true);
    } else {
        font.setPointSizeF(font.pointSizeF() * 0.85);
    }
    control->setFont(font);
    if (auto *label = qobject_cast<QLabel *>(control))
        label->setAlignment(Qt::AlignCenter);
}

} // namespace

QString TNEFWinAboutInfoValue(const char *key)
{
    if (std::strcmp(key, "CFBundleName") == 0)
        return QCoreApplication::applicationName();
    if (std::strcmp(key, "CFBundleVersion") == 0)
        return QCoreApplication::applicationVersion();
    if (std::strcmp(key, "CFBundleCopyright") == 0 && QCoreApplication::instance())
        return QCoreApplication::instance()->property("copyright").toString();
    return QString();
}

void TNEFWinAboutCreate()
{
    if (gTNEFWinAboutRef) {
        SelectWindow(gTNEFWinAboutRef);
        return;
    }
    gTNEFWinAboutIconRef = GetApplicationIcon();
    auto *window = new TNEFWinAboutWindow;
    gTNEFWinAboutRef = window;
    window->setAttribute(Qt::WA_DeleteOnClose);

    ControlRef control = nullptr;
    if (GetControlByID(window, kTNEFWinAboutIconID, &control) == noErr) {
        if (auto *icon = qobject_cast<QLabel *>(control))
            icon->setPixmap(gTNEFWinAboutIconRef.pixmap(96, 96));
    }
    for (const Row &row : kRows) {
        const QString value = TNEFWinAboutInfoValue(row.key);
        if (value.isEmpty())
            TNEF_LOG_ERROR("    CFBundleGetValueForInfoDictionaryKey() returned NULL for '%s'.\n", row.key);
        const OSStatus err = GetControlByID(window, row.id, &control);
        if (err != noErr) {
            TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
            continue;
        }
        const OSStatus setErr = SetControlText(control, value);
        if (setErr != noErr) {
            TNEF_LOG_ERROR("    SetControlData() returned %d.\n", int(setErr));
            continue;
        }
        setTextStyle(control, row.style);
    }
    MenuBarAddKeys(window);
    window->setFixedSize(window->sizeHint().expandedTo(QSize(300, 0)));
    SelectWindow(window);
}

OSStatus TNEFWinAboutCloseHandler()
{
    gTNEFWinAboutRef = nullptr;
    gTNEFWinAboutIconRef = QIcon();
    return eventNotHandledErr;
}
