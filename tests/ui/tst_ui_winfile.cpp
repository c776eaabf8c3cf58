// The document window on the offscreen platform: the message view, the two
// lists and their detail fields, saving, opening and dragging attachments,
// titles, and closing.
#include "TnefBuilder.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinFileListAttribute.h"
#include "ui/TNEFWinFileListFile.h"
#include "ui/TNEFWinFileMessage.h"
#include "ui/TNEFWinFileSave.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QtTest>
#include <atomic>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tnefbuild;

namespace {

Tnef withAttachment(Tnef t, const QByteArray &contents) { return t.data(contents).attachment(MapiBlock().longValue(0x3705, 1)); }

// The detail fields beside the attachment or the attribute list.
QStringList fields(TNEFWinFile *w, bool attributes)
{
    const Ui::WinFile &f = w->form();
    QStringList texts;
    for (const QLineEdit *field : attributes ? QList{f.attributeType_140, f.attributeSize_142, f.attributeData_144}
                                             : QList{f.fileName_133, f.fileSize_135})
        texts << field->text();
    return texts;
}

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
    void messageView_data();
    void messageView();
    void linksOpenOnlyOnTheWebOrMail_data();
    void linksOpenOnlyOnTheWebOrMail();
    void messageReadsNoFile_data();
    void messageReadsNoFile();
    void attachedMessageActsAsItsOwnFile_data();
    void attachedMessageActsAsItsOwnFile();
    void statusBarTellsOneMessage();
    void longBodyShowsItsStart_data();
    void longBodyShowsItsStart();
    void openRefusesALinkedPrivateFolder();
    void titlesAndClosing();
    void selectionFollowsTheLastRow_data();
    void selectionFollowsTheLastRow();
    void saveThroughDialog_data();
    void saveThroughDialog();
    // The letter in the window: its pictures, its room, the window's size.
    void inlinePictures_data();
    void inlinePictures();
    void letterTakesTheRoom_data();
    void letterTakesTheRoom();
    void layoutIsRemembered();
    void manyRowsKeepTheirCells_data();
    void manyRowsKeepTheirCells();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        return writeFile(m_dir->filePath(name), bytes) ? m_dir->filePath(name) : QString();
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
    QTemporaryDir m_config;
    QList<QUrl> m_opened;  // what the desktop was asked to open
    bool m_desktopRefuses = false;
};

void TestWinFile::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("TZ", "Asia/Tokyo");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    // Windows store their size when they close.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    SetDesktopOpenHook([this](const QUrl &url) {
        m_opened << url;
        return !m_desktopRefuses;
    });
}

void TestWinFile::init()
{
    m_dir = new QTemporaryDir;
    QFile::remove(TNEFPrefsFilePath());
    m_opened.clear();
    m_desktopRefuses = false;
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

void TestWinFile::selectionFollowsTheLastRow_data()
{
    QTest::addColumn<bool>("attributes");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::newRow("attachments") << false << QStringList{"a.txt", "1 byte"} << QStringList{"b.txt", "5.9 KiB (6,000 bytes)"};
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
                                                        .title(z0("a.txt")), "a").title(z0("b.txt")),
                                     QByteArray(6000, 'b'));
    TNEFWinFile *w = show(write("two.dat", tnef.bytes()));
    QVERIFY(w && !w->form().saveButton_137->isEnabled());
    QTreeView *list = attributes ? attributeList(w) : w->form().fileList_131;
    QCOMPARE(w->currentTab(), attributes ? 2 : 1);
    QCOMPARE(w->form().attributePane_130->isVisible(), attributes);
    const UInt32 &selected = attributes ? w->document()->selectedAttributeID : w->document()->selectedFileID;
    clickRow(list, 0);
    QCOMPARE(fields(w, attributes), first);
    clickRow(list, 1);
    QCOMPARE(fields(w, attributes), second);
    QCOMPARE(selected, DataBrowser::of(list)->itemAt(1));
    QCOMPARE(w->form().saveButton_137->isEnabled(), !attributes);
    // A row going while another stays selected changes nothing.
    (attributes ? TNEFWinFileListAttributeDBItemNotification : TNEFWinFileListFileDBItemNotification)(
        DataBrowser::of(list), DataBrowser::of(list)->itemAt(0), kDataBrowserItemDeselected);
    QCOMPARE(fields(w, attributes), second);
    clickRow(list, 1, Qt::ControlModifier);
    QCOMPARE(fields(w, attributes), QStringList(second.size(), QString()));
    QCOMPARE(selected, 0u);
    QVERIFY(!w->form().saveButton_137->isEnabled());
}

