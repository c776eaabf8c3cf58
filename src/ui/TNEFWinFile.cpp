#include "TNEFWinFile.h"

#include "Commands.h"
#include "DataBrowser.h"
#include "MenuBar.h"
#include "TNEFWinFileListAttribute.h"
#include "TNEFWinFileListFile.h"
#include "TNEFWinFileSave.h"
#include "platform/ErrorLog.h"
#include "tnef/TNEFFile.h"

#include <QCloseEvent>
#include <QSignalBlocker>

void TNEFFileDestroyer::operator()(TNEFFile *tnefFile) const
{
    tnefFile->winFile = nullptr;
    TNEFFileDestroy(tnefFile);
}

TNEFWinFile::TNEFWinFile(TNEFFile *tnefFile) : m_document(tnefFile)
{
    m_form.setupUi(this);
    switchTab(1);
    connect(m_form.tabControl_128, &QTabWidget::currentChanged, this, [this] { TNEFWinFileTabHandler(this); });
    TNEFWinFileListFileDBInit(m_form.fileList_131);
    TNEFWinFileListAttributeDBInit(m_form.attributeList_138);
    TNEFWinFileSetFileName(this, QString());
    TNEFWinFileSetFileSize(this, QString());
    TNEFWinFileSetAttributeType(this, QString());
    TNEFWinFileSetAttributeSize(this, QString());
    TNEFWinFileSetAttributeData(this, QString());
    TNEFWinFileSetFileSaveButtonState(this, false);

    InstallWindowCommandHandler(this, [this](UInt32 commandID) {
        return TNEFWinFileSaveCommandEventHandler(this, commandID);
    });
    ConnectControlCommands(this);
    MenuBarAttach(this);
    // Desktops here can always resize windows, so no system version decides it.
    setMinimumSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight);
    setAttribute(Qt::WA_DeleteOnClose);
}

TNEFWinFile::~TNEFWinFile()
{
    // Tearing the form down changes tabs and selections; nothing may answer.
    m_form.tabControl_128->disconnect(this);
    detachLists();
}

OSStatus TNEFWinFile::switchTab(SInt32 newTab)
{
    QTabWidget *tabs = m_form.tabControl_128;
    if (newTab < 1 || newTab > tabs->count()) {
        TNEF_LOG_ERROR("    SetControlVisibility() returned %d.\n", paramErr);
        return paramErr;
    }
    m_currentTab = newTab;
    // The tab widget shows the pane of the current tab and hides the others.
    const QSignalBlocker quiet(tabs);
    tabs->setCurrentIndex(newTab - 1);
    return noErr;
}

void TNEFWinFile::detachLists()
{
    for (QTreeView *list : {m_form.fileList_131, m_form.attributeList_138}) {
        if (auto *browser = qobject_cast<DataBrowser *>(list->model()))
            browser->detach();
    }
}

void TNEFWinFile::closeDocument()
{
    detachLists();
    m_document.reset();
}

void TNEFWinFile::closeEvent(QCloseEvent *event)
{
    if (m_document)
        TNEFWinFileCloseHandler(this);
    event->accept();
}

TNEFWinFile *TNEFWinFileCreate(TNEFFile *tnefFile)
{
    return tnefFile ? new TNEFWinFile(tnefFile) : nullptr;
}

OSStatus TNEFWinFileSetTitle(TNEFWinFile *winFile, const QString &title)
{
    winFile->setWindowTitle(title);
    return noErr;
}

void TNEFWinFileShow(TNEFWinFile *winFile)
{
    winFile->show();
    winFile->raise();
    winFile->activateWindow();
}

void TNEFWinFileHide(TNEFWinFile *winFile)
{
    winFile->hide();
}

void TNEFWinFileDestroy(TNEFWinFile *winFile)
{
    delete winFile;
}

OSStatus TNEFWinFileTabSwitch(SInt32 newTab, TNEFWinFile *winFile)
{
    return winFile->switchTab(newTab);
}

OSStatus TNEFWinFileTabHandler(TNEFWinFile *winFile)
{
    const SInt32 picked = winFile->form().tabControl_128->currentIndex() + 1;
    if (picked == winFile->currentTab())
        return eventNotHandledErr;
    winFile->switchTab(picked);
    return noErr;
}

OSStatus TNEFWinFileCloseHandler(TNEFWinFile *winFile)
{
    winFile->closeDocument();
    return noErr;
}

namespace {

OSStatus setField(QLineEdit *field, const QString &text)
{
    field->setText(text);
    // Long previews start at their first character, not scrolled to the end.
    field->setCursorPosition(0);
    return noErr;
}

} // namespace

OSStatus TNEFWinFileSetFileName(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile->form().fileName_133, text);
}

OSStatus TNEFWinFileSetFileSize(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile->form().fileSize_135, text);
}

OSStatus TNEFWinFileSetAttributeType(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile->form().attributeType_140, text);
}

OSStatus TNEFWinFileSetAttributeSize(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile->form().attributeSize_142, text);
}

OSStatus TNEFWinFileSetAttributeData(TNEFWinFile *winFile, const QString &text)
{
    return setField(winFile->form().attributeData_144, text);
}

OSStatus TNEFWinFileSetFileSaveButtonState(TNEFWinFile *winFile, bool active)
{
    winFile->form().saveButton_137->setEnabled(active);
    return noErr;
}
