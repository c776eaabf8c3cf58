#include "TNEFWinFile.h"

#include "Commands.h"
#include "DataBrowser.h"
#include "MenuBar.h"
#include "TNEFWinFileListAttribute.h"
#include "TNEFWinFileList.h"
#include "TNEFWinFileListFile.h"
#include "TNEFWinFileMessage.h"
#include "TNEFWinFileOpen.h"
#include "TNEFWinFilePrint.h"
#include "TNEFWinFileSave.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFText.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QUrl>

namespace {

TNEFWinFileOpeners gOpeners;

// Where the document lies, for a title: its folder, or for an attached
// message the TNEF file that holds it; the home folder reads "~".
QString placeOf(const TNEFFile *tnefFile)
{
    const bool attached = FSPathLastComponent(tnefFile->fileRef) != tnefFile->fileName;
    QString place = attached ? tnefFile->fileRef : FSPathParent(tnefFile->fileRef);
    const QString home = QDir::homePath();
    if (place == home || place.startsWith(home + QLatin1Char('/')))
        place = QLatin1Char('~') + place.mid(home.size());
    return place;
}

} // namespace

// The status bar's one line: each message replaces the one before, and
// when the window is too narrow the part it names (a folder, a file) gives
// way in its middle, so that its start and its end stay readable.
class TNEFWinFile::StatusLine : public QLabel {
public:
    explicit StatusLine(QWidget *parent) : QLabel(parent)
    {
        setTextFormat(Qt::RichText);
        setContentsMargins(4, 0, 4, 0);
        // The status bar gives it what is left; its text never widens the window.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    void set(const QString &text, const QString &part, const QUrl &link)
    {
        m_text = text;
        m_part = part.isEmpty() ? -1 : text.lastIndexOf(part);
        m_partLength = m_part < 0 ? 0 : part.size();
        m_link = link;
        fit();
    }
    QString shown() const { return m_shown; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    void fit()
    {
        const QFontMetrics metrics = fontMetrics();
        const int room = contentsRect().width();
        if (m_part < 0) {
            m_shown = metrics.elidedText(m_text, Qt::ElideMiddle, room);
            setText(m_shown.toHtmlEscaped());
            return;
        }
        const QString before = m_text.left(m_part);
        const QString after = m_text.mid(m_part + m_partLength);
        const int fixed = metrics.horizontalAdvance(before + after);
        QString part = metrics.elidedText(m_text.mid(m_part, m_partLength), Qt::ElideMiddle, std::max(room - fixed, 0));
        if (part.isEmpty())
            part = QStringLiteral("…");
        m_shown = before + part + after;
        const QString partHtml = m_link.isEmpty() ? part.toHtmlEscaped()
                                                  : QStringLiteral("<a href=\"%1\">%2</a>")
                                                        .arg(m_link.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                                             part.toHtmlEscaped());
        setText(before.toHtmlEscaped() + partHtml + after.toHtmlEscaped());
    }

    QString m_text;
    qsizetype m_part = -1;
    qsizetype m_partLength = 0;
    QUrl m_link;
    QString m_shown;
};

void TNEFFileDestroyer::operator()(TNEFFile *tnefFile) const
{
    tnefFile->winFile = nullptr;
    TNEFFileDestroy(tnefFile);
}

TNEFWinFile::TNEFWinFile(TNEFFile *tnefFile) : m_document(tnefFile)
{
    m_form.setupUi(this);
    setWindowFilePath(tnefFile->fileRef);
    QFont heading = m_form.messageSubject->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    heading.setBold(true);
    m_form.messageSubject->setFont(heading);
    // The letter is what is read: it takes most of the window, and what the
    // window gains or loses in height.
    m_form.splitter->setStretchFactor(0, 1);
    m_form.splitter->setStretchFactor(1, 0);
    TNEFWinFileMessageShow(this);
    restoreLayout();

    switchTab(1);
    connect(m_form.tabControl_128, &QTabWidget::currentChanged, this, [this] { TNEFWinFileTabHandler(this); });
    // Document order until the user sorts; a third click on a column goes
    // back to it. Set before the rows arrive: the list would sort them all
    // by name first, and with many rows that is most of the window's time.
    QHeaderView *fileHeader = m_form.fileList_131->header();
    fileHeader->setSortIndicatorClearable(true);
    fileHeader->setSortIndicator(-1, Qt::AscendingOrder);
    TNEFWinFileListFileDBInit(m_form.fileList_131);
    TNEFWinFileListAttributeDBInit(m_form.attributeList_138);
    setUpActions();
    TNEFWinFileSetFileName(this, QString());
    TNEFWinFileSetFileSize(this, QString());
    TNEFWinFileSetAttributeType(this, QString());
    TNEFWinFileSetAttributeSize(this, QString());
    TNEFWinFileSetAttributeData(this, QString());
    TNEFWinFileSetFileSaveButtonState(this, false);
    setUpAttachmentList();
    setUpStatusBar();

    InstallWindowCommandHandler(this, [this](UInt32 commandID) { return TNEFWinFileCommandHandler(this, commandID); });
    ConnectControlCommands(this);
    AcceptFileDrops(this, [](const QStringList &files) {
        if (gOpeners.openFiles)
            gOpeners.openFiles(files);
    });
    // Desktops here can always resize windows, so no system version decides it.
    setMinimumSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight);
    setAttribute(Qt::WA_DeleteOnClose);
}

TNEFWinFile::~TNEFWinFile()
{
    // Tearing the form down changes tabs and selections; nothing may answer.
    m_form.tabControl_128->disconnect(this);
    detachLists();
    if (m_document) {
        m_document.reset();
        TNEFWinFileUpdateTitles();
    }
}

// The last window's size, within the screen it opens on, or two thirds of
// that screen; the last window's split is set once the window has its size.
void TNEFWinFile::restoreLayout()
{
    const TNEFPrefWindow saved = TNEFPrefsGetWindow();
    const QSize room = screen()->availableGeometry().size();
    const QSize size = saved.size.isValid() ? saved.size.boundedTo(room) : room * 2 / 3;
    resize(size.expandedTo(QSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight)));
    m_listsShare = saved.splitter;
}

