#include "TNEFWinFile.h"

#include "Commands.h"
#include "DataBrowser.h"
#include "MenuBar.h"
#include "TNEFWinFileListAttribute.h"
#include "TNEFWinFileListFile.h"
#include "TNEFWinFileSave.h"
#include "platform/ErrorLog.h"
#include "tnef/TNEFFile.h"
#include "ui_TNEFWinFile.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QSignalBlocker>
#include <QTabWidget>
#include <new>

namespace {

class TNEFWinFileWindow : public QMainWindow {
public:
    TNEFWinFileWindow() { m_form.setupUi(this); }
    // Tearing the tab widget down switches tabs; by then the record is gone.
    ~TNEFWinFileWindow() override { QObject::disconnect(m_tabHandler); }

    void followTabs(QTabWidget *tabs, TNEFWinFile *winFile)
    {
        m_tabHandler = QObject::connect(tabs, &QTabWidget::currentChanged, this,
                                        [winFile] { TNEFWinFileTabHandler(winFile); });
    }
    void setRecord(TNEFWinFile *winFile) { m_winFile = winFile; }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (m_winFile) {
            TNEFWinFile *winFile = m_winFile;
            m_winFile = nullptr;
            QObject::disconnect(m_tabHandler);
            TNEFWinFileCloseHandler(winFile);
        }
        event->accept();
    }

private:
    Ui::WinFile m_form;
    TNEFWinFile *m_winFile = nullptr;
    QMetaObject::Connection m_tabHandler;
};

// The creation failed after the window existed: nobody refers to it any more.
TNEFWinFile *abandon(TNEFWinFile *winFile)
{
    if (winFile->window) {
        SetWRefCon(winFile->window, nullptr);
        delete winFile->window;
    }
    delete winFile;
    return nullptr;
}

OSStatus setField(TNEFWinFile *winFile, SInt32 id, const QString &text)
{
    ControlRef control = nullptr;
    const OSStatus err = GetControlByID(winFile->window, id, &control);
    if (err != noErr) {
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
        return err;
    }
    auto *field = qobject_cast<QLineEdit *>(control);
    if (!field) {
        TNEF_LOG_ERROR("    SetControlData() returned %d.\n", paramErr);
        return paramErr;
    }
    field->setText(text);
    // Long previews start at their first character, not scrolled to the end.
    field->setCursorPosition(0);
    return noErr;
}

} // namespace

TNEFWinFile *TNEFWinFileCreate(TNEFFile *tnefFile)
{
    auto *winFile = new (std::nothrow) TNEFWinFile{};
    if (!winFile)
        return nullptr;
    auto *window = new TNEFWinFileWindow;
    winFile->window = window;
    SetWRefCon(window, tnefFile);

    ControlRef tabControl = nullptr;
    OSStatus err = GetControlByID(window, kTNEFWinFileTabControlID, &tabControl);
    auto *tabs = qobject_cast<QTabWidget *>(tabControl);
    if (err != noErr || !tabs) {
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err ? err : errUnknownControl));
        return abandon(winFile);
    }
    window->followTabs(tabs, winFile);

    winFile->currentTab = 1;
    if (TNEFWinFileTabSwitch(1, tabControl, winFile) != noErr)
        return abandon(winFile);

    ControlRef list = nullptr;
    err = GetControlByID(window, kTNEFWinFileFileListID, &list);
    if (err != noErr) {
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
        return abandon(winFile);
    }
    if (TNEFWinFileListFileDBInit(list) != noErr)
        return abandon(winFile);
    err = GetControlByID(window, kTNEFWinFileAttributeListID, &list);
    if (err != noErr) {
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
        return abandon(winFile);
    }
    if (TNEFWinFileListAttributeDBInit(list) != noErr)
        return abandon(winFile);

    TNEFWinFileSetFileName(winFile, QString());
    TNEFWinFileSetFileSize(winFile, QString());
    TNEFWinFileSetAttributeType(winFile, QString());
    TNEFWinFileSetAttributeSize(winFile, QString());
    TNEFWinFileSetAttributeData(winFile, QString());
    TNEFWinFileSetFileSaveButtonState(winFile, false);

    window->setRecord(winFile);
    InstallWindowCommandHandler(window, [window](UInt32 commandID) {
        return TNEFWinFileSaveCommandEventHandler(window, commandID);
    });
    ConnectControlCommands(window);
    MenuBarAttach(window);
    // Desktops here can always resize windows, so no system version decides it.
    window->setMinimumSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight);
    window->setAttribute(Qt::WA_DeleteOnClose);
    return winFile;
}

OSStatus TNEFWinFileSetTitle(TNEFWinFile *winFile, const QString &title)
{
    winFile->window->setWindowTitle(title);
    return noErr;
}

void TNEFWinFileShow(TNEFWinFile *winFile)
{
    winFile->window->show();
    winFile->window->raise();
    winFile->window->activateWindow();
}

