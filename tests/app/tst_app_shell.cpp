// The application shell in the test process, on the offscreen platform:
// files handed over, dropped and chosen in the Open dialog, the menu bar,
// command routing, quitting, and the Preferences window.
#include "AppFixture.h"
#include "app/TNEFApp.h"
#include "app/TNEFAppOpenDialog.h"
#include "platform/ErrorLog.h"
#include "platform/FolderChooser.h"
#include "platform/UserNotify.h"
#include "prefs/TNEFPrefs.h"
#include "ui/TNEFWinPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/Commands.h"
#include "ui/TNEFWinAbout.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinMain.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

using namespace appfix;

namespace {

// The five globals of one preference set.
struct PrefSet {
    SInt32 *autoExtract, *dest;
    QString *destOther;
    SInt32 *folder, *quit;
    QVariantList values() const { return {*autoExtract, *dest, *destOther, *folder, *quit}; }
};
const PrefSet kOpenDialogSet{&gTNEFPrefCEAuto, &gTNEFPrefCEDest, &gTNEFPrefCEDestOther, &gTNEFPrefCEFolder, &gTNEFPrefCEQuit};
const PrefSet kDesktopSet{&gTNEFPrefAEAuto, &gTNEFPrefAEDest, &gTNEFPrefAEDestOther, &gTNEFPrefAEFolder, &gTNEFPrefAEQuit};

QWidget *control(QWidget *window, SInt32 id)
{
    ControlRef c = nullptr;
    return GetControlByID(window, id, &c) == noErr ? c : nullptr;
}

// Clicks a check box or button on its indicator, where a user would.
void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

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
    void saveWithoutSelectionIsNotHandled();
    void quitSavesPreferences();
    void prefsWindowEditsTheShownSet_data();
    void prefsWindowEditsTheShownSet();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void loadPrefs(const QVariantMap &values);

