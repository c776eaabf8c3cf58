#pragma once
// The document window of one opened TNEF file. It holds its form and owns
// its document; the functions below are what the opener and the two lists
// call: creation, tabs, title, close, and the setters of the five detail
// fields and the Save button.
#include "platform/MacTypes.h"
#include "ui_TNEFWinFile.h"

#include <QMainWindow>
#include <QString>
#include <memory>

struct TNEFFile;

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

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void detachLists();

    Ui::WinFile m_form;
    std::unique_ptr<TNEFFile, TNEFFileDestroyer> m_document;
    SInt32 m_currentTab = 0;
};

constexpr int kTNEFWinFileMinimumWidth = 520;
constexpr int kTNEFWinFileMinimumHeight = 370;

// A new window for the document, with tab 1 showing, both lists filled,
// empty details and Save inactive; not shown yet. Null without a document.
TNEFWinFile *TNEFWinFileCreate(TNEFFile *tnefFile);
OSStatus TNEFWinFileSetTitle(TNEFWinFile *winFile, const QString &title);
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
