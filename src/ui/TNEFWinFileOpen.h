#pragma once
// Opening attachments. Each is copied into a private folder of the user's
// and handed to the desktop, which opens it with the application for its
// type; an attached message opens in a document window of its own. Drags
// out of the attachment list hand over such copies too.
#include "platform/MacTypes.h"

#include <QString>
#include <QStringList>
#include <vector>

class TNEFWinFile;
struct TNEFFile;

// The folder that holds the copies: under $XDG_RUNTIME_DIR, or without one
// under the cache folder; only the user may enter it (0700). Null (logged)
// when it cannot be made or is not the user's own.
QString TNEFWinFilePrivateFolder();

// Writes complete copies of the attachments into a new folder of the private
// folder, under their safe names, each readable only, and answers their
// paths in the order given; attachments that cannot be written are left out
// (logged). Copies from earlier days are cleared away first.
QStringList TNEFWinFileWriteCopies(TNEFFile *tnefFile, const std::vector<UInt32> &fileIDs);

// Opens the attachments: attached messages in their own document windows,
// the others as copies with the desktop. noErr, or the status of the last
// failure (the window's status bar tells the user).
OSStatus TNEFWinFileOpenAttachments(TNEFWinFile *winFile, const std::vector<UInt32> &fileIDs);
// Opens attached message `fileID` in a document window of its own, through
// the application's document opener: its result, or the status that kept
// the message from being opened.
SInt32 TNEFWinFileOpenAttached(TNEFWinFile *winFile, UInt32 fileID);
