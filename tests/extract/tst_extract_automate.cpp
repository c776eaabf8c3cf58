// Automatic extraction: folder modes, destination modes, lost races, and
// never losing a file that was there before.
#include "ExtractFixture.h"
#include "extract/TNEFAppOpen.h"
#include "prefs/TNEFPrefs.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace extractfix;

namespace {

std::vector<QByteArray> contentsFor(size_t count)
{
    std::vector<QByteArray> contents;
    for (size_t i = 0; i < count; ++i)
        contents.push_back(pattern(int(5000 + 3000 * i), int(i)));
    return contents;
}

QStringList under(const QString &folder, const QStringList &names)
{
    QStringList out;
    for (const QString &n : names)
        out << folder + QLatin1Char('/') + n;
    return out;
}

// One run with preference set `set`, and what it reported.
struct Run {
    QStringList written, writing, folders, failed;  // failed: "id name status"
    TNEFAutomateEvents events{[this](const QString &p) { written << p; },
                              [this](UInt32 id, const QString &name, SInt32 status) {
                                  failed << QStringLiteral("%1 %2 %3").arg(id).arg(name).arg(status);
                              },
                              [this](const QString &p) { writing << p; },
                              [this](const QString &p) { folders << p; }};
    Run &operator()(TNEFFile *file, UInt32 set = 1)
    {
        TNEFAppOpenAutomate(file, set, &events);
        return *this;
    }
};

} // namespace

class TestAutomate : public QObject {
    Q_OBJECT
private slots:
    void init() { cleanup(); }
    void cleanup()
    {
        gTNEFPrefCEDest = gTNEFPrefAEDest = gTNEFPrefCEFolder = gTNEFPrefAEFolder = 1;
        gTNEFPrefCEDestOther = gTNEFPrefAEDestOther = QString();
    }
    void folderModes_data();
    void folderModes();
    void destinations_data();
    void destinations();
    void lostRaceMovesToNextCounter();
    void unwritableDestination_data();
    void unwritableDestination();
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
    const std::vector<std::string> titles{"a.bin", "b.bin", "c.bin"};
    const std::vector<QByteArray> contents = contentsFor(size_t(count));
    HandFile tnef(dir.filePath("winmail.dat"), titles, contents);
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();
    Reports reports;
    const QString target = newFolder ? dir.filePath("winmail.dat Folder") : dir.path();
    QCOMPARE(Run()(tnef.file(), set).written, under(target, QStringList{"a.bin", "b.bin", "c.bin"}.mid(0, count)));
    QCOMPARE(QFileInfo::exists(dir.filePath("winmail.dat Folder")), newFolder);
    for (int i = 0; i < count; ++i)
        QCOMPARE(readFile(target + "/" + QString::fromStdString(titles[size_t(i)])), contents[size_t(i)]);
    QVERIFY(reports.texts.isEmpty());
    QCOMPARE(FSOpenForkCount(), forks);
}

void TestAutomate::destinations_data()
{
    QTest::addColumn<int>("destMode");
    QTest::addColumn<QString>("stored");   // "%1" stands for the temporary folder
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("reports");
    const QStringList invalid{"Parvane: myBool == true | Invalid directory saved in preferences."};
    const QStringList noReply{"Parvane: myNavReply.validRecord == true"};
    const QString awkward = QString::fromUtf8("%1/st %25 r#\xC3\xA9, d");
    QTest::newRow("beside the TNEF file") << 1 << "" << "%1/in" << QStringList{};
    QTest::newRow("other value acts as beside") << 4 << "%1/stored" << "%1/in" << QStringList{};
    QTest::newRow("stored folder") << 3 << "%1/stored" << "%1/stored" << QStringList{};
    QTest::newRow("stored folder with awkward characters") << 3 << awkward << awkward << QStringList{};
    QTest::newRow("stored folder deleted") << 3 << "%1/deleted" << "%1/in" << invalid;
    QTest::newRow("nothing stored") << 3 << "" << "%1/in" << QStringList{"Parvane: myPrefDestOther != NULL"};
    // With no folder dialog installed, asking acts as a cancelled dialog.
    QTest::newRow("ask, no dialog installed") << 2 << "" << "%1/in" << noReply;
}

