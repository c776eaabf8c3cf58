#pragma once
// The About window: the application's icon, name, version and copyright, at
// most one window at a time.
#include "platform/MacTypes.h"
#include "ui_TNEFWinAbout.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>

class TNEFWinAbout : public QWidget {
    Q_OBJECT
public:
    TNEFWinAbout();
    Ui::WinAbout &form() { return m_form; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::WinAbout m_form;
};

extern QPointer<TNEFWinAbout> gTNEFWinAboutRef;
extern QIcon gTNEFWinAboutIconRef;

// The application's own information for "CFBundleName", "CFBundleVersion"
// and "CFBundleCopyright": its name, its version, and the text that start-up
// puts into the application object's "copyright" property. Empty when it has
// none.
QString TNEFWinAboutInfoValue(const char *key);

// Opens the window, or brings it forward when it is open.
void TNEFWinAboutCreate();
OSStatus TNEFWinAboutCloseHandler();
