#pragma once
// The main window: shown when the application starts without a document to
// show. It carries the menu bar and takes files dropped on it, which open as
// files handed over by the desktop do.
#include "Controls.h"

#include <QStringList>
#include <functional>

// Creates and shows the window; files dropped on it go to `openDropped`,
// as absolute paths, all of one drop in one call.
WindowRef TNEFWinMainCreate(std::function<void(const QStringList &files)> openDropped);
