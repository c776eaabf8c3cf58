#pragma once
// Turns an opened TNEF file into a shown document window.
#include "platform/MacTypes.h"

#include <QString>

struct TNEFFile;

// Parses the document's fork (at the start of the file) and shows its window
// titled with the file's name: 0, the parser's code, or -1 when no window
// could be made. On failure the user is told with the alert (`alert` true),
// whose explanation names the file and says why, or a beep, and the document
// stays the caller's to destroy.
SInt32 TNEFFileParse(TNEFFile *tnefFile, bool alert);

// Opens the file at `path` and shows it as TNEFFileParse does, with
// *outShown (when given) set to the shown document. A file that cannot be
// opened or parsed is reported through the assertion hook, told to the user
// as TNEFFileParse tells it, and leaves no document behind. 0, the open
// status or the parser's code.
SInt32 TNEFFileOpenDocument(const QString &path, bool alert, TNEFFile **outShown = nullptr);

// The document whose window shows the file at `path` (the same device and
// inode, by whatever path or link TNEFFileOpenDocument opened it), or null.
// A pipe or a process substitution is never the file of a window.
TNEFFile *TNEFFileFindShown(const QString &path);
