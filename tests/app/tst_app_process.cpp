// The built program, run as a user or the desktop runs it, each run with its
// own configuration and runtime folders.
#include "AppFixture.h"

#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <cerrno>
#include <unistd.h>

using namespace appfix;

namespace {

constexpr int kWaitMs = 60000;

// One run's folder, with its configuration and runtime folders; scripts run
// there through the shell, the program's path in $APP.
class Run {
public:
    Run()
    {
        QDir().mkdir(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkdir(path("tmp"));
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("TMPDIR", path("tmp"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("APP", PARVANE_APP_PATH);
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString socket(const QString &folder = "run") const
    {
        return path(folder + "/" PARVANE_APP_ID "-" + QString::number(::getuid()));
    }

    void start(QProcess &process, const QString &script) const
    {
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start("sh", {"-c", script});
    }
    // Runs a script to its end: its exit code, or -1 when it crashed or did
    // not end; its standard output in *out when given.
    int run(const QString &script, QByteArray *out = nullptr) const
    {
        QProcess process;
        start(process, script);
        if (!process.waitForFinished(kWaitMs) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        return process.exitCode();
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

private:
    QTemporaryDir m_dir;
};

} // namespace

class TestAppProcess : public QObject {
    Q_OBJECT
private slots:
    void launches_data();
    void launches();
    void laterLaunches_data();
    void laterLaunches();
};

void TestAppProcess::launches_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("autoExtract");
    QTest::addColumn<int>("debugFile");
    QTest::addColumn<bool>("traced");
    QTest::addColumn<QStringList>("extracted");
    const QStringList both{"one.txt", "two.txt"};
    QTest::newRow("show, then quit") << "\"$APP\" a.tnef b.tnef" << 0 << 0 << false << QStringList();
    // The trace holds the mail's names and subjects: only when asked for.
    QTest::newRow("--trace") << "\"$APP\" --trace a.tnef" << 1 << 0 << true << both;
    QTest::newRow("CreateDebugFile") << "\"$APP\" a.tnef" << 1 << 1 << true << both;
    QTest::newRow("extract a link and a name not UTF-8, then quit")
        << "rm a.tnef && ln -s b.tnef a.tnef && cp b.tnef \"$(printf 'w\\377')\" && \"$APP\" a.tnef \"$(printf 'w\\377')\" "
           "&& ls \"$(printf 'w\\377 Folder')\"/two.txt > /dev/null" << 1 << 0 << false << both;
}

void TestAppProcess::launches()
{
    QFETCH(QString, script);
    QFETCH(int, autoExtract);
    QFETCH(int, debugFile);
    QFETCH(bool, traced);
    QFETCH(QStringList, extracted);
    Run run;
    QVERIFY(writeTnef(run.path("a.tnef")) && writeTnef(run.path("b.tnef")));
    // The two folder keys are stored too, so that every key is in the file
    // afterwards; the rest is written at quit.
    writePrefs(run.path("config"), {{"AppleEventAuto", autoExtract}, {"AppleEventFolder", 3}, {"AppleEventQuit", 1},
                                  {"CreateDebugFile", debugFile}, {"AppleEventDestOther", "/srv/mail%20out/"},
                                  {"CarbonEventDestOther", "/tmp/"}});
    QByteArray out;
    QCOMPARE(run.run(script, &out), 0);
    QCOMPARE(out.startsWith("TNEF Trace -- begin\n"), traced);
    QCOMPARE(out.contains("TNEF Trace -- end\n"), traced);
    QCOMPARE(listing(run.path("a.tnef Folder")), extracted);
    QCOMPARE(storedKeys(run.path("config")), kPrefKeys);
    QVERIFY(!QFile::exists(run.socket()));
}

void TestAppProcess::laterLaunches_data()
{
    // The runtime folder and the own folder (tmp/parvane-UID): "private"
    // (0700), "wide" (0755), "link" (to a private folder that holds a
    // socket), absent ("") or, for the runtime folder, unset ("unset").
    QTest::addColumn<QString>("runtime");
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("socketIn");  // where the first instance listens; "": nowhere
    const QString own = QStringLiteral("tmp/parvane-%1").arg(::getuid());
    QTest::newRow("runtime folder") << "private" << "" << "run";
    QTest::newRow("no runtime folder: the own folder is made") << "unset" << "" << own;
    QTest::newRow("runtime folder open to others: the own folder") << "wide" << "private" << own;
    // Somebody else's socket may sit in a folder others could enter, or
    // where a link leads: no launch may talk to it, each opens its files.
    QTest::newRow("own folder open to others") << "unset" << "wide" << "";
    QTest::newRow("a link in the own folder's place") << "unset" << "link" << "";
}

void TestAppProcess::laterLaunches()
{
    QFETCH(QString, runtime);
    QFETCH(QString, own);
    QFETCH(QString, socketIn);
    Run run;
    const QString ownFolder = QStringLiteral("tmp/parvane-%1").arg(::getuid());
    const auto makeFolder = [&](const QString &folder, mode_t mode) {
        const QByteArray native = QFile::encodeName(run.path(folder));
        return (::mkdir(native.constData(), mode) == 0 || errno == EEXIST) && ::chmod(native.constData(), mode) == 0;
    };
    if (runtime == "unset")
        run.env.remove("XDG_RUNTIME_DIR");
    QVERIFY(makeFolder("run", runtime == "wide" ? 0755 : 0700) && makeFolder("planted", 0700));
    if (own == "link")
        QVERIFY(QFile::link(run.path("planted"), run.path(ownFolder)));
    else if (!own.isEmpty())
        QVERIFY(makeFolder(ownFolder, own == "wide" ? 0755 : 0700));
    QLocalServer planted;
    QVERIFY(planted.listen(run.socket(own == "wide" ? ownFolder : QStringLiteral("planted"))));
    QLocalServer plantedInRuntime;
    if (runtime == "wide")
        QVERIFY(plantedInRuntime.listen(run.socket()));
    QVERIFY(writeTnef(run.path("x.tnef")));
    writePrefs(run.path("config"), {{"AppleEventAuto", 1}, {"AppleEventFolder", 3}});

    QProcess first;
    run.start(first, "exec \"$APP\"");
    QVERIFY(first.waitForStarted(kWaitMs));
    const QStringList extracted{"one.txt", "two.txt"};
    if (socketIn.isEmpty()) {
        // Refused: the later launch stays and opens the file itself.
        QProcess later;
        run.start(later, "exec \"$APP\" x.tnef");
        QTRY_COMPARE_WITH_TIMEOUT(listing(run.path("x.tnef Folder")), extracted, kWaitMs);
        QCOMPARE(later.state(), QProcess::Running);
        later.terminate();
        QVERIFY(later.waitForFinished(kWaitMs));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.socket(socketIn)), kWaitMs);
        QCOMPARE(QFileInfo(run.path(socketIn)).permissions() & 0x0077, QFile::Permissions());
        // A later launch with a file hands it over and ends; the running
        // instance opens it with the desktop's set, once however often it
        // is handed over: by the time y.tnef is extracted, x.tnef was
        // handed over twice.
        QCOMPARE(run.run("cp x.tnef y.tnef && \"$APP\" x.tnef && \"$APP\" ./x.tnef && \"$APP\" y.tnef"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(listing(run.path("y.tnef Folder")), extracted, kWaitMs);
        QCOMPARE(listing(run.path("x.tnef Folder")), extracted);
        QCOMPARE(listing(run.path(".")).filter("x.tnef Folder"), QStringList{"x.tnef Folder"});
        // Without files it only asks the instance to come forward.
        QCOMPARE(run.run("\"$APP\""), 0);
    }
    QVERIFY(!planted.hasPendingConnections() && !plantedInRuntime.hasPendingConnections());
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();  // SIGTERM
    QVERIFY(first.waitForFinished(kWaitMs));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    // Written at quit: every key but the two folders that were never set.
    QCOMPARE(storedKeys(run.path("config")).size(), kPrefKeys.size() - 2);
    if (!socketIn.isEmpty())
        QVERIFY(!QFile::exists(run.socket(socketIn)));
}

QTEST_GUILESS_MAIN(TestAppProcess)
#include "tst_app_process.moc"
