#pragma once
// The main window: shown when the application starts without a document to
// show. It carries the menu bar and takes files dropped on it, which open as
// files handed over by the desktop do.
#include "Controls.h"

// Creates and shows the window.
WindowRef TNEFWinMainCreate();
