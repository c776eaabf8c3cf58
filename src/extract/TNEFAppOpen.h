#pragma once
// Automatic extraction: every attachment of a parsed TNEF file written to the
// destination that a preference set chooses, under safe and free names.
#include "platform/MacTypes.h"

#include <QString>
#include <functional>

struct TNEFFile;

// What a front end may want to hear while extraction runs. Any member may be
// left empty.
struct TNEFAutomateEvents {
    // A file was written completely at `path`: where its folder is now, should
    // somebody have moved the folder meanwhile.
    std::function<void(const QString &path)> written;
    // Attachment `fileID` (shown as `name`) was not written: `status` is the
    // writer's result, or -1 when no free name was left for it.
    std::function<void(UInt32 fileID, const QString &name, SInt32 status)> failed;
    // A file is about to take the name at `path` (nothing exists there yet).
    std::function<void(const QString &path)> writing;
    // The new folder named after the TNEF file was created at `path`.
    std::function<void(const QString &path)> folderCreated;
};

// Writes every attachment of `inTnefFile` with preference set `inPrefSet`
// (1: the Open-dialog set, 2: the set for files handed to the application,
// anything else: beside the TNEF file, no new folder). The destination is
// opened once and every file and folder made through it; a file shows under
// its name only once complete. Nothing that exists is ever deleted or
// overwritten. Always answers 0; failures are reported through
// the assertion hook and `events`.
SInt32 TNEFAppOpenAutomate(TNEFFile *inTnefFile, UInt32 inPrefSet,
                           const TNEFAutomateEvents *events = nullptr);
