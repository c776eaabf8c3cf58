// The document window on the offscreen platform: opening a parsed file, the
// two lists and their detail fields, saving through the Save panel, closing,
// and what the user sees when a file cannot be opened.
#include "TnefBuilder.h"
#include "app/TNEFAlert.h"
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
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTabWidget>
#include <QtTest>

using namespace tnefbuild;

namespace {

constexpr quint32 attSubject = 0x00018004;
constexpr quint32 attBody = 0x0002800C;
constexpr quint32 attDateSent = 0x00038005;
constexpr quint32 attNameless = 0x00069006;

const QString kAlertMessage = QStringLiteral("An error occurred opening this file.");
const QString kAlertExplanation = QStringLiteral(
    "Either the file is not a TNEF file or the file is corrupted. Please consult the Readme "
    "file for error reporting information.");

// An attachment's property block that names nothing and holds no contents.
MapiBlock plainBlock() { return MapiBlock().longValue(0x3705, 1); }

QByteArray zeroEnded(const char *text) { return QByteArray(text, int(qstrlen(text)) + 1); }

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The document that the last open of `path` made, if it has a window.
TNEFFile *openShown(const QString &path)
{
    if (TNEFFileOpenDocument(path, true) != 0)
        return nullptr;
    TNEFFile *found = nullptr;
    for (TNEFFile *f = gTNEFFileList; f; f = f->next) {
        if (f->fileRef == QFileInfo(path).absoluteFilePath())
            found = f;
    }
    return found && found->winFile ? found : nullptr;
}

template <typename T> T *control(const TNEFFile *doc, SInt32 id)
{
    ControlRef c = nullptr;
    if (!doc || !doc->winFile || GetControlByID(doc->winFile->window, id, &c) != noErr)
        return nullptr;
    return qobject_cast<T *>(c);
}

QStringList fields(const TNEFFile *doc, const QList<SInt32> &ids)
{
    QStringList texts;
    for (SInt32 id : ids) {
        const auto *f = control<QLineEdit>(doc, id);
        texts << (f ? f->text() : QStringLiteral("<no field %1>").arg(id));
    }
    return texts;
}

QStringList rowTexts(const DataBrowser *list)
{
    QStringList texts;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        texts << list->model()->index(r, 0).data().toString();
    return texts;
}

bool saveActive(const TNEFFile *doc)
{
    const auto *save = control<QAbstractButton>(doc, kTNEFWinFileSaveButtonID);
    return save && save->isEnabled();
}

// Clicks a row the way a user does; with Ctrl on a selected row, deselects it.
void clickRow(DataBrowser *list, int row, Qt::KeyboardModifiers modifiers = {})
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
}

// Attribute list on tab 2, as the user would reach it.
DataBrowser *attributeList(TNEFFile *doc)
{
    if (auto *tabs = control<QTabWidget>(doc, kTNEFWinFileTabControlID))
        tabs->setCurrentIndex(1);
    return control<DataBrowser>(doc, kTNEFWinFileAttributeListID);
}

QList<QWidget *> documentWindows()
{
    QList<QWidget *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("WinFile") && w->isVisible())
            windows << w;
    }
    return windows;
}

} // namespace

class TestWinFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void corpusFileOpens_data();
    void corpusFileOpens();
    void attachmentShownAndProposed_data();
    void attachmentShownAndProposed();
    void selectionFollowsTheLastRow_data();
    void selectionFollowsTheLastRow();
    void attributeFields_data();
    void attributeFields();
    void previewOfShrunkFileKeepsData();
    void tabsFollowTheUser();
    void saveThroughDialog_data();
    void saveThroughDialog();
    void realSaveDialog();
    void closingDestroysOnlyItsDocument_data();
    void closingDestroysOnlyItsDocument();
    void unreadableFile_data();
    void unreadableFile();
    void alertIsAStopBoxWithOneButton();

private:
    QStringList m_alerts;
    int m_beeps = 0;
    QByteArray m_log;
};

void TestWinFile::init()
{
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
    for (QWidget *w : documentWindows())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TNEFWinFileSaveSetDialogHook(nullptr);
    FSClearFileLayerHooks();
    UserNotifySetAlertHook(nullptr);
    UserNotifySetBeepHook(nullptr);
    ParvaneSetErrorLogSink(nullptr);
    QVERIFY2(!gTNEFFileList, "a document outlived its window");
}

