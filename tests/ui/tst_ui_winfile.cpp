// The document window on the offscreen platform: the size and name texts,
// opening a parsed file, the two lists and their detail fields, saving through
// the Save panel, closing, and what the user sees when a file cannot be opened.
#include "TnefBuilder.h"
#include "app/TNEFFileParse.h"
#include "platform/ErrorLog.h"
#include "platform/TextCodec.h"
#include "platform/UserNotify.h"
#include "tnef/TNEFText.h"
#include "ui/DataBrowser.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinFileListAttribute.h"
#include "ui/TNEFWinFileListFile.h"
#include "ui/TNEFWinFileSave.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace tnefbuild;

namespace {

constexpr quint32 attSubject = 0x00018004;
const QString kAlertMessage = QStringLiteral("An error occurred opening this file.");
const QString kAlertExplanation = QStringLiteral(
    "Either the file is not a TNEF file or the file is corrupted. Please consult the Readme "
    "file for error reporting information.");
const QList<SInt32> kFileFields{kTNEFWinFileFileNameID, kTNEFWinFileFileSizeID};
const QList<SInt32> kAttributeFields{kTNEFWinFileAttributeTypeID, kTNEFWinFileAttributeSizeID,
                                     kTNEFWinFileAttributeDataID};

Tnef withAttachment(Tnef t, const QByteArray &contents) { return t.data(contents).attachment(MapiBlock().longValue(0x3705, 1)); }

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

template <typename T> T *control(const TNEFFile *doc, SInt32 id)
{
    ControlRef c = nullptr;
    return doc && doc->winFile && GetControlByID(doc->winFile->window, id, &c) == noErr ? qobject_cast<T *>(c) : nullptr;
}

QStringList fields(const TNEFFile *doc, const QList<SInt32> &ids)
{
    QStringList texts;
    for (SInt32 id : ids)
        texts << control<QLineEdit>(doc, id)->text();
    return texts;
}

QStringList rowTexts(const DataBrowser *list)
{
    QStringList texts;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        texts << list->model()->index(r, 0).data().toString();
    return texts;
}

QAbstractButton *saveButton(const TNEFFile *doc) { return control<QAbstractButton>(doc, kTNEFWinFileSaveButtonID); }
DataBrowser *fileList(TNEFFile *doc) { return control<DataBrowser>(doc, kTNEFWinFileFileListID); }

// Clicks a row the way a user does; with Ctrl on a selected row, deselects it.
void clickRow(DataBrowser *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(list->model()->index(row, 0)).center());
}

// The attribute list, with its tab shown as the user would.
DataBrowser *attributeList(TNEFFile *doc)
{
    QTabBar *tabs = control<QTabWidget>(doc, kTNEFWinFileTabControlID)->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    return control<DataBrowser>(doc, kTNEFWinFileAttributeListID);
}

} // namespace

class TestWinFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sizeText_data();
    void sizeText();
    void corpusFileOpens_data();
    void corpusFileOpens();
    void attachmentShownAndProposed_data();
    void attachmentShownAndProposed();
    void selectionFollowsTheLastRow_data();
    void selectionFollowsTheLastRow();
    void attributeFields_data();
    void attributeFields();
    void saveThroughDialog_data();
    void saveThroughDialog();
    void realSaveDialog();
    void closingDestroysOnlyItsDocument_data();
    void closingDestroysOnlyItsDocument();
    void unreadableFile_data();
    void unreadableFile();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir->filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
    }
    // The document shown for the file at `path`, or null.
    TNEFFile *show(const QString &path)
    {
        TNEFFile *shown = nullptr;
        return TNEFFileOpenDocument(path, true, &shown) == 0 && shown && shown->winFile ? shown : nullptr;
    }
    QTemporaryDir *m_dir = nullptr;
    QStringList m_alerts;
    int m_beeps = 0;
    QByteArray m_log;
};

void TestWinFile::init()
{
    m_dir = new QTemporaryDir;
    m_alerts.clear();
    m_beeps = 0;
    m_log.clear();
    UserNotifySetAlertHook([this](const QString &message, const QString &explanation) {
        m_alerts << message << explanation;
        return OSStatus(noErr);
    });
    UserNotifySetBeepHook([this] { ++m_beeps; });
    ParvaneSetErrorLogSink([this](const std::string &text) { m_log += QByteArray::fromStdString(text); });
}