void TestWinFile::saveThroughDialog_data()
{
    QTest::addColumn<Tnef>("tnef");
    QTest::addColumn<int>("sortColumn");  // -1: file order
    QTest::addColumn<QString>("first");  // the row shown first after sorting, which is saved
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("reply");  // "yes" or "no" as the user answers, or "dialog": through the file dialog itself
    QTest::addColumn<bool>("replacing");  // a longer file of the chosen name is there; the reply replaces it
    QTest::addColumn<QByteArray>("saved");  // in that file afterwards
    // Named so that name and size order differ, and sized so that the sizes' texts sort otherwise.
    const QByteArray a(3000, 'a'), b(900, 'b'), old(5000, 'o'), none("<missing>");
    const Tnef two = withAttachment(withAttachment(Tnef().title(z0("b.txt")), b).title(z0("a.txt")), a);
    QTest::newRow("file order, new name") << two << -1 << "b.txt" << "b.txt" << "yes" << false << b;
    QTest::newRow("name, replace agreed") << two << 0 << "a.txt" << "a.txt" << "yes" << true << a;
    QTest::newRow("size, cancelled") << two << 2 << "b.txt" << "b.txt" << "no" << true << old;
    const Tnef report = Tnef().title(z0("report.doc"));
    QTest::newRow("attached message") << Tnef(report).data(embeddedPlaceholder()).attachment(
        MapiBlock().string8(PR_DISPLAY_NAME, z0("Re: minutes")).object(PR_ATTACH_DATA_OBJ, "m"))
        << -1 << "TNEF: Re: minutes" << "Re: minutes.tnef" << "no" << false << none;
    // Written as the TNEF stream it is, it keeps that type, and no trailing dot.
    QTest::newRow("attached task") << Tnef(report).data(embeddedPlaceholder()).attachment(
        MapiBlock().string8(PR_DISPLAY_NAME, z0("Some important task. ")).object(PR_ATTACH_DATA_OBJ, "m"))
        << -1 << "TNEF: Some important task. " << "Some important task.tnef" << "no" << false << none;
    QTest::newRow("attached message without a name")
        << Tnef().data(embeddedPlaceholder()).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, "x"))
        << -1 << "TNEF: Untitled Attachment" << "Untitled Attachment.tnef" << "no" << false << none;
    // A "/" cannot stand in a Linux file name; ":" can.
    QTest::newRow("slash and colon") << withAttachment(Tnef().title(z0("Q1/Q2: plan.txt")), "x") << -1
        << "Q1/Q2: plan.txt" << "Q1Q2: plan.txt" << "no" << false << none;
    const QString unicode = QStringLiteral("\u041E\u0442\u0447\u0451\u0442 \u2013 \u65E5\u672C \U0001F600.pdf");
    QTest::newRow("unicode long file name, real dialog")
        << Tnef(report).data("real contents").attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, unicode))
        << -1 << unicode << unicode << "dialog" << false << QByteArray("real contents");
}

void TestWinFile::saveThroughDialog()
{
    QFETCH(Tnef, tnef);
    QFETCH(int, sortColumn);
    QFETCH(QString, first);
    QFETCH(QString, proposed);
    QFETCH(QString, reply);
    QFETCH(bool, replacing);
    QFETCH(QByteArray, saved);
    TNEFWinFile *w = show(write("winmail.dat", tnef.bytes()));
    QVERIFY(w);
    QVERIFY(!replacing || !write("chosen.bin", QByteArray(5000, 'o')).isEmpty());
    QTreeView *list = w->form().fileList_131;
    list->header()->setSortIndicator(sortColumn, Qt::AscendingOrder);
    QCOMPARE(list->model()->index(0, 0).data().toString(), first);
    QCOMPARE(TNEFWinFileSaveCommandEventHandler(w, kTNEFCommandSave), eventNotHandledErr);
    clickRow(list, 0);
    // The name field shows the title without the mark of an attached message.
    QCOMPARE(fields(w, false).first(), QString(first).remove(QLatin1String("TNEF: ")));
    QStringList asked;
    TNEFWinFileSaveSetDialogHook(reply == "dialog" ? TNEFWinFileSaveDialogHook() : [&](TNEFWinFile *parent, const QString &name) {
        asked << name;
        return TNEFWinFileSaveReply{reply == "yes" && parent == w, m_dir->path(), "chosen.bin", replacing};
    });
    w->form().saveButton_137->click();
    if (reply == "dialog") {
        QPointer<QFileDialog> dialog = w->findChild<QFileDialog *>();
        QVERIFY(dialog && dialog->isVisible() && dialog->windowModality() == Qt::WindowModal);
        asked << QFileInfo(dialog->selectedFiles().value(0)).fileName();
        dialog->selectFile("chosen.bin");
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    }
    QCOMPARE(asked, QStringList{proposed});
    QCOMPARE(readFile(m_dir->filePath("chosen.bin")), saved);
}

