#pragma once
// The preference store: eleven globals, loaded at start-up and written back
// at quit. Set 1 ("CarbonEvent") is for files opened through the Open dialog,
// set 2 ("AppleEvent") for files handed to the application.
#include "platform/MacTypes.h"

#include <QString>

extern SInt32 gTNEFPrefCEAuto;
extern SInt32 gTNEFPrefCEDest;
extern QString gTNEFPrefCEDestOther;  // null when absent
extern SInt32 gTNEFPrefCEFolder;
extern SInt32 gTNEFPrefCEQuit;
extern SInt32 gTNEFPrefAEAuto;
extern SInt32 gTNEFPrefAEDest;
extern QString gTNEFPrefAEDestOther;  // null when absent
extern SInt32 gTNEFPrefAEFolder;
extern SInt32 gTNEFPrefAEQuit;
extern bool gTNEFPrefDebug;

// Loads every key (missing or malformed ones as their defaults), announces the
// debug temp-file name when "CreateDebugFile" is 1, and points the parse
// trace at standard output.
void TNEFPrefsInit();
// Writes every key, synchronises the file and, when that worked, closes the
// trace stream. noErr, or a non-zero status when the file was not written.
OSStatus TNEFPrefsQuit();

// $XDG_CONFIG_HOME/Parvane/Parvane.conf, or ~/.config/Parvane/Parvane.conf.
QString TNEFPrefsFilePath();

// A stored destination folder is the path of the folder's file URL: percent
// escapes in, ending in "/". These two convert between it and a plain path;
// the second answers a null QString when the stored text names no absolute
// path.
QString TNEFPrefsDestOtherFromPath(const QString &folderPath);
QString TNEFPrefsPathFromDestOther(const QString &destOther);
