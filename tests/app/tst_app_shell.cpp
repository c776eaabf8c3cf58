// The application shell in the test process, on the offscreen platform:
// files handed over, dropped and chosen in the Open dialog, what the user is
// told of a file that does not open, the windows that exist once and close
// as dialogs do, quitting.
#include "AppFixture.h"
#include "app/TNEFApp.h"
#include "app/TNEFAppOpenDialog.h"
#include "app/TNEFFileParse.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/FolderChooser.h"
#include "platform/UserNotify.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/Commands.h"
#include "ui/TNEFWinAbout.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinFileOpen.h"
#include "ui/TNEFWinMain.h"
#include "ui/TNEFWinPrefs.h"

#include <QDialogButtonBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace appfix;

namespace {

const QString kAlertMessage = QStringLiteral("An error occurred opening this file.");

QStringList shownDocuments()
{
    QStringList titles;
    for (const TNEFFile *f = gTNEFFileList; f; f = f->next) {
        if (f->winFile && f->winFile->isVisible())
            titles << f->winFile->windowTitle();
    }
    return titles;
}

// The window of the document opened last.
TNEFWinFile *lastWindow()
{
    TNEFFile *last = gTNEFFileList;
    while (last && last->next)
        last = last->next;
    return last ? last->winFile : nullptr;
}

} // namespace

class TestAppShell : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openingFiles_data();
    void openingFiles();
    void singleWindows_data();
    void singleWindows();
    void failureAlerts_data();
    void failureAlerts();
    void sameFileOnce_data();
    void sameFileOnce();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void loadPrefs(const QVariantMap &values);

    QTemporaryDir m_dir;
    QString m_config;
    QList<int> m_exits;  // the status of each quit
    int m_beeps = 0;
    QStringList m_alerts;  // message and explanation of each
    QStringList m_reports;
    QByteArray m_log;
};

void TestAppShell::loadPrefs(const QVariantMap &values)
{
    writePrefs(m_config, values);
    TNEFPrefsInit();
    // The trace stays off here, and quitting must not close standard output.
    gTNEFParseDebugFile = nullptr;
}

void TestAppShell::initTestCase()
{
    m_config = path("config");
    qputenv("XDG_CONFIG_HOME", m_config.toUtf8());
    QVERIFY(writeTnef(path("a.tnef")) && writeTnef(path("b.tnef")) && writeTnef(path("locked.tnef"))
            && writeTnef(path("c.tnef")));
    QFile::setPermissions(path("locked.tnef"), {});
    QVERIFY(tnefbuild::writeFile(path("notes.txt"), "plain notes, not TNEF\n"));
    QVERIFY(tnefbuild::writeFile(path("cut.tnef"), tnefbuild::Tnef().message(attTnefVersion, tnefbuild::le32(0x10000)).raw("\x07").bytes()));
    QVERIFY(QFile::link(path("a.tnef"), path("soft.tnef")));
    QVERIFY(::link(QFile::encodeName(path("a.tnef")).constData(), QFile::encodeName(path("hard.tnef")).constData()) == 0);
    using namespace tnefbuild;
    QVERIFY(writeFile(path("outer.tnef"), Tnef().message(attSubject, z0("Outer")).data(embeddedPlaceholder())
        .attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, Tnef().message(attSubject, z0("Inner")).bytes())).bytes()));
    QCOMPARE(TNEFAppInit(), 0);
    gTNEFParseDebugFile = nullptr;
    QVERIFY(FolderChooserAvailable());
    TNEFAppSetExitHook([this](int status) { m_exits << status; });
}

void TestAppShell::init()
{
    m_beeps = 0;
    m_exits.clear();
    m_alerts.clear();
    m_reports.clear();
    m_log.clear();
    UserNotifySetAlertHook([this](const QString &message, const QString &explanation) {
        m_alerts << message << explanation;
        return OSStatus(noErr);
    });
    ParvaneSetErrorLogSink([this](const std::string &text) { m_log += QByteArray::fromStdString(text); });
    UserNotifySetBeepHook([this] { ++m_beeps; });
    DebugAssertSetHook([this](const DebugAssertReport &r) { m_reports << QString::fromStdString(r.text); });
    loadPrefs({});
    for (const char *folder : {"a.tnef Folder", "b.tnef Folder"})
        QDir(path(folder)).removeRecursively();
}

