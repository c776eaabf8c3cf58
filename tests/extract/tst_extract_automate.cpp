// Automatic extraction: folder modes, destination modes, names, and never
// losing a file that was there before.
#include "ExtractFixture.h"
#include "extract/TNEFAppOpen.h"
#include "extract/UtilFiles.h"
#include "platform/FolderChooser.h"
#include "prefs/TNEFPrefs.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace extractfix;

namespace {

using Titles = std::vector<std::string>;

// The two sets and the chooser as a test leaves them.
void resetPrefs()
{
    gTNEFPrefCEDest = gTNEFPrefAEDest = 1;
    gTNEFPrefCEFolder = gTNEFPrefAEFolder = 1;
    gTNEFPrefCEDestOther = gTNEFPrefAEDestOther = QString();
    FolderChooserSetHook(nullptr);
}

std::vector<QByteArray> contentsFor(size_t count)
{
    std::vector<QByteArray> contents;
    for (size_t i = 0; i < count; ++i)
        contents.push_back(pattern(int(5000 + 3000 * i), int(i)));
    return contents;
}

// What one run reported through the events.
struct Run {
    QStringList written;
    QStringList writing;
    QStringList folders;
    QStringList failed;  // "id name status"
    TNEFAutomateEvents events()
    {
        TNEFAutomateEvents e;
        e.written = [this](const QString &p) { written << p; };
        e.writing = [this](const QString &p) { writing << p; };
        e.folderCreated = [this](const QString &p) { folders << p; };
        e.failed = [this](UInt32 id, const QString &name, SInt32 status) {
            failed << QStringLiteral("%1 %2 %3").arg(id).arg(name).arg(status);
        };
        return e;
    }
};

QStringList prefixed(const QString &folder, const QStringList &names)
{
    QStringList out;
    for (const QString &n : names)
        out << folder + QLatin1Char('/') + n;
    return out;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<std::string>)

class TestAutomate : public QObject {
    Q_OBJECT
private slots:
    void init() { resetPrefs(); }
    void cleanup() { resetPrefs(); }
    void folderModes_data();
    void folderModes();
    void names_data();
    void names();
    void destinations_data();
    void destinations();
    void secondRunAddsNumberedNames();
    void lostRaceMovesToNextCounter();
    void unwritableDestination_data();
    void unwritableDestination();
    void noFile();
};

void TestAutomate::folderModes_data()
{
    QTest::addColumn<uint>("set");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("newFolder");
    QTest::newRow("multi, one attachment") << 1u << 1 << 1 << false;
    QTest::newRow("multi, two attachments") << 1u << 1 << 2 << true;
    QTest::newRow("always, no attachment") << 1u << 3 << 0 << true;
    QTest::newRow("always, one attachment") << 1u << 3 << 1 << true;
    QTest::newRow("never, three attachments") << 1u << 2 << 3 << false;
    QTest::newRow("other value acts as never") << 1u << 5 << 3 << false;
    QTest::newRow("handed-over set, multi") << 2u << 1 << 2 << true;
    QTest::newRow("unknown set ignores the prefs") << 7u << 3 << 2 << false;
}

void TestAutomate::folderModes()
{
    QFETCH(uint, set);
    QFETCH(int, folderMode);
    QFETCH(int, count);
    QFETCH(bool, newFolder);
    gTNEFPrefCEFolder = gTNEFPrefAEFolder = folderMode;
    QTemporaryDir dir;
    Titles titles;
    for (int i = 0; i < count; ++i)
        titles.push_back("part" + std::to_string(i) + ".bin");
    const std::vector<QByteArray> contents = contentsFor(size_t(count));
    HandFile tnef(dir.filePath("winmail.dat"), titles, contents);
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();

    Reports reports;
    Run run;
    const TNEFAutomateEvents events = run.events();
    QCOMPARE(TNEFAppOpenAutomate(tnef.file(), set, &events), SInt32(0));

    const QString target = newFolder ? dir.filePath("winmail.dat Folder") : dir.path();
    QCOMPARE(run.folders, newFolder ? QStringList{target} : QStringList{});
    QVERIFY(FSIsFolder(target));
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const QString path = target + QStringLiteral("/part%1.bin").arg(i);
        expected << path;
        QCOMPARE(readFile(path), contents[size_t(i)]);
    }
    QCOMPARE(run.written, expected);
    QVERIFY(run.failed.isEmpty());
    QVERIFY(reports.reports.empty());
    QCOMPARE(FSOpenForkCount(), forks);
}

