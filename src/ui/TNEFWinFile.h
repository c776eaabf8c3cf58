#pragma once
// The document window of one opened TNEF file: its record, its creation from
// the "WinFile" form, tabs, title, close, and the setters through which the
// two lists write the five detail fields and the Save button.
#include "Controls.h"

#include <QString>

struct TNEFFile;

struct TNEFWinFile {
    WindowRef window = nullptr;
    SInt32 currentTab = 0;  // 1 or 2: the tab whose pane is shown
};

// Control IDs in the "WinFile" form.
enum : SInt32 {
    kTNEFWinFileTabControlID = 128,
    kTNEFWinFileFilePaneID = 129,
    kTNEFWinFileAttributePaneID = 130,
    kTNEFWinFileFileListID = 131,
    kTNEFWinFileFileNameID = 133,
    kTNEFWinFileFileSizeID = 135,
    kTNEFWinFileSaveButtonID = 137,
    kTNEFWinFileAttributeListID = 138,
    kTNEFWinFileAttributeTypeID = 140,
    kTNEFWinFileAttributeSizeID = 142,
    kTNEFWinFileAttributeDataID = 144,
};

constexpr int kTNEFWinFileMinimumWidth = 520;
constexpr int kTNEFWinFileMinimumHeight = 370;

// A new window for the document, with tab 1 showing, empty details and Save
// inactive; not shown yet. The window holds the document from here on and
// destroys it when it closes. Null on failure.
TNEFWinFile *TNEFWinFileCreate(TNEFFile *tnefFile);
OSStatus TNEFWinFileSetTitle(TNEFWinFile *winFile, const QString &title);
// Shows the window in front and active.
void TNEFWinFileShow(TNEFWinFile *winFile);
void TNEFWinFileHide(TNEFWinFile *winFile);
// Frees the record only; neither the window nor the document is touched.
void TNEFWinFileDestroy(TNEFWinFile *winFile);

OSStatus TNEFWinFileTabSwitch(SInt32 newTab, ControlRef tabControl, TNEFWinFile *winFile);
// The user picked a tab: eventNotHandledErr when it is the current one.
OSStatus TNEFWinFileTabHandler(TNEFWinFile *winFile);
// Detaches the lists, frees the record and destroys the document.
OSStatus TNEFWinFileCloseHandler(TNEFWinFile *winFile);

OSStatus TNEFWinFileSetFileName(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetFileSize(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetFileSaveButtonState(TNEFWinFile *winFile, bool active);
OSStatus TNEFWinFileSetAttributeType(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetAttributeSize(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetAttributeData(TNEFWinFile *winFile, const QString &text);

// The document of the window that holds `control`; null (logged) when the
// control has no window or the window no document.
TNEFFile *TNEFWinFileGetDocument(ControlRef control);