void TestWinFile::messageView_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("headers");  // subject, from, to, date; an empty one is hidden
    QTest::addColumn<QString>("bodyStart");
    QTest::addColumn<bool>("attachments");
    QTest::newRow("HTML body") << "body.tnef"
                               << QStringList{"Bill of Rights", "3krelay", "3kuser2 <3kuser2@brexchange.dolphinsearch.com>",
                                              "Tuesday, April 26, 2005 2:15 AM (JST)"}
                               << "THE BILL OF RIGHTS" << false;
    QTest::newRow("compressed RTF holding HTML")
        << "multi-value-attribute.tnef"
        << QStringList{"Voice Mail (5 seconds)", "MicrosoftExchange329e71ec88ae4615bbc36ab6ce41109e@infinera.com", "", ""}
        << "You received a voice mail from Curie Conf Room" << true;
    QTest::newRow("plain RTF") << "rtf.tnef"
                               << QStringList{"(no subject)", "", "", "Thursday, October 14, 1999 9:55 PM (JST)"}
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
    QStringList shown{f.messageSubject->text()};
    for (const QLabel *row : {f.messageFrom, f.messageTo, f.messageDate})
        shown << (row->isVisible() ? row->text() : QString());
    QCOMPARE(shown, headers);
    // Markup and RTF are rendered, never shown as such.
    const QString body = f.messageBody->toPlainText().trimmed();
    QVERIFY2(body.startsWith(bodyStart), qPrintable(body.left(80)));
    QVERIFY(!body.contains('<') && !body.contains("\\par"));
    QCOMPARE(f.fileList_131->isVisible(), attachments);
    QVERIFY(!f.noAttachments->isVisible());
}

void TestWinFile::longBodyShowsItsStart_data()
{
    QTest::addColumn<QByteArray>("tnef");
    // An RTF body of 48 MiB (about 6 MB of LZFu would make it) or stored
    // text: the window shows the first megabyte and says that there is more.
    const QByteArray rtf = "{\\rtf1\\ansi\\fromhtml1 " + QByteArray(48 << 20, 'A') + "}";
    QTest::newRow("HTML from RTF") << Tnef().mapiProps(MapiBlock().binary(0x1009, le32(quint32(rtf.size() + 12))
                                                           + le32(quint32(rtf.size())) + "MELA" + le32(0) + rtf)).bytes();
    QTest::newRow("text") << Tnef().mapiProps(MapiBlock().string8(0x1000, QByteArray(3 << 20, 'A'))).bytes();
}

void TestWinFile::longBodyShowsItsStart()
{
    QFETCH(QByteArray, tnef);
    TNEFWinFile *w = show(write("long.tnef", tnef));
    QVERIFY(w);
    const QString body = w->form().messageBody->toPlainText();
    QVERIFY2(body.contains("only its first part is shown"), qPrintable(body.left(200)));
    QVERIFY(body.count('A') >= (1 << 20) - 64 && body.count('A') <= 1 << 20);
}

void TestWinFile::linksOpenOnlyOnTheWebOrMail_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("opened");
    QTest::newRow("web") << QUrl("https://example.org/track.png?id=1") << true;
    QTest::newRow("mail address") << QUrl("mailto:a@example.org") << true;
    QTest::newRow("file on this computer") << QUrl::fromLocalFile(m_runtime.filePath("local.png")) << false;
    QTest::newRow("script") << QUrl("javascript:alert(1)") << false;
}

void TestWinFile::linksOpenOnlyOnTheWebOrMail()
{
    QFETCH(QUrl, url);
    QFETCH(bool, opened);
    TNEFMessageBrowser browser;
    emit browser.anchorClicked(url);
    QCOMPARE(m_opened, opened ? QList<QUrl>{url} : QList<QUrl>{});
}

