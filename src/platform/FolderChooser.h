#pragma once
// The choose-folder dialog of "ask each time" extraction. The core has no
// windows, so the application installs the dialog here; without one, every
// request answers as a cancelled dialog.
#include <QString>
#include <functional>

// Runs the dialog and answers the chosen folder's absolute path, or a null
// QString when the user cancelled.
using FolderChooserHook = std::function<QString()>;

// Installs the dialog; null removes it.
void FolderChooserSetHook(FolderChooserHook hook);
bool FolderChooserAvailable();
// Null when cancelled or when no dialog is installed.
QString FolderChooserChoose();
