#pragma once
// What every window shares: buttons and actions carry a four-character
// command, a window comes forward as a whole, and the application's icon.
#include "platform/MacTypes.h"

#include <QString>
#include <QStringList>
#include <functional>

class QDialogButtonBox;
class QIcon;
class QUrl;
class QWidget;

using WindowRef = QWidget *;

// "save" as 0x73617665; 0 unless the text is four Latin-1 characters.
UInt32 FourCharCodeFromText(const QString &text);
// The same at compile time, for the command and event tables.
constexpr UInt32 FourCharCode(const char (&text)[5])
{
    return UInt32(UInt8(text[0])) << 24 | UInt32(UInt8(text[1])) << 16 |
           UInt32(UInt8(text[2])) << 8 | UInt32(UInt8(text[3]));
}

// Shows the window in front of the others and makes it the active one.
void SelectWindow(WindowRef window);

// The application's icon "TNEFIconApp", in every size the program carries.
QIcon GetApplicationIcon();

// A utility window closes with Escape and with the Close button of `buttons`,
// as dialogs do.
void CloseWithEscapeAndButton(WindowRef window, QDialogButtonBox *buttons);

// Hands the URL to the desktop, which opens it with the user's application
// for it: true when the desktop took it. Tests replace the desktop; null
// restores it.
using DesktopOpenHook = std::function<bool(const QUrl &url)>;
void SetDesktopOpenHook(DesktopOpenHook hook);
bool DesktopOpenURL(const QUrl &url);
// The file URL of `path`, every byte of its name kept (see NativePath.h).
QUrl DesktopFileURL(const QString &path);

// Makes `window` take files dropped on it from other programs: each drop's
// local files go to `openDropped` as absolute paths, in one call. Drags that
// start in this application (attachments dragged out of a list) are refused.
void AcceptFileDrops(WindowRef window, std::function<void(const QStringList &files)> openDropped);
