// Automatic extraction: folder modes, destination modes, lost races, and
// never losing a file that was there before.
#include "ExtractFixture.h"
#include "extract/TNEFAppOpen.h"
#include "prefs/TNEFPrefs.h"

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
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

// One run, through preference set `set` or with options of its own, and what
// it reported.
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
    Run &into(TNEFFile *file, const QString &folder, SInt32 folderMode = 2)
    {
        TNEFExtractAll(file, {folder, folderMode, false, events});
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
    void likeNamed_data();
    void likeNamed();
    void lostRaceMovesToNextCounter();
    void folderSwapped_data();
    void folderSwapped();
    void endedBySignal_data();
    void endedBySignal();
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

void TestAutomate::likeNamed_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QStringList>("titles");  // "" for none
    QTest::addColumn<QStringList>("written");
    QTest::newRow("three alike") << QStringList{} << QStringList{"x.doc", "x.doc", "x.doc"}
                                 << QStringList{"x.doc", "x 1.doc", "x 2.doc"};
    QTest::newRow("a counted name taken") << QStringList{"x 1.doc"} << QStringList{"x.doc", "x.doc", "x.doc"}
                                          << QStringList{"x.doc", "x 2.doc", "x 3.doc"};
    QTest::newRow("a title that is another's counted name") << QStringList{} << QStringList{"a.txt", "a 1.txt", "a.txt"}
                                                            << QStringList{"a.txt", "a 1.txt", "a 2.txt"};
    QTest::newRow("untitled") << QStringList{} << QStringList{"", "", ""}
                              << QStringList{"Untitled Attachment", "Untitled Attachment 1", "Untitled Attachment 2"};
}

void TestAutomate::likeNamed()
{
    QFETCH(QStringList, taken);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, written);
    QTemporaryDir dir;
    for (const QString &name : taken)
        QVERIFY(writeFile(dir.filePath(name), "taken"));
    std::vector<std::string> names;
    for (const QString &title : titles)
        names.push_back(title.toStdString());
    const std::vector<QByteArray> contents = contentsFor(names.size());
    HandFile tnef(dir.filePath("winmail.dat"), names, contents);
    QVERIFY(tnef.file());
    Reports reports;
    QCOMPARE(Run().into(tnef.file(), dir.path()).written, under(dir.path(), written));
    for (qsizetype i = 0; i < written.size(); ++i)
        QCOMPARE(readFile(dir.filePath(written[i])), contents[size_t(i)]);
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
    QCOMPARE(run.writing, under(dir.path(), {"x.doc", "x 1.doc", "x 2.doc", "x 3.doc"}));
    QCOMPARE(run.written, under(dir.path(), {"x 1.doc", "x 3.doc"}));
    QCOMPARE(readFile(dir.filePath("x.doc")) + readFile(dir.filePath("x 2.doc")), QByteArray("intruderintruder"));
    QCOMPARE(readFile(dir.filePath("x 1.doc")), contents[0]);
    QCOMPARE(readFile(dir.filePath("x 3.doc")), contents[1]);
    // A lost race that was retried is no failure, and is not logged as one.
    QVERIFY(run.failed.isEmpty() && reports.texts.isEmpty());
    QVERIFY2(!reports.logged("FSCreateFileUnicode"), reports.log.c_str());
}

void TestAutomate::folderSwapped_data()
{
    QTest::addColumn<bool>("unnamed");      // the file system makes unnamed files
    QTest::addColumn<bool>("secondFails");  // the copy of b.txt fails
    QTest::newRow("unnamed files") << true << false;
    QTest::newRow("hidden names") << false << false;
    QTest::newRow("unnamed files, a copy fails") << true << true;
    QTest::newRow("hidden names, a copy fails") << false << true;
}

