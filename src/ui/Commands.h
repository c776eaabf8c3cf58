#pragma once
// Commands: a menu item, a key or a button carries a four-character command.
// The router offers it to the handler of the window it came from (the active
// window, for menus and keys), then to the application's handler, then to
// the standard handling every window has (closing, the help page). A handler
// answers noErr, eventNotHandledErr to pass the command on, or
// eventInternalErr.
#include "Controls.h"

#include <QString>
#include <functional>

enum : UInt32 {
    kHICommandAbout = FourCharCode("abou"),
    kHICommandOpen = FourCharCode("open"),
    kHICommandPreferences = FourCharCode("pref"),
    kHICommandQuit = FourCharCode("quit"),
    kHICommandClose = FourCharCode("clos"),
    kHICommandAppHelp = FourCharCode("ahlp"),
    kHICommandPrint = FourCharCode("prnt"),
    // The message a document window shows, as a PDF file, and its body as
    // the file `extract --body` writes.
    kTNEFCommandExportPDF = FourCharCode("epdf"),
    kTNEFCommandSaveMessage = FourCharCode("svms"),
};

using CommandHandler = std::function<OSStatus(UInt32 commandID)>;

// One handler per window, forgotten when the window goes; null removes it.
void InstallWindowCommandHandler(WindowRef window, CommandHandler handler);
OSStatus InstallApplicationCommandHandler(CommandHandler handler);

// Routes the command as above, starting at `window` or, without one, at the
// active window. A dialog that belongs to a window passes its commands on to
// that window. eventNotHandledErr when nobody took it.
OSStatus ProcessHICommand(UInt32 commandID, WindowRef window = nullptr);

// Buttons and check boxes with a "command" property send it when clicked;
// choices send their "command" when the user picks an entry, or, with a
// "commands" property ("PRec,PRea"), the command of the entry picked.
void ConnectControlCommands(WindowRef window);

// The page the help command opens; without one, the command is not handled.
void SetHelpPage(const QString &path);
QString HelpPage();