// The split the lists' pane had, or without one, most of the height for
// the letter and a third for the lists, enough for rows and details.
void TNEFWinFile::shareSplitter()
{
    QSplitter *splitter = m_form.splitter;
    if (splitter->count() < 2 || (!m_listsShare.isEmpty() && splitter->restoreState(m_listsShare)))
        return;
    const int height = splitter->height() - splitter->handleWidth();
    splitter->setSizes({height - height / 3, height / 3});
}

// Without attachments, and with the letter to show, the tabs shrink to their
// bar: the letter has the window, and the attributes stay one click away in
// the place they always have. Picking them gives the pane its share again.
void TNEFWinFile::fitListsPane()
{
    QTabWidget *tabs = m_form.tabControl_128;
    QSplitter *splitter = m_form.splitter;
    const bool withLetter = splitter->indexOf(m_form.messageView) >= 0;
    const bool collapse = !m_document->fileList && withLetter && m_currentTab == 1;
    if (collapse) {
        if (!listsCollapsed() && m_shown)
            m_listsShare = splitter->saveState();
        tabs->setMaximumHeight(tabs->tabBar()->sizeHint().height());
        splitter->setSizes({splitter->height(), 0});
    } else if (listsCollapsed() || !m_shown) {
        tabs->setMaximumHeight(QWIDGETSIZE_MAX);
        if (m_shown)
            shareSplitter();
    }
}

bool TNEFWinFile::listsCollapsed() const
{
    return m_form.tabControl_128->maximumHeight() != QWIDGETSIZE_MAX;
}

void TNEFWinFile::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Sizes given before the splitter has its own are not kept.
    if (!m_shown) {
        m_shown = true;
        if (listsCollapsed())
            fitListsPane();
        else
            shareSplitter();
    }
}

void TNEFWinFile::saveLayout()
{
    const bool split = m_form.splitter->indexOf(m_form.messageView) >= 0 && !listsCollapsed();
    TNEFPrefsSetWindow({isMaximized() || isFullScreen() ? normalGeometry().size() : size(),
                        split ? m_form.splitter->saveState() : QByteArray()});
}

void TNEFWinFile::setUpAttachmentList()
{
    QTreeView *list = m_form.fileList_131;
    const bool empty = !m_document->fileList;
    // A message without attachments, and without a letter to give the room
    // to, says so where the list would be.
    const bool withLetter = m_form.splitter->indexOf(m_form.messageView) >= 0;
    m_form.fileListArea->setVisible(!empty);
    m_form.noAttachments->setVisible(empty && !withLetter);
    m_saveAllAction->setEnabled(!empty);
    m_form.saveAllButton->setEnabled(!empty);

    QHeaderView *header = list->header();
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setStretchLastSection(false);
    list->addActions({m_openAction, m_copyNameAction});
    connect(list, &QAbstractItemView::doubleClicked, this,
            [this] { ProcessHICommand(kTNEFCommandOpenAttachment, this); });
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &at) {
        QMenu *menu = createContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(list->viewport()->mapToGlobal(at));
    });
}

