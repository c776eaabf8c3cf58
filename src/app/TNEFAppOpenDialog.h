#pragma once
// The Open dialog: non-modal, several files, TNEF files shown first (all files
// on request), one dialog at a time.
// The chosen files open one after the other with the Open dialog's
// preference set.
#include "platform/MacTypes.h"

#include <QFileDialog>
#include <QPointer>
#include <QStringList>
#include <functional>

extern QPointer<QFileDialog> gTNEFAppOpenDialogRef;

// How the dialog ended: cancelled (validRecord false) or the chosen files.
struct TNEFAppOpenReply {
    bool validRecord = false;
    QStringList files;
};
// Tests answer the dialog instead of a user; null restores the real dialog.
using TNEFAppOpenDialogHook = std::function<TNEFAppOpenReply()>;
void TNEFAppOpenSetDialogHook(TNEFAppOpenDialogHook hook);

// Shows the dialog, or brings it forward when it is shown. 0.
OSStatus TNEFAppOpenCreate();
// The end of the dialog: opens the chosen files, then disposes of `dialog`.
void TNEFAppOpenDialogEventHandler(QFileDialog *dialog, const TNEFAppOpenReply &reply);
// Disposes of the dialog, if there is one. 0.
OSStatus TNEFAppOpenDestroy();