void TestWinFile::messageReadsNoFile_data()
{
    QTest::addColumn<QString>("html");  // %1: a folder holding pic.png, style.css and the FIFO fifo; also the current one
    QTest::addColumn<QList<QSize>>("pictures");  // the sizes the pictures are laid out at
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && QImage(3, 2, QImage::Format_RGB32).save(&buffer, "PNG"));
    const QList<QSize> dot{QSize(1, 1)};
    QTest::newRow("picture in the message") << QString("<img src=\"data:image/png;base64,%1\">").arg(QString(png.toBase64()))
                                            << QList<QSize>{QSize(3, 2)};
    QTest::newRow("picture in the message that does not decode") << "<img src=\"data:image/png;base64,AAAA\">" << dot;
    QTest::newRow("absolute path") << "<img src=\"%1/pic.png\">" << dot;
    QTest::newRow("relative path") << "<img src=\"pic.png\"><img src=\"./pic.png\">" << (dot + dot);
    QTest::newRow("file URL") << "<img src=\"file://%1/pic.png\">" << dot;
    QTest::newRow("FIFO") << "<img src=\"%1/fifo\">" << dot;
    QTest::newRow("resource URL") << "<img src=\"qrc:/qt-project.org/styles/commonstyle/images/standardbutton-save-32.png\">"
                                  << dot;
    QTest::newRow("background attributes") << "<body background=\"%1/pic.png\"><table background=\"pic.png\"><tr>"
                                              "<td background=\"fifo\">x</td></tr></table></body>" << QList<QSize>{};
    QTest::newRow("style background") << "<p style=\"background-image: url(%1/pic.png)\">x</p>"
                                         "<p style=\"background-image: url('fifo')\">y</p>" << QList<QSize>{};
    QTest::newRow("style sheet links") << "<html><head><link rel=\"stylesheet\" type=\"text/css\" href=\"%1/style.css\">"
                                          "<link rel=\"stylesheet\" href=\"fifo\"></head><body><p>x</p></body></html>"
                                       << QList<QSize>{};
    QTest::newRow("style element") << "<style>@import url(style.css); p { background-image: url(%1/pic.png) }</style><p>x</p>"
                                   << QList<QSize>{};
}

