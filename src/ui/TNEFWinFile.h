#pragma once
// The document window of one opened TNEF file: the message above, the
// attachments and attributes in two tabs below. It holds its form and owns
// its document; the functions below are what the opener and the two lists
// call: creation, tabs, title, close, the setters of the five detail fields
// and the Save button, and the attachment commands.
#include "Controls.h"
#include "platform/MacTypes.h"
#include "ui_TNEFWinFile.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

class QAction;
struct TNEFFile;

enum : UInt32 {
    kTNEFCommandOpenAttachment = FourCharCode("opat"),
    kTNEFCommandCopyName = FourCharCode("cpnm"),
};

// Clears the document's link to its window, then destroys it.
struct TNEFFileDestroyer {
    void operator()(TNEFFile *tnefFile) const;
};

class TNEFWinFile : public QMainWindow {
    Q_OBJECT
public:
    // Takes the document: it is destroyed when the window closes, or with the
    // window if that goes first.
    explicit TNEFWinFile(TNEFFile *tnefFile);
    ~TNEFWinFile() override;

    TNEFFile *document() const { return m_document.get(); }
    Ui::WinFile &form() { return m_form; }
    // 1 or 2: the tab whose pane is shown.
    SInt32 currentTab() const { return m_currentTab; }
    // Shows tab 1 or 2 without it coming back as a click: noErr, or paramErr
    // (logged) for another number.
    OSStatus switchTab(SInt32 newTab);
    // Stops the lists' calls into the document, then destroys it.
    void closeDocument();

    // The title the opener gave, before any folder is added to it.
    QString baseTitle() const { return m_baseTitle; }
    void setBaseTitle(const QString &title) { m_baseTitle = title; }
    // Makes the commands that act on selected attachments usable or not.
    void setSelectionActionsEnabled(bool enabled);
    // The attachment commands, as the menus show them.
    QList<QAction *> attachmentActions() const;
    // The attachment list's context menu, filled; the caller shows it.
    QMenu *createContextMenu();
    // The status bar's message as it reads now, shortened to fit; empty
    // when there is none.
    QString statusText() const;
    // Makes `text` the status bar's one message; `part` of it is what gives
    // way when it does not fit, a link to `folder` when one is given, with
    // the Open Folder button beside it.
    void showStatus(const QString &text, const QString &part = QString(), const QString &folder = QString());

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void restoreLayout();
    void shareSplitter();
    void fitListsPane();
    bool listsCollapsed() const;
    void saveLayout();
    void detachLists();
    void setUpAttachmentList();
    void setUpActions();
    void setUpStatusBar();

    Ui::WinFile m_form;
    std::unique_ptr<TNEFFile, TNEFFileDestroyer> m_document;
    SInt32 m_currentTab = 0;
    QString m_baseTitle;
    QAction *m_openAction = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_saveAllAction = nullptr;
    QAction *m_copyNameAction = nullptr;
    class StatusLine;
    StatusLine *m_statusLine = nullptr;
    QPushButton *m_openFolderButton = nullptr;
    QString m_savedFolder;
    // The splitter as it was before the lists' pane shrank to its tabs.
    QByteArray m_listsShare;
    bool m_shown = false;
};

constexpr int kTNEFWinFileMinimumWidth = 520;
constexpr int kTNEFWinFileMinimumHeight = 370;

// A new window for the document, with tab 1 showing, both lists filled,
// empty details and Save inactive; not shown yet. Null without a document.
TNEFWinFile *TNEFWinFileCreate(TNEFFile *tnefFile);
// Titles the window; windows that would share a title get their folder
// added (the TNEF file's path for an attached message).
OSStatus TNEFWinFileSetTitle(TNEFWinFile *winFile, const QString &title);
// Titles every document window again, as above.
void TNEFWinFileUpdateTitles();
// Shows the window in front and active.
void TNEFWinFileShow(TNEFWinFile *winFile);
void TNEFWinFileHide(TNEFWinFile *winFile);
// Disposes of the window, and with it of its document.
void TNEFWinFileDestroy(TNEFWinFile *winFile);

OSStatus TNEFWinFileTabSwitch(SInt32 newTab, TNEFWinFile *winFile);
// The user picked a tab: eventNotHandledErr when it is the current one.
OSStatus TNEFWinFileTabHandler(TNEFWinFile *winFile);
// The window closes: its lists go quiet and its document is destroyed.
OSStatus TNEFWinFileCloseHandler(TNEFWinFile *winFile);

OSStatus TNEFWinFileSetFileName(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetFileSize(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetFileSaveButtonState(TNEFWinFile *winFile, bool active);
OSStatus TNEFWinFileSetAttributeType(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetAttributeSize(TNEFWinFile *winFile, const QString &text);
OSStatus TNEFWinFileSetAttributeData(TNEFWinFile *winFile, const QString &text);

// What the application does with the documents a window brings in: files
// dropped on it, and attached messages opened from its list.
struct TNEFWinFileOpeners {
    std::function<void(const QStringList &files)> openFiles;
    // Parses and shows the document: 0, or non-zero with the document left
    // to the caller to destroy.
    std::function<SInt32(TNEFFile *tnefFile)> showDocument;
};
void TNEFWinFileSetOpeners(TNEFWinFileOpeners openers);
// Shows the document through the application's opener: its result, or -1
// without one.
SInt32 TNEFWinFileShowDocument(TNEFFile *tnefFile);

// The window's commands: "save", "sval", "opat" and "cpnm";
// eventNotHandledErr for any other, or with nothing to act on.
OSStatus TNEFWinFileCommandHandler(TNEFWinFile *winFile, UInt32 commandID);
// Puts the names of the selected attachments on the clipboard, one a line.
OSStatus TNEFWinFileCopyNames(TNEFWinFile *winFile);
// Tells in the status bar that `written` files were saved in `folder` and
// `failed` could not be, with a link and a button that open the folder.
void TNEFWinFileShowSaved(TNEFWinFile *winFile, const QString &folder, int written, int failed);
// Tells `text` in the status bar in place of what it told before; `part`
// of it (a name) is shortened in its middle when the window is narrow.
void TNEFWinFileShowStatus(TNEFWinFile *winFile, const QString &text, const QString &part = QString());
