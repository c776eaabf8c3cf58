// Automatic extraction: folder modes, destination modes, taken names, lost
// races, and never losing a file that was there before.
#include "ExtractFixture.h"
#include "extract/TNEFAppOpen.h"
#include "platform/UserNotify.h"
#include "prefs/TNEFPrefs.h"

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace extractfix;

namespace {

QByteArrayList contentsFor(qsizetype count)
{
    QByteArrayList contents;
    for (int i = 0; i < count; ++i)
        contents << pattern(5000 + 3000 * i, i);
    return contents;
}

// What one run reported.
struct Run {
    QStringList written, writing, failed;  // failed: "id name status"
    TNEFAutomateEvents events{[this](const QString &p) { written << p; },
                              [this](UInt32 id, const QString &name, SInt32 status) {
                                  failed << QStringLiteral("%1 %2 %3").arg(id).arg(name).arg(status);
                              },
                              [this](const QString &p) { writing << p; }, {}};
};

} // namespace

class TestAutomate : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (UInt32 set : {1u, 2u})
            TNEFPrefsSetSet(set, {0, 1, QString(), 1, 0, 0});
    }
    void preferences_data();
    void preferences();
    void intoFolder_data();
    void intoFolder();
    void folderSwapped_data();
    void folderSwapped();
    void endedBySignal_data();
    void endedBySignal();
};

void TestAutomate::preferences_data()
{
    QTest::addColumn<uint>("set");
    QTest::addColumn<int>("destMode");
    QTest::addColumn<QString>("stored");  // as stored; "%1" stands for the temporary folder
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("target");  // "": nothing written
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QString>("alert");  // why the folder could not be used
    const QString in("%1/in"), made("%1/in/winmail.dat Folder");
    const QStringList none, invalid{"Parvane: myBool == true | Invalid directory saved in preferences."};
    QTest::newRow("multi, two attachments") << 1u << 1 << "" << 1 << 2 << made << none << "";
    QTest::newRow("always, no attachment") << 1u << 1 << "" << 3 << 0 << made << none << "";
    QTest::newRow("other folder mode acts as never") << 1u << 1 << "" << 5 << 3 << in << none << "";
    QTest::newRow("unknown set ignores the prefs") << 7u << 3 << "%1/stored/" << 3 << 2 << in << none << "";
    QTest::newRow("other destination acts as beside") << 2u << 4 << "%1/stored/" << 2 << 1 << in << none << "";
    QTest::newRow("new folder in the stored folder") << 2u << 3 << "%1/stored/" << 1 << 2
                                                     << "%1/stored/winmail.dat Folder" << none << "";
    QTest::newRow("stored as a file URL") << 2u << 3 << "FILE://localhost%1/out%20dir" << 2 << 1 << "%1/out dir"
                                          << none << "";
    QTest::newRow("stored as a plain path") << 2u << 3 << "%1/out dir" << 2 << 1 << "%1/out dir" << none << "";
    // Told, and written nowhere else.
    QTest::newRow("stored folder deleted") << 2u << 3 << "file://%1/deleted/" << 2 << 2 << "" << invalid
                                           << "the folder \u201C%1/deleted/\u201D does not exist.";
    QTest::newRow("stored path is a file") << 2u << 3 << "%1/in/winmail.dat" << 2 << 1 << "" << invalid
                                           << "\u201C%1/in/winmail.dat\u201D is not a folder.";
    QTest::newRow("stored text names no folder") << 2u << 3 << "file://server/Out" << 2 << 1 << "" << invalid
        << "\u201Cfile://server/Out\u201D, the destination saved in the preferences, is no folder path or file URL.";
    QTest::newRow("nothing stored") << 2u << 3 << "" << 2 << 1 << in << QStringList{"Parvane: myPrefDestOther != NULL"} << "";
    // With no folder dialog installed, asking acts as a cancelled dialog.
    QTest::newRow("ask, no dialog installed") << 2u << 2 << "" << 2 << 1 << in
                                              << QStringList{"Parvane: myNavReply.validRecord == true"} << "";
}

void TestAutomate::preferences()
{
    QFETCH(uint, set);
    QFETCH(int, destMode);
    QFETCH(QString, stored);
    QFETCH(int, folderMode);
    QFETCH(int, count);
    QFETCH(QString, target);
    QFETCH(QStringList, reports);
    QFETCH(QString, alert);
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + "/in") && QDir().mkpath(root + "/stored") && QDir().mkpath(root + "/out dir"));
    TNEFPrefsSetSet(set, {0, destMode, stored.isEmpty() ? QString() : stored.arg(root), folderMode, 0, 0});
    const QStringList names = QStringList{"a.bin", "b.bin", "c.bin"}.mid(0, count);
    HandFile tnef(root + "/in/winmail.dat", names, contentsFor(count));
    QVERIFY(tnef.file());
    Reports captured;
    QStringList alerts;
    UserNotifySetAlertHook([&](const QString &message, const QString &explanation) {
        alerts << message << explanation;
        return OSStatus(noErr);
    });
    Run run;
    TNEFAppOpenAutomate(tnef.file(), set, &run.events);
    UserNotifySetAlertHook(nullptr);
    QCOMPARE(run.written.replaceInStrings(target.arg(root) + '/', QString()), target.isEmpty() ? QStringList() : names);
    QCOMPARE(run.failed.size(), target.isEmpty() ? count : 0);
    QCOMPARE(QFileInfo::exists(root + "/in/winmail.dat Folder"), target == "%1/in/winmail.dat Folder");
    QCOMPARE(captured.texts, reports);
    const QStringList told{"An error occurred extracting the attachments.",
                           "The attachments of \u201Cwinmail.dat\u201D were not written: " + alert.arg(root)};
    QCOMPARE(alerts, alert.isEmpty() ? QStringList() : told);
}