void TestWinFile::corpusFileOpens_data()
{
    if (!corpusAvailable())
        QSKIP("the corpus folder is not there");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");
    const QList<CorpusAttachment> attachments = corpusAttachments();
    for (const CorpusFile &f : corpusFiles()) {
        if (f.result != 0)
            continue;
        QStringList names;
        for (const CorpusAttachment &a : attachments) {
            if (a.file == f.file) {
                const QString title = a.name.isEmpty() ? QString::fromLatin1(kTNEFUntitledAttachment) : a.name;
                names << (a.embedded ? QStringLiteral("TNEF: ") + title : title);
            }
        }
        QTest::newRow(qPrintable(f.file)) << f.file << names;
    }
}

void TestWinFile::corpusFileOpens()
{
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    TNEFFile *doc = openShown(corpusDir() + QLatin1Char('/') + file);
    QVERIFY(doc);
    QVERIFY(m_alerts.isEmpty());
    QWidget *window = doc->winFile->window;
    QCOMPARE(window->windowTitle(), file);
    QVERIFY(window->isVisible());
    QCOMPARE(window->minimumSize(), QSize(kTNEFWinFileMinimumWidth, kTNEFWinFileMinimumHeight));

    QCOMPARE(doc->winFile->currentTab, 1);
    QVERIFY(control<QWidget>(doc, kTNEFWinFileFilePaneID)->isVisible());
    QVERIFY(!control<QWidget>(doc, kTNEFWinFileAttributePaneID)->isVisible());

    QCOMPARE(rowTexts(control<DataBrowser>(doc, kTNEFWinFileFileListID)), names);
    QStringList attributeNames;
    for (const TNEFAttributeItem *a = doc->attributeList; a; a = a->next)
        attributeNames << QString::fromLatin1(TNEFTextGetAttributeName(a->attribute));
    QVERIFY(!attributeNames.isEmpty());
    QCOMPARE(rowTexts(control<DataBrowser>(doc, kTNEFWinFileAttributeListID)), attributeNames);

    const QList<SInt32> all{kTNEFWinFileFileNameID, kTNEFWinFileFileSizeID, kTNEFWinFileAttributeTypeID,
                            kTNEFWinFileAttributeSizeID, kTNEFWinFileAttributeDataID};
    QCOMPARE(fields(doc, all), QStringList(all.size(), QString()));
    QVERIFY(!saveActive(doc));
}

void TestWinFile::attachmentShownAndProposed_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("proposed");

    const QByteArray report = zeroEnded("report.doc");
    QTest::newRow("title") << Tnef().title(report).data(QByteArray(1000, 'c')).attachment(plainBlock()).bytes()
        << "report.doc" << "report.doc" << "1000 bytes" << "report.doc";
    QTest::newRow("untitled") << Tnef().data("x").attachment(plainBlock()).bytes()
        << "Untitled Attachment" << "Untitled Attachment" << "1 bytes" << "";
    QTest::newRow("5120 bytes") << Tnef().title(report).data(QByteArray(5120, 'c')).attachment(plainBlock()).bytes()
        << "report.doc" << "report.doc" << "5120 bytes" << "report.doc";
    QTest::newRow("5121 bytes") << Tnef().title(report).data(QByteArray(5121, 'c')).attachment(plainBlock()).bytes()
        << "report.doc" << "report.doc" << "5 KB" << "report.doc";

    const MapiBlock message = MapiBlock().string8(PR_DISPLAY_NAME, zeroEnded("Re: minutes"))
                                  .object(PR_ATTACH_DATA_OBJ, QByteArray(300, 'm'));
    QTest::newRow("attached message") << Tnef().title(report).data(embeddedPlaceholder()).attachment(message).bytes()
        << "TNEF: Re: minutes" << "Re: minutes" << "300 bytes" << "Re: minutes";
    QTest::newRow("attached message without a name")
        << Tnef().data(embeddedPlaceholder()).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, "x")).bytes()
        << "TNEF: Untitled Attachment" << "Untitled Attachment" << "1 bytes" << "";

    // A "/" cannot stand in a Linux file name; ":" can.
    QTest::newRow("slash and colon") << Tnef().title(zeroEnded("Q1/Q2: plan.txt")).data("x").attachment(plainBlock()).bytes()
        << "Q1/Q2: plan.txt" << "Q1/Q2: plan.txt" << "1 bytes" << "Q1Q2: plan.txt";

    const QString doc = QStringLiteral("d\u00F6cument.pdf");
    QTest::newRow("code page 1252 title")
        << Tnef().codepage(1252).title(QByteArray("d\xF6" "cument.pdf", 13)).data("x").attachment(plainBlock()).bytes()
        << doc << doc << "1 bytes" << doc;
    if (TextCodePageSupported(1251)) {
        const QString cyrillic = QStringLiteral("\u0434\u043E\u043A.txt");
        QTest::newRow("code page 1251 title")
            << Tnef().codepage(1251).title(QByteArray("\xE4\xEE\xEA.txt", 8)).data("x").attachment(plainBlock()).bytes()
            << cyrillic << cyrillic << "1 bytes" << cyrillic;
    }
    const QString unicode = QStringLiteral("\u041E\u0442\u0447\u0451\u0442 \u2013 \u65E5\u672C \U0001F600.pdf");
    QTest::newRow("unicode long file name")
        << Tnef().title(report).data("x").attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, unicode)).bytes()
        << unicode << unicode << "1 bytes" << unicode;
}

