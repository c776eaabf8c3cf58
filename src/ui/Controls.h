#pragma once
// Stand-ins for the old toolbox's window and control calls, over QWidget:
// windows carry a reference constant, controls are found by a numeric ID, and
// buttons and actions carry a four-character command.
#include "platform/MacTypes.h"

#include <QString>

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