void TestAutomate::names_data()
{
    QTest::addColumn<std::vector<std::string>>("titles");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("same title twice") << Titles{"x.doc", "x.doc"} << QStringList{"x.doc", "x.doc 1"};
    QTest::newRow("three untitled")
        << Titles{"", "", ""}
        << QStringList{"Untitled Attachment", "Untitled Attachment 1", "Untitled Attachment 2"};
    QTest::newRow("separators removed") << Titles{"a/b:c.txt"} << QStringList{"abc.txt"};
    QTest::newRow("no way out of the folder")
        << Titles{"../../x", "..", "/"}
        << QStringList{"....x", "Untitled Attachment", "Untitled Attachment 1"};
    QTest::newRow("non-ASCII title") << Titles{"r\xC3\xA9sum\xC3\xA9.pdf"}
                                     << QStringList{QString::fromUtf8("r\xC3\xA9sum\xC3\xA9.pdf")};
    QTest::newRow("overlong title")
        << Titles{std::string(600, 'n') + ".pdf", std::string(600, 'n') + ".pdf"}
        << QStringList{QString(251, 'n') + ".pdf", QString(251, 'n') + ".p 1"};
}

void TestAutomate::names()
{
    QFETCH(std::vector<std::string>, titles);
    QFETCH(QStringList, expected);
    gTNEFPrefCEFolder = 2;
    QTemporaryDir dir;
    const QString src = dir.filePath("in");
    const QString dest = dir.filePath("out");
    QVERIFY(QDir().mkpath(src) && QDir().mkpath(dest));
    gTNEFPrefCEDest = 3;
    gTNEFPrefCEDestOther = TNEFPrefsDestOtherFromPath(dest);
    const std::vector<QByteArray> contents = contentsFor(titles.size());
    HandFile tnef(src + "/winmail.dat", titles, contents);
    QVERIFY(tnef.file());

    Reports reports;
    Run run;
    const TNEFAutomateEvents events = run.events();
    TNEFAppOpenAutomate(tnef.file(), 1, &events);
    QCOMPARE(run.written, prefixed(dest, expected));
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(readFile(run.written[i]), contents[size_t(i)]);
    QStringList sorted = expected;
    sorted.sort();
    QCOMPARE(listing(dest), sorted);
}

void TestAutomate::destinations_data()
{
    QTest::addColumn<int>("destMode");
    QTest::addColumn<QString>("stored");  // "%1" stands for the temporary folder
    QTest::addColumn<QString>("chooser");  // "none", "cancel" or a folder
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("reports");

    QTest::newRow("beside the TNEF file") << 1 << "" << "none" << "%1/in" << QStringList{};
    QTest::newRow("other value acts as beside") << 4 << "%1/elsewhere" << "none" << "%1/in"
                                                << QStringList{};
    QTest::newRow("stored folder") << 3 << "%1/stored" << "none" << "%1/stored" << QStringList{};
    QTest::newRow("stored folder with awkward characters")
        << 3 << QString::fromUtf8("%1/st %25 r#\xC3\xA9, d") << "none"
        << QString::fromUtf8("%1/st %25 r#\xC3\xA9, d") << QStringList{};
    QTest::newRow("stored folder deleted")
        << 3 << "%1/deleted" << "none" << "%1/in"
        << QStringList{"Parvane: myBool == true | Invalid directory saved in preferences."};
    QTest::newRow("stored path is a file")
        << 3 << "%1/in/winmail.dat" << "none" << "%1/in"
        << QStringList{"Parvane: myBool == true | Invalid directory saved in preferences."};
    QTest::newRow("nothing stored") << 3 << "" << "none" << "%1/in"
                                    << QStringList{"Parvane: myPrefDestOther != NULL"};
    QTest::newRow("ask, no dialog installed") << 2 << "" << "none" << "%1/in"
                                              << QStringList{"Parvane: myNavReply.validRecord == true"};
    QTest::newRow("ask, cancelled") << 2 << "" << "cancel" << "%1/in"
                                    << QStringList{"Parvane: myNavReply.validRecord == true"};
    QTest::newRow("ask, folder chosen") << 2 << "" << "%1/stored" << "%1/stored" << QStringList{};
}

