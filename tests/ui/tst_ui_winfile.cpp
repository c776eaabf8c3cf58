// The document window on the offscreen platform: a new window, the message
// view, the two lists and their detail fields, saving, opening and dragging
// attachments, titles, and closing.
#include "TnefBuilder.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinFileListAttribute.h"
#include "ui/TNEFWinFileListFile.h"
#include "ui/TNEFWinFileMessage.h"
#include "ui/TNEFWinFileSave.h"

#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <sys/stat.h>

using namespace tnefbuild;

namespace {


Tnef withAttachment(Tnef t, const QByteArray &contents) { return t.data(contents).attachment(MapiBlock().longValue(0x3705, 1)); }

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QList<QLineEdit *> fileFields(TNEFWinFile *w) { return {w->form().fileName_133, w->form().fileSize_135}; }
QList<QLineEdit *> attributeFields(TNEFWinFile *w)
{
    return {w->form().attributeType_140, w->form().attributeSize_142, w->form().attributeData_144};
}

QStringList texts(const QList<QLineEdit *> &fields)
{
    QStringList texts;
    for (const QLineEdit *field : fields)
        texts << field->text();
    return texts;
}

QStringList rowTexts(const QTreeView *list)
{
    QStringList texts;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        texts << list->model()->index(r, 0).data().toString();
    return texts;
}

DataBrowser *browser(const QTreeView *list) { return DataBrowser::of(list); }

// Every file below `dir`, by its path there, with its contents.
QMap<QString, QByteArray> tree(const QString &dir)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readFile(path));
    }
    return files;
}

// Two attachments, the second larger, named so that name and size order differ.
Tnef twoAttachments()
{
    return withAttachment(withAttachment(Tnef().title(z0("b.txt")), QByteArray(10, 'b')).title(z0("a.txt")),
                          QByteArray(3000, 'a'));
}

// Clicks a row the way a user does; with Ctrl on a selected row, deselects it.
void clickRow(QTreeView *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(list->model()->index(row, 0)).center());
}

// The attribute list, with its tab shown as the user would.
QTreeView *attributeList(TNEFWinFile *w)
{
    QTabBar *tabs = w->form().tabControl_128->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    return w->form().attributeList_138;
}

} // namespace

class TestWinFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void newWindow();
    void messageView_data();
    void messageView();
    void messageShowsOnlyWhatItCarries_data();
    void messageShowsOnlyWhatItCarries();
    void saveAllWritesWhatExtractWrites_data();
    void saveAllWritesWhatExtractWrites();
    void openAndDragHandOverPrivateCopies_data();
    void openAndDragHandOverPrivateCopies();
    void sortingKeepsWhatSaveWrites_data();
    void sortingKeepsWhatSaveWrites();
    void titlesAndDrops();
    void attachmentShownAndProposed_data();
    void attachmentShownAndProposed();
    void selectionFollowsTheLastRow_data();
    void selectionFollowsTheLastRow();
    void saveThroughDialog_data();
    void saveThroughDialog();
    void realSaveDialog();
    void closingDestroysOnlyItsDocument();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir->filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }
    // The shown window of the file at `path`, or null when it does not parse.
    TNEFWinFile *show(const QString &path) { return showDocument(TNEFFileOpen(path, nullptr)); }
    static TNEFWinFile *showDocument(TNEFFile *doc)
    {
        if (!doc || TNEFParseFileList(doc->forkRefNum, &doc->fileList, &doc->attributeList, &doc->messagePlaces) != 0) {
            TNEFFileDestroy(doc);
            return nullptr;
        }
        doc->winFile = TNEFWinFileCreate(doc);
        TNEFWinFileSetTitle(doc->winFile, doc->fileName);
        TNEFWinFileShow(doc->winFile);
        return doc->winFile;
    }
    QTemporaryDir *m_dir = nullptr;
    QTemporaryDir m_runtime;
    QList<QUrl> m_opened;  // what the desktop was asked to open
};

