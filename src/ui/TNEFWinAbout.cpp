#include "TNEFWinAbout.h"

#include "Controls.h"
#include "MenuBar.h"
#include "platform/ErrorLog.h"

#include <QApplication>
#include <QCloseEvent>
#include <cstring>

QPointer<TNEFWinAbout> gTNEFWinAboutRef;
QIcon gTNEFWinAboutIconRef;

namespace {

enum class TextStyle { A, B };

// A: the big system font, bold; B: the small system font. Both centred.
void setTextStyle(QLabel *label, TextStyle style)
{
    QFont font = QApplication::font();
    if (style == TextStyle::A) {
        font.setPointSizeF(font.pointSizeF() * 1.4);
        font.setBold(true);
    } else {
        font.setPointSizeF(font.pointSizeF() * 0.85);
    }
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
}

} // namespace

TNEFWinAbout::TNEFWinAbout()
{
    m_form.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    CloseWithEscapeAndButton(this, m_form.buttonBox);
}

void TNEFWinAbout::closeEvent(QCloseEvent *event)
{
    TNEFWinAboutCloseHandler();
    event->accept();
}

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
    auto *window = new TNEFWinAbout;
    gTNEFWinAboutRef = window;
    Ui::WinAbout &f = window->form();
    f.icon_128->setPixmap(gTNEFWinAboutIconRef.pixmap(96, 96));
    const struct {
        const char *key;
        QLabel *label;
        TextStyle style;
    } rows[] = {
        {"CFBundleName", f.name_129, TextStyle::A},
        {"CFBundleVersion", f.version_130, TextStyle::B},
        {"CFBundleCopyright", f.copyright_131, TextStyle::B},
    };
    for (const auto &row : rows) {
        const QString value = TNEFWinAboutInfoValue(row.key);
        if (value.isEmpty())
            TNEF_LOG_ERROR("    CFBundleGetValueForInfoDictionaryKey() returned NULL for '%s'.\n", row.key);
        row.label->setText(value);
        setTextStyle(row.label, row.style);
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