// Qt reads a name from the disk whenever the view gives it no value: every
// way HTML names a file is tried, on a folder watched for files opened.
void TestWinFile::messageReadsNoFile()
{
    QFETCH(QString, html);
    QFETCH(QList<QSize>, pictures);
    QTemporaryDir dir;
    QVERIFY(QImage(40, 30, QImage::Format_RGB32).save(dir.filePath("pic.png")));
    QVERIFY(writeFile(dir.filePath("style.css"), "p { background-image: url(pic.png) }"));
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0 && ::inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_OPEN) >= 0);
    // A reader of the FIFO would wait for a writer for ever: this one lets it
    // go (its own open succeeds only then, and is seen too).
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        while (!done) {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
            ::usleep(1000);
        }
    });
    const QString current = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QList<QSize> laidOut;
    {
        TNEFMessageBrowser browser;
        browser.resize(400, 300);
        browser.setHtml(QString(html).replace("%1", dir.path()));
        browser.show();
        browser.grab();
        QTextDocument *doc = browser.document();
        QTextObjectInterface *images = doc->documentLayout()->handlerForObject(QTextFormat::ImageObject);
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment part = it.fragment();
                if (part.charFormat().isImageFormat())
                    laidOut << images->intrinsicSize(doc, part.position(), part.charFormat()).toSize();
            }
        }
    }
    QDir::setCurrent(current);
    done = true;
    watchdog.join();
    QStringList opened;
    alignas(inotify_event) char events[4096];
    for (ssize_t got; (got = ::read(watch, events, sizeof events)) > 0;) {
        for (char *at = events; at < events + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            opened << QString::fromUtf8(event->len ? event->name : ".");
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    QCOMPARE(opened, QStringList());
    QCOMPARE(laidOut, pictures);
}

// A link where the private folder for copies goes is not followed.
void TestWinFile::openRefusesALinkedPrivateFolder()
{
    const QString root = m_runtime.filePath(PARVANE_APP_ID);
    QDir(root).removeRecursively();
    QVERIFY(QFile::link(m_dir->path(), root));
    TNEFWinFile *w = show(write("open.dat", withAttachment(Tnef().title(z0("a.txt")), "small").bytes()));
    QVERIFY(w);
    w->form().fileList_131->selectAll();
    QCOMPARE(TNEFWinFileCommandHandler(w, kTNEFCommandOpenAttachment), OSStatus(noErr));
    QFile::remove(root);
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(w->statusText(), QString("The attachment could not be copied for opening."));
    QCOMPARE(tree(m_dir->path()).keys(), QStringList{"open.dat"});
}

void TestWinFile::attachedMessageActsAsItsOwnFile_data()
{
    QTest::addColumn<QString>("action");
    for (const char *action : {"rows", "save one", "save several", "save all", "open", "drag", "attributes", "message"})
        QTest::newRow(action) << QString(action);
}

// An attached message's window against the same stream written to a file of
// its own: every action gives the same names, texts and bytes.
void TestWinFile::attachedMessageActsAsItsOwnFile()
{
    QFETCH(QString, action);
    QByteArray big(100000, '\0');  // past the size at which copies go through a pipe
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 % 251);
    // Hostile and repeated names too: saving them all writes what the command line writes.
    Tnef inner = withAttachment(Tnef().message(attSubject, z0("Minutes of the planning meeting"))
                                    .message(attBody, z0("The agenda is attached.")).title(z0("../../agenda.txt")),
                                "1. Budget\n2. Dates\n");
    for (const QByteArray &contents : {big, QByteArray("3"), QByteArray("4")})
        inner = withAttachment(inner.title(z0("same")), contents);
    const Tnef outer = withAttachment(Tnef().message(attSubject, z0("Fwd: minutes")).title(z0("outer.txt")), QByteArray(700, 'o'))
                           .data(embeddedPlaceholder()).attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Minutes"))
                                                                       .object(PR_ATTACH_DATA_OBJ, inner.bytes()));
    const QString innerFile = write("inner.dat", inner.bytes());
    TNEFWinFile *own = show(innerFile);
    TNEFWinFile *holder = show(write("outer.dat", outer.bytes()));
    QVERIFY(own && holder);
    TNEFWinFile *attached = nullptr;
    TNEFWinFileSetOpeners({nullptr, [&](TNEFFile *doc) { return (attached = showDocument(doc)) ? 0 : -1; }});
    holder->form().fileList_131->selectAll();
    QCOMPARE(TNEFWinFileCommandHandler(holder, kTNEFCommandOpenAttachment), OSStatus(noErr));
    // The attached message opens in a window of its own, not on the desktop.
    QVERIFY(attached && attached->document()->fileList && m_opened.size() == 1);
    const TNEFFileItem *bigItem = attached->document()->fileList->next;
    QVERIFY(bigItem && (outer.bytes().indexOf(inner.bytes()) + bigItem->dataPosition) % 4096 != 0);

    const auto act = [&](TNEFWinFile *w, const QString &out) {
        QMap<QString, QByteArray> got;
        QDir().mkpath(out);
        QTreeView *list = w->form().fileList_131;
        // Copies nobody may write, in a folder only the user enters (0700).
        const auto copies = [&](const QList<QUrl> &urls) {
            const QString root = m_runtime.filePath(PARVANE_APP_ID);
            QCOMPARE(int(QFileInfo(root).permissions() & 0x7077), 0x7000);
            for (const QUrl &url : urls) {
                const QString path = url.toLocalFile();
                QVERIFY2(path.startsWith(root + '/'), qPrintable(path));
                QCOMPARE(int(QFileInfo(path).permissions() & 0x2022), 0);
                got.insert(url.fileName(), readFile(path));
            }
        };
        TNEFWinFileSaveSetFolderDialogHook([&](TNEFWinFile *) { return out; });
        if (action == "rows" || action == "save one") {
            for (int row = 0; row < list->model()->rowCount(); ++row) {
                clickRow(list, row);
                QByteArray &texts = got[QString::number(row)];
                for (int column = 0; column < 3; ++column) {
                    const QModelIndex cell = list->model()->index(row, column);
                    texts += (cell.data().toString() + '|' + cell.data(Qt::ToolTipRole).toString() + '|').toUtf8();
                }
                texts += fields(w, false).join('|').toUtf8();
                if (action == "save one") {
                    TNEFWinFileSaveSetDialogHook([&](TNEFWinFile *, const QString &name) {
                        return TNEFWinFileSaveReply{true, out, name, false};
                    });
                    w->form().saveButton_137->click();
                }
            }
            if (action == "save one")
                got = tree(out);
        } else if (action == "save several") {
            list->selectAll();
            w->form().saveButton_137->click();
            got = tree(out);
        } else if (action == "save all") {
            w->form().saveAllButton->click();
            got = tree(out);
        } else if (action == "open") {
            m_opened.clear();
            list->selectAll();
            TNEFWinFileCommandHandler(w, kTNEFCommandOpenAttachment);
            copies(m_opened);
        } else if (action == "drag") {
            const std::unique_ptr<QMimeData> data(TNEFWinFileListFileDBMimeData(DataBrowser::of(list), {1, 2}));
            copies(data ? data->urls() : QList<QUrl>());
        } else if (action == "attributes") {
            QTreeView *attributes = attributeList(w);
            for (int row = 0; row < attributes->model()->rowCount(); ++row) {
                clickRow(attributes, row);
                got.insert(QString::number(row), fields(w, true).join('|').toUtf8());
            }
        } else {
            got.insert("subject", w->form().messageSubject->text().toUtf8());
            got.insert("body", w->form().messageBody->toPlainText().toUtf8());
        }
        return got;
    };
    const QVariantList prefs{gTNEFPrefCEDest, gTNEFPrefCEDestOther, gTNEFPrefCEFolder};
    const QMap<QString, QByteArray> fromAttached = act(attached, m_dir->filePath("attached"));
    const QMap<QString, QByteArray> fromOwn = act(own, m_dir->filePath("own"));
    QCOMPARE(fromAttached, fromOwn);
    QCOMPARE((QVariantList{gTNEFPrefCEDest, gTNEFPrefCEDestOther, gTNEFPrefCEFolder}), prefs);
    if (action == "save several" || action == "save all") {
        QProcess cli;
        QVERIFY(QDir().mkpath(m_dir->filePath("cli")));
        cli.start(QStringLiteral(PARVANE_CLI_PATH), {"extract", "-C", m_dir->filePath("cli"), "--folder", "never", innerFile});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(tree(m_dir->filePath("cli")), fromOwn);
        own->resize(1400, 600);
        QVERIFY(own->statusText().contains(m_dir->filePath("own")));
    }
    // Each action gave something, and those that write gave the big one whole.
    QVERIFY(!fromOwn.isEmpty());
    const QStringList writing{"save one", "save several", "save all", "open", "drag"};
    QVERIFY(!writing.contains(action) || fromOwn.values().contains(big));
    QVERIFY(!writing.contains(action) || fromOwn.contains("....agenda.txt"));
}