void TestWinFile::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("TZ", "Asia/Tokyo");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    SetDesktopOpenHook([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestWinFile::init()
{
    m_dir = new QTemporaryDir;
    m_opened.clear();
}

void TestWinFile::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TNEFWinFileSaveSetDialogHook(nullptr);
    TNEFWinFileSaveSetFolderDialogHook(nullptr);
    TNEFWinFileSetOpeners({});
    delete m_dir;
    QVERIFY2(!gTNEFFileList, "a document outlived its window");
}

void TestWinFile::newWindow()
{
    TNEFWinFile *w = show(write("new.dat", withAttachment(Tnef().message(attSubject, z0("Hi")).title(z0("a.txt")), "a").bytes()));
    QVERIFY(w);
    const Ui::WinFile &form = w->form();
    QCOMPARE(w->currentTab(), 1);
    QVERIFY(form.filePane_129->isVisible() && !form.attributePane_130->isVisible());
    QCOMPARE(texts(fileFields(w) + attributeFields(w)), QStringList(5, QString()));
    QVERIFY(!form.saveButton_137->isEnabled());
    QCOMPARE(rowTexts(form.fileList_131), QStringList{"a.txt"});
    // Picking the tab that is showing is left to the tab widget.
    QCOMPARE(TNEFWinFileTabHandler(w), eventNotHandledErr);

    QCOMPARE(rowTexts(attributeList(w)), (QStringList{"Subject", "Attachment Title", "Attachment Data", "Attachment"}));
    QCOMPARE(w->currentTab(), 2);
    QVERIFY(!form.filePane_129->isVisible() && form.attributePane_130->isVisible());
    QCOMPARE(w->minimumSize(), QSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight));
}

void TestWinFile::attachmentShownAndProposed_data()
{
    QTest::addColumn<Tnef>("tnef");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("name");  // in the name field
    QTest::addColumn<QString>("proposed");
    const Tnef report = Tnef().title(z0("report.doc"));
    const MapiBlock message = MapiBlock().string8(PR_DISPLAY_NAME, z0("Re: minutes")).object(PR_ATTACH_DATA_OBJ, "m");
    QTest::newRow("untitled") << withAttachment(Tnef(), "x") << "Untitled Attachment" << "Untitled Attachment" << "";
    QTest::newRow("attached message") << Tnef(report).data(embeddedPlaceholder()).attachment(message)
                                      << "TNEF: Re: minutes" << "Re: minutes" << "Re: minutes";
    QTest::newRow("attached message without a name")
        << Tnef().data(embeddedPlaceholder()).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, "x"))
        << "TNEF: Untitled Attachment" << "Untitled Attachment" << "";
    // A "/" cannot stand in a Linux file name; ":" can.
    QTest::newRow("slash and colon") << withAttachment(Tnef().title(z0("Q1/Q2: plan.txt")), "x")
                                     << "Q1/Q2: plan.txt" << "Q1/Q2: plan.txt" << "Q1Q2: plan.txt";
    const QString unicode = QStringLiteral("\u041E\u0442\u0447\u0451\u0442 \u2013 \u65E5\u672C \U0001F600.pdf");
    QTest::newRow("unicode long file name")
        << Tnef(report).data("x").attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, unicode))
        << unicode << unicode << unicode;
}

void TestWinFile::attachmentShownAndProposed()
{
    QFETCH(Tnef, tnef);
    QFETCH(QString, listed);
    QFETCH(QString, name);
    QFETCH(QString, proposed);
    TNEFWinFile *w = show(write("winmail.dat", tnef.bytes()));
    QVERIFY(w);
    QCOMPARE(rowTexts(w->form().fileList_131), QStringList{listed});
    QCOMPARE(TNEFWinFileSaveCommandEventHandler(w, kTNEFCommandSave), eventNotHandledErr);
    clickRow(w->form().fileList_131, 0);
    QCOMPARE(texts(fileFields(w)), (QStringList{name, "1 byte"}));
    QStringList asked;
    TNEFWinFileSaveSetDialogHook([&](TNEFWinFile *parent, const QString &proposedName) {
        asked << proposedName;
        return TNEFWinFileSaveReply{parent != w, m_dir->path(), "wrong", false};
    });
    w->form().saveButton_137->click();
    QCOMPARE(asked, QStringList{proposed});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"winmail.dat"});
}

