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
#include <memory>
#include <unistd.h>

namespace {

const char *const kKeys[] = {
    "CarbonEventAuto",  "CarbonEventDest",     "CarbonEventDestOther", "CarbonEventFolder",
    "CarbonEventQuit",  "AppleEventAuto",      "AppleEventDest",       "AppleEventDestOther",
    "AppleEventFolder", "AppleEventQuit",      "CreateDebugFile",
};

QString show(const QString &s)
{
    return s.isNull() ? QStringLiteral("<null>") : s;
}

// The globals as "key=value", in stored order.
QStringList globalsNow()
{
    const QStringList values{
        QString::number(gTNEFPrefCEAuto),   QString::number(gTNEFPrefCEDest),
        show(gTNEFPrefCEDestOther),         QString::number(gTNEFPrefCEFolder),
        QString::number(gTNEFPrefCEQuit),   QString::number(gTNEFPrefAEAuto),
        QString::number(gTNEFPrefAEDest),   show(gTNEFPrefAEDestOther),
        QString::number(gTNEFPrefAEFolder), QString::number(gTNEFPrefAEQuit),
        QString::number(gTNEFPrefDebug ? 1 : 0),
    };
    QStringList out;
    for (int i = 0; i < values.size(); ++i)
        out << QString::fromLatin1(kKeys[i]) + QLatin1Char('=') + values[i];
    return out;
}

// What the file holds for the same keys; an absent key shows as <null>.
QStringList storedNow()
{
    QSettings settings(TNEFPrefsFilePath(), QSettings::IniFormat);
    QStringList out;
    for (const char *key : kKeys) {
        const QVariant v = settings.value(QLatin1String(key));
        out << QString::fromLatin1(key) + QLatin1Char('=') + (v.isValid() ? v.toString() : "<null>");
    }
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

// Sends standard error to a file while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_file.open();
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

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
    void init();
    void cleanup();
    void loadAndSave_data();
    void loadAndSave();
    void debugAnnouncement();
    void destOtherRoundTrip_data();
    void destOtherRoundTrip();
    void failedSaveKeepsTraceOpen();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    QByteArray m_oldXdg;
};

void TestPrefsStore::init()
{
    m_oldXdg = qgetenv("XDG_CONFIG_HOME");
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
}

void TestPrefsStore::cleanup()
{
    if (m_oldXdg.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", m_oldXdg);
    m_config.reset();
}

void TestPrefsStore::loadAndSave_data()
{
    QTest::addColumn<QByteArray>("ini");  // "<none>": no file at all
    QTest::addColumn<QStringList>("changed");  // loaded values that differ from the defaults

    QTest::newRow("empty storage") << QByteArray("<none>") << QStringList{};
    QTest::newRow("empty file") << QByteArray("") << QStringList{};
    QTest::newRow("integer key holding text") << QByteArray("CarbonEventDest=abc\n") << QStringList{};
    QTest::newRow("integer key holding a list") << QByteArray("CarbonEventDest=3, 2\n") << QStringList{};
    QTest::newRow("integer key holding a fraction") << QByteArray("AppleEventDest=2.5\n") << QStringList{};
    QTest::newRow("integer out of range") << QByteArray("AppleEventQuit=4294967297\n") << QStringList{};
    QTest::newRow("every choice set")
        << QByteArray("CarbonEventAuto=1\nCarbonEventDest=3\nCarbonEventFolder=3\nCarbonEventQuit=1\n"
                      "AppleEventAuto=1\nAppleEventDest=2\nAppleEventFolder=2\nAppleEventQuit=1\n")
        << QStringList{"CarbonEventAuto=1", "CarbonEventDest=3", "CarbonEventFolder=3",
                       "CarbonEventQuit=1", "AppleEventAuto=1", "AppleEventDest=2",
                       "AppleEventFolder=2", "AppleEventQuit=1"};
    QTest::newRow("AppleEventFolder 5 kept") << QByteArray("AppleEventFolder=5\n")
                                             << QStringList{"AppleEventFolder=5"};
    QTest::newRow("negative value kept") << QByteArray("CarbonEventFolder=-1\n")
                                         << QStringList{"CarbonEventFolder=-1"};
    QTest::newRow("CreateDebugFile 2 is off") << QByteArray("CreateDebugFile=2\n") << QStringList{};
    QTest::newRow("CreateDebugFile text is off") << QByteArray("CreateDebugFile=true\n") << QStringList{};
    QTest::newRow("CreateDebugFile 1 is on") << QByteArray("CreateDebugFile=1\n")
                                             << QStringList{"CreateDebugFile=1"};
    QTest::newRow("stored folder") << QByteArray("AppleEventDestOther=/tmp/a%20b/\n")
                                   << QStringList{"AppleEventDestOther=/tmp/a%20b/"};
    QTest::newRow("stored folder that is a list")
        << QByteArray("CarbonEventDestOther=/a, /b\n") << QStringList{};
}

void TestPrefsStore::loadAndSave()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, changed);
    if (ini != "<none>") {
        QVERIFY(QDir().mkpath(m_config->path() + "/Parvane"));
        QFile f(TNEFPrefsFilePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[General]\n" + ini);
    }
    // The defaults, then the row's changes.
    QStringList expected = {"CarbonEventAuto=0",   "CarbonEventDest=1",     "CarbonEventDestOther=<null>",
                "CarbonEventFolder=1", "CarbonEventQuit=0",     "AppleEventAuto=0",
                "AppleEventDest=1",    "AppleEventDestOther=<null>", "AppleEventFolder=1",
                "AppleEventQuit=0",    "CreateDebugFile=0"};
    for (const QString &c : changed) {
        const QString key = c.section('=', 0, 0);
        for (QString &e : expected) {
            if (e.section('=', 0, 0) == key)
                e = c;
        }
    }

    scrambleGlobals();
    StderrCapture err;
    TNEFPrefsInit();
    const QByteArray announced = err.text();
    QCOMPARE(globalsNow(), expected);
    QCOMPARE(gTNEFParseDebugFile, stdout);
    QCOMPARE(announced.count("Parvane Debug -- temp file at "), gTNEFPrefDebug ? 1 : 0);

    // Saving writes every key back as loaded; absent strings stay absent.
    FILE *scratch = nullptr;
    QCOMPARE(quitWithScratchTrace(&scratch), OSStatus(noErr));
    QCOMPARE(gTNEFParseDebugFile, (FILE *)nullptr);
    QCOMPARE(storedNow(), expected);
}

void TestPrefsStore::debugAnnouncement()
{
    QVERIFY(QDir().mkpath(m_config->path() + "/Parvane"));
    {
        QSettings settings(TNEFPrefsFilePath(), QSettings::IniFormat);
        settings.setValue("CreateDebugFile", 1);
    }
    StderrCapture err;
    TNEFPrefsInit();
    const QString text = QString::fromLocal8Bit(err.text());
    const QRegularExpression line(
        QStringLiteral("^Parvane Debug -- temp file at (/tmp/%1temp\\.[A-Za-z0-9]{6})\\.\\n\\n$")
            .arg(QRegularExpression::escape(QStringLiteral(PARVANE_APP_ID).toLower())));
    const QRegularExpressionMatch m = line.match(text);
    QVERIFY2(m.hasMatch(), qPrintable(text));
    QVERIFY(!QFileInfo::exists(m.captured(1)));
    QVERIFY(gTNEFPrefDebug);
    QCOMPARE(gTNEFParseDebugFile, stdout);
}

void TestPrefsStore::destOtherRoundTrip_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "/tmp/plain";
    QTest::newRow("trailing slash") << "/tmp/plain/";
    QTest::newRow("root") << "/";
    QTest::newRow("blank") << "/tmp/with space";
    QTest::newRow("percent") << "/tmp/100%25 sure";
    QTest::newRow("INI syntax") << "/tmp/a, b; c = \"d\" [e]";
    QTest::newRow("at sign") << "/@at";
    QTest::newRow("URL syntax") << "/tmp/#frag?query";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/home/\xC3\xA9t\xC3\xA9/\xE6\x96\x87");
}

