// The preference store through the real INI file in a temporary
// XDG_CONFIG_HOME.
#include "platform/ErrorLog.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFParse.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <functional>
#include <unistd.h>

namespace {

const QStringList kKeys{"CarbonEventAuto", "CarbonEventDest", "CarbonEventDestOther", "CarbonEventFolder",
                        "CarbonEventQuit", "AppleEventAuto", "AppleEventDest", "AppleEventDestOther",
                        "AppleEventFolder", "AppleEventQuit", "CreateDebugFile"};
const QStringList kDefaults{"0", "1", "<null>", "1", "0", "0", "1", "<null>", "1", "0", "0"};

QString show(const QString &s) { return s.isNull() ? QStringLiteral("<null>") : s; }

QStringList globalsNow()
{
    return {QString::number(gTNEFPrefCEAuto),   QString::number(gTNEFPrefCEDest), show(gTNEFPrefCEDestOther),
            QString::number(gTNEFPrefCEFolder), QString::number(gTNEFPrefCEQuit), QString::number(gTNEFPrefAEAuto),
            QString::number(gTNEFPrefAEDest),   show(gTNEFPrefAEDestOther),       QString::number(gTNEFPrefAEFolder),
            QString::number(gTNEFPrefAEQuit),   QString::number(gTNEFPrefDebug ? 1 : 0)};
}

QStringList storedNow()
{
    QSettings settings(TNEFPrefsFilePath(), QSettings::IniFormat);
    QStringList out;
    for (const QString &key : kKeys)
        out << (settings.contains(key) ? settings.value(key).toString() : QStringLiteral("<null>"));
    return out;
}

void scrambleGlobals()
{
    gTNEFPrefCEAuto = gTNEFPrefCEDest = gTNEFPrefCEFolder = gTNEFPrefCEQuit = 77;
    gTNEFPrefAEAuto = gTNEFPrefAEDest = gTNEFPrefAEFolder = gTNEFPrefAEQuit = 77;
    gTNEFPrefCEDestOther = gTNEFPrefAEDestOther = QStringLiteral("stale");
    gTNEFPrefDebug = true;
    gTNEFParseDebugFile = nullptr;
}

// What `call` writes to standard error.
QByteArray stderrOf(const std::function<void()> &call)
{
    QTemporaryFile file;
    if (!file.open())
        return "<no capture>";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    call();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

// Saves with the trace stream pointed at a scratch file, since saving closes it.
OSStatus quitWithScratchTrace(FILE **scratch)
{
    *scratch = std::tmpfile();
    gTNEFParseDebugFile = *scratch;
    return TNEFPrefsQuit();
}

} // namespace

class TestPrefsStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void init() { QDir(m_config.path() + "/Parvane").removeRecursively(); }
    void loadAndSave_data();
    void loadAndSave();
    void destOtherRoundTrip();
    void unusableFile();

private:
    QTemporaryDir m_config;
};

void TestPrefsStore::loadAndSave_data()
{
    QTest::addColumn<QByteArray>("ini");       // "<none>": no file at all
    QTest::addColumn<QStringList>("changed");  // "key=value" for values loaded other than the default
    QTest::newRow("empty storage") << QByteArray("<none>") << QStringList{};
    QTest::newRow("empty file") << QByteArray("") << QStringList{};
    QTest::newRow("integer key holding text") << QByteArray("CarbonEventDest=abc\n") << QStringList{};
    QTest::newRow("integer key holding a list") << QByteArray("CarbonEventDest=3, 2\n") << QStringList{};
    QTest::newRow("integer key holding a fraction") << QByteArray("AppleEventDest=2.5\n") << QStringList{};
    QTest::newRow("integer out of range") << QByteArray("AppleEventQuit=4294967297\n") << QStringList{};
    QTest::newRow("every choice set")
        << QByteArray("CarbonEventAuto=1\nCarbonEventDest=3\nCarbonEventFolder=3\nCarbonEventQuit=1\n"
                      "AppleEventAuto=1\nAppleEventDest=2\nAppleEventFolder=2\nAppleEventQuit=1\n")
        << QStringList{"CarbonEventAuto=1", "CarbonEventDest=3", "CarbonEventFolder=3", "CarbonEventQuit=1",
                       "AppleEventAuto=1", "AppleEventDest=2", "AppleEventFolder=2", "AppleEventQuit=1"};
    QTest::newRow("AppleEventFolder 5 kept") << QByteArray("AppleEventFolder=5\n") << QStringList{"AppleEventFolder=5"};
    QTest::newRow("negative value kept") << QByteArray("CarbonEventFolder=-1\n") << QStringList{"CarbonEventFolder=-1"};
    QTest::newRow("CreateDebugFile 2 is off") << QByteArray("CreateDebugFile=2\n") << QStringList{};
    QTest::newRow("CreateDebugFile text is off") << QByteArray("CreateDebugFile=true\n") << QStringList{};
    QTest::newRow("CreateDebugFile 1 is on") << QByteArray("CreateDebugFile=1\n") << QStringList{"CreateDebugFile=1"};
    QTest::newRow("stored folder") << QByteArray("AppleEventDestOther=/tmp/a%20b/\n")
                                   << QStringList{"AppleEventDestOther=/tmp/a%20b/"};
    QTest::newRow("stored folder that is a list") << QByteArray("CarbonEventDestOther=/a, /b\n") << QStringList{};
    QTest::newRow("corrupt file") << QByteArray("\x01\xff\xfe[[[\nCarbonEventDest\n==\x00\x80garbage\n[x", 32)
                                  << QStringList{};
}