void TestWinFile::statusBarTellsOneMessage()
{
    const QString folder = m_dir->filePath("minutes of the planning meeting, with every attachment");
    QVERIFY(QDir().mkpath(folder));
    TNEFWinFile *w = show(write("one.dat", withAttachment(Tnef().title(z0("report.pdf")), "x").bytes()));
    QVERIFY(w);
    w->resize(1400, 500);
    // What the bar shows: a message painted on it, and its line.
    const auto shown = [w] {
        QCoreApplication::processEvents();
        return QStringList{w->statusBar()->currentMessage(), w->statusText()}.filter(QRegularExpression("."));
    };
    m_desktopRefuses = true;
    clickRow(w->form().fileList_131, 0);
    TNEFWinFileCommandHandler(w, kTNEFCommandOpenAttachment);
    QCOMPARE(shown(), QStringList{"No application opens “report.pdf”."});
    TNEFWinFileSaveSetFolderDialogHook([&](TNEFWinFile *) { return folder; });
    w->form().saveAllButton->click();
    const QString saved = "Saved 1 attachment in " + folder;
    QCOMPARE(shown(), QStringList{saved});
    w->resize(600, 500);
    const QString narrow = shown().value(0);
    QVERIFY2(narrow.contains("…") && narrow.startsWith("Saved 1 attachment in /") && narrow.endsWith(" attachment"),
             qPrintable(narrow));
    w->resize(1400, 500);
    QCOMPARE(shown(), QStringList{saved});
}

void TestWinFile::titlesAndClosing()
{
    QVERIFY(QDir(m_dir->path()).mkpath("one") && QDir(m_dir->path()).mkpath("two"));
    const int forksBefore = FSOpenForkCount();
    QList<TNEFWinFile *> windows;
    for (const char *name : {"one/winmail.dat", "two/winmail.dat", "other.dat"}) {
        windows << show(write(name, Tnef().message(attSubject, z0(name)).bytes()));
        QVERIFY(windows.last());
    }
    QCOMPARE(windows[0]->windowTitle(), QString("winmail.dat (%1)").arg(m_dir->filePath("one")));
    QCOMPARE(windows[1]->windowTitle(), QString("winmail.dat (%1)").arg(m_dir->filePath("two")));
    QPointer<TNEFWinFile> closed = windows.takeAt(1);
    QVERIFY(closed->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!closed);
    QCOMPARE(windows[0]->windowTitle(), QStringLiteral("winmail.dat"));
    // Only the closed one's document went; the others still read their own files.
    QCOMPARE(gTNEFFileList, windows[0]->document());
    QCOMPARE(gTNEFFileList->next, windows[1]->document());
    QVERIFY(!gTNEFFileList->next->next);
    QCOMPARE(FSOpenForkCount(), forksBefore + 2);
    for (TNEFWinFile *w : windows) {
        clickRow(attributeList(w), 0);
        const QString name = QDir(m_dir->path()).relativeFilePath(w->document()->fileRef);
        QCOMPARE(w->form().attributeData_144->text(), name + '.');
    }
}