void TestWinFile::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TNEFWinFileSaveSetDialogHook(nullptr);
    FSClearFileLayerHooks();
    UserNotifySetAlertHook(nullptr);
    UserNotifySetBeepHook(nullptr);
    ParvaneSetErrorLogSink(nullptr);
    delete m_dir;
    QVERIFY2(!gTNEFFileList, "a document outlived its window");
}

void TestWinFile::sizeText_data()
{
    QTest::addColumn<quint32>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << 0u << "0 bytes";
    QTest::newRow("5120 is still bytes") << 5120u << "5120 bytes";
    QTest::newRow("5121 is KB") << 5121u << "5 KB";
    QTest::newRow("5 MB is still KB") << 5242880u << "5120 KB";
    QTest::newRow("5 MB and a byte is MB") << 5242881u << "5 MB";
    QTest::newRow("largest length") << 4294967295u << "4095 MB";
}

void TestWinFile::sizeText()
{
    QFETCH(quint32, size);
    QFETCH(QString, text);
    QCOMPARE(TNEFTextCreateSizeText(size), text);
}

void TestWinFile::corpusFileOpens_data()
{
    if (!corpusAvailable())
        QSKIP("the corpus folder is not there");
    QTest::addColumn<QStringList>("names");
    for (const CorpusFile &f : corpusFiles()) {
        QStringList names;
        for (const CorpusAttachment &a : corpusAttachments()) {
            const QString title = a.name.isEmpty() ? QString::fromLatin1(kTNEFUntitledAttachment) : a.name;
            if (a.file == f.file)
                names << (a.embedded ? QStringLiteral("TNEF: ") + title : title);
        }
        if (f.result == 0)
            QTest::newRow(qPrintable(f.file)) << names;
    }
}

void TestWinFile::corpusFileOpens()
{
    QFETCH(QStringList, names);
    const QString file = QString::fromUtf8(QTest::currentDataTag());
    TNEFFile *doc = show(corpusDir() + QLatin1Char('/') + file);
    QVERIFY(doc);
    QVERIFY(m_alerts.isEmpty());
    QWidget *window = doc->winFile->window;
    QCOMPARE(window->windowTitle(), file);
    QVERIFY(window->isVisible());
    QCOMPARE(doc->winFile->currentTab, 1);
    QVERIFY(control<QWidget>(doc, kTNEFWinFileFilePaneID)->isVisible());
    QVERIFY(!control<QWidget>(doc, kTNEFWinFileAttributePaneID)->isVisible());
    QCOMPARE(rowTexts(fileList(doc)), names);
    QCOMPARE(fields(doc, kFileFields + kAttributeFields), QStringList(5, QString()));
    QVERIFY(!saveButton(doc)->isEnabled());

    QStringList attributeNames;
    for (const TNEFAttributeItem *a = doc->attributeList; a; a = a->next)
        attributeNames << QString::fromLatin1(TNEFTextGetAttributeName(a->attribute));
    QCOMPARE(rowTexts(attributeList(doc)), attributeNames);
    QCOMPARE(doc->winFile->currentTab, 2);
    QVERIFY(!control<QWidget>(doc, kTNEFWinFileFilePaneID)->isVisible());
    QVERIFY(control<QWidget>(doc, kTNEFWinFileAttributePaneID)->isVisible());
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
    const QString doc = QStringLiteral("d\u00F6cument.pdf");
    QTest::newRow("code page 1252 title") << withAttachment(Tnef().codepage(1252).title(z0("d\xF6" "cument.pdf")), "x")
                                          << doc << doc << doc;
    if (TextCodePageSupported(1251)) {
        const QString cyrillic = QStringLiteral("\u0434\u043E\u043A.txt");
        QTest::newRow("code page 1251 title") << withAttachment(Tnef().codepage(1251).title(z0("\xE4\xEE\xEA.txt")), "x")
                                              << cyrillic << cyrillic << cyrillic;
    }
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
    TNEFFile *doc = show(write("winmail.dat", tnef.bytes()));
    QVERIFY(doc);
    WindowRef window = doc->winFile->window;
    QCOMPARE(rowTexts(fileList(doc)), QStringList{listed});
    QCOMPARE(TNEFWinFileSaveCommandEventHandler(window, kTNEFCommandSave), eventNotHandledErr);
    clickRow(fileList(doc), 0);
    QCOMPARE(fields(doc, kFileFields), (QStringList{name, "1 bytes"}));
    QStringList asked;
    TNEFWinFileSaveSetDialogHook([&](WindowRef parent, const QString &proposedName) {
        asked << proposedName;
        return TNEFWinFileSaveReply{parent != window, m_dir->path(), "wrong", false};
    });
    saveButton(doc)->click();
    QCOMPARE(asked, QStringList{proposed});
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"winmail.dat"});
}