// Somebody renames the new folder and puts a link to a folder of theirs in
// its place as soon as the first file is about to be written.
void TestAutomate::folderSwapped()
{
    QFETCH(bool, unnamed);
    QFETCH(bool, secondFails);
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + "/theirs") && writeFile(root + "/theirs/b.txt", "their file"));
    const std::vector<QByteArray> contents = contentsFor(3);
    HandFile tnef(root + "/winmail.dat", {"a.txt", "b.txt", "c.txt"}, contents);
    QVERIFY(tnef.file());
    int copies = 0;
    FSFileLayerHooks hooks;
    hooks.noUnnamedFiles = !unnamed;
    hooks.beforeCopy = [&](UInt64) { return ++copies == 2 && secondFails ? ENOSPC : 0; };
    FSSetFileLayerHooks(hooks);
    Run run;
    run.events.writing = [&](const QString &path) {
        if (run.writing.isEmpty()) {
            QDir().rename(root + "/winmail.dat Folder", root + "/moved");
            QFile::link(root + "/theirs", root + "/winmail.dat Folder");
        }
        run.writing << path;
    };
    Reports reports;
    run(tnef.file());
    FSClearFileLayerHooks();
    const QStringList written = secondFails ? QStringList{"a.txt", "c.txt"} : QStringList{"a.txt", "b.txt", "c.txt"};
    // Every file went where the folder went, and the paths told say so.
    QCOMPARE(run.written, under(root + "/moved", written));
    QCOMPARE(listing(root + "/moved"), written);
    QCOMPARE(readFile(root + "/moved/c.txt"), contents[2]);
    QCOMPARE(listing(root + "/theirs"), QStringList{"b.txt"});
    QCOMPARE(readFile(root + "/theirs/b.txt"), QByteArray("their file"));
    QCOMPARE(run.failed, secondFails ? QStringList{"2 b.txt -34"} : QStringList{});
}

void TestAutomate::endedBySignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("unnamed");
    QTest::newRow("SIGINT, hidden name") << int(SIGINT) << false;
    QTest::newRow("SIGTERM, hidden name") << int(SIGTERM) << false;
    QTest::newRow("SIGHUP, hidden name") << int(SIGHUP) << false;
    QTest::newRow("SIGTERM, unnamed file") << int(SIGTERM) << true;
}

// A child process extracts and gets the signal halfway through its first
// file: it ends by the signal, and leaves neither a partial file nor a
// hidden one.
void TestAutomate::endedBySignal()
{
    QFETCH(int, signal);
    QFETCH(bool, unnamed);
    gTNEFPrefCEFolder = 2;
    QTemporaryDir dir;
    HandFile tnef(dir.filePath("winmail.dat"), {"a.txt", "b.txt"}, contentsFor(2));
    QVERIFY(tnef.file());
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            ::signal(s, SIG_DFL);
        FSFileLayerHooks hooks;
        hooks.noUnnamedFiles = !unnamed;
        hooks.beforeCopy = [signal](UInt64) { ::raise(signal); return 0; };
        FSSetFileLayerHooks(hooks);
        TNEFAppOpenAutomate(tnef.file(), 1);
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), signal);
    QCOMPARE(listing(dir.path()), QStringList{"winmail.dat"});
}

void TestAutomate::unwritableDestination_data()
{
    QTest::addColumn<bool>("readOnly");  // else the file layer refuses the first write
    QTest::addColumn<QStringList>("failed");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("read-only folder") << true << QStringList{"1 a.txt -54", "2 b.txt -54"} << QStringList{};
    QTest::newRow("first write refused") << false << QStringList{"1 a.txt -44"} << QStringList{"b 1.txt"};
}

void TestAutomate::unwritableDestination()
{
    QFETCH(bool, readOnly);
    QFETCH(QStringList, failed);
    QFETCH(QStringList, written);
    if (readOnly && ::geteuid() == 0)
        QSKIP("permissions do not stop root; the refused write covers the same path");
    QTemporaryDir dir;
    const QString dest = dir.filePath("out");
    QVERIFY(QDir().mkpath(dest) && writeFile(dest + "/a.txt", "already here") && writeFile(dest + "/b.txt", "and here"));
    HandFile tnef(dir.filePath("winmail.dat"), {"a.txt", "b.txt"}, contentsFor(2));
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();
    int copies = 0;
    FSFileLayerHooks hooks;
    hooks.beforeCopy = [&](UInt64) { return ++copies == 1 ? EROFS : 0; };
    if (!readOnly)
        FSSetFileLayerHooks(hooks);
    QVERIFY(::chmod(QFile::encodeName(dest).constData(), readOnly ? 0555 : 0755) == 0);
    Reports reports;
    Run run;
    run.into(tnef.file(), dest);
    ::chmod(QFile::encodeName(dest).constData(), 0755);
    FSClearFileLayerHooks();
    // The name reported is the attachment's, whatever counter its file got.
    QCOMPARE(run.failed, failed);
    QCOMPARE(run.written, under(dest, written));
    QCOMPARE(reports.texts, QStringList(failed.size(), "Parvane: myStatus == 0 "));
    // Nothing lost, nothing half-written.
    QCOMPARE(readFile(dest + "/a.txt") + readFile(dest + "/b.txt"), QByteArray("already hereand here"));
    QCOMPARE(listing(dest), QStringList{"a.txt"} + written + QStringList{"b.txt"});
    QCOMPARE(FSOpenForkCount(), forks);
}

QTEST_GUILESS_MAIN(TestAutomate)
#include "tst_extract_automate.moc"