void TestAutomate::destinations()
{
    QFETCH(int, destMode);
    QFETCH(QString, stored);
    QFETCH(QString, chooser);
    QFETCH(QString, target);
    QFETCH(QStringList, reports);
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + "/in"));
    QVERIFY(QDir().mkpath(root + "/stored"));
    QVERIFY(QDir().mkpath(root + "/elsewhere"));
    if (stored.contains(QLatin1Char(' ')))
        QVERIFY(QDir().mkpath(stored.arg(root)));
    if (!stored.isEmpty()) {
        gTNEFPrefAEDestOther = TNEFPrefsDestOtherFromPath(stored.arg(root));
        QVERIFY(gTNEFPrefAEDestOther.endsWith(QLatin1Char('/')));
    }
    if (chooser == "cancel")
        FolderChooserSetHook([] { return QString(); });
    else if (chooser != "none")
        FolderChooserSetHook([=] { return chooser.arg(root); });
    gTNEFPrefAEDest = destMode;
    gTNEFPrefAEFolder = 2;

    HandFile tnef(root + "/in/winmail.dat", {"a.txt"}, {pattern(100, 1)});
    QVERIFY(tnef.file());
    Reports captured;
    Run run;
    const TNEFAutomateEvents events = run.events();
    TNEFAppOpenAutomate(tnef.file(), 2, &events);
    QCOMPARE(captured.texts(), reports);
    QCOMPARE(run.written, QStringList{target.arg(root) + "/a.txt"});
    QCOMPARE(readFile(target.arg(root) + "/a.txt"), pattern(100, 1));
}

void TestAutomate::secondRunAddsNumberedNames()
{
    gTNEFPrefCEFolder = 3;
    QTemporaryDir dir;
    const std::vector<QByteArray> contents = contentsFor(2);
    HandFile tnef(dir.filePath("winmail.dat"), {"x.doc", "y.pdf"}, contents);
    QVERIFY(tnef.file());

    Run first;
    const TNEFAutomateEvents firstEvents = first.events();
    TNEFAppOpenAutomate(tnef.file(), 1, &firstEvents);
    const QString folder = dir.filePath("winmail.dat Folder");
    QCOMPARE(first.written, prefixed(folder, {"x.doc", "y.pdf"}));
    // Mark the first results so that any later change to them shows.
    QVERIFY(writeFile(folder + "/x.doc", "edited by the user"));
    QVERIFY(QDir().mkdir(dir.filePath("winmail.dat Folder 1")));
    QVERIFY(writeFile(dir.filePath("winmail.dat Folder 1/keep"), "keep"));

    Run second;
    const TNEFAutomateEvents secondEvents = second.events();
    TNEFAppOpenAutomate(tnef.file(), 1, &secondEvents);
    const QString folder2 = dir.filePath("winmail.dat Folder 2");
    QCOMPARE(second.folders, QStringList{folder2});
    QCOMPARE(second.written, prefixed(folder2, {"x.doc", "y.pdf"}));
    QCOMPARE(readFile(folder + "/x.doc"), QByteArray("edited by the user"));
    QCOMPARE(readFile(folder + "/y.pdf"), contents[1]);
    QCOMPARE(listing(dir.filePath("winmail.dat Folder 1")), QStringList{"keep"});
}