void TestWinFile::selectionFollowsTheLastRow_data()
{
    QTest::addColumn<bool>("attributes");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::newRow("attachments") << false << QStringList{"a.txt", "10 bytes"} << QStringList{"b.txt", "5.9 KiB (6,000 bytes)"};
    // The nameless word must not keep the name of the row shown before it.
    QTest::newRow("attributes") << true << QStringList{"Subject", "9 bytes", "Hi there."}
                                << QStringList{"", "3 bytes", "xyz"};
}

void TestWinFile::selectionFollowsTheLastRow()
{
    QFETCH(bool, attributes);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    const Tnef tnef = withAttachment(withAttachment(Tnef().message(attSubject, z0("Hi there")).message(0x00069006, "xyz")
                                                        .title(z0("a.txt")), QByteArray(10, 'a')).title(z0("b.txt")),
                                     QByteArray(6000, 'b'));
    TNEFWinFile *w = show(write("two.dat", tnef.bytes()));
    QVERIFY(w);
    QTreeView *list = attributes ? attributeList(w) : w->form().fileList_131;
    const QList<QLineEdit *> fields = attributes ? attributeFields(w) : fileFields(w);
    const UInt32 &selected = attributes ? w->document()->selectedAttributeID : w->document()->selectedFileID;
    clickRow(list, 0);
    QCOMPARE(texts(fields), first);
    clickRow(list, 1);
    QCOMPARE(texts(fields), second);
    QCOMPARE(selected, browser(list)->itemAt(1));
    QCOMPARE(w->form().saveButton_137->isEnabled(), !attributes);
    // A row going while another stays selected changes nothing.
    (attributes ? TNEFWinFileListAttributeDBItemNotification : TNEFWinFileListFileDBItemNotification)(
        browser(list), browser(list)->itemAt(0), kDataBrowserItemDeselected);
    QCOMPARE(texts(fields), second);
    clickRow(list, 1, Qt::ControlModifier);
    QCOMPARE(texts(fields), QStringList(fields.size(), QString()));
    QCOMPARE(selected, 0u);
    QVERIFY(!w->form().saveButton_137->isEnabled());
}

void TestWinFile::saveThroughDialog_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("replacing");  // a file of that name is there and the user agreed
    QTest::newRow("new name") << true << false;
    QTest::newRow("cancelled") << false << false;
    QTest::newRow("replace agreed") << true << true;
}

void TestWinFile::saveThroughDialog()
{
    QFETCH(bool, answered);
    QFETCH(bool, replacing);
    const QByteArray contents = QByteArray("0123456789").repeated(2000);
    TNEFWinFile *w = show(write("save.dat", withAttachment(withAttachment(Tnef().title(z0("first.bin")), "1"), contents).bytes()));
    QVERIFY(w);
    const QString saved = m_dir->filePath("chosen.bin");
    QVERIFY(!replacing || !write("chosen.bin", "old").isEmpty());
    clickRow(w->form().fileList_131, 1);
    TNEFWinFileSaveSetDialogHook([&](TNEFWinFile *, const QString &) {
        return TNEFWinFileSaveReply{answered, m_dir->path(), QStringLiteral("chosen.bin"), replacing};
    });
    w->form().saveButton_137->click();
    QCOMPARE(readFile(saved), answered ? contents : QByteArray("<unreadable>"));
}

void TestWinFile::realSaveDialog()
{
    const QString title = QStringLiteral("R\u00E9sum\u00E9 \u2713.txt");
    TNEFWinFile *w = show(write("real.dat", Tnef().data("real contents")
                                               .attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, title)).bytes()));
    QVERIFY(w);
    clickRow(w->form().fileList_131, 0);
    w->form().saveButton_137->click();
    QPointer<QFileDialog> dialog = w->findChild<QFileDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), title);
    dialog->setDirectory(m_dir->path());
    dialog->selectFile(title);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    QCOMPARE(readFile(m_dir->filePath(title)), QByteArray("real contents"));
}