void TestWinFile::selectionFollowsTheLastRow_data()
{
    QTest::addColumn<bool>("attributes");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::newRow("attachments") << false << QStringList{"a.txt", "10 bytes"} << QStringList{"b.txt", "5 KB"};
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
    TNEFFile *doc = show(write("two.dat", tnef.bytes()));
    QVERIFY(doc);
    DataBrowser *list = attributes ? attributeList(doc) : fileList(doc);
    const QList<SInt32> ids = attributes ? kAttributeFields : kFileFields;
    const UInt32 &selected = attributes ? doc->selectedAttributeID : doc->selectedFileID;
    clickRow(list, 0);
    QCOMPARE(fields(doc, ids), first);
    clickRow(list, 1);
    QCOMPARE(fields(doc, ids), second);
    QCOMPARE(selected, list->itemAt(1));
    QCOMPARE(saveButton(doc)->isEnabled(), !attributes);
    // A row going while another stays selected changes nothing.
    (attributes ? TNEFWinFileListAttributeDBItemNotification : TNEFWinFileListFileDBItemNotification)(
        list, list->itemAt(0), kDataBrowserItemDeselected);
    QCOMPARE(fields(doc, ids), second);
    clickRow(list, 1, Qt::ControlModifier);
    QCOMPARE(fields(doc, ids), QStringList(ids.size(), QString()));
    QCOMPARE(selected, 0u);
    QVERIFY(!saveButton(doc)->isEnabled());
}

void TestWinFile::attributeFields_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("data");
    QByteArray alphabet;
    for (int i = 0; i < 1000; ++i)
        alphabet += char('A' + i % 26);
    QTest::newRow("Hello CR LF World") << QByteArray("Hello\r\nWorld") << "12 bytes" << "Hello..World";
    QTest::newRow("empty") << QByteArray() << "0 bytes" << "";
    QTest::newRow("150 bytes, whole") << QByteArray(150, 'x') << "150 bytes" << QString(150, 'x');
    QTest::newRow("151 bytes, whole and marked") << QByteArray(151, 'x') << "151 bytes" << QString(151, 'x') + "...";
    QTest::newRow("1000 bytes, first 300") << alphabet << "1000 bytes" << QString::fromLatin1(alphabet.left(300)) + "...";
    QTest::newRow("bytes outside 0x20..0x7F") << QByteArray("\x00\x09\x1F\x80\xFF\x20\x41\x7F", 8) << "8 bytes"
                                              << "..... A\x7F";
}

void TestWinFile::attributeFields()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, size);
    QFETCH(QString, data);
    TNEFFile *doc = show(write("attr.dat", Tnef().message(0x0002800C, value).bytes()));
    QVERIFY(doc);
    clickRow(attributeList(doc), 0);
    QCOMPARE(fields(doc, kAttributeFields), (QStringList{"Body", size, data}));
    QCOMPARE(doc->selectedAttributeID, doc->attributeList->objectID);
}

void TestWinFile::saveThroughDialog_data()
{
    QTest::addColumn<QByteArray>("existing");  // null: no file of that name yet
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("copyFails");
    QTest::newRow("new name") << QByteArray() << true << false;
    QTest::newRow("cancelled") << QByteArray() << false << false;
    QTest::newRow("cancelled over a file") << QByteArray("old") << false << false;
    QTest::newRow("replace agreed") << QByteArray("old") << true << false;
    QTest::newRow("replace agreed, copy fails") << QByteArray("old") << true << true;
}