namespace {

QByteArray png(const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// A message whose HTML shows `src`, and its attachment with these bytes,
// Content-ID and Content-Location.
Tnef letterWithPicture(const QString &src, const QByteArray &bytes, const char *id, const char *location)
{
    MapiBlock props = MapiBlock().longValue(0x3705, 1);
    if (*id)
        props.string8(PR_ATTACH_CONTENT_ID, z0(id));
    if (*location)
        props.string8(PR_ATTACH_CONTENT_LOCATION, z0(location));
    const QByteArray html = QStringLiteral("<p>Our logo:</p><img src=\"%1\">").arg(src).toUtf8();
    return Tnef().mapiProps(MapiBlock().binary(PR_BODY_HTML, html)).title(z0("logo.png")).data(bytes).attachment(props);
}

} // namespace

void TestWinFile::inlinePictures_data()
{
    QTest::addColumn<QString>("src");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QSize>("shown");  // 1x1: the transparent dot
    QImage logo(30, 20, QImage::Format_RGB32);
    logo.fill(qRgb(10, 200, 30));
    const QByteArray small = png(logo);
    const QSize dot(1, 1);
    QTest::newRow("cid, domain in another case") << "cid:logo@Example.COM" << small << QByteArray("<logo@example.com>")
                                                 << QByteArray() << QSize(30, 20);
    QTest::newRow("cid, percent-encoded") << "cid:my%20logo@x" << small << QByteArray("my logo@x") << QByteArray()
                                          << QSize(30, 20);
    QTest::newRow("cid, local part in another case") << "cid:Logo@x" << small << QByteArray("<logo@x>") << QByteArray()
                                                     << dot;
    QTest::newRow("Content-Location") << "images/logo.png" << small << QByteArray() << QByteArray("images/logo.png")
                                      << QSize(30, 20);
    QTest::newRow("missing cid") << "cid:other@x" << small << QByteArray("<logo@x>") << QByteArray() << dot;
    QTest::newRow("undecodable") << "cid:logo@x" << QByteArray("not a picture") << QByteArray("<logo@x>") << QByteArray()
                                 << dot;
    // 100 megapixels in 12.5 MB, one bit each.
    QTest::newRow("100 megapixels") << "cid:logo@x" << QByteArray("P4 10000 10000\n") + QByteArray(12'500'000, '\0')
                                    << QByteArray("<logo@x>") << QByteArray() << dot;
    QTest::newRow("file over 16 MiB") << "cid:logo@x" << small + QByteArray(16 << 20, '\0') << QByteArray("<logo@x>")
                                      << QByteArray() << dot;
    QImage banner(4000, 400, QImage::Format_RGB32);
    banner.fill(qRgb(10, 200, 30));
    // Shown as wide as the body, which the window makes about 500 pixels.
    QTest::newRow("wider than the view") << "cid:logo@x" << png(banner) << QByteArray("<logo@x>") << QByteArray()
                                         << QSize(500, 50);
}

void TestWinFile::inlinePictures()
{
    QFETCH(QString, src);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, location);
    QFETCH(QSize, shown);
    TNEFWinFile *w = show(write("logo.dat", letterWithPicture(src, bytes, id.constData(), location.constData()).bytes()));
    QVERIFY(w);
    w->resize(540, 500);
    TNEFMessageBrowser *body = w->form().messageBody;
    const QImage picture = body->loadResource(QTextDocument::ImageResource, QUrl(src)).value<QImage>();
    QVERIFY2(qAbs(picture.width() - shown.width()) < 40 && picture.width() <= body->viewport()->width()
                 && picture.height() * 10 / shown.height() == picture.width() * 10 / shown.width(),
             qPrintable(QString("%1x%2").arg(picture.width()).arg(picture.height())));
    QCOMPARE(picture.pixelColor(0, 0), shown == QSize(1, 1) ? QColor(Qt::transparent) : QColor(10, 200, 30));
    // Still an attachment like any other.
    QCOMPARE(w->form().fileList_131->model()->index(0, 0).data().toString(), QString("logo.png"));
}

void TestWinFile::letterTakesTheRoom_data()
{
    QTest::addColumn<bool>("attachments");
    QTest::newRow("without attachments") << false;
    QTest::newRow("with attachments") << true;
}