void TestWinFile::closingDestroysOnlyItsDocument()
{
    const int forksBefore = FSOpenForkCount();
    QList<TNEFWinFile *> windows;
    for (int i = 0; i < 3; ++i) {
        windows << show(write(QStringLiteral("%1.dat").arg(i), Tnef().message(attSubject, z0(qPrintable(QString::number(i)))).bytes()));
        QVERIFY(windows.last());
    }
    QPointer<TNEFWinFile> closed = windows.takeAt(1);
    QVERIFY(closed->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!closed);
    QCOMPARE(gTNEFFileList, windows[0]->document());
    QCOMPARE(gTNEFFileList->next, windows[1]->document());
    QVERIFY(!gTNEFFileList->next->next);
    QCOMPARE(FSOpenForkCount(), forksBefore + 2);
    // The others still read their own files.
    for (TNEFWinFile *w : windows) {
        clickRow(attributeList(w), 0);
        QCOMPARE(w->form().attributeData_144->text().size(), 2);
    }
}

void TestWinFile::messageView_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("headers");  // subject, from, to, date
    QTest::addColumn<QString>("bodyStart");
    QTest::addColumn<bool>("attachments");
    QTest::newRow("HTML body") << "body.tnef"
                               << QStringList{"Bill of Rights", "3krelay", "3kuser2 <3kuser2@brexchange.dolphinsearch.com>",
                                              "Tuesday, April 26, 2005 2:15"}
                               << "THE BILL OF RIGHTS" << false;
    QTest::newRow("compressed RTF holding HTML")
        << "multi-value-attribute.tnef"
        << QStringList{"Voice Mail (5 seconds)", "MicrosoftExchange329e71ec88ae4615bbc36ab6ce41109e@infinera.com", "", ""}
        << "You received a voice mail from Curie Conf Room" << true;
    QTest::newRow("plain RTF") << "rtf.tnef" << QStringList{"(no subject)", "", "", "Thursday, October 14, 1999 9:55"}
                               << "aafgag'alga'kgk" << false;
}

void TestWinFile::messageView()
{
    QFETCH(QString, file);
    QFETCH(QStringList, headers);
    QFETCH(QString, bodyStart);
    QFETCH(bool, attachments);
    if (!corpusAvailable())
        QSKIP("no corpus beside the project");
    TNEFWinFile *w = show(corpusDir() + '/' + file);
    QVERIFY(w);
    const Ui::WinFile &f = w->form();
    QVERIFY(f.messageView->isVisible());
    QCOMPARE(f.messageSubject->text(), headers[0]);
    const QList<QLabel *> rows{f.messageFrom, f.messageTo, f.messageDate};
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i]->isVisible(), !headers[i + 1].isEmpty());
        QVERIFY2(!rows[i]->isVisible() || rows[i]->text().startsWith(headers[i + 1]), qPrintable(rows[i]->text()));
    }
    // Markup and RTF are rendered, never shown as such.
    const QString body = f.messageBody->toPlainText().trimmed();
    QVERIFY2(body.startsWith(bodyStart), qPrintable(body.left(80)));
    QVERIFY(!body.contains('<') && !body.contains("\\par"));
    QCOMPARE(f.fileList_131->isVisible(), attachments);
    QCOMPARE(f.noAttachments->isVisible(), !attachments);
}

void TestWinFile::messageShowsOnlyWhatItCarries_data()
{
    const QString local = m_runtime.filePath("local.png");
    QVERIFY(QFile(local).open(QIODevice::WriteOnly));
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QByteArray>("loaded");
    QTest::addColumn<bool>("opened");  // when clicked
    QTest::newRow("picture in the message") << QUrl("data:image/png;base64,iVBORw0K") << QByteArray("\x89PNG\r\n", 6) << false;
    QTest::newRow("web") << QUrl("https://example.org/track.png?id=1") << QByteArray() << true;
    QTest::newRow("mail address") << QUrl("mailto:a@example.org") << QByteArray() << true;
    QTest::newRow("file on this computer") << QUrl::fromLocalFile(local) << QByteArray() << false;
    QTest::newRow("script") << QUrl("javascript:alert(1)") << QByteArray() << false;
}