void TestPrefsStore::destOtherRoundTrip()
{
    QFETCH(QString, folder);
    const QString stored = TNEFPrefsDestOtherFromPath(folder);
    QVERIFY(stored.endsWith('/'));
    QVERIFY(!stored.contains(' '));
    const QString expectedPath = folder.endsWith('/') ? folder : folder + '/';
    QCOMPARE(TNEFPrefsPathFromDestOther(stored), expectedPath);

    TNEFPrefsInit();
    gTNEFPrefCEDestOther = stored;
    gTNEFPrefAEDestOther = QString();
    FILE *scratch = nullptr;
    QCOMPARE(quitWithScratchTrace(&scratch), OSStatus(noErr));
    scrambleGlobals();
    TNEFPrefsInit();
    QCOMPARE(gTNEFPrefCEDestOther, stored);
    QVERIFY(gTNEFPrefAEDestOther.isNull());
    QCOMPARE(TNEFPrefsPathFromDestOther(gTNEFPrefCEDestOther), expectedPath);
}

void TestPrefsStore::failedSaveKeepsTraceOpen()
{
    // A file where the folder should be: nothing can be written below it.
    QFile blocker(m_config->path() + "/Parvane");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TNEFPrefsInit();
    std::string log;
    ParvaneSetErrorLogSink([&](const std::string &text) { log += text; });
    FILE *scratch = nullptr;
    const OSStatus status = quitWithScratchTrace(&scratch);
    ParvaneSetErrorLogSink(nullptr);
    QVERIFY(status != noErr);
    QVERIFY2(log.find("    CFPreferencesAppSynchronize() returned false.\n") != std::string::npos,
             log.c_str());
    QCOMPARE(gTNEFParseDebugFile, scratch);
    // Still open: writing to it works.
    QVERIFY(std::fputs("still open", scratch) >= 0);
    std::fclose(scratch);
    gTNEFParseDebugFile = nullptr;
}

QTEST_GUILESS_MAIN(TestPrefsStore)
#include "tst_prefs_store.moc"
