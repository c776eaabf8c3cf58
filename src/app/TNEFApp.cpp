#include "TNEFApp.h"

#include "TNEFAlert.h"
#include "TNEFAppOpenDialog.h"
#include "TNEFFileParse.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/FolderChooser.h"
#include "platform/NativePath.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/Commands.h"
#include "ui/Controls.h"
#include "ui/MenuBar.h"
#include "ui/TNEFWinAbout.h"
#include "ui/TNEFWinFile.h"
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

std::function<void(int status)> gExitHook;
// What the process ends with: 1 once a quit after opening follows a file that
// did not open or an attachment that was not written.
int gExitStatus = 0;

// The choose-folder dialog of "a folder chosen each time": modal, over the
// window the user is working in.
QString chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QObject::tr("Choose a destination folder"));
    return folder.isEmpty() ? QString() : folder;
}

// Writes every attachment of the shown document. When any could not be
// written the user is told where and how many, whatever the preferences say
// about alerts: a lost file is not news for a beep. False then.
bool extractAttachments(TNEFFile *tnefFile, UInt32 prefSet)
{
    // The window's status bar names the folder; only a failure needs more.
    const TNEFWinFileSaved saved = TNEFWinFileAutomate(tnefFile, prefSet);
    const int failed = saved.failed;
    if (failed == 0)
        return true;
    // No file was on its way into any folder: the extraction has already
    // told which folder could not be used, and why.
    if (saved.folder.isEmpty())
        return false;
    const QString &folder = saved.folder;
    const QString what = failed == 1 ? QStringLiteral("1 attachment") : QStringLiteral("%1 attachments").arg(failed);
    TNEFAlertAppModal(QStringLiteral("An error occurred extracting the attachments."),
                      QStringLiteral("%1 of \u201C%2\u201D could not be written to the folder \u201C%3\u201D.")
                          .arg(what, FSPathForDisplay(tnefFile->fileName), FSPathForDisplay(folder)));
    return false;
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
    gTNEFParseDebugFile = stdout;
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

void TNEFAppSetExitHook(std::function<void(int status)> hook)
{
    gExitHook = std::move(hook);
}

void TNEFAppQuit()
{
    AEStopListening();
    // Preferences that could not be saved leave the trace open: its last
    // lines may be all that tells what happened.
    if (TNEFPrefsQuit() == noErr && gTNEFParseDebugFile) {
        std::fclose(gTNEFParseDebugFile);
        gTNEFParseDebugFile = nullptr;
    }
    std::fflush(nullptr);
    if (gExitHook) {
        gExitHook(gExitStatus);
        return;
    }
    // Windows and documents are not torn down: the process ends here.
    std::_Exit(gExitStatus);
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
    const TNEFPrefSet prefs = TNEFPrefsGetSet(prefSet);
    const SInt32 autoExtract = prefs.autoExtract;
    const SInt32 quit = prefs.quit;
    OSErr status = noErr;
    bool allHandled = true;
    for (const QString &file : files) {
        // A file opened again comes forward in its window, read once and
        // extracted once.
        if (const TNEFFile *shown = TNEFFileFindShown(file)) {
            SelectWindow(shown->winFile);
            continue;
        }
        QList<TNEFFile *> shown;
        const SInt32 result = TNEFFileOpenDocument(file, autoExtract != 1, &shown);
        if (result != 0) {
            status = OSErr(result);
            allHandled = false;
        }
        // A mail's parts that opened are extracted even when another did not.
        for (TNEFFile *tnefFile : shown) {
            if (autoExtract == 1)
                allHandled = extractAttachments(tnefFile, prefSet) && allHandled;
        }
    }
    if (quit == 1) {
        // Whoever started the application to handle these files learns
        // from its exit status whether it did.
        gExitStatus = allHandled ? 0 : 1;
        const OSStatus quitStatus = ProcessHICommand(kHICommandQuit);
        gExitStatus = 0;
        if (quitStatus != noErr) {
            TNEF_REPORT_STATUS_TEXT("myStatus", quitStatus);
            status = OSErr(quitStatus & 0xFFFF);
        }
    }
    return status;
}