void TestWinFile::messageShowsOnlyWhatItCarries()
{
    QFETCH(QUrl, url);
    QFETCH(QByteArray, loaded);
    QFETCH(bool, opened);
    TNEFMessageBrowser browser;
    QCOMPARE(browser.loadResource(QTextDocument::ImageResource, url).toByteArray(), loaded);
    emit browser.anchorClicked(url);
    QCOMPARE(m_opened, opened ? QList<QUrl>{url} : QList<QUrl>{});
}

void TestWinFile::saveAllWritesWhatExtractWrites_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<bool>("bySelection");  // every row selected, then Save
    const Tnef hostile = withAttachment(withAttachment(withAttachment(Tnef().title(z0("../up.txt")), "1").title(z0("same")), "2")
                                            .title(z0("same")), "3");
    QTest::newRow("hostile and repeated names") << withAttachment(hostile, "4").bytes() << false;
    QTest::newRow("hostile names, all selected") << withAttachment(hostile, "4").bytes() << true;
    QFile corpus(corpusDir() + "/two-files.tnef");
    if (corpus.open(QIODevice::ReadOnly))
        QTest::newRow("corpus") << corpus.readAll() << false;
}

void TestWinFile::saveAllWritesWhatExtractWrites()
{
    QFETCH(QByteArray, tnef);
    QFETCH(bool, bySelection);
    const QString file = write("winmail.dat", tnef);
    QVERIFY(QDir(m_dir->path()).mkdir("cli") && QDir(m_dir->path()).mkdir("app"));
    QProcess cli;
    cli.start(QStringLiteral(PARVANE_CLI_PATH), {"extract", "-C", m_dir->filePath("cli"), "--folder", "never", file});
    QVERIFY(cli.waitForFinished());
    const QVariantList prefs{gTNEFPrefCEDest, gTNEFPrefCEDestOther, gTNEFPrefCEFolder};

    TNEFWinFile *w = show(file);
    QVERIFY(w);
    TNEFWinFileSaveSetFolderDialogHook([&](TNEFWinFile *) { return m_dir->filePath("app"); });
    if (bySelection) {
        w->form().fileList_131->selectAll();
        w->form().saveButton_137->click();
    } else {
        w->form().saveAllButton->click();
    }
    QCOMPARE(tree(m_dir->filePath("app")), tree(m_dir->filePath("cli")));
    QVERIFY(!tree(m_dir->filePath("app")).isEmpty());
    QVERIFY(w->savedText().contains(m_dir->filePath("app")));
    QCOMPARE((QVariantList{gTNEFPrefCEDest, gTNEFPrefCEDestOther, gTNEFPrefCEFolder}), prefs);
}

void TestWinFile::openAndDragHandOverPrivateCopies_data()
{
    QTest::addColumn<bool>("drag");
    QTest::addColumn<bool>("privateFolderTaken");  // a link stands where the private folder goes
    QTest::newRow("open") << false << false;
    QTest::newRow("drag") << true << false;
    QTest::newRow("open, folder is a link") << false << true;
}