    QTemporaryDir m_dir;
    QString m_config;
    int m_exits = 0;
    int m_beeps = 0;
    int m_alerts = 0;
    QStringList m_reports;
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
    m_exits = m_beeps = m_alerts = 0;
    m_reports.clear();
    UserNotifySetAlertHook([this](const QString &, const QString &) { ++m_alerts; return OSStatus(noErr); });
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
    TNEFWinPrefsSetFolderDialogHook(nullptr);
    DebugAssertSetHook(nullptr);
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
    QCOMPARE(m_alerts, alerts);
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

void TestAppShell::saveWithoutSelectionIsNotHandled()
{
    QVERIFY(TNEFAppOpenFiles({path("a.tnef")}, 2) == noErr);
    QWidget *window = gTNEFFileList->winFile;
    SelectWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(ProcessHICommand(FourCharCode("save")), OSStatus(eventNotHandledErr));
    QCOMPARE(m_exits, 0);
}

void TestAppShell::quitSavesPreferences()
{
    gTNEFPrefCEFolder = 3;
    gTNEFPrefAEDestOther = TNEFPrefsDestOtherFromPath(QStringLiteral("/srv/mail out"));
    QCOMPARE(ProcessHICommand(kHICommandQuit), OSStatus(noErr));
    QCOMPARE(m_exits, 1);
    const QSettings saved(prefsFile(m_config), QSettings::IniFormat);
    QCOMPARE(saved.value("CarbonEventFolder").toInt(), 3);
    QCOMPARE(saved.value("AppleEventDestOther").toString(), QStringLiteral("/srv/mail%20out/"));
    QCOMPARE(storedKeys(m_config).size(), kPrefKeys.size() - 1);
}

void TestAppShell::prefsWindowEditsTheShownSet_data()
{
    QTest::addColumn<int>("selector");
    QTest::newRow("Open dialog set") << 1;
    QTest::newRow("desktop set") << 2;
}

void TestAppShell::prefsWindowEditsTheShownSet()
{
    QFETCH(int, selector);
    const PrefSet &shown = selector == 1 ? kOpenDialogSet : kDesktopSet;
    const PrefSet &hidden = selector == 1 ? kDesktopSet : kOpenDialogSet;
    loadPrefs({{"CarbonEventDest", 2}, {"CarbonEventFolder", 3}, {"CarbonEventQuit", 1},
               {"AppleEventDest", 3}, {"AppleEventFolder", 2}, {"AppleEventQuit", 1},
               {"AppleEventDestOther", "/srv/mail%20out/"}});
    const QVariantList hiddenBefore = hidden.values();

    ProcessHICommand(kHICommandPreferences);
    QWidget *w = gTNEFWinPrefsRef;
    QVERIFY(w);
    QCOMPARE(gTNEFWinPrefCurrentEvent, 1);
    if (selector == 2)
        QTest::keyClick(control(w, kTNEFWinPrefsSelectorID), Qt::Key_Down);
    QCOMPARE(gTNEFWinPrefCurrentEvent, selector);

    auto shownValues = [&] {
        QVariantList v;
        for (SInt32 id : {kTNEFWinPrefsAutoID, kTNEFWinPrefsDestID, kTNEFWinPrefsFolderID, kTNEFWinPrefsQuitID})
            v << GetControl32BitValue(control(w, id));
        return v << qobject_cast<QLineEdit *>(control(w, kTNEFWinPrefsDestOtherID))->text();
    };
    auto usable = [&] {
        QList<bool> v;
        for (SInt32 id = kTNEFWinPrefsDestID; id <= kTNEFWinPrefsQuitID; ++id)
            v << control(w, id)->isEnabled();
        return v;
    };
    const QString folderText = selector == 1 ? QString() : QStringLiteral("/srv/mail out/");
    QCOMPARE(shownValues(), (QVariantList{0, *shown.dest, *shown.folder, 1, folderText}));
    QCOMPARE(usable(), (QList<bool>{false, false, false, false, false}));

    auto *autoBox = qobject_cast<QAbstractButton *>(control(w, kTNEFWinPrefsAutoID));
    click(autoBox);
    QCOMPARE(*shown.autoExtract, 1);
    QCOMPARE(usable(), (QList<bool>{true, false, true, true, true}));

    // A choice that reports no value from 1 to 3 changes nothing.
    for (auto [id, command, global] : {std::tuple{kTNEFWinPrefsDestID, kTNEFWinPrefsCommandDest, shown.dest},
                                       std::tuple{kTNEFWinPrefsFolderID, kTNEFWinPrefsCommandFolder, shown.folder}}) {
        auto *choice = qobject_cast<QComboBox *>(control(w, id));
        const SInt32 before = *global;
        choice->setCurrentIndex(-1);
        QCOMPARE(TNEFWinPrefsEventHandler(w, command), OSStatus(noErr));
        QCOMPARE(*global, before);
        choice->setCurrentIndex(0);
        QCOMPARE(TNEFWinPrefsEventHandler(w, command), OSStatus(noErr));
        QCOMPARE(*global, 1);
    }

    auto *choose = qobject_cast<QAbstractButton *>(control(w, kTNEFWinPrefsChooseFolderID));
    const QString before = *shown.destOther;
    TNEFWinPrefsSetFolderDialogHook([](WindowRef) { return TNEFWinPrefsFolderReply{}; });
    click(choose);
    QCOMPARE(*shown.destOther, before);
    TNEFWinPrefsSetFolderDialogHook([](WindowRef) { return TNEFWinPrefsFolderReply{true, "/tmp/new folder"}; });
    click(choose);
    QCOMPARE(*shown.destOther, QStringLiteral("/tmp/new%20folder/"));
    QCOMPARE(shownValues(), (QVariantList{1, 1, 1, 1, "/tmp/new folder/"}));

    // Off again: the quit box greys out but keeps its value.
    click(autoBox);
    QCOMPARE(*shown.autoExtract, 0);
    QCOMPARE(*shown.quit, 1);
    QCOMPARE(usable(), (QList<bool>{false, false, false, false, false}));
    QCOMPARE(hidden.values(), hiddenBefore);

    // Reopened, the window shows the Open dialog's set whichever was shown last.
    w->close();
    QVERIFY(!gTNEFWinPrefsRef);
    TNEFWinPrefsCreate();
    QCOMPARE(GetControl32BitValue(control(gTNEFWinPrefsRef, kTNEFWinPrefsSelectorID)), 1);
    QCOMPARE(gTNEFWinPrefCurrentEvent, 1);
}

QTEST_MAIN(TestAppShell)
#include "tst_app_shell.moc"
