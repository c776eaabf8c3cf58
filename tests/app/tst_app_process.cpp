// The built program, run as a user or the desktop runs it, each run with its
// own configuration and runtime folders.
#include "AppFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace appfix;

namespace {

constexpr int kWaitMs = 60000;

// One run's folder, with its configuration and runtime folders; scripts run
// there through the shell, the program's path in $APP.
class Run {
public:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString socket() const { return path(QStringLiteral("run/" PARVANE_APP_ID "-%1")).arg(::getuid()); }

    void start(QProcess &process, const QString &script) const
    {
        QDir().mkdir(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("APP", PARVANE_APP_PATH);
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

private:
    QTemporaryDir m_dir;
};

} // namespace

class TestAppProcess : public QObject {
    Q_OBJECT
private slots:
    void launches_data();
    void launches();
    void laterLaunchesHandOverAndTermQuits();
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

void TestAppProcess::laterLaunchesHandOverAndTermQuits()
{
    Run run;
    QVERIFY(writeTnef(run.path("x.tnef")));
    writePrefs(run.path("config"), {{"AppleEventAuto", 1}, {"AppleEventFolder", 3}});

    QProcess first;
    run.start(first, "exec \"$APP\"");
    QVERIFY(first.waitForStarted(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.socket()), kWaitMs);

    // A later launch with a file hands it over and ends; the running
    // instance opens it with the desktop's set.
    QCOMPARE(run.run("\"$APP\" x.tnef"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(listing(run.path("x.tnef Folder")), (QStringList{"one.txt", "two.txt"}), kWaitMs);
    // Without files it only asks the instance to come forward.
    QCOMPARE(run.run("\"$APP\""), 0);
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();  // SIGTERM
    QVERIFY(first.waitForFinished(kWaitMs));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    // Written at quit: every key but the two folders that were never set.
    QCOMPARE(storedKeys(run.path("config")).size(), kPrefKeys.size() - 2);
    QVERIFY(!QFile::exists(run.socket()));
}

QTEST_GUILESS_MAIN(TestAppProcess)
#include "tst_app_process.moc"