void TestWinFile::openAndDragHandOverPrivateCopies()
{
    QFETCH(bool, drag);
    QFETCH(bool, privateFolderTaken);
    const QString root = m_runtime.filePath(PARVANE_APP_ID);
    QDir(root).removeRecursively();
    QFile::remove(root);
    if (privateFolderTaken)
        QVERIFY(QFile::link(m_dir->path(), root));
    const QByteArray big = QByteArray("0123456789").repeated(9000);
    const Tnef inner = Tnef().message(attSubject, z0("Inner"));
    const Tnef tnef = withAttachment(withAttachment(Tnef().title(z0("../../a.txt")), "small").title(z0("big.bin")), big)
                          .data(embeddedPlaceholder()).attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Fwd"))
                                                                      .object(PR_ATTACH_DATA_OBJ, inner.bytes()));
    TNEFWinFile *w = show(write("open.dat", tnef.bytes()));
    QVERIFY(w);
    QList<QUrl> urls;
    if (drag) {
        std::unique_ptr<QMimeData> data(TNEFWinFileListFileDBMimeData(browser(w->form().fileList_131), {1, 2}));
        QVERIFY(data);
        urls = data->urls();
    } else {
        QStringList shown;
        TNEFWinFileSetOpeners({nullptr, [&](TNEFFile *doc) {
                                   shown << doc->fileName;
                                   return showDocument(doc) ? 0 : -1;
                               }});
        w->form().fileList_131->selectAll();
        QCOMPARE(TNEFWinFileCommandHandler(w, kTNEFCommandOpenAttachment), OSStatus(noErr));
        urls = m_opened;
        // The attached message opens in a window of its own, not on the desktop.
        QCOMPARE(shown, QStringList{"Fwd"});
    }
    if (privateFolderTaken) {
        QVERIFY(urls.isEmpty());
        QVERIFY(tree(m_dir->path()).keys() == QStringList{"open.dat"});
        return;
    }
    QCOMPARE(urls.size(), 2);
    const QList<QByteArray> contents{"small", big};
    for (int i = 0; i < 2; ++i) {
        const QString path = urls[i].toLocalFile();
        QVERIFY2(path.startsWith(root + '/'), qPrintable(path));
        QCOMPARE(readFile(path), contents[i]);
        QCOMPARE(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther), QFile::Permissions());
    }
    QCOMPARE(QFileInfo(urls[0].toLocalFile()).fileName(), QStringLiteral("....a.txt"));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(root).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0700));
}

void TestWinFile::sortingKeepsWhatSaveWrites_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("first");  // the row shown first
    QTest::newRow("file order") << -1 << int(Qt::AscendingOrder) << "b.txt";
    QTest::newRow("name") << 0 << int(Qt::AscendingOrder) << "a.txt";
    QTest::newRow("size, largest first") << 2 << int(Qt::DescendingOrder) << "a.txt";
    QTest::newRow("size, smallest first") << 2 << int(Qt::AscendingOrder) << "b.txt";
}

void TestWinFile::sortingKeepsWhatSaveWrites()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QString, first);
    TNEFWinFile *w = show(write("sort.dat", twoAttachments().bytes()));
    QVERIFY(w);
    QTreeView *list = w->form().fileList_131;
    QCOMPARE(rowTexts(list), (QStringList{"b.txt", "a.txt"}));
    list->header()->setSortIndicator(column, Qt::SortOrder(order));
    QCOMPARE(rowTexts(list).first(), first);
    clickRow(list, 0);
    TNEFWinFileSaveSetDialogHook([&](TNEFWinFile *, const QString &name) {
        return TNEFWinFileSaveReply{true, m_dir->path(), "saved-" + name, false};
    });
    w->form().saveButton_137->click();
    QCOMPARE(readFile(m_dir->filePath("saved-" + first)), first == "a.txt" ? QByteArray(3000, 'a') : QByteArray(10, 'b'));
}

void TestWinFile::titlesAndDrops()
{
    QVERIFY(QDir(m_dir->path()).mkpath("one") && QDir(m_dir->path()).mkpath("two"));
    const QByteArray bytes = twoAttachments().bytes();
    TNEFWinFile *first = show(write("one/winmail.dat", bytes));
    QPointer<TNEFWinFile> second = show(write("two/winmail.dat", bytes));
    QVERIFY(first && second);
    QCOMPARE(first->windowTitle(), QString("winmail.dat (%1)").arg(m_dir->filePath("one")));
    QCOMPARE(second->windowTitle(), QString("winmail.dat (%1)").arg(m_dir->filePath("two")));
    second->close();
    QCOMPARE(first->windowTitle(), QStringLiteral("winmail.dat"));

    // Files dropped from another program open as files handed over do.
    QStringList dropped;
    TNEFWinFileSetOpeners({[&](const QStringList &files) { dropped = files; }, nullptr});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_dir->filePath("two/winmail.dat"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(first, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(first, &drop);
    QCOMPARE(dropped, QStringList{m_dir->filePath("two/winmail.dat")});
}

QTEST_MAIN(TestWinFile)
#include "tst_ui_winfile.moc"