void TestAppShell::cleanup()
{
    TNEFAppOpenDestroy();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            w->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TNEFAppOpenSetDialogHook(nullptr);
    TNEFWinFileSetOpeners({});
    DebugAssertSetHook(nullptr);
    ParvaneSetErrorLogSink(nullptr);
    QVERIFY2(!gTNEFFileList, "a document outlived its window");
}

void TestAppShell::openingFiles_data()
{
    QTest::addColumn<QString>("how");  // "handed", "dropped", "chosen" or "cancelled"
    QTest::addColumn<QVariantMap>("prefs");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("told");  // of notes.txt: "beep", "alert" or nothing
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<int>("exitStatus");  // -1: no quit
    const QStringList both{"a.tnef", "b.tnef"};
    const QStringList failed{"Parvane: myStatus == 0 "};
    // notes.txt is handed over between the two TNEF files, so the quit that
    // follows says that not everything was handled.
    QTest::newRow("handed over, automatic") << "handed" << QVariantMap{{"AppleEventAuto", 1}, {"AppleEventFolder", 3},
        {"AppleEventQuit", 1}} << both << "beep" << failed << 1;
    QTest::newRow("handed over, shown only") << "handed" << QVariantMap{{"AppleEventAuto", 0}, {"AppleEventFolder", 3},
        {"AppleEventQuit", 1}} << both << "alert" << failed << 1;
    QTest::newRow("dropped: the desktop's set") << "dropped" << QVariantMap{{"AppleEventAuto", 1}, {"AppleEventFolder", 3},
        {"AppleEventBody", 1}, {"CarbonEventAuto", 0}, {"CarbonEventBody", 1}} << both << "" << QStringList()
        << -1;
    const QVariantMap openSet{{"CarbonEventAuto", 1}, {"CarbonEventFolder", 3}, {"CarbonEventQuit", 1}, {"AppleEventQuit", 0}};
    QTest::newRow("Open dialog: its own set") << "chosen" << openSet << QStringList{"b.tnef", "a.tnef"} << ""
                                              << QStringList() << 0;
    QTest::newRow("Open dialog cancelled") << "cancelled" << openSet << QStringList() << ""
                                           << QStringList{"Parvane: navReply.validRecord != NULL"} << -1;
}

void TestAppShell::openingFiles()
{
    QFETCH(QString, how);
    QFETCH(QVariantMap, prefs);
    QFETCH(QStringList, shown);
    QFETCH(QString, told);
    QFETCH(QStringList, reports);
    QFETCH(int, exitStatus);
    loadPrefs(prefs);
    if (how == "handed") {
        QVERIFY(AESendEvent(AppEvent{kAEOpenDocuments, {path("a.tnef"), path("notes.txt"), path("b.tnef")}}) != noErr);
    } else if (how == "dropped") {
        // The first file is dropped on the main window, the next on the window that opened.
        const auto openDropped = [](const QStringList &files) { AEPostEvent(AppEvent{kAEOpenDocuments, files}); };
        TNEFWinFileSetOpeners({openDropped, nullptr});
        QWidget *window = TNEFWinMainCreate(openDropped);
        for (const QString &file : shown) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path(file))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(window, &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(window, &drop);
            QTRY_VERIFY(shownDocuments().contains(file));
            window = gTNEFFileList->winFile;
        }
    } else {
        TNEFAppOpenSetDialogHook([&] { return TNEFAppOpenReply{how == "chosen", {path("b.tnef"), path("a.tnef")}}; });
        QCOMPARE(ProcessHICommand(kHICommandOpen), OSStatus(noErr));
        QVERIFY(!gTNEFAppOpenDialogRef);
    }
    QCOMPARE(shownDocuments(), shown);
    QCOMPARE(m_beeps, int(told == "beep"));
    // The file that does not parse is logged only when the user is told.
    QCOMPARE(m_alerts, told == "alert" ? QStringList({kAlertMessage, "\u201Cnotes.txt\u201D is not a TNEF file."}) : QStringList());
    QCOMPARE(m_log.contains("    TNEFParseFileList() returned -1.\n"), told == "alert");
    QCOMPARE(m_reports, reports);
    const bool extracting = prefs.value("AppleEventAuto").toInt() == 1 || prefs.value("CarbonEventAuto").toInt() == 1;
    // The message is written only where the set that extracts asks for it.
    const QStringList written = QStringList(prefs.value("AppleEventBody").toInt(), "message.txt") + QStringList{"one.txt", "two.txt"};
    for (const QString &file : {QStringLiteral("a.tnef"), QStringLiteral("b.tnef")})
        QCOMPARE(listing(path(file + " Folder")), extracting && shown.contains(file) ? written : QStringList());
    QCOMPARE(m_exits, exitStatus < 0 ? QList<int>() : QList<int>{exitStatus});
}