void TestPrefsStore::loadAndSave()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, changed);
    if (ini != "<none>") {
        QVERIFY(QDir().mkpath(m_config.path() + "/Parvane"));
        QFile f(TNEFPrefsFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[General]\n" + ini) > 0);
    }
    QStringList expected = kDefaults;
    for (const QString &c : changed)
        expected[kKeys.indexOf(c.section('=', 0, 0))] = c.section('=', 1);

    scrambleGlobals();
    const QString announced = QString::fromLocal8Bit(stderrOf(TNEFPrefsInit));
    QCOMPARE(globalsNow(), expected);
    QCOMPARE(gTNEFParseDebugFile, stdout);
    if (gTNEFPrefDebug) {
        // The temp-file name is announced, not made.
        const QRegularExpressionMatch m = QRegularExpression(
            QStringLiteral("^Parvane Debug -- temp file at (/tmp/%1temp\\.[A-Za-z0-9]{6})\\.\\n\\n$")
                .arg(QRegularExpression::escape(QStringLiteral(PARVANE_APP_ID).toLower()))).match(announced);
        QVERIFY2(m.hasMatch(), qPrintable(announced));
        QVERIFY(!QFileInfo::exists(m.captured(1)));
    } else {
        QCOMPARE(announced, QString());
    }

    // Saving writes every key back as loaded; absent strings stay absent.
    FILE *scratch = nullptr;
    QCOMPARE(quitWithScratchTrace(&scratch), OSStatus(noErr));
    QCOMPARE(gTNEFParseDebugFile, (FILE *)nullptr);
    QCOMPARE(storedNow(), expected);
}

void TestPrefsStore::destOtherRoundTrip()
{
    // INI and URL syntax, a blank, a percent sign and a non-ASCII letter in one folder name.
    const QString folder = QString::fromUtf8("/tmp/a, b; c = \"d\" [e] #f?g 100%25 \xC3\xA9");
    const QString stored = TNEFPrefsDestOtherFromPath(folder);
    QVERIFY(stored.endsWith('/') && !stored.contains(' '));
    QCOMPARE(TNEFPrefsPathFromDestOther(stored), folder + '/');
    TNEFPrefsInit();
    gTNEFPrefCEDestOther = stored;
    FILE *scratch = nullptr;
    QCOMPARE(quitWithScratchTrace(&scratch), OSStatus(noErr));
    scrambleGlobals();
    TNEFPrefsInit();
    QCOMPARE(gTNEFPrefCEDestOther, stored);
}

void TestPrefsStore::unusableFile()
{
    // A folder where the file should be: nothing can be read from it nor
    // written to it. Loading gives the defaults; saving reports the failure
    // and leaves the trace stream open, and the caller goes on quitting.
    QVERIFY(QDir().mkpath(TNEFPrefsFilePath()));
    scrambleGlobals();
    TNEFPrefsInit();
    QCOMPARE(globalsNow(), kDefaults);
    std::string log;
    ParvaneSetErrorLogSink([&](const std::string &text) { log += text; });
    FILE *scratch = nullptr;
    const OSStatus status = quitWithScratchTrace(&scratch);
    ParvaneSetErrorLogSink(nullptr);
    QVERIFY(status != noErr);
    QVERIFY2(QString::fromStdString(log).endsWith("    CFPreferencesAppSynchronize() returned false.\n"),
             log.c_str());
    QCOMPARE(gTNEFParseDebugFile, scratch);
    std::fclose(scratch);
    gTNEFParseDebugFile = nullptr;
}

QTEST_GUILESS_MAIN(TestPrefsStore)
#include "tst_prefs_store.moc"
