#pragma once
// The About window: the application's icon, name, version and copyright, at
// most one window at a time.
#include "Controls.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>

extern QPointer<QWidget> gTNEFWinAboutRef;
extern QIcon gTNEFWinAboutIconRef;

// Control IDs in the "WinAbout" form.
enum : SInt32 {
    kTNEFWinAboutIconID = 128,
    kTNEFWinAboutNameID = 129,
    kTNEFWinAboutVersionID = 130,
    kTNEFWinAboutCopyrightID = 131,
};

// The application's own information for "CFBundleName", "CFBundleVersion"
// and "CFBundleCopyright": its name, its version, and the text that start-up
// puts into the application object's "copyright" property. Empty when it has
// none.
QString TNEFWinAboutInfoValue(const char *key);

// Opens the window, or brings it forward when it is open.
void TNEFWinAboutCreate();
OSStatus TNEFWinAboutCloseHandler();
