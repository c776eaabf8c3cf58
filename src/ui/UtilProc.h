#pragma once
// Process and system utilities: the running system's version, and whether
// this application is the one in front.
#include "platform/MacTypes.h"

class QWidget;

// The kernel's version written as hexadecimal digits, as the old version
// query answered: 6.8.0 is 0x0680, a part above 9 reads as 9. 0 when unknown.
SInt32 UtilGetSystemVersion();
// True while one of the application's windows is the active window.
bool UtilProcAmFront();
// Brings `window` (or, without one, the application's first visible window)
// forward and activates it, unless the application is in front already.
void UtilProcSetFront(QWidget *window = nullptr);
