#pragma once
// Stand-ins for the old toolbox's window and control calls, over QWidget:
// windows carry a reference constant, controls are found by a numeric ID, and
// buttons and actions carry a four-character command.
#include "platform/MacTypes.h"

#include <QString>

class QIcon;
class QWidget;

using WindowRef = QWidget *;
using ControlRef = QWidget *;

enum : OSStatus { errUnknownControl = -30584 };

// A control's ID is the number after the last "_" of its objectName
// ("fileList_131"), so that the forms keep readable names and the code
// keeps the numbers that the rest of the program uses.
OSStatus GetControlByID(WindowRef window, SInt32 id, ControlRef *outControl);
// The top-level window holding the control, or null.
WindowRef GetControlOwner(ControlRef control);

void SetWRefCon(WindowRef window, void *refCon);
void *GetWRefCon(WindowRef window);

// "save" as 0x73617665; 0 unless the text is four Latin-1 characters.
UInt32 FourCharCodeFromText(const QString &text);
// The same at compile time, for the command and event tables.
constexpr UInt32 FourCharCode(const char (&text)[5])
{
    return UInt32(UInt8(text[0])) << 24 | UInt32(UInt8(text[1])) << 16 |
           UInt32(UInt8(text[2])) << 8 | UInt32(UInt8(text[3]));
}

// A control's value: a check box reads 0 or 1, a choice the number of its
// chosen entry from 1 (0 with none chosen). Other controls read 0 and ignore
// a new value; a choice given a number it has no entry for shows none rather
// than keep showing a value that is no longer true.
SInt32 GetControl32BitValue(ControlRef control);
void SetControl32BitValue(ControlRef control, SInt32 value);
// The text of a line field or label; paramErr for any other control.
OSStatus SetControlText(ControlRef control, const QString &text);

// Shows the window in front of the others and makes it the active one.
void SelectWindow(WindowRef window);

// The application's icon "TNEFIconApp", in every size the program carries.
QIcon GetApplicationIcon();
