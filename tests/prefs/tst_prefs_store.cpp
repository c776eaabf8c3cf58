// The preference store through the real INI file in a temporary
// XDG_CONFIG_HOME.
#include "platform/ErrorLog.h"
#include "prefs/TNEFPrefs.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <functional>
#include <unistd.h>

namespace {

const QStringList kKeys{"CarbonEventAuto", "CarbonEventDest", "CarbonEventDestOther", "CarbonEventFolder",
                        "CarbonEventQuit", "CarbonEventBody", "AppleEventAuto", "AppleEventDest",
                        "AppleEventDestOther", "AppleEventFolder", "AppleEventQuit", "AppleEventBody",
                        "CreateDebugFile"};
const QStringList kDefaults{"0", "1", "<null>", "1", "0", "0", "0", "1", "<null>", "1", "0", "0", "0"};

QString show(const QString &s) { return s.isNull() ? QStringLiteral("<null>") : s; }

// Both sets as the store hands them out, then the debug flag.
QStringList globalsNow()
{
    QStringList out;
    for (UInt32 selector : {1u, 2u}) {
        const TNEFPrefSet s = TNEFPrefsGetSet(selector);
        out << QString::number(s.autoExtract) << QString::number(s.dest) << show(s.destOther)
            << QString::number(s.folder) << QString::number(s.quit) << QString::number(s.body);
    }
    return out << QString::number(gTNEFPrefDebug ? 1 : 0);
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
    for (UInt32 selector : {1u, 2u})
        TNEFPrefsSetSet(selector, {77, 77, QStringLiteral("stale"), 77, 77, 77});
    gTNEFPrefDebug = true;
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
    QTest::newRow("integer key holding a list") << QByteArray("CarbonEventDest=3, 2\n") << QStringList{};
    QTest::newRow("integer key holding a fraction") << QByteArray("AppleEventDest=2.5\n") << QStringList{};
    QTest::newRow("integer out of range") << QByteArray("AppleEventQuit=4294967297\n") << QStringList{};
    // Choices the windows do not offer are kept as they are.
    QTest::newRow("every choice set")
        << QByteArray("CarbonEventAuto=1\nCarbonEventDest=3\nCarbonEventFolder=-1\nCarbonEventQuit=1\n"
                      "AppleEventAuto=1\nAppleEventDest=2\nAppleEventFolder=5\nAppleEventQuit=1\nAppleEventBody=1\n")
        << QStringList{"CarbonEventAuto=1", "CarbonEventDest=3", "CarbonEventFolder=-1", "CarbonEventQuit=1",
                       "AppleEventAuto=1", "AppleEventDest=2", "AppleEventFolder=5", "AppleEventQuit=1",
                       "AppleEventBody=1"};
    QTest::newRow("one set's body") << QByteArray("CarbonEventBody=1\n") << QStringList{"CarbonEventBody=1"};
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
    QCOMPARE(TNEFPrefsQuit(), OSStatus(noErr));
    QCOMPARE(storedNow(), expected);
}

void TestPrefsStore::destOtherRoundTrip()
{
    // INI and URL syntax, a blank, a percent sign and a non-ASCII letter in
    // one folder name; stored, it is one plain word that loads as it was (see
    // the stored folder above).
    const QString folder = QString::fromUtf8("/tmp/a, b; c = \"d\" [e] #f?g 100%25 \xC3\xA9");
    const QString stored = TNEFPrefsDestOtherFromPath(folder);
    QVERIFY(stored.endsWith('/') && !stored.contains(QRegularExpression("[ ,;=\"#\\[\\]?]")));
    QCOMPARE(TNEFPrefsPathFromDestOther(stored), folder + '/');
}

void TestPrefsStore::unusableFile()
{
    // A folder where the file should be: nothing can be read from it nor
    // written to it. Loading gives the defaults; saving reports the failure,
    // and the caller goes on quitting.
    QVERIFY(QDir().mkpath(TNEFPrefsFilePath()));
    scrambleGlobals();
    TNEFPrefsInit();
    QCOMPARE(globalsNow(), kDefaults);
    std::string log;
    ParvaneSetErrorLogSink([&](const std::string &text) { log += text; });
    const OSStatus status = TNEFPrefsQuit();
    ParvaneSetErrorLogSink(nullptr);
    QVERIFY(status != noErr);
    QVERIFY2(QString::fromStdString(log).endsWith("    CFPreferencesAppSynchronize() returned false.\n"),
             log.c_str());
}

QTEST_GUILESS_MAIN(TestPrefsStore)
#include "tst_prefs_store.moc"