void TestWinFile::letterTakesTheRoom()
{
    QFETCH(bool, attachments);
    const Tnef letter = Tnef().message(attSubject, z0("Lunch")).message(attBody, z0("At noon?"));
    TNEFWinFile *w = show(write("lunch.dat", (attachments ? withAttachment(Tnef(letter).title(z0("menu.txt")), "soup")
                                                          : letter).bytes()));
    QVERIFY(w);
    w->resize(700, 900);
    QCoreApplication::processEvents();
    const Ui::WinFile &f = w->form();
    QCOMPARE(f.fileList_131->isVisible(), attachments);
    QVERIFY(!f.noAttachments->isVisible());
    QCOMPARE(f.messageBody->height() > w->height() * 7 / 10, !attachments);
    QVERIFY2(f.messageBody->height() > w->height() / 2, qPrintable(QString::number(f.messageBody->height())));
    // The attributes are there either way, with room of their own.
    QVERIFY(attributeList(w)->isVisible() && f.attributeList_138->height() > 50);
}

// A window opens at the size, and with the split, that the last one closed with.
void TestWinFile::layoutIsRemembered()
{
    const QByteArray bytes = withAttachment(Tnef().message(attBody, z0("Hello")).title(z0("a.txt")), "a").bytes();
    TNEFWinFile *first = show(write("first.dat", bytes));
    QVERIFY(first);
    first->resize(700, 550);
    QCoreApplication::processEvents();
    first->form().splitter->setSizes({200, 250});
    const QList<int> sizes = first->form().splitter->sizes();
    QVERIFY(first->close());
    TNEFWinFile *second = show(write("second.dat", bytes));
    QVERIFY(second);
    QCoreApplication::processEvents();
    QCOMPARE(second->size(), QSize(700, 550));
    QCOMPARE(second->form().splitter->sizes(), sizes);
}

void TestWinFile::manyRowsKeepTheirCells_data()
{
    QTest::addColumn<int>("sortColumn");  // -1: file order
    for (int column : {-1, 0, 1, 2})
        QTest::newRow(qPrintable(QString::number(column))) << column;
}

// Ten thousand attachments, many of one name, and an attached message named
// like a nameless file: after sorting, every row still shows its own name,
// type and size.
void TestWinFile::manyRowsKeepTheirCells()
{
    QFETCH(int, sortColumn);
    static const char *const kNames[] = {"n%1.pdf", "n%1.png", "same.txt"};
    Tnef tnef;
    QList<QStringList> rows;  // name, type, size
    for (int i = 0; i < 10000; ++i) {
        const QByteArray contents(i % 7 + 1, 'x');
        const QString size = contents.size() == 1 ? "1 byte" : QString("%1 bytes").arg(contents.size());
        if (i % 1000 == 999) {
            tnef.data(embeddedPlaceholder()).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, Tnef().bytes()));
            rows << QStringList{"TNEF: Untitled Attachment", "application/vnd.ms-tnef", "6 bytes"};
        } else if (i % 1000 == 998) {
            tnef = withAttachment(tnef, contents);
            rows << QStringList{"Untitled Attachment", "application/octet-stream", size};
        } else {
            const QString name = QString(kNames[i % 3]).replace("%1", QString::number(i));
            tnef = withAttachment(tnef.title(name.toUtf8() + '\0'), contents);
            rows << QStringList{name, i % 3 == 2 ? "text/plain" : i % 3 ? "image/png" : "application/pdf", size};
        }
    }
    TNEFWinFile *w = show(write("many.dat", tnef.bytes()));
    QVERIFY(w);
    QTreeView *list = w->form().fileList_131;
    list->header()->setSortIndicator(sortColumn, Qt::AscendingOrder);
    const QAbstractItemModel *model = list->model();
    QCOMPARE(model->rowCount(), int(rows.size()));
    QSet<QStringList> known(rows.begin(), rows.end());
    QStringList shown, sorted;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStringList cells{model->index(row, 0).data().toString(), model->index(row, 1).data(Qt::ToolTipRole).toString(),
                                model->index(row, 2).data().toString()};
        QVERIFY2(known.contains(cells), qPrintable(cells.join('|')));
        if (sortColumn < 0)
            QCOMPARE(cells, rows.at(row));
        shown << model->index(row, qMax(sortColumn, 0)).data(DataBrowser::kSortRole).toString();
        const QIcon icon = model->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
        QVERIFY(!icon.isNull());
    }
    sorted = shown;
    if (sortColumn >= 0) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(sortColumn == 2);
        std::stable_sort(sorted.begin(), sorted.end(), collator);
    }
    QCOMPARE(shown, sorted);
}

QTEST_MAIN(TestWinFile)
#include "tst_ui_winfile.moc"