void TestWinFile::attachmentShownAndProposed()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QString, listed);
    QFETCH(QString, name);
    QFETCH(QString, size);
    QFETCH(QString, proposed);
    QTemporaryDir dir;
    TNEFFile *doc = openShown(writeFile(dir, QStringLiteral("winmail.dat"), tnef));
    QVERIFY(doc);
    WindowRef window = doc->winFile->window;
    auto *list = control<DataBrowser>(doc, kTNEFWinFileFileListID);
    QCOMPARE(rowTexts(list), QStringList{listed});
    QCOMPARE(TNEFWinFileSaveCommandEventHandler(window, kTNEFCommandSave), eventNotHandledErr);

    clickRow(list, 0);
    QCOMPARE(fields(doc, {kTNEFWinFileFileNameID, kTNEFWinFileFileSizeID}), (QStringList{name, size}));
    QVERIFY(saveActive(doc));
    QCOMPARE(doc->selectedFileID, 1u);

    QStringList asked;
    TNEFWinFileSaveSetDialogHook([&](WindowRef parent, const QString &proposedName) {
        asked << proposedName;
        return parent == window ? TNEFWinFileSaveReply{} : TNEFWinFileSaveReply{true, dir.path(), "wrong", false};
    });
    control<QAbstractButton>(doc, kTNEFWinFileSaveButtonID)->click();
    QCOMPARE(asked, QStringList{proposed});
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"winmail.dat"});
}

void TestWinFile::selectionFollowsTheLastRow_data()
{
    QTest::addColumn<int>("listID");
    QTest::addColumn<QList<SInt32>>("fieldIDs");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<bool>("drivesSave");
    QTest::newRow("attachments") << int(kTNEFWinFileFileListID)
        << QList<SInt32>{kTNEFWinFileFileNameID, kTNEFWinFileFileSizeID}
        << QStringList{"b.txt", "5 KB"} << QStringList{"a.txt", "10 bytes"} << true;
    // The nameless word must not keep the name of the row shown before it.
    QTest::newRow("attributes") << int(kTNEFWinFileAttributeListID)
        << QList<SInt32>{kTNEFWinFileAttributeTypeID, kTNEFWinFileAttributeSizeID, kTNEFWinFileAttributeDataID}
        << QStringList{"", "3 bytes", "xyz"} << QStringList{"Subject", "9 bytes", "Hi there."} << false;
}