void TestAutomate::intoFolder_data()
{
    // "race": somebody else creates each first name chosen just before the
    // writer does; "read-only": the folder is; "refused": the file layer
    // refuses the first write.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QStringList>("failed");  // "id name status"
    const QStringList none, x3{"x.doc", "x.doc", "x.doc"}, ab{"a.txt", "b.txt"};
    QTest::newRow("a counted name taken") << "" << QStringList{"x 1.doc"} << x3
                                          << QStringList{"x.doc", "x 2.doc", "x 3.doc"} << none;
    QTest::newRow("a counted name as a title") << "" << none << QStringList{"a.txt", "a 1.txt", "a.txt"}
                                               << QStringList{"a.txt", "a 1.txt", "a 2.txt"} << none;
    // A lost race moves on to the next counter; it is no failure, and is not logged as one.
    QTest::newRow("lost races") << "race" << none << QStringList{"x.doc", "x.doc"} << QStringList{"x 1.doc", "x 3.doc"} << none;
    // The name reported is the attachment's, whatever counter its file got.
    QTest::newRow("read-only folder") << "read-only" << ab << ab << none << QStringList{"1 a.txt -54", "2 b.txt -54"};
    QTest::newRow("first write refused") << "refused" << ab << ab << QStringList{"b 1.txt"} << QStringList{"1 a.txt -44"};
}

void TestAutomate::intoFolder()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, taken);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, written);
    QFETCH(QStringList, failed);
    if (fault == "read-only" && ::geteuid() == 0)
        QSKIP("permissions do not stop root; the refused write covers the same path");
    QTemporaryDir dir;
    const QString dest = dir.filePath("out");
    QVERIFY(QDir().mkpath(dest));
    for (const QString &name : taken)
        QVERIFY(writeFile(dest + '/' + name, "taken"));
    const QByteArrayList contents = contentsFor(titles.size());
    HandFile tnef(dir.filePath("winmail.dat"), titles, contents);
    QVERIFY(tnef.file());
    int copies = 0;
    FSFileLayerHooks hooks;
    hooks.beforeCopy = [&](UInt64) { return ++copies == 1 ? EROFS : 0; };
    if (fault == "refused")
        FSSetFileLayerHooks(hooks);
    QVERIFY(::chmod(QFile::encodeName(dest).constData(), fault == "read-only" ? 0555 : 0755) == 0);
    Run run;
    QStringList intruded;
    run.events.writing = [&](const QString &path) {
        run.writing << path;
        if (fault == "race" && run.writing.size() % 2 == 1 && writeFile(path, "taken"))
            intruded << QFileInfo(path).fileName();
    };
    Reports reports;
    TNEFExtractAll(tnef.file(), {dest, 2, false, run.events});
    ::chmod(QFile::encodeName(dest).constData(), 0755);
    FSClearFileLayerHooks();
    QCOMPARE(run.failed, failed);
    QCOMPARE(run.written.replaceInStrings(dest + '/', QString()), written);
    QCOMPARE(reports.texts, QStringList(failed.size(), "Parvane: myStatus == 0 "));
    QCOMPARE(reports.logged("FSCreateFileUnicode"), fault == "read-only");
    // The files hold the attachments that did not fail, the last ones here;
    // nothing was lost, nothing half-written left.
    const qsizetype skipped = contents.size() - written.size();
    for (qsizetype i = 0; i < written.size(); ++i)
        QCOMPARE(readFile(dest + '/' + written[i]), contents[skipped + i]);
    for (const QString &name : taken + intruded)
        QCOMPARE(readFile(dest + '/' + name), QByteArray("taken"));
    QStringList all = taken + intruded + written;
    all.sort();
    QCOMPARE(listing(dest), all);
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
    const QByteArrayList contents = contentsFor(3);
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
    TNEFAppOpenAutomate(tnef.file(), 1, &run.events);
    FSClearFileLayerHooks();
    const QStringList written = secondFails ? QStringList{"a.txt", "c.txt"} : QStringList{"a.txt", "b.txt", "c.txt"};
    // Every file went where the folder went, and the paths told say so.
    QCOMPARE(run.written.replaceInStrings(root + "/moved/", QString()), written);
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
        TNEFExtractAll(tnef.file(), {dir.path(), 2, false, {}});
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), signal);
    QCOMPARE(listing(dir.path()), QStringList{"winmail.dat"});
}

QTEST_GUILESS_MAIN(TestAutomate)
#include "tst_extract_automate.moc"
