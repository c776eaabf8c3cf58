// The preference store through the real INI file in a temporary
// XDG_CONFIG_HOME.
#include "TnefBuilder.h"
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
    void serializedValuesLeftAlone_data();
    void serializedValuesLeftAlone();
    void destOtherRoundTrip();

private:
    QTemporaryDir m_config;
};

void TestPrefsStore::loadAndSave_data()
{
    QTest::addColumn<QByteArray>("ini");  // "<none>": no file at all; "<folder>": a folder in its place
    QTest::addColumn<bool>("kept");       // every key loads as written; else every key loads as its default
    QTest::newRow("empty storage") << QByteArray("<none>") << false;
    // Choices the windows do not offer are kept as they are, each in its own place.
    QTest::newRow("every key set")
        << QByteArray("CarbonEventAuto=1\nCarbonEventDest=3\nCarbonEventDestOther=/tmp/a%20b/\nCarbonEventFolder=-1\n"
                      "CarbonEventQuit=4\nCarbonEventBody=5\nAppleEventAuto=6\nAppleEventDest=2\n"
                      "AppleEventDestOther=/srv/c/\nAppleEventFolder=7\nAppleEventQuit=8\nAppleEventBody=9\n"
                      "CreateDebugFile=1\n")
        << true;
    // No 32-bit integers, a list for a folder, and CreateDebugFile on only at 1.
    QTest::newRow("values that load as the defaults")
        << QByteArray("CarbonEventDest=3, 2\nAppleEventDest=2.5\nAppleEventQuit=4294967297\nCarbonEventQuit=true\n"
                      "CarbonEventDestOther=/a, /b\nCreateDebugFile=2\n")
        << false;
    QTest::newRow("corrupt file") << QByteArray("\x01\xff\xfe[[[\nCarbonEventDest\n==\x00\x80garbage\n[x", 32) << false;
    // Nothing can be read from it nor written to it.
    QTest::newRow("a folder in place of the file") << QByteArray("<folder>") << false;
}

void TestPrefsStore::loadAndSave()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, kept);
    QVERIFY(QDir().mkpath(ini == "<folder>" ? TNEFPrefsFilePath() : m_config.path() + "/Parvane"));
    if (!ini.startsWith('<'))
        QVERIFY(tnefbuild::writeFile(TNEFPrefsFilePath(), "[General]\n" + ini));
    QStringList expected = kDefaults;
    for (const QString &line : QString::fromLatin1(ini).split('\n', Qt::SkipEmptyParts))
        if (kept)
            expected[kKeys.indexOf(line.section('=', 0, 0))] = line.section('=', 1);

    for (UInt32 selector : {1u, 2u})
        TNEFPrefsSetSet(selector, {77, 77, QStringLiteral("stale"), 77, 77, 77});
    gTNEFPrefDebug = true;
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

    // Saving writes every key back as loaded, absent strings staying absent; a
    // failure is reported, and the caller goes on quitting.
    std::string log;
    ParvaneSetErrorLogSink([&](const std::string &text) { log += text; });
    const OSStatus status = TNEFPrefsQuit();
    ParvaneSetErrorLogSink(nullptr);
    if (ini == "<folder>") {
        QVERIFY(status != noErr);
        QVERIFY2(QString::fromStdString(log).endsWith("    CFPreferencesAppSynchronize() returned false.\n"),
                 log.c_str());
    } else {
        QCOMPARE(status, OSStatus(noErr));
        QCOMPARE(storedNow(), expected);
    }
}

// Values QSettings would make objects of, as large as their bytes claim,
// however they are written: the file is neither read nor written.
void TestPrefsStore::serializedValuesLeftAlone_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::newRow("as written") << QByteArray("X=@Variant(\\0\\0\\0\\f\\xff\\xff\\xff\\xff)\n");
    QTest::newRow("list item, escaped and quoted") << QByteArray("X=a, \\x0040Var\"ia\"nt(\\0)\n");
    QTest::newRow("octal, wrapped past 16 bits") << QByteArray("X=\\2000100Variant(\\0)\n");
    QTest::newRow("across an escaped line end") << QByteArray("X=@Date\\\r\nTime(\\0)\n");
}

void TestPrefsStore::serializedValuesLeftAlone()
{
    QFETCH(QByteArray, ini);
    QVERIFY(QDir().mkpath(m_config.path() + "/Parvane"));
    const QByteArray file = "[General]\nCarbonEventDest=3\n" + ini;
    QVERIFY(tnefbuild::writeFile(TNEFPrefsFilePath(), file));
    std::string log;
    ParvaneSetErrorLogSink([&](const std::string &text) { log += text; });
    TNEFPrefsInit();
    const OSStatus status = TNEFPrefsQuit();
    ParvaneSetErrorLogSink(nullptr);
    QCOMPARE(globalsNow(), kDefaults);
    QVERIFY(status != noErr);
    QVERIFY2(QString::fromStdString(log).contains("holds a value this program never writes"), log.c_str());
    QFile stored(TNEFPrefsFilePath());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), file);
}

void TestPrefsStore::destOtherRoundTrip()
{
    // INI and URL syntax, a blank, a percent sign and a non-ASCII letter in
    // one folder name: stored, it is one plain word that loads as it was.
    const QString folder = QString::fromUtf8("/tmp/a, b; c = \"d\" [e] #f?g 100%25 \xC3\xA9");
    const QString stored = TNEFPrefsDestOtherFromPath(folder);
    QVERIFY(stored.endsWith('/') && !stored.contains(QRegularExpression("[ ,;=\"#\\[\\]?]")));
    QCOMPARE(TNEFPrefsPathFromDestOther(stored), folder + '/');
}

QTEST_GUILESS_MAIN(TestPrefsStore)
#include "tst_prefs_store.moc"