void TestAppShell::singleWindows_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("escape");  // closed with Escape, else with its Close button
    QTest::newRow("About, Escape") << "abou" << true;
    QTest::newRow("Preferences, Close") << "pref" << false;
    QTest::newRow("Open, Escape") << "open" << true;
}

// Each comes forward when asked for again, and closes as a dialog does.
void TestAppShell::singleWindows()
{
    QFETCH(QString, command);
    QFETCH(bool, escape);
    const UInt32 commandID = FourCharCodeFromText(command);
    auto single = [commandID]() -> QWidget * {
        return QHash<UInt32, QWidget *>{{kHICommandAbout, gTNEFWinAboutRef}, {kHICommandPreferences, gTNEFWinPrefsRef},
                                        {kHICommandOpen, gTNEFAppOpenDialogRef}}.value(commandID);
    };
    QWidget *other = TNEFWinMainCreate({});
    QCOMPARE(ProcessHICommand(commandID), OSStatus(noErr));
    const QPointer<QWidget> first = single();
    QVERIFY(first && QTest::qWaitForWindowActive(first));

    SelectWindow(other);
    QVERIFY(QTest::qWaitForWindowActive(other));
    QCOMPARE(ProcessHICommand(commandID), OSStatus(noErr));
    QCOMPARE(single(), first.data());
    QVERIFY(QTest::qWaitForWindowActive(first));
    if (escape)
        QTest::keyClick(first, Qt::Key_Escape);
    else
        first->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close)->click();
    QVERIFY(!single());
}

void TestAppShell::failureAlerts_data()
{
    QTest::addColumn<QString>("file");  // in the test folder, or absolute
    QTest::addColumn<QString>("destOther");  // null: shown only; else extracted there ("": beside it), every write failing
    QTest::addColumn<QString>("explanation");
    const QString readme(" Please consult the Readme file for error reporting information.");
    QTest::newRow("damaged") << "cut.tnef" << QString() << "\u201Ccut.tnef\u201D is a damaged TNEF file (parser code -7)." + readme;
    QTest::newRow("missing") << "missing.tnef" << QString() << "\u201Cmissing.tnef\u201D does not exist.";
    QTest::newRow("a folder") << "config" << QString() << "\u201Cconfig\u201D is a folder, not a file.";
    QTest::newRow("a device") << "/dev/null" << QString() << "\u201Cnull\u201D is a device, not a file.";
    QTest::newRow("unreadable") << "locked.tnef" << QString()
        << "\u201Clocked.tnef\u201D cannot be read: you are not allowed to read it.";
    QTest::newRow("every write fails") << "a.tnef" << ""
        << "2 attachments of \u201Ca.tnef\u201D could not be written to the folder \u201C" + path("a.tnef Folder") + "\u201D.";
    // One alert: the folder and why, from the extraction.
    QTest::newRow("the stored folder is gone") << "a.tnef" << "file://" + path("gone")
        << "The attachments of \u201Ca.tnef\u201D were not written: the folder \u201C" + path("gone") + "\u201D does not exist.";
}

