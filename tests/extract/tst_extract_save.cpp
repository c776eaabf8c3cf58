// The attachment writer: blocks, replacing, failed copies, MIME types.
#include "ExtractFixture.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <sys/xattr.h>

using namespace extractfix;

namespace {

// The MIME type recorded on a file; "<unsupported>" where the file system
// keeps no extended attributes.
QString mimeTypeOf(const QString &path)
{
    char value[256];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), "user.mime_type", value, sizeof value);
    return n >= 0 ? QString::fromUtf8(value, n) : errno == ENOTSUP ? QStringLiteral("<unsupported>") : QString();
}

using Counts = std::vector<UInt32>;

// Records the counts that reach the file layer while it lives.
struct BlockLog {
    explicit BlockLog(int failWriteAt = 0)  // the 1-based write that fails with dskFulErr
    {
        FSSetFileLayerHooks({[this](SInt16, UInt32 count) { reads.push_back(count); return OSErr(noErr); },
                             [this, failWriteAt](SInt16, UInt32 count) {
                                 writes.push_back(count);
                                 return failWriteAt == int(writes.size()) ? OSErr(dskFulErr) : OSErr(noErr);
                             }});
    }
    ~BlockLog() { FSClearFileLayerHooks(); }
    Counts reads, writes;
};

} // namespace

Q_DECLARE_METATYPE(Counts)

class TestSave : public QObject {
    Q_OBJECT
private slots:
    void blocks_data();
    void blocks();
    void keepsWhatWasThere_data();
    void keepsWhatWasThere();
};

void TestSave::blocks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mimeType");
    QTest::addColumn<Counts>("blocks");
    QTest::newRow("0 bytes") << 0 << false << "notes.txt" << "text/plain" << Counts{};
    QTest::newRow("8000 bytes, replace") << 8000 << true << "notes.txt" << "text/plain" << Counts{8000};
    QTest::newRow("8001 bytes") << 8001 << false << "notes.txt" << "text/plain" << Counts{8000, 1};
    QTest::newRow("20000 bytes, replace") << 20000 << true << "notes.txt" << "text/plain" << Counts{8000, 8000, 4000};
    QTest::newRow("pdf") << 10 << false << "VIA_Nytt_1402.pdf" << "application/pdf" << Counts{10};
    // No mapping: the data is written all the same, with no type recorded.
    QTest::newRow("unknown extension") << 10 << false << "data.zq9x" << "" << Counts{10};
    QTest::newRow("counter behind the extension") << 10 << true << "report.doc 1" << "" << Counts{10};
}

void TestSave::blocks()
{
    QFETCH(int, size);
    QFETCH(bool, replace);
    QFETCH(QString, name);
    QFETCH(QString, mimeType);
    QFETCH(Counts, blocks);
    QTemporaryDir dir;
    const QByteArray contents = pattern(size, 3);
    // A first attachment in front, so that the copy has to start at its own position.
    HandFile tnef(dir.filePath("winmail.dat"), {"first.bin", "x"}, {pattern(100, 1), contents});
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();
    const QString out = dir.filePath(name);
    Reports reports;
    {
        BlockLog log;
        QCOMPARE(TNEFFileSave(tnef.file(), 2, out, replace), SInt32(noErr));
        QCOMPARE(log.writes, blocks);
        QCOMPARE(log.reads, blocks);
    }
    QCOMPARE(readFile(out), contents);
    QCOMPARE(FSOpenForkCount(), forks);
    QCOMPARE(listing(dir.path()), (QStringList{name, "winmail.dat"}));
    if (mimeTypeOf(out) != QLatin1String("<unsupported>"))
        QCOMPARE(mimeTypeOf(out), mimeType);
    QCOMPARE(reports.logged("    ICMapFilename() returned -666.\n"), mimeType.isEmpty());
}

void TestSave::keepsWhatWasThere_data()
{
    QTest::addColumn<QString>("existing");  // "", "file" or "folder"
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("failure");   // "", "shrink" (the TNEF file) or "diskfull" (second block)
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("logLine");
    const QString read("    FSReadFork() returned -39.\n");
    const QString written("    FSWriteFork() returned -34.\n");
    // The caller that asked for the name looks for another: nothing to log.
    QTest::newRow("no replace keeps the file") << "file" << false << "" << int(dupFNErr) << "";
    QTest::newRow("replace writes over the file") << "file" << true << "" << int(noErr) << "";
    QTest::newRow("replace cannot put a file over a folder") << "folder" << true << "" << int(permErr) << "";
    QTest::newRow("shrank, new") << "" << false << "shrink" << int(eofErr) << read;
    QTest::newRow("shrank, replace over a file") << "file" << true << "shrink" << int(eofErr) << read;
    QTest::newRow("disk full, new") << "" << false << "diskfull" << int(dskFulErr) << written;
    QTest::newRow("disk full, replace over a file") << "file" << true << "diskfull" << int(dskFulErr) << written;
}

void TestSave::keepsWhatWasThere()
{
    QFETCH(QString, existing);
    QFETCH(bool, replace);
    QFETCH(QString, failure);
    QFETCH(int, status);
    QFETCH(QString, logLine);
    QTemporaryDir dir;
    const QByteArray contents = pattern(20000, 9);
    HandFile tnef(dir.filePath("winmail.dat"), {"x.doc"}, {contents});
    QVERIFY(tnef.file());
    const QString out = dir.filePath("x.doc");
    QVERIFY(existing == "folder" ? QDir().mkdir(out) : existing != "file" || writeFile(out, "the old file"));
    if (failure == "shrink")
        QVERIFY(QFile::resize(dir.filePath("winmail.dat"), 64 + 12000));
    const QStringList before = listing(dir.path());
    const int forks = FSOpenForkCount();
    Reports reports;
    {
        BlockLog log(failure == "diskfull" ? 2 : 0);
        QCOMPARE(TNEFFileSave(tnef.file(), 1, out, replace), SInt32(status));
        if (failure == "shrink")
            QCOMPARE(log.writes, Counts{8000});  // the short block is not written
    }
    QCOMPARE(listing(dir.path()), before);  // no temporary or partial file left
    if (existing == "folder")
        QVERIFY(FSIsFolder(out));
    else
        QCOMPARE(readFile(out), status == noErr ? contents : QByteArray(existing == "file" ? "the old file" : "<missing>"));
    QCOMPARE(FSOpenForkCount(), forks);
    QVERIFY2(reports.logged(qPrintable(logLine)), reports.log.c_str());
}

QTEST_GUILESS_MAIN(TestSave)
#include "tst_extract_save.moc"
