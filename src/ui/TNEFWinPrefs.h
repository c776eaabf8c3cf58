#pragma once
// The Preferences window: edits the two preference sets in place, one set at
// a time, as the selector at its top chooses. Nothing is stored here; the
// store writes the values when the application quits.
#include "Controls.h"
#include "ui_TNEFWinPrefs.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class TNEFWinPrefs : public QWidget {
    Q_OBJECT
public:
    TNEFWinPrefs();
    Ui::WinPrefs &form() { return m_form; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::WinPrefs m_form;
};

extern QPointer<TNEFWinPrefs> gTNEFWinPrefsRef;
// The set that the value commands write: 1 the Open-dialog set, 2 the set
// for files handed to the application. Equals the selector while the
// window is open.
extern SInt32 gTNEFWinPrefCurrentEvent;

enum : UInt32 {
    kTNEFWinPrefsCommandOpenDialogSet = FourCharCode("PRec"),
    kTNEFWinPrefsCommandDesktopSet = FourCharCode("PRea"),
    kTNEFWinPrefsCommandAuto = FourCharCode("PRac"),
    kTNEFWinPrefsCommandDest = FourCharCode("PRdr"),
    kTNEFWinPrefsCommandChooseFolder = FourCharCode("PRds"),
    kTNEFWinPrefsCommandFolder = FourCharCode("PRfr"),
    kTNEFWinPrefsCommandQuit = FourCharCode("PRqc"),
    kTNEFWinPrefsCommandBody = FourCharCode("PRbc"),
};

// How the folder dialog ended: cancelled (validRecord false) or a folder.
struct TNEFWinPrefsFolderReply {
    bool validRecord = false;
    QString folder;
};
// Tests answer the folder dialog instead of a user; null restores the real
// dialog.
using TNEFWinPrefsFolderDialogHook = std::function<TNEFWinPrefsFolderReply(TNEFWinPrefs *window)>;
void TNEFWinPrefsSetFolderDialogHook(TNEFWinPrefsFolderDialogHook hook);

// Opens the window, or brings it forward when it is open.
void TNEFWinPrefsCreate();
// Shows the values of the set that the selector names.
OSStatus TNEFWinPrefsSetControls(TNEFWinPrefs *window);
OSStatus TNEFWinPrefsEnableControls(TNEFWinPrefs *window);
OSStatus TNEFWinPrefsDisableControls(TNEFWinPrefs *window);
OSStatus TNEFWinPrefsEventHandler(TNEFWinPrefs *window, UInt32 commandID);
OSStatus TNEFWinPrefsCloseHandler(TNEFWinPrefs *window);
// The end of the folder dialog: stores the chosen folder in the shown set.
void TNEFWinPrefsChooseFolderEventProc(TNEFWinPrefs *window, const TNEFWinPrefsFolderReply &reply);