void TestWinFile::saveThroughDialog()
{
    QFETCH(QByteArray, existing);
    QFETCH(bool, answered);
    QFETCH(bool, copyFails);
    const QByteArray contents = QByteArray("0123456789").repeated(2000);
    TNEFFile *doc = show(write("save.dat", withAttachment(withAttachment(Tnef().title(z0("first.bin")), "1"), contents).bytes()));
    QVERIFY(doc);
    const QString saved = write("chosen.bin", existing);
    QVERIFY(existing.isNull() ? QFile::remove(saved) : !saved.isEmpty());
    clickRow(fileList(doc), 1);
    TNEFWinFileSaveSetDialogHook([&](WindowRef, const QString &) {
        return TNEFWinFileSaveReply{answered, m_dir->path(), QStringLiteral("chosen.bin"), !existing.isNull()};
    });
    FSFileLayerHooks failingCopy;
    failingCopy.beforeCopy = [](UInt64) { return EIO; };
    if (copyFails)
        FSSetFileLayerHooks(failingCopy);
    saveButton(doc)->click();
    FSClearFileLayerHooks();
    const bool written = answered && !copyFails;
    QCOMPARE(readFile(saved), written ? contents : existing.isNull() ? QByteArray("<unreadable>") : existing);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), written || !existing.isNull() ? 2 : 1);
}

void TestWinFile::realSaveDialog()
{
    const QString title = QStringLiteral("R\u00E9sum\u00E9 \u2713.txt");
    TNEFFile *doc = show(write("real.dat", Tnef().data("real contents")
                                               .attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, title)).bytes()));
    QVERIFY(doc);
    clickRow(fileList(doc), 0);
    saveButton(doc)->click();
    QPointer<QFileDialog> dialog = doc->winFile->window->findChild<QFileDialog *>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), title);
    dialog->setDirectory(m_dir->path());
    dialog->selectFile(title);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->click();
    QCOMPARE(readFile(m_dir->filePath(title)), QByteArray("real contents"));
}

void TestWinFile::closingDestroysOnlyItsDocument_data()
{
    QTest::addColumn<int>("closed");
    QTest::newRow("first of three") << 0;
    QTest::newRow("middle of three") << 1;
    QTest::newRow("last of three") << 2;
}

void TestWinFile::closingDestroysOnlyItsDocument()
{
    QFETCH(int, closed);
    const int forksBefore = FSOpenForkCount();
    QList<TNEFFile *> docs;
    for (int i = 0; i < 3; ++i) {
        docs << show(write(QStringLiteral("%1.dat").arg(i), Tnef().message(attSubject, z0(qPrintable(QString::number(i)))).bytes()));
        QVERIFY(docs.last());
    }
    QPointer<QWidget> window = docs[closed]->winFile->window;
    QVERIFY(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window);
    docs.removeAt(closed);
    QList<TNEFFile *> listed;
    for (TNEFFile *f = gTNEFFileList; f; f = f->next)
        listed << f;
    QCOMPARE(listed, docs);
    QCOMPARE(FSOpenForkCount(), forksBefore + 2);
    // The others still read their own files.
    for (TNEFFile *doc : docs) {
        clickRow(attributeList(doc), 0);
        QCOMPARE(fields(doc, {kTNEFWinFileAttributeDataID}).value(0).size(), 2);
    }
}

void TestWinFile::unreadableFile_data()
{
    QTest::addColumn<bool>("alert");
    QTest::newRow("alert asked for") << true;
    QTest::newRow("beep only") << false;
}

void TestWinFile::unreadableFile()
{
    QFETCH(bool, alert);
    OSErr err = noErr;
    TNEFFile *doc = TNEFFileOpen(write("notes.txt", "These are plain notes, not TNEF.\n"), &err);
    QVERIFY(doc);
    const qsizetype windows = QApplication::topLevelWidgets().size();
    QCOMPARE(TNEFFileParse(doc, alert), -1);
    QVERIFY(!doc->winFile);
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    QCOMPARE(m_alerts, alert ? QStringList({kAlertMessage, kAlertExplanation}) : QStringList());
    QCOMPARE(m_beeps, alert ? 0 : 1);
    QVERIFY2(alert ? m_log.endsWith("    TNEFParseFileList() returned -1.\n") : m_log.isEmpty(), m_log.constData());
    TNEFFileDestroy(doc);
}

QTEST_MAIN(TestWinFile)
#include "tst_ui_winfile.moc"