void TestAutomate::destinations()
{
    QFETCH(int, destMode);
    QFETCH(QString, stored);
    QFETCH(QString, target);
    QFETCH(QStringList, reports);
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + "/in") && QDir().mkpath(root + "/stored"));
    if (stored.contains(QLatin1Char(' ')))
        QVERIFY(QDir().mkpath(stored.arg(root)));
    if (!stored.isEmpty())
        gTNEFPrefAEDestOther = TNEFPrefsDestOtherFromPath(stored.arg(root));
    gTNEFPrefAEDest = destMode;
    gTNEFPrefAEFolder = 2;
    HandFile tnef(root + "/in/winmail.dat", {"a.txt"}, {pattern(100, 1)});
    QVERIFY(tnef.file());
    Reports captured;
    QCOMPARE(Run()(tnef.file(), 2).written, QStringList{target.arg(root) + "/a.txt"});
    QCOMPARE(captured.texts, reports);
    QCOMPARE(readFile(target.arg(root) + "/a.txt"), pattern(100, 1));
}

void TestAutomate::lostRaceMovesToNextCounter()
{
    gTNEFPrefCEFolder = 2;
    QTemporaryDir dir;
    const std::vector<QByteArray> contents = contentsFor(2);
    HandFile tnef(dir.filePath("winmail.dat"), {"x.doc", "x.doc"}, contents);
    QVERIFY(tnef.file());
    // Somebody else creates the first name chosen for each attachment just
    // before the writer does.
    Run run;
    run.events.writing = [&](const QString &path) {
        run.writing << path;
        if (run.writing.size() % 2 == 1)
            writeFile(path, "intruder");
    };
    Reports reports;
    run(tnef.file());
    QCOMPARE(run.writing, under(dir.path(), {"x.doc", "x.doc 1", "x.doc 2", "x.doc 3"}));
    QCOMPARE(run.written, under(dir.path(), {"x.doc 1", "x.doc 3"}));
    QCOMPARE(readFile(dir.filePath("x.doc")) + readFile(dir.filePath("x.doc 2")), QByteArray("intruderintruder"));
    QCOMPARE(readFile(dir.filePath("x.doc 1")), contents[0]);
    QCOMPARE(readFile(dir.filePath("x.doc 3")), contents[1]);
    // A lost race that was retried is no failure, and is not logged as one.
    QVERIFY(run.failed.isEmpty() && reports.texts.isEmpty());
    QVERIFY2(!reports.logged("FSCreateFileUnicode"), reports.log.c_str());
}

void TestAutomate::unwritableDestination_data()
{
    QTest::addColumn<bool>("readOnly");  // else the file layer refuses the first write
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("read-only folder") << true << QStringList{"1 a.txt -54", "2 b.txt -54"} << QStringList{};
    QTest::newRow("first write refused") << false << QStringList{"1 a.txt -44"} << QStringList{"b.txt"};
}

void TestAutomate::unwritableDestination()
{
    QFETCH(bool, readOnly);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, written);
    if (readOnly && ::geteuid() == 0)
        QSKIP("permissions do not stop root; the refused write covers the same path");
    gTNEFPrefCEFolder = 2;
    gTNEFPrefCEDest = 3;
    QTemporaryDir dir;
    const QString dest = dir.filePath("out");
    QVERIFY(QDir().mkpath(dest) && writeFile(dest + "/a.txt", "already here"));
    gTNEFPrefCEDestOther = TNEFPrefsDestOtherFromPath(dest);
    HandFile tnef(dir.filePath("winmail.dat"), {"a.txt", "b.txt"}, contentsFor(2));
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();
    int writes = 0;
    if (!readOnly)
        FSSetFileLayerHooks({{}, [&](SInt16, UInt32) { return ++writes == 1 ? OSErr(wPrErr) : OSErr(noErr); }});
    QVERIFY(::chmod(QFile::encodeName(dest).constData(), readOnly ? 0555 : 0755) == 0);
    Reports reports;
    Run run;
    run(tnef.file());
    ::chmod(QFile::encodeName(dest).constData(), 0755);
    FSClearFileLayerHooks();
    // The name reported is the attachment's, whatever counter its file got.
    QCOMPARE(run.failed, failed);
    QCOMPARE(run.written, under(dest, written));
    QCOMPARE(reports.texts, QStringList(failed.size(), "Parvane: myStatus == 0 "));
    // Nothing lost, nothing half-written.
    QCOMPARE(readFile(dest + "/a.txt"), QByteArray("already here"));
    QCOMPARE(listing(dest), QStringList{"a.txt"} + written);
    QCOMPARE(FSOpenForkCount(), forks);
}

QTEST_GUILESS_MAIN(TestAutomate)
#include "tst_extract_automate.moc"
