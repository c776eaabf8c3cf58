#include "FolderChooser.h"

namespace {
FolderChooserHook gFolderChooserHook;
}

void FolderChooserSetHook(FolderChooserHook hook)
{
    gFolderChooserHook = std::move(hook);
}

bool FolderChooserAvailable()
{
    return static_cast<bool>(gFolderChooserHook);
}

QString FolderChooserChoose()
{
    return gFolderChooserHook ? gFolderChooserHook() : QString();
}