void TestAutomate::lostRaceMovesToNextCounter()
{
    gTNEFPrefCEFolder = 2;
    QTemporaryDir dir;
    HandFile tnef(dir.filePath("winmail.dat"), {"x.doc", "x.doc"}, contentsFor(2));
    QVERIFY(tnef.file());
    // Somebody else creates each chosen name just before the writer does, the
    // first time only.
    Run run;
    TNEFAutomateEvents events = run.events();
    QStringList intruders;
    events.writing = [&](const QString &path) {
        run.writing << path;
        if (run.writing.size() == 1 || run.writing.size() == 3) {
            intruders << path;
            writeFile(path, "intruder");
        }
    };
    Reports reports;
    TNEFAppOpenAutomate(tnef.file(), 1, &events);
    QCOMPARE(run.writing, prefixed(dir.path(), {"x.doc", "x.doc 1", "x.doc 2", "x.doc 3"}));
    QCOMPARE(intruders, prefixed(dir.path(), {"x.doc", "x.doc 2"}));
    QCOMPARE(run.written, prefixed(dir.path(), {"x.doc 1", "x.doc 3"}));
    QCOMPARE(readFile(dir.filePath("x.doc")), QByteArray("intruder"));
    QCOMPARE(readFile(dir.filePath("x.doc 2")), QByteArray("intruder"));
    QCOMPARE(readFile(dir.filePath("x.doc 1")), contentsFor(2)[0]);
    QCOMPARE(readFile(dir.filePath("x.doc 3")), contentsFor(2)[1]);
    QVERIFY(run.failed.isEmpty());
    QVERIFY(reports.reports.empty());
}

void TestAutomate::unwritableDestination_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("read-only folder") << "chmod"
                                      << QStringList{"1 a.txt -54", "2 b.txt -54"} << QStringList{};
    QTest::newRow("first write refused")
        << "hook" << QStringList{"1 a.txt -44"} << QStringList{"b.txt"};
}

void TestAutomate::unwritableDestination()
{
    QFETCH(QString, how);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, written);
    if (how == "chmod" && ::geteuid() == 0)
        QSKIP("permissions do not stop root; the refused write covers the same path");
    gTNEFPrefCEFolder = 2;
    gTNEFPrefCEDest = 3;
    QTemporaryDir dir;
    const QString dest = dir.filePath("out");
    QVERIFY(QDir().mkpath(dest));
    QVERIFY(writeFile(dest + "/a.txt", "already here"));
    gTNEFPrefCEDestOther = TNEFPrefsDestOtherFromPath(dest);
    HandFile tnef(dir.filePath("winmail.dat"), {"a.txt", "b.txt"}, contentsFor(2));
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();

    FSFileLayerHooks hooks;
    int writes = 0;
    if (how == "hook")
        hooks.beforeWrite = [&](SInt16, UInt32) { return ++writes == 1 ? OSErr(wPrErr) : OSErr(noErr); };
    FSSetFileLayerHooks(hooks);
    if (how == "chmod")
        QVERIFY(::chmod(QFile::encodeName(dest).constData(), 0555) == 0);
    Reports reports;
    Run run;
    const TNEFAutomateEvents events = run.events();
    TNEFAppOpenAutomate(tnef.file(), 1, &events);
    ::chmod(QFile::encodeName(dest).constData(), 0755);
    FSClearFileLayerHooks();

    // The name reported is the attachment's, whatever counter its file got.
    QCOMPARE(run.failed, failed);
    QCOMPARE(run.written, prefixed(dest, written));
    QCOMPARE(reports.reports.size(), size_t(failed.size()));
    for (const DebugAssertReport &r : reports.reports) {
        QCOMPARE(QString::fromStdString(r.text), QStringLiteral("Parvane: myStatus == 0 "));
        QVERIFY(r.hasValue);
    }
    // Nothing lost, nothing half-written.
    QCOMPARE(readFile(dest + "/a.txt"), QByteArray("already here"));
    QStringList expectedListing{"a.txt"};
    expectedListing << written;
    expectedListing.sort();
    QCOMPARE(listing(dest), expectedListing);
    QCOMPARE(FSOpenForkCount(), forks);
}

void TestAutomate::noFile()
{
    Reports reports;
    QCOMPARE(TNEFAppOpenAutomate(nullptr, 1), SInt32(0));
    QCOMPARE(reports.texts(), QStringList{"Parvane: inTnefFile != NULL"});
}

QTEST_GUILESS_MAIN(TestAutomate)
#include "tst_extract_automate.moc"
