#pragma once
// The Save panel: the window's "save" command asks, in a save dialog attached
// to the document window, where to write the selected attachment.
#include "platform/MacTypes.h"

#include <QString>
#include <functional>

class TNEFWinFile;

constexpr UInt32 kTNEFCommandSave = 0x73617665;  // "save"

// How the dialog ended: cancelled (validRecord false), or a folder and a name,
// with replacing true when the user agreed to replace a file of that name.
struct TNEFWinFileSaveReply {
    bool validRecord = false;
    QString folder;
    QString fileName;
    bool replacing = false;
};

// Tests answer the dialog instead of a user: the hook gets the document
// window and the proposed name and returns the reply at once. Null restores
// the real dialog.
using TNEFWinFileSaveDialogHook =
    std::function<TNEFWinFileSaveReply(TNEFWinFile *window, const QString &proposedName)>;
void TNEFWinFileSaveSetDialogHook(TNEFWinFileSaveDialogHook hook);

// eventNotHandledErr for another command or with no attachment selected,
// eventInternalErr when the window has no document, else 0 with the dialog open.
OSStatus TNEFWinFileSaveCommandEventHandler(TNEFWinFile *window, UInt32 commandID);
// Opens the dialog proposing `fileName`; returns while it runs.
OSStatus TNEFWinFileSaveShow(const QString &fileName, TNEFWinFile *window);
// The end of the dialog: writes the attachment selected in `window` as the
// reply says, unless the window has closed meanwhile.
void TNEFWinFileSaveEventProc(TNEFWinFile *window, const TNEFWinFileSaveReply &reply);
