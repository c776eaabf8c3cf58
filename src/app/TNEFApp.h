#pragma once
// The application: start-up, the four events it answers, its menu commands,
// the opener that every way of opening files shares, and quitting.
#include "AppEvents.h"
#include "platform/MacTypes.h"

#include <QString>
#include <QStringList>
#include <functional>

class QMenu;

// The menu with ID 129; start-up stops without it.
extern QMenu *gTNEFAppMenuRef;

// 0 when the application is ready: menu bar, command handler, dialogs,
// help page, preferences and event handlers installed. Otherwise the status
// of the failing step, or -1 when the menu bar has no menu 129.
SInt32 TNEFAppInit();
OSErr TNEFAppAEInit();

// Saves the preferences and ends the process; it never returns, unless a
// test replaced the ending. The exit status is 0, or 1 when a quit after
// opening follows a file that did not open or an attachment not written.
void TNEFAppQuit();
// Quits when none of the application's windows is on the screen any more.
void TNEFAppQuitWithoutWindows();
// Tests: called with the exit status in place of ending the process.
void TNEFAppSetExitHook(std::function<void(int status)> hook);

OSErr TNEFAppAEHandlerOpen(const AppEvent *event, AppEvent *reply, long refCon);
OSErr TNEFAppAEHandlerReOpen(const AppEvent *event, AppEvent *reply, long refCon);
OSErr TNEFAppAEHandlerOpenDocuments(const AppEvent *event, AppEvent *reply, long refCon);
OSErr TNEFAppAEHandlerQuit(const AppEvent *event, AppEvent *reply, long refCon);

// "abou", "open", "pref" and "quit"; eventNotHandledErr for anything else.
OSStatus TNEFAppEventHandler(UInt32 commandID);

// Opens each file in turn with preference set `prefSet` (1: the Open
// dialog's, 2: the set for files handed to the application): shows it,
// extracts its attachments when the set asks for that (attachments that
// could not be written are told in an alert), and afterwards sends "quit"
// when the set asks for that. A file that fails is reported and the next one
// is tried. 0, or the status of the last failure.
OSErr TNEFAppOpenFiles(const QStringList &files, UInt32 prefSet);

// The help page beside the program, installed or in the build tree; empty
// when there is none.
QString TNEFAppHelpPagePath();
