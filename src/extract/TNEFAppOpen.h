#pragma once
// Extraction: every attachment of a parsed TNEF file, and on request its
// message's bodies, written into one folder under safe and free names;
// automatic extraction chooses that folder by a preference set.
#include "platform/MacTypes.h"
#include "tnef/TNEFRtf.h"

#include <QList>
#include <QString>
#include <functional>
#include <vector>

struct TNEFFile;
struct TNEFAttachedMessage;

// What a front end may want to hear while extraction runs. Any member may be
// left empty.
struct TNEFAutomateEvents {
    // A file was written completely at `path`: where its folder is now, should
    // somebody have moved the folder meanwhile.
    std::function<void(const QString &path)> written;
    // Attachment `fileID` (shown as `name`) was not written: `status` is the
    // writer's result, or -1 when no free name was left for it. A body file
    // has fileID 0; its status may also be that of reading the body.
    std::function<void(UInt32 fileID, const QString &name, SInt32 status)> failed;
    // A file is about to take the name at `path` (nothing exists there yet).
    std::function<void(const QString &path)> writing;
    // The new folder named after the TNEF file was created at `path`.
    std::function<void(const QString &path)> folderCreated;
    // Attached message `name` was not read (see TNEFAttachedMessage): its
    // attachments were not written.
    std::function<void(const QString &name, const TNEFAttachedMessage &why)> unreadMessage = {};
    // The message's RTF body, which the body file `name` is made from, is
    // damaged (see the report); the file is still written. Told once.
    std::function<void(const QString &name, const TNEFRtfReport &report)> bodyDamaged = {};
};

// How one extraction runs.
struct TNEFExtractOptions {
    QString destination;  // the existing folder written into
    // 1: inside a new folder named after the TNEF file when two or more files
    // are written; 3: always; anything else (2): never.
    SInt32 folderMode = 1;
    // Also write the message: message.html when it has HTML (stored, or
    // recovered from its RTF), message.rtf when it has RTF, message.txt when
    // it has plain text and neither of the others.
    bool body = false;
    TNEFAutomateEvents events;
    // Only these attachments, in this order; all of them when empty.
    std::vector<UInt32> fileIDs = {};
    // Also the attachments of each attached message (and of the messages
    // attached to those), each message's into a new folder named after it
    // beside the message's own file, under the same rules of names.
    bool recursive = false;
};

// Attached messages nested deeper than this inside the file are not opened.
constexpr int kTNEFAttachedMaxDepth = 32;

// An attached message opened as a document of its own and parsed for its
// attachments (no attribute records), or why not.
struct TNEFAttachedMessage {
    TNEFFile *file = nullptr;   // the caller destroys it
    bool tooDeep = false;       // below kTNEFAttachedMaxDepth messages
    OSErr openStatus = noErr;   // the opening's status
    SInt32 parseCode = 0;       // the parser's code
};
// Opens attachment `fileID` of `tnefFile`, an attached message at nesting
// `depth` (1 for one in the file itself), and parses it.
TNEFAttachedMessage TNEFAttachedMessageOpen(const TNEFFile *tnefFile, UInt32 fileID, int depth);

// Writes every attachment of `inTnefFile`, then the bodies asked for, into
// `options.destination`. The destination is opened once and every file and
// folder made through it; a file shows under its name only once complete.
// Nothing that exists is ever deleted or overwritten. Failures are reported
// through the assertion hook and the events.
void TNEFExtractAll(TNEFFile *inTnefFile, const TNEFExtractOptions &options);

// One body of the message, ready to be written: "message.html",
// "message.rtf" or "message.txt", and its bytes.
struct TNEFBodyFile {
    QString name;
    QByteArray bytes;
};
// The bodies extraction writes with `body` set, read from the file: HTML
// and RTF, or else the plain text. A body that is there but cannot be read
// is reported (through the hook, and `events.failed` with fileID 0) and
// left out.
QList<TNEFBodyFile> TNEFExtractReadBodies(const TNEFFile *tnefFile, const TNEFAutomateEvents &events = {});

// The folder that holds the TNEF file, or a null string (reported) when it
// cannot be named.
QString TNEFExtractSourceFolder(const TNEFFile *inTnefFile);

// Writes every attachment of `inTnefFile` with preference set `inPrefSet`
// (1: the Open-dialog set, 2: the set for files handed to the application,
// anything else: beside the TNEF file, no new folder), through
// TNEFExtractAll: 0. When the destination cannot take files (it does not
// exist, is no folder, cannot be written to, or the stored text names no
// folder), nothing is written: the alert names the folder and the reason,
// every attachment (and the message, when asked for) is reported failed
// with the status answered, and no writing event comes.
SInt32 TNEFAppOpenAutomate(TNEFFile *inTnefFile, UInt32 inPrefSet,
                           const TNEFAutomateEvents *events = nullptr);