// An alert that names the file and says where and why or how many (while
// extraction runs by itself, a file that does not open only beeps: see
// openingFiles); the quit after a failed extraction ends with status 1.
void TestAppShell::failureAlerts()
{
    QFETCH(QString, file);
    QFETCH(QString, destOther);
    QFETCH(QString, explanation);
    if (file == "locked.tnef" && ::geteuid() == 0)
        QSKIP("the superuser reads every file");
    const bool extracting = !destOther.isNull();
    if (extracting) {
        loadPrefs({{"AppleEventAuto", 1}, {"AppleEventFolder", 3}, {"AppleEventQuit", 1},
                   {"AppleEventDest", destOther.isEmpty() ? 1 : 3}, {"AppleEventDestOther", destOther}});
        FSFileLayerHooks full{{}, [](SInt16, UInt32) { return OSErr(dskFulErr); }};
        full.beforeCopy = [](UInt64) { return ENOSPC; };
        FSSetFileLayerHooks(full);
    }
    const OSErr opened = TNEFAppOpenFiles({file.startsWith('/') ? file : path(file)}, 2);
    FSClearFileLayerHooks();
    QCOMPARE(opened != noErr, !extracting);
    QCOMPARE(shownDocuments(), extracting ? QStringList{file} : QStringList());
    QCOMPARE(m_alerts, (QStringList{extracting ? "An error occurred extracting the attachments." : kAlertMessage, explanation}));
    QCOMPARE(m_beeps, 0);
    QCOMPARE(m_exits, extracting ? QList<int>{1} : QList<int>());
    QCOMPARE(listing(path("a.tnef Folder")), QStringList());
}

void TestAppShell::sameFileOnce_data()
{
    // Each names a file in the test folder, or "pipe" (a new pipe read at
    // /dev/fd/N, the same path each time) or "attached" (outer.tnef's
    // attached message, opened from outer.tnef's window).
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("again");
    QTest::addColumn<bool>("same");
    QTest::newRow("the same path") << "a.tnef" << "a.tnef" << true;
    QTest::newRow("a hard link") << "a.tnef" << "hard.tnef" << true;
    QTest::newRow("a symbolic link") << "soft.tnef" << "a.tnef" << true;
    QTest::newRow("another file") << "a.tnef" << "b.tnef" << false;
    QTest::newRow("a pipe at the path of an earlier one") << "pipe" << "pipe" << false;
    QTest::newRow("an attached message") << "attached" << "attached" << true;
}

// A file opened while its window is shown brings that window forward and
// is not read again; c.tnef's window was in front meanwhile.
void TestAppShell::sameFileOnce()
{
    QFETCH(QString, first);
    QFETCH(QString, again);
    QFETCH(bool, same);
    TNEFWinFileSetOpeners({nullptr, [](TNEFFile *tnefFile) { return TNEFFileParse(tnefFile, true); }});
    TNEFWinFile *outer = nullptr;
    const auto open = [&](const QString &what) {
        if (what == "attached") {
            if (!outer) {
                QCOMPARE(TNEFAppOpenFiles({path("outer.tnef")}, 1), OSErr(noErr));
                outer = lastWindow();
            }
            QCOMPARE(TNEFWinFileOpenAttached(outer, 1), 0);
        } else if (what == "pipe") {
            int fds[2];
            QVERIFY(::pipe(fds) == 0);
            const QByteArray bytes = tnefbuild::readFile(path("b.tnef"));
            QCOMPARE(::write(fds[1], bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
            ::close(fds[1]);
            QCOMPARE(TNEFAppOpenFiles({QStringLiteral("/dev/fd/%1").arg(fds[0])}, 2), OSErr(noErr));
            ::close(fds[0]);
        } else {
            QCOMPARE(TNEFAppOpenFiles({path(what)}, 2), OSErr(noErr));
        }
    };
    open(first);
    const QPointer<TNEFWinFile> firstWindow = lastWindow();
    QVERIFY(firstWindow && QTest::qWaitForWindowActive(firstWindow));
    open("c.tnef");
    const int windows = shownDocuments().size();
    QVERIFY(QTest::qWaitForWindowActive(lastWindow()) && lastWindow() != firstWindow);
    open(again);
    QCOMPARE(shownDocuments().size(), windows + int(!same));
    if (same)
        QVERIFY(QTest::qWaitForWindowActive(firstWindow));
}

QTEST_MAIN(TestAppShell)
#include "tst_app_shell.moc"