void TNEFWinFileHide(TNEFWinFile *winFile)
{
    winFile->window->hide();
}

void TNEFWinFileDestroy(TNEFWinFile *winFile)
{
    delete winFile;
}

OSStatus TNEFWinFileTabSwitch(SInt32 newTab, ControlRef tabControl, TNEFWinFile *winFile)
{
    auto *tabs = qobject_cast<QTabWidget *>(tabControl);
    if (!tabs || newTab < 1 || newTab > tabs->count()) {
        TNEF_LOG_ERROR("    SetControlVisibility() returned %d.\n", paramErr);
        return paramErr;
    }
    winFile->currentTab = newTab;
    // The tab widget shows the pane of the current tab and hides the others;
    // a switch made here must not come back as a click.
    const QSignalBlocker quiet(tabs);
    tabs->setCurrentIndex(newTab - 1);
    return noErr;
}

OSStatus TNEFWinFileTabHandler(TNEFWinFile *winFile)
{
    ControlRef tabControl = nullptr;
    const OSStatus err = GetControlByID(winFile->window, kTNEFWinFileTabControlID, &tabControl);
    auto *tabs = qobject_cast<QTabWidget *>(tabControl);
    if (err != noErr || !tabs) {
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err ? err : errUnknownControl));
        return eventInternalErr;
    }
    const SInt32 picked = tabs->currentIndex() + 1;
    if (picked == winFile->currentTab)
        return eventNotHandledErr;
    TNEFWinFileTabSwitch(picked, tabControl, winFile);
    return noErr;
}

OSStatus TNEFWinFileCloseHandler(TNEFWinFile *winFile)
{
    WindowRef window = winFile->window;
    auto *tnefFile = static_cast<TNEFFile *>(GetWRefCon(window));
    for (SInt32 id : {kTNEFWinFileFileListID, kTNEFWinFileAttributeListID}) {
        ControlRef list = nullptr;
        OSStatus err = GetControlByID(window, id, &list);
        if (err != noErr) {
            TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
            continue;
        }
        DataBrowserCallbacks callbacks;
        err = GetDataBrowserCallbacks(list, &callbacks);
        if (err != noErr) {
            TNEF_LOG_ERROR("    GetDataBrowserCallbacks() returned %ld.\n", long(err));
            continue;
        }
        callbacks.itemDataCallback = nullptr;
        callbacks.itemNotificationCallback = nullptr;
        err = SetDataBrowserCallbacks(list, &callbacks);
        if (err != noErr)
            TNEF_LOG_ERROR("    SetDataBrowserCallbacks() returned %ld.\n", long(err));
    }
    // Anything that still reaches the window, a Save dialog ending late say,
    // finds no document rather than a freed one.
    SetWRefCon(window, nullptr);
    TNEFWinFileDestroy(winFile);
    if (tnefFile) {
        tnefFile->winFile = nullptr;
        TNEFFileDestroy(tnefFile);
    }
    return noErr;
}

OSStatus TNEFWinFileSetFileName(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile, kTNEFWinFileFileNameID, text);
}

OSStatus TNEFWinFileSetFileSize(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile, kTNEFWinFileFileSizeID, text);
}

OSStatus TNEFWinFileSetAttributeType(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile, kTNEFWinFileAttributeTypeID, text);
}

OSStatus TNEFWinFileSetAttributeSize(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile, kTNEFWinFileAttributeSizeID, text);
}

OSStatus TNEFWinFileSetAttributeData(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile, kTNEFWinFileAttributeDataID, text);
}

OSStatus TNEFWinFileSetFileSaveButtonState(TNEFWinFile *winFile, bool active)
{
    ControlRef control = nullptr;
    const OSStatus err = GetControlByID(winFile->window, kTNEFWinFileSaveButtonID, &control);
    if (err != noErr) {
        TNEF_LOG_ERROR("    GetControlByID() returned %ld.\n", long(err));
        return err;
    }
    auto *button = qobject_cast<QAbstractButton *>(control);
    if (!button) {
        if (active)
            TNEF_LOG_ERROR("    ActivateControl() returned %d.\n", paramErr);
        else
            TNEF_LOG_ERROR("    DeactivateControl() returned %d.\n", paramErr);
        return paramErr;
    }
    button->setEnabled(active);
    return noErr;
}

TNEFFile *TNEFWinFileGetDocument(ControlRef control)
{
    WindowRef window = GetControlOwner(control);
    if (!window) {
        TNEF_LOG_ERROR("    GetControlOwner() returned NULL.\n");
        return nullptr;
    }
    auto *tnefFile = static_cast<TNEFFile *>(GetWRefCon(window));
    if (!tnefFile)
        TNEF_LOG_ERROR("    GetWRefCon() returned NULL.\n");
    return tnefFile;
}
