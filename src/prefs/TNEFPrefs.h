#pragma once
// The preference store: thirteen globals, loaded at start-up and written
// back at quit. Set 1 ("CarbonEvent") is for files opened through the Open dialog,
// set 2 ("AppleEvent") for files handed to the application.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QSize>
#include <QString>

extern SInt32 gTNEFPrefCEAuto;
extern SInt32 gTNEFPrefCEDest;
extern QString gTNEFPrefCEDestOther;  // null when absent
extern SInt32 gTNEFPrefCEFolder;
extern SInt32 gTNEFPrefCEQuit;
extern SInt32 gTNEFPrefCEBody;
extern SInt32 gTNEFPrefAEAuto;
extern SInt32 gTNEFPrefAEDest;
extern QString gTNEFPrefAEDestOther;  // null when absent
extern SInt32 gTNEFPrefAEFolder;
extern SInt32 gTNEFPrefAEQuit;
extern SInt32 gTNEFPrefAEBody;
extern bool gTNEFPrefDebug;

// The values of one set, as the Preferences window shows them and the
// openers and the automatic extraction read them.
struct TNEFPrefSet {
    SInt32 autoExtract = 0;  // 1: extract every file opened this way
    SInt32 dest = 0;         // 1 beside the TNEF file, 2 asked each time, 3 destOther
    QString destOther;       // null when absent
    SInt32 folder = 0;       // 1 new folder for two or more files, 3 always, else never
    SInt32 quit = 0;         // 1: quit once the files of one open are handled
    SInt32 body = 0;         // 1: also write the message's bodies
};

// Selector 1: the Open-dialog set ("CarbonEvent" keys), 2: the set for files
// handed to the application ("AppleEvent" keys). Any other selector reads as
// all zeros (beside the TNEF file, no new folder) and is not written.
TNEFPrefSet TNEFPrefsGetSet(UInt32 selector);
void TNEFPrefsSetSet(UInt32 selector, const TNEFPrefSet &set);

// Loads every key (missing or malformed ones as their defaults) and announces
// the debug temp-file name when "CreateDebugFile" is 1.
void TNEFPrefsInit();
// Writes every key and synchronises the file. noErr, or a non-zero status
// when the file was not written.
OSStatus TNEFPrefsQuit();

// How the last document window was laid out: its size and the state of
// the splitter between message and lists. Kept in the same file as the
// other keys, but read and written on their own: a window reads them when
// it opens and writes them when it closes. An invalid size and empty state
// when never stored or unreadable.
struct TNEFPrefWindow {
    QSize size;
    QByteArray splitter;
};
TNEFPrefWindow TNEFPrefsGetWindow();
// Writes what is valid of it; noErr, or ioErr (logged) when the file was not written.
OSStatus TNEFPrefsSetWindow(const TNEFPrefWindow &window);

// $XDG_CONFIG_HOME/Parvane/Parvane.conf, or ~/.config/Parvane/Parvane.conf.
QString TNEFPrefsFilePath();

// A stored destination folder is the path of the folder's file URL: percent
// escapes in, ending in "/". These two convert between it and a plain path.
// The second also reads a whole file URL ("file:///home/u/Out",
// "file://localhost/…") and a plain path, whose "%" must then be written
// "%25"; it answers a null QString when the stored text names no absolute
// path on this computer.
QString TNEFPrefsDestOtherFromPath(const QString &folderPath);
QString TNEFPrefsPathFromDestOther(const QString &destOther);