void TestWinFile::selectionFollowsTheLastRow()
{
    QFETCH(int, listID);
    QFETCH(QList<SInt32>, fieldIDs);
    QFETCH(QStringList, second);
    QFETCH(QStringList, first);
    QFETCH(bool, drivesSave);
    QTemporaryDir dir;
    const QByteArray tnef = Tnef().message(attSubject, zeroEnded("Hi there")).message(attNameless, "xyz")
                                .title(zeroEnded("a.txt")).data(QByteArray(10, 'a')).attachment(plainBlock())
                                .title(zeroEnded("b.txt")).data(QByteArray(6000, 'b')).attachment(plainBlock())
                                .bytes();
    TNEFFile *doc = openShown(writeFile(dir, QStringLiteral("two.dat"), tnef));
    QVERIFY(doc);
    auto *list = listID == kTNEFWinFileAttributeListID ? attributeList(doc) : control<DataBrowser>(doc, listID);
    QVERIFY(list);
    const UInt32 &selected = listID == kTNEFWinFileAttributeListID ? doc->selectedAttributeID : doc->selectedFileID;

    clickRow(list, 0);
    QCOMPARE(fields(doc, fieldIDs), first);
    clickRow(list, 1);
    QCOMPARE(fields(doc, fieldIDs), second);
    QCOMPARE(selected, list->itemAt(1));
    QCOMPARE(saveActive(doc), drivesSave);

    // A row going while another stays selected changes nothing.
    const auto notify = listID == kTNEFWinFileAttributeListID ? TNEFWinFileListAttributeDBItemNotification
                                                              : TNEFWinFileListFileDBItemNotification;
    notify(list, list->itemAt(0), kDataBrowserItemDeselected);
    QCOMPARE(fields(doc, fieldIDs), second);

    clickRow(list, 1, Qt::ControlModifier);
    QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    QCOMPARE(fields(doc, fieldIDs), QStringList(fieldIDs.size(), QString()));
    QCOMPARE(selected, 0u);
    QVERIFY(!saveActive(doc));
}

void TestWinFile::attributeFields_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("data");
    QTest::addColumn<bool>("readsFile");

    const auto body = [](const QByteArray &value) { return Tnef().message(attBody, value).bytes(); };
    QByteArray thousand;
    for (int i = 0; i < 1000; ++i)
        thousand += char('A' + i % 26);

    QTest::newRow("Hello CR LF World") << body("Hello\r\nWorld") << "Body" << "12 bytes" << "Hello..World" << true;
    QTest::newRow("empty") << body({}) << "Body" << "0 bytes" << "" << false;
    QTest::newRow("150 bytes, whole") << body(QByteArray(150, 'x')) << "Body" << "150 bytes"
                                      << QString(150, QLatin1Char('x')) << true;
    QTest::newRow("151 bytes, whole and marked") << body(QByteArray(151, 'x')) << "Body" << "151 bytes"
                                                 << QString(151, QLatin1Char('x')) + "..." << true;
    QTest::newRow("1000 bytes, first 300") << body(thousand) << "Body" << "1000 bytes"
                                           << QString::fromLatin1(thousand.left(300)) + "..." << true;
    QTest::newRow("bytes outside 0x20..0x7F") << body(QByteArray("\x00\x09\x1F\x80\xFF\x20\x41\x7F", 8))
                                              << "Body" << "8 bytes" << "..... A\x7F" << true;
    QTest::newRow("5 MB and one byte") << body(QByteArray(5242881, 'q')) << "Body" << "5 MB"
                                       << QString(300, QLatin1Char('q')) + "..." << true;

    const QByteArray dated = Tnef().date(attDateSent, 2024, 5, 17, 9, 30, 0, 5).bytes();
    ParseRun run(dated, false);
    QVERIFY(run.status == 0 && run.attributes.size() == 1 && run.attributes[0]->text);
    QTest::newRow("parsed date, not read") << dated << "Date Sent" << "14 bytes"
                                           << QString::fromStdString(*run.attributes[0]->text) << false;
}

void TestWinFile::attributeFields()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QString, type);
    QFETCH(QString, size);
    QFETCH(QString, data);
    QFETCH(bool, readsFile);
    QTemporaryDir dir;
    TNEFFile *doc = openShown(writeFile(dir, QStringLiteral("attr.dat"), tnef));
    QVERIFY(doc);
    int reads = 0;
    const SInt16 fork = doc->forkRefNum;
    FSSetFileLayerHooks({[&](SInt16 ref, UInt32) {
                             reads += ref == fork;
                             return OSErr(noErr);
                         },
                         {}});
    clickRow(attributeList(doc), 0);
    QCOMPARE(fields(doc, {kTNEFWinFileAttributeTypeID, kTNEFWinFileAttributeSizeID, kTNEFWinFileAttributeDataID}),
             (QStringList{type, size, data}));
    QCOMPARE(reads > 0, readsFile);
    QCOMPARE(doc->selectedAttributeID, doc->attributeList->objectID);
}