void TNEFWinFile::setUpActions()
{
    const auto action = [this](const QString &text, const char *icon, UInt32 command) {
        auto *item = new QAction(QIcon::fromTheme(QLatin1String(icon)), text, this);
        connect(item, &QAction::triggered, this, [this, command] { ProcessHICommand(command, this); });
        return item;
    };
    m_openAction = action(tr("&Open Attachment"), "document-open", kTNEFCommandOpenAttachment);
    m_saveAction = action(tr("&Save Attachment…"), "document-save-as", kTNEFCommandSave);
    m_saveAllAction = action(tr("Save &All Attachments…"), "document-save-all", kTNEFCommandSaveAll);
    m_copyNameAction = action(tr("&Copy Attachment Name"), "edit-copy", kTNEFCommandCopyName);
    // Return and Copy belong to the list: elsewhere they act on the message text.
    m_openAction->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    m_openAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_copyNameAction->setShortcuts(QKeySequence::Copy);
    m_copyNameAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_saveAction->setShortcuts(QKeySequence::Save);
    m_saveAllAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    addActions({m_saveAction, m_saveAllAction});

    const MenuBarMenus menus = MenuBarAttach(this);
    if (QMenu *file = menus.file) {
        QAction *after = file->actions().value(1);
        file->insertActions(after, attachmentActions().mid(0, 3));
        file->insertSeparator(after);
        // The bar's message items act on the message this window shows:
        // the window has its own, usable when it shows one.
        const bool hasMessage = !m_form.messageView->isHidden();
        for (QAction *shared : file->actions()) {
            const UInt32 command = FourCharCodeFromText(shared->property("command").toString());
            if (command != kHICommandPrint && command != kTNEFCommandExportPDF && command != kTNEFCommandSaveMessage)
                continue;
            QAction *own = action(shared->text(), "", command);
            own->setShortcuts(shared->shortcuts());
            own->setProperty("command", shared->property("command"));
            own->setEnabled(hasMessage);
            file->insertAction(shared, own);
            file->removeAction(shared);
        }
    }
    if (QMenu *edit = menus.edit) {
        QAction *first = edit->actions().value(0);
        edit->insertAction(first, m_copyNameAction);
        edit->insertSeparator(first);
    }
}

void TNEFWinFile::setUpStatusBar()
{
    m_statusLine = new StatusLine(this);
    connect(m_statusLine, &QLabel::linkActivated, this, [](const QString &link) { DesktopOpenURL(QUrl(link)); });
    m_openFolderButton = new QPushButton(QIcon::fromTheme(QStringLiteral("folder-open")), tr("Open Folder"), this);
    connect(m_openFolderButton, &QPushButton::clicked, this,
            [this] { DesktopOpenURL(DesktopFileURL(m_savedFolder)); });
    statusBar()->addWidget(m_statusLine, 1);
    statusBar()->addWidget(m_openFolderButton);
    m_statusLine->hide();
    m_openFolderButton->hide();

    quint64 total = 0;
    int count = 0;
    for (const TNEFFileItem *item = m_document->fileList; item; item = item->next, ++count)
        total += item->dataLength;
    const QString summary = count == 0 ? tr("No attachments")
        : count == 1                   ? tr("1 attachment, %1").arg(TNEFWinFileSizeText(total))
                                       : tr("%1 attachments, %2").arg(count).arg(TNEFWinFileSizeText(total));
    statusBar()->addPermanentWidget(new QLabel(summary, this));
}

void TNEFWinFile::setSelectionActionsEnabled(bool enabled)
{
    for (QAction *item : {m_openAction, m_saveAction, m_copyNameAction}) {
        if (item)
            item->setEnabled(enabled);
    }
}

QList<QAction *> TNEFWinFile::attachmentActions() const
{
    return {m_openAction, m_saveAction, m_saveAllAction, m_copyNameAction};
}

QMenu *TNEFWinFile::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->addActions({m_openAction, m_saveAction, m_saveAllAction});
    menu->addSeparator();
    menu->addAction(m_copyNameAction);
    return menu;
}

QString TNEFWinFile::statusText() const
{
    return m_statusLine->isVisible() ? m_statusLine->shown() : QString();
}

void TNEFWinFile::showStatus(const QString &text, const QString &part, const QString &folder)
{
    // A link's address shown while the pointer rests on it goes too.
    statusBar()->clearMessage();
    m_savedFolder = folder;
    m_statusLine->set(text, part, folder.isEmpty() ? QUrl() : DesktopFileURL(folder));
    m_statusLine->show();
    m_openFolderButton->setVisible(!folder.isEmpty());
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
    if (m_document)
        fitListsPane();
    return noErr;
}

