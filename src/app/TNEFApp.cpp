#include "TNEFApp.h"

#include "TNEFAlert.h"
#include "TNEFAppOpenDialog.h"
#include "TNEFFileParse.h"
#include "platform/ErrorLog.h"
#include "platform/FolderChooser.h"
#include "prefs/TNEFPrefs.h"
#include "ui/Commands.h"
#include "ui/MenuBar.h"
#include "ui/TNEFWinAbout.h"
#include "ui/TNEFWinFileSave.h"
#include "ui/TNEFWinPrefs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

QMenu *gTNEFAppMenuRef = nullptr;

namespace {

std::function<void()> gExitHook;

// The choose-folder dialog of "a folder chosen each time": modal, over the
// window the user is working in.
QString chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QObject::tr("Choose a destination folder"));
    return folder.isEmpty() ? QString() : folder;
}

} // namespace

QString TNEFAppHelpPagePath()
{
    const QString relative = QStringLiteral("/../share/parvane/help/index.html");
    const QString path = QDir::cleanPath(QCoreApplication::applicationDirPath() + relative);
    return QFileInfo::exists(path) ? path : QString();
}

SInt32 TNEFAppInit()
{
    OSStatus err = SetMenuBarFromNib();
    if (err != noErr) {
        TNEF_LOG_ERROR("    SetMenuBarFromNib() returned %ld.\n", long(err));
        return err;
    }
    gTNEFAppMenuRef = GetMenuHandle(129);
    if (!gTNEFAppMenuRef) {
        TNEF_LOG_ERROR("    GetMenuHandle() returned NULL.\n");
        return -1;
    }
    EnableMenuCommand(kHICommandPreferences);
    QAction *prefsItem = nullptr;
    err = GetIndMenuItemWithCommandID(kHICommandPreferences, 1, &prefsItem);
    if (err != noErr) {
        TNEF_LOG_ERROR("    GetIndMenuItemWithCommandID() returned %ld.\n", long(err));
        return err;
    }
    SetItemCmd(prefsItem, ';');
    err = InstallApplicationCommandHandler(TNEFAppEventHandler);
    if (err != noErr) {
        TNEF_LOG_ERROR("    InstallApplicationEventHandler() returned %ld.\n", long(err));
        return err;
    }
    // The desktop's own dialogs, in place of the core's stand-ins.
    TNEFAlertInstall();
    FolderChooserSetHook(chooseFolder);
    QApplication::setWindowIcon(GetApplicationIcon());

    SetHelpPage(TNEFAppHelpPagePath());
    TNEFPrefsInit();
    TNEFAppAEInit();
    return 0;
}

OSErr TNEFAppAEInit()
{
    OSErr err = AEInstallEventHandler(kCoreEventClass, kAEOpenApplication, TNEFAppAEHandlerOpen, 0);
    err = AEInstallEventHandler(kCoreEventClass, kAEReopenApplication, TNEFAppAEHandlerReOpen, 0);
    err = AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments, TNEFAppAEHandlerOpenDocuments, 0);
    err = AEInstallEventHandler(kCoreEventClass, kAEQuitApplication, TNEFAppAEHandlerQuit, 0);
    return err;
}

void TNEFAppSetExitHook(std::function<void()> hook)
{
    gExitHook = std::move(hook);
}

void TNEFAppQuit()
{
    AEStopListening();
    TNEFPrefsQuit();
    std::fflush(nullptr);
    if (gExitHook) {
        gExitHook();
        return;
    }
    // Windows and documents are not torn down: the process ends here.
    std::_Exit(0);
}

void TNEFAppQuitWithoutWindows()
{
    const auto windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->isVisible())
            return;
    }
    TNEFAppQuit();
}

OSErr TNEFAppAEHandlerOpen(const AppEvent *, AppEvent *, long)
{
    return noErr;
}

OSErr TNEFAppAEHandlerReOpen(const AppEvent *, AppEvent *, long)
{
    return noErr;
}

OSErr TNEFAppAEHandlerOpenDocuments(const AppEvent *event, AppEvent *, long)
{
    return TNEFAppOpenFiles(event->files, 2);
}

OSErr TNEFAppAEHandlerQuit(const AppEvent *, AppEvent *, long)
{
    TNEFAppQuit();
    return noErr;
}

OSStatus TNEFAppEventHandler(UInt32 commandID)
{
    switch (commandID) {
    case kHICommandAbout: TNEFWinAboutCreate(); return noErr;
    case kHICommandOpen: TNEFAppOpenCreate(); return noErr;
    case kHICommandPreferences: TNEFWinPrefsCreate(); return noErr;
    case kHICommandQuit: TNEFAppQuit(); return noErr;
    default: return eventNotHandledErr;
    }
}

OSErr TNEFAppOpenFiles(const QStringList &files, UInt32 prefSet)
{
    const SInt32 autoExtract = prefSet == 1 ? gTNEFPrefCEAuto : gTNEFPrefAEAuto;
    const SInt32 quit = prefSet == 1 ? gTNEFPrefCEQuit : gTNEFPrefAEQuit;
    OSErr status = noErr;
    for (const QString &file : files) {
        TNEFFile *tnefFile = nullptr;
        const SInt32 result = TNEFFileOpenDocument(file, autoExtract != 1, &tnefFile);
        if (result != 0) {
            status = OSErr(result);
            continue;
        }
        if (autoExtract == 1)
            TNEFWinFileAutomate(tnefFile, prefSet);
    }
    if (quit == 1) {
        const OSStatus myStatus = ProcessHICommand(kHICommandQuit);
        if (myStatus != noErr) {
            TNEF_REPORT_STATUS(myStatus);
            status = OSErr(myStatus & 0xFFFF);
        }
    }
    return status;
}
