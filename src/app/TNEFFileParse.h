#pragma once
// Turns an opened TNEF file into a shown document window.
#include "platform/MacTypes.h"

#include <QList>
#include <QString>

struct TNEFFile;

// Parses the document's fork (at the start of the file) and shows its window
// titled with the file's name: 0, the parser's code, or -1 when no window
// could be made. On failure the user is told with the alert (`alert` true),
// whose explanation names the file and says why, or a beep, and the document
// stays the caller's to destroy.
SInt32 TNEFFileParse(TNEFFile *tnefFile, bool alert);

// Opens the file at `path` and shows it as TNEFFileParse does, with
// *outShown (when given) set to the shown documents. A mail (by its content;
// a mail's name or type only changes what a file that is neither is told)
// shows each of its TNEF parts, with the mail's headers where the part has
// none. A file that cannot be opened or parsed, or a mail without a TNEF
// part, is reported through the assertion hook, told to the user as
// TNEFFileParse tells it, and leaves no document behind. 0, the open status,
// the parser's code or a kMailOpen status (of a mail: that of its last
// part that failed).
SInt32 TNEFFileOpenDocument(const QString &path, bool alert, QList<TNEFFile *> *outShown = nullptr);

// The document whose window shows the file at `path` (the same device and
// inode, by whatever path or link TNEFFileOpenDocument opened it), or null.
// A pipe or a process substitution is never the file of a window.
TNEFFile *TNEFFileFindShown(const QString &path);
