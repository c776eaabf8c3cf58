#pragma once
// Saving from a document window. The "save" command asks, in a save dialog
// attached to the window, where to write the selected attachment, or, with
// several selected, for a folder to write them into; "sval" (Save All)
// writes every attachment into a chosen folder as the automatic extraction
// does. Dialogs start in the TNEF file's folder.
#include "platform/MacTypes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class TNEFWinFile;
struct TNEFFile;

constexpr UInt32 kTNEFCommandSave = 0x73617665;     // "save"
constexpr UInt32 kTNEFCommandSaveAll = 0x7376616C;  // "sval"

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
// The same for the folder dialog: the chosen folder, or a null QString for a
// cancelled dialog.
using TNEFWinFileFolderDialogHook = std::function<QString(TNEFWinFile *window)>;
void TNEFWinFileSaveSetFolderDialogHook(TNEFWinFileFolderDialogHook hook);

// eventNotHandledErr for another command or with no attachment selected,
// eventInternalErr when the window has no document, else 0 with the dialog open.
OSStatus TNEFWinFileSaveCommandEventHandler(TNEFWinFile *window, UInt32 commandID);
// Opens the dialog proposing `fileName`; returns while it runs.
OSStatus TNEFWinFileSaveShow(const QString &fileName, TNEFWinFile *window);
// The end of the dialog: writes the attachment selected in `window` as the
// reply says, unless the window has closed meanwhile.
void TNEFWinFileSaveEventProc(TNEFWinFile *window, const TNEFWinFileSaveReply &reply);

// Save All: asks for a folder and extracts every attachment into it, with
// no new folder, under safe and unique names; the status bar then names
// the folder. eventNotHandledErr when the document has no attachments.
OSStatus TNEFWinFileSaveAll(TNEFWinFile *window);

// What an extraction did: the folder it wrote into (empty when it wrote
// nothing), and how many attachments it wrote and could not write.
struct TNEFWinFileSaved {
    QString folder;
    int written = 0;
    int failed = 0;
};

// The automatic extraction of a shown document with preference set
// `prefSet`; its window's status bar then names the folder written into.
TNEFWinFileSaved TNEFWinFileAutomate(TNEFFile *tnefFile, UInt32 prefSet);

// Writes the attachments into `folder` under their safe names, each new
// name unique there; nothing that exists is touched. Their paths, in the
// order given; attachments that cannot be written are left out (logged).
QStringList TNEFWinFileSaveItems(TNEFFile *tnefFile, const std::vector<UInt32> &fileIDs, const QString &folder);