void TestWinFile::previewOfShrunkFileKeepsData()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("shrinks.dat"),
                                   Tnef().message(attSubject, zeroEnded("first")).message(attBody, QByteArray(64, 'b')).bytes());
    TNEFFile *doc = openShown(path);
    QVERIFY(doc);
    DataBrowser *list = attributeList(doc);
    clickRow(list, 0);
    const QList<SInt32> ids{kTNEFWinFileAttributeTypeID, kTNEFWinFileAttributeSizeID, kTNEFWinFileAttributeDataID};
    QCOMPARE(fields(doc, ids), (QStringList{"Subject", "6 bytes", "first."}));

    QVERIFY(QFile::resize(path, QFileInfo(path).size() - 40));
    clickRow(list, 1);
    QCOMPARE(fields(doc, ids), (QStringList{"Body", "64 bytes", "first."}));
    QVERIFY2(m_log.endsWith("    FSReadFork() returned -39.\n"), m_log.constData());
    QCOMPARE(doc->selectedAttributeID, list->itemAt(0));
}

void TestWinFile::tabsFollowTheUser()
{
    QTemporaryDir dir;
    TNEFFile *doc = openShown(writeFile(dir, QStringLiteral("tabs.dat"), Tnef().message(attBody, "b").bytes()));
    QVERIFY(doc);
    auto *tabs = control<QTabWidget>(doc, kTNEFWinFileTabControlID);
    QCOMPARE(tabs->count(), 2);
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    QCOMPARE(doc->winFile->currentTab, 2);
    QVERIFY(!control<QWidget>(doc, kTNEFWinFileFilePaneID)->isVisible());
    QVERIFY(control<QWidget>(doc, kTNEFWinFileAttributePaneID)->isVisible());
    QCOMPARE(TNEFWinFileTabHandler(doc->winFile), eventNotHandledErr);
}

void TestWinFile::saveThroughDialog_data()
{
    QTest::addColumn<QString>("existing");  // null: no file of that name yet
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("copyFails");
    QTest::addColumn<bool>("written");  // else the old contents, or nothing, stay
    QTest::newRow("new name") << QString() << true << false << false << true;
    QTest::newRow("cancelled") << QString() << false << false << false << false;
    QTest::newRow("cancelled over a file") << QStringLiteral("old") << false << false << false << false;
    QTest::newRow("replace agreed") << QStringLiteral("old") << true << true << false << true;
    QTest::newRow("replace agreed, copy fails") << QStringLiteral("old") << true << true << true << false;
}

void TestWinFile::saveThroughDialog()
{
    QFETCH(QString, existing);
    QFETCH(bool, answered);
    QFETCH(bool, replace);
    QFETCH(bool, copyFails);
    QFETCH(bool, written);
    QByteArray contents;
    for (int i = 0; i < 20000; ++i)
        contents += char(i * 7);
    QTemporaryDir source;
    QTemporaryDir target;
    const QByteArray tnef = Tnef().title(zeroEnded("first.bin")).data("1").attachment(plainBlock())
                                .title(zeroEnded("second.bin")).data(contents).attachment(plainBlock()).bytes();
    TNEFFile *doc = openShown(writeFile(source, QStringLiteral("save.dat"), tnef));
    QVERIFY(doc);
    const QString saved = target.filePath(QStringLiteral("chosen.bin"));
    if (!existing.isNull())
        QVERIFY(!writeFile(target, QStringLiteral("chosen.bin"), existing.toLatin1()).isEmpty());

    clickRow(control<DataBrowser>(doc, kTNEFWinFileFileListID), 1);
    TNEFWinFileSaveSetDialogHook([&](WindowRef, const QString &) {
        TNEFWinFileSaveReply reply;
        if (answered)
            reply = {true, target.path(), QStringLiteral("chosen.bin"), replace};
        return reply;
    });
    const SInt16 fork = doc->forkRefNum;
    if (copyFails) {
        FSSetFileLayerHooks({[fork](SInt16 ref, UInt32) { return ref == fork ? OSErr(ioErr) : OSErr(noErr); }, {}});
    }
    control<QAbstractButton>(doc, kTNEFWinFileSaveButtonID)->click();
    FSClearFileLayerHooks();

    const QStringList left = QDir(target.path()).entryList(QDir::Files | QDir::Hidden);
    if (written) {
        QCOMPARE(readFile(saved), contents);
    } else if (existing.isNull()) {
        QCOMPARE(left, QStringList());
    } else {
        QCOMPARE(readFile(saved), existing.toLatin1());
    }
    QCOMPARE(left.size(), written || !existing.isNull() ? 1 : 0);
}

