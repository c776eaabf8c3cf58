// The application shell in the test process, on the offscreen platform:
// files handed over, dropped and chosen in the Open dialog, what the user is
// told of a file that does not open, the windows that exist once, quitting.
#include "AppFixture.h"
#include "app/TNEFApp.h"
#include "app/TNEFAppOpenDialog.h"
#include "platform/ErrorLog.h"
#include "platform/FolderChooser.h"
#include "platform/UserNotify.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/Commands.h"
#include "ui/TNEFWinAbout.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinMain.h"
#include "ui/TNEFWinPrefs.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace appfix;

namespace {

const QString kAlertMessage = QStringLiteral("An error occurred opening this file.");
const QString kAlertExplanation = QStringLiteral(
    "Either the file is not a TNEF file or the file is corrupted. Please consult the Readme "
    "file for error reporting information.");

QStringList shownDocuments()
{
    QStringList titles;
    for (const TNEFFile *f = gTNEFFileList; f; f = f->next) {
        if (f->winFile && f->winFile->isVisible())
            titles << f->winFile->windowTitle();
    }
    return titles;
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
    void singleWindowsComeForward_data();
    void singleWindowsComeForward();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void loadPrefs(const QVariantMap &values);

    QTemporaryDir m_dir;
    QString m_config;
    int m_exits = 0;
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
    QVERIFY(writeTnef(path("a.tnef")) && writeTnef(path("b.tnef")));
    QVERIFY(writeText(path("notes.txt"), "plain notes, not TNEF\n"));
    QCOMPARE(TNEFAppInit(), 0);
    gTNEFParseDebugFile = nullptr;
    QVERIFY(FolderChooserAvailable());
    TNEFAppSetExitHook([this] { ++m_exits; });
}

void TestAppShell::init()
{
    m_exits = m_beeps = 0;
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
    for (const QString &name : entries(m_dir.path())) {
        if (name.endsWith(QLatin1String(" Folder")))
            QDir(path(name)).removeRecursively();
    }
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
    DebugAssertSetHook(nullptr);
    ParvaneSetErrorLogSink(nullptr);
    QVERIFY2(!gTNEFFileList, "a document outlived its window");
}

void TestAppShell::openingFiles_data()
{
    QTest::addColumn<QString>("how");  // "handed", "dropped", "chosen" or "cancelled"
    QTest::addColumn<QVariantMap>("prefs");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("alerts");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<int>("exits");
    const QStringList both{"a.tnef", "b.tnef"};
    const QStringList failed{"Parvane: myStatus == 0 "};
    // notes.txt is handed over between the two TNEF files.
    QTest::newRow("handed over, automatic") << "handed" << QVariantMap{{"AppleEventAuto", 1}, {"AppleEventFolder", 3},
        {"AppleEventQuit", 1}} << both << 1 << 0 << failed << 1;
    QTest::newRow("handed over, shown only") << "handed" << QVariantMap{{"AppleEventAuto", 0}, {"AppleEventFolder", 3},
        {"AppleEventQuit", 1}} << both << 0 << 1 << failed << 1;
    QTest::newRow("dropped: the desktop's set") << "dropped" << QVariantMap{{"AppleEventAuto", 1}, {"AppleEventFolder", 3},
        {"CarbonEventAuto", 0}} << QStringList{"a.tnef"} << 0 << 0 << QStringList() << 0;
    const QVariantMap openSet{{"CarbonEventAuto", 1}, {"CarbonEventFolder", 3}, {"CarbonEventQuit", 1}, {"AppleEventQuit", 0}};
    QTest::newRow("Open dialog: its own set") << "chosen" << openSet << QStringList{"b.tnef", "a.tnef"} << 0 << 0
                                              << QStringList() << 1;
    QTest::newRow("Open dialog cancelled") << "cancelled" << openSet << QStringList() << 0 << 0
                                           << QStringList{"Parvane: navReply.validRecord != NULL"} << 0;
}

void TestAppShell::openingFiles()
{
    QFETCH(QString, how);
    QFETCH(QVariantMap, prefs);
    QFETCH(QStringList, shown);
    QFETCH(int, beeps);
    QFETCH(int, alerts);
    QFETCH(QStringList, reports);
    QFETCH(int, exits);
    loadPrefs(prefs);
    if (how == "handed") {
        QVERIFY(AESendEvent(AppEvent{kAEOpenDocuments, {path("a.tnef"), path("notes.txt"), path("b.tnef")}}) != noErr);
    } else if (how == "dropped") {
        QWidget *window = TNEFWinMainCreate([](const QStringList &files) { AEPostEvent(AppEvent{kAEOpenDocuments, files}); });
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path("a.tnef"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &drop);
        QTRY_COMPARE(shownDocuments(), shown);
    } else {
        TNEFAppOpenSetDialogHook([&] { return TNEFAppOpenReply{how == "chosen", {path("b.tnef"), path("a.tnef")}}; });
        QCOMPARE(ProcessHICommand(kHICommandOpen), OSStatus(noErr));
        QVERIFY(!gTNEFAppOpenDialogRef);
    }
    QCOMPARE(shownDocuments(), shown);
    QCOMPARE(m_beeps, beeps);
    // The file that does not parse is logged only when the user is told.
    QCOMPARE(m_alerts, alerts ? QStringList({kAlertMessage, kAlertExplanation}) : QStringList());
    QCOMPARE(m_log.contains("    TNEFParseFileList() returned -1.\n"), alerts > 0);
    QCOMPARE(m_reports, reports);
    const bool extracting = prefs.value("AppleEventAuto").toInt() == 1 || prefs.value("CarbonEventAuto").toInt() == 1;
    for (const QString &file : {QStringLiteral("a.tnef"), QStringLiteral("b.tnef")})
        QCOMPARE(entries(path(file + " Folder")), extracting && shown.contains(file) ? QStringList({"one.txt", "two.txt"}) : QStringList());
    QCOMPARE(m_exits, exits);
    // Quitting saves every key but the two empty folder paths.
    if (exits)
        QCOMPARE(storedKeys(m_config).size(), kPrefKeys.size() - 2);
}

void TestAppShell::singleWindowsComeForward_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("About") << "abou";
    QTest::newRow("Preferences") << "pref";
    QTest::newRow("Open") << "open";
}

void TestAppShell::singleWindowsComeForward()
{
    QFETCH(QString, command);
    const UInt32 commandID = FourCharCodeFromText(command);
    auto single = [commandID]() -> QWidget * {
        if (commandID == kHICommandAbout)
            return gTNEFWinAboutRef;
        if (commandID == kHICommandPreferences)
            return gTNEFWinPrefsRef;
        return gTNEFAppOpenDialogRef;
    };
    QWidget *other = TNEFWinMainCreate({});
    QCOMPARE(ProcessHICommand(commandID), OSStatus(noErr));
    const QPointer<QWidget> first = single();
    QVERIFY(first && first->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(first));

    SelectWindow(other);
    QVERIFY(QTest::qWaitForWindowActive(other));
    QCOMPARE(ProcessHICommand(commandID), OSStatus(noErr));
    QCOMPARE(single(), first.data());
    QVERIFY(QTest::qWaitForWindowActive(first));
    int shown = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        shown += w->isVisible() && w->objectName() == first->objectName();
    QCOMPARE(shown, 1);
}

QTEST_MAIN(TestAppShell)
#include "tst_app_shell.moc"