void TNEFWinFile::detachLists()
{
    for (QTreeView *list : {m_form.fileList_131, m_form.attributeList_138}) {
        if (DataBrowser *browser = DataBrowser::of(list))
            browser->detach();
    }
}

void TNEFWinFile::closeDocument()
{
    detachLists();
    m_document.reset();
    TNEFWinFileUpdateTitles();
}

void TNEFWinFile::closeEvent(QCloseEvent *event)
{
    saveLayout();
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
    winFile->setBaseTitle(title);
    winFile->setWindowTitle(title);
    TNEFWinFileUpdateTitles();
    return noErr;
}

void TNEFWinFileUpdateTitles()
{
    for (const TNEFFile *tnefFile = gTNEFFileList; tnefFile; tnefFile = tnefFile->next) {
        TNEFWinFile *winFile = tnefFile->winFile;
        if (!winFile || winFile->baseTitle().isEmpty())
            continue;
        bool shared = false;
        for (const TNEFFile *other = gTNEFFileList; other && !shared; other = other->next)
            shared = other != tnefFile && other->winFile && other->winFile->baseTitle() == winFile->baseTitle();
        winFile->setWindowTitle(shared ? QStringLiteral("%1 (%2)").arg(winFile->baseTitle(), placeOf(tnefFile))
                                       : winFile->baseTitle());
    }
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
    winFile->setSelectionActionsEnabled(active);
    return noErr;
}

void TNEFWinFileSetOpeners(TNEFWinFileOpeners openers)
{
    gOpeners = std::move(openers);
}

SInt32 TNEFWinFileShowDocument(TNEFFile *tnefFile)
{
    return gOpeners.showDocument ? gOpeners.showDocument(tnefFile) : -1;
}

OSStatus TNEFWinFileCommandHandler(TNEFWinFile *winFile, UInt32 commandID)
{
    if (!winFile->document())
        return eventNotHandledErr;
    const std::vector<DataBrowserItemID> selected = DataBrowser::of(winFile->form().fileList_131)->selectedItems();
    switch (commandID) {
    case kTNEFCommandSave:
        return TNEFWinFileSaveCommandEventHandler(winFile, commandID);
    case kTNEFCommandSaveAll:
        return TNEFWinFileSaveAll(winFile);
    case kTNEFCommandOpenAttachment:
        if (selected.empty())
            return eventNotHandledErr;
        TNEFWinFileOpenAttachments(winFile, selected);
        return noErr;
    case kTNEFCommandCopyName:
        return TNEFWinFileCopyNames(winFile);
    case kTNEFCommandAddToCalendar:
        if (!winFile->form().messageMeeting->calendarFileID())
            return eventNotHandledErr;
        return TNEFWinFileOpenAttachments(winFile, {winFile->form().messageMeeting->calendarFileID()});
    case kHICommandPrint:
    case kTNEFCommandExportPDF:
    case kTNEFCommandSaveMessage:
        if (winFile->form().messageView->isHidden())
            return eventNotHandledErr;
        return commandID == kHICommandPrint       ? TNEFWinFilePrint(winFile)
            : commandID == kTNEFCommandExportPDF ? TNEFWinFileExportPDF(winFile)
                                                 : TNEFWinFileSaveMessage(winFile);
    default:
        return eventNotHandledErr;
    }
}

OSStatus TNEFWinFileCopyNames(TNEFWinFile *winFile)
{
    QStringList names;
    for (DataBrowserItemID fileID : DataBrowser::of(winFile->form().fileList_131)->selectedItems()) {
        if (const TNEFFileItem *item = TNEFFileFindItem(winFile->document(), fileID))
            names << TNEFFileItemTitle(item);
    }
    if (names.isEmpty())
        return eventNotHandledErr;
    QGuiApplication::clipboard()->setText(names.join(QLatin1Char('\n')));
    return noErr;
}

void TNEFWinFileShowSaved(TNEFWinFile *winFile, const QString &folder, int written, int failed)
{
    const QString place = FSPathForDisplay(folder);
    QString text = written == 1 ? TNEFWinFile::tr("Saved 1 attachment in %1").arg(place)
                                : TNEFWinFile::tr("Saved %1 attachments in %2").arg(QString::number(written), place);
    if (failed > 0)
        text += QStringLiteral(" — ") + TNEFWinFile::tr("%1 could not be saved").arg(failed);
    winFile->showStatus(text, place, folder);
}

void TNEFWinFileShowStatus(TNEFWinFile *winFile, const QString &text, const QString &part)
{
    winFile->showStatus(text, part);
}
