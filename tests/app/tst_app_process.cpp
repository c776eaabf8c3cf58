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

class Run {
public:
    Run()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(runDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runDir());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString configHome() const { return path(QStringLiteral("config")); }
    QString runDir() const { return path(QStringLiteral("run")); }
    QString socket() const { return runDir() + QStringLiteral("/" PARVANE_APP_ID "-%1").arg(::getuid()); }

    // Starts the program in the folder of this run, with `files` as given;
    // its standard output is read only when `out` asks for it.
    void start(QProcess &process, const QStringList &files, bool out = false) const
    {
        process.setProcessEnvironment(m_env);
        process.setWorkingDirectory(m_dir.path());
        if (!out)
            process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral(PARVANE_APP_PATH), files);
    }
    // Runs the program to its end: its exit code, or -1 when it crashed or
    // did not end; its standard output in *out when given.
    int run(const QStringList &files, QByteArray *out = nullptr) const
    {
        QProcess process;
        start(process, files, out);
        if (!process.waitForFinished(kWaitMs) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        if (out)
            *out = process.readAllStandardOutput();
        return process.exitCode();
    }

    // Runs a shell script in the folder of this run, the program's path in $APP.
    int runShell(const QString &script) const
    {
        QProcess process;
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("APP"), QStringLiteral(PARVANE_APP_PATH));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"), script});
        if (!process.waitForFinished(kWaitMs) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
};

} // namespace

class TestAppProcess : public QObject {
    Q_OBJECT
private slots:
    void filesNamedAtLaunch_data();
    void filesNamedAtLaunch();
    void laterLaunchesHandOverAndTermQuits();
    void linksAndNamesNotUtf8();
    void traceOnlyWhenAsked_data();
    void traceOnlyWhenAsked();
};

void TestAppProcess::filesNamedAtLaunch_data()
{
    QTest::addColumn<int>("autoExtract");
    QTest::addColumn<QStringList>("folderA");
    QTest::newRow("extract, then quit") << 1 << QStringList{"one.txt", "two.txt"};
    QTest::newRow("show, then quit") << 0 << QStringList();
}

void TestAppProcess::filesNamedAtLaunch()
{
    QFETCH(int, autoExtract);
    QFETCH(QStringList, folderA);
    Run run;
    QVERIFY(writeTnef(run.path("a.tnef")) && writeTnef(run.path("b.tnef")));
    // The two folder keys are stored too, so that every key is in the file
    // afterwards; the rest is written at quit.
    writePrefs(run.configHome(), {{"AppleEventAuto", autoExtract},
                                  {"AppleEventFolder", 3},
                                  {"AppleEventQuit", 1},
                                  {"AppleEventDestOther", "/srv/mail%20out/"},
                                  {"CarbonEventDestOther", "/tmp/"}});

    QCOMPARE(run.run({"a.tnef", "b.tnef"}), 0);
    QCOMPARE(entries(run.path("a.tnef Folder")), folderA);
    QCOMPARE(entries(run.path("b.tnef Folder")), folderA);
    QCOMPARE(storedKeys(run.configHome()), kPrefKeys);
    QVERIFY(!QFile::exists(run.socket()));
}

void TestAppProcess::laterLaunchesHandOverAndTermQuits()
{
    Run run;
    QVERIFY(writeTnef(run.path("x.tnef")));
    writePrefs(run.configHome(), {{"AppleEventAuto", 1}, {"AppleEventFolder", 3}});

    QProcess first;
    run.start(first, {});
    QVERIFY(first.waitForStarted(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.socket()), kWaitMs);

    // A later launch with a file hands it over and ends; the running
    // instance opens it with the desktop's set.
    QCOMPARE(run.run({"x.tnef"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(entries(run.path("x.tnef Folder")), (QStringList{"one.txt", "two.txt"}), kWaitMs);
    // Without files it only asks the instance to come forward.
    QCOMPARE(run.run({}), 0);
    QCOMPARE(first.state(), QProcess::Running);

    first.terminate();  // SIGTERM
    QVERIFY(first.waitForFinished(kWaitMs));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QStringList expected = kPrefKeys;
    expected.removeAll("CarbonEventDestOther");
    expected.removeAll("AppleEventDestOther");
    QCOMPARE(storedKeys(run.configHome()), expected);
    QVERIFY(!QFile::exists(run.socket()));
}

void TestAppProcess::linksAndNamesNotUtf8()
{
    Run run;
    QVERIFY(writeTnef(run.path("a.tnef")));
    writePrefs(run.configHome(), {{"AppleEventAuto", 1}, {"AppleEventFolder", 3}, {"AppleEventQuit", 1}});
    QCOMPARE(run.runShell("ln -s a.tnef link.tnef && cp a.tnef \"$(printf 'w\\377')\" && "
                          "\"$APP\" link.tnef \"$(printf 'w\\377')\" && ls \"$(printf 'w\\377 Folder')\"/two.txt"), 0);
    QCOMPARE(entries(run.path("link.tnef Folder")), (QStringList{"one.txt", "two.txt"}));
}

void TestAppProcess::traceOnlyWhenAsked_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("debugFile");
    QTest::addColumn<bool>("traced");
    QTest::newRow("not asked") << QStringList() << 0 << false;
    QTest::newRow("--trace") << QStringList{"--trace"} << 0 << true;
    QTest::newRow("CreateDebugFile") << QStringList() << 1 << true;
}

void TestAppProcess::traceOnlyWhenAsked()
{
    QFETCH(QStringList, options);
    QFETCH(int, debugFile);
    QFETCH(bool, traced);
    Run run;
    QVERIFY(writeTnef(run.path("a.tnef")));
    writePrefs(run.configHome(), {{"AppleEventAuto", 1}, {"AppleEventFolder", 3}, {"AppleEventQuit", 1},
                                  {"CreateDebugFile", debugFile}});
    QByteArray out;
    QCOMPARE(run.run(options + QStringList{"a.tnef"}, &out), 0);
    QCOMPARE(out.startsWith("TNEF Trace -- begin\n"), traced);
    QCOMPARE(out.contains("TNEF Trace -- end\n"), traced);
    QCOMPARE(entries(run.path("a.tnef Folder")), (QStringList{"one.txt", "two.txt"}));
}

QTEST_GUILESS_MAIN(TestAppProcess)
#include "tst_app_process.moc"