void TestWinFile::realSaveDialog()
{
    const QString title = QStringLiteral("R\u00E9sum\u00E9 \u2713.txt");
    QTemporaryDir source;
    QTemporaryDir target;
    const QByteArray tnef =
        Tnef().title(zeroEnded("x")).data("real contents").attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, title)).bytes();
    TNEFFile *doc = openShown(writeFile(source, QStringLiteral("real.dat"), tnef));
    QVERIFY(doc);
    WindowRef window = doc->winFile->window;
    clickRow(control<DataBrowser>(doc, kTNEFWinFileFileListID), 0);
    control<QAbstractButton>(doc, kTNEFWinFileSaveButtonID)->click();

    QPointer<QFileDialog> dialog = window->findChild<QFileDialog *>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), title);
    QVERIFY(window->isVisible());

    dialog->setDirectory(target.path());
    dialog->selectFile(title);
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    QVERIFY(buttons && buttons->button(QDialogButtonBox::Save));
    buttons->button(QDialogButtonBox::Save)->click();
    QCOMPARE(readFile(target.filePath(title)), QByteArray("real contents"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!dialog);
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
    QTemporaryDir dir;
    const int forksBefore = FSOpenForkCount();
    QList<TNEFFile *> docs;
    for (int i = 0; i < 3; ++i) {
        const QByteArray tnef = Tnef().message(attSubject, zeroEnded(qPrintable(QString::number(i)))).bytes();
        docs << openShown(writeFile(dir, QStringLiteral("%1.dat").arg(i), tnef));
        QVERIFY(docs.last());
    }
    QCOMPARE(FSOpenForkCount(), forksBefore + 3);
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
        QVERIFY(doc->winFile && doc->winFile->window->isVisible());
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
    QTemporaryDir dir;
    OSErr err = noErr;
    TNEFFile *doc = TNEFFileOpen(writeFile(dir, QStringLiteral("notes.txt"), "These are plain notes, not TNEF.\n"), &err);
    QVERIFY(doc);
    const int windowsBefore = documentWindows().size();

    QCOMPARE(TNEFFileParse(doc, alert), -1);
    QVERIFY(!doc->winFile);
    QCOMPARE(documentWindows().size(), windowsBefore);
    if (alert) {
        QCOMPARE(m_alerts, (QStringList{kAlertMessage, kAlertExplanation}));
        QCOMPARE(m_beeps, 0);
        QVERIFY(m_log.endsWith("    TNEFParseFileList() returned -1.\n"));
    } else {
        QCOMPARE(m_alerts, QStringList());
        QCOMPARE(m_beeps, 1);
        QCOMPARE(m_log, QByteArray());
    }
    TNEFFileDestroy(doc);
}

void TestWinFile::alertIsAStopBoxWithOneButton()
{
    TNEFAlertInstall();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList texts;
    qsizetype buttons = 0;
    bool dismissed = false;
    // Runs inside the alert's own event loop, once the box is up.
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        closer.stop();
        icon = box->icon();
        texts << box->text() << box->informativeText();
        buttons = box->buttons().size();
        dismissed = true;
        box->buttons().value(0)->click();
    });
    closer.start(0);
    QCOMPARE(TNEFAlertAppModal(kAlertMessage, kAlertExplanation), OSStatus(noErr));
    QVERIFY(dismissed);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(texts, (QStringList{kAlertMessage, kAlertExplanation}));
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(TestWinFile)
#include "tst_ui_winfile.moc"
