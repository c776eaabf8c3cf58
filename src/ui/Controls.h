#pragma once
// What every window shares: buttons and actions carry a four-character
// command, a window comes forward as a whole, and the application's icon.
#include "platform/MacTypes.h"

#include <QString>

class QIcon;
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
