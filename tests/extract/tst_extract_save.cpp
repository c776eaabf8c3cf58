// The attachment writer: blocks, replacing, failed copies, MIME types.
#include "ExtractFixture.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <sys/xattr.h>
#include <unistd.h>

using namespace extractfix;

namespace {

// The MIME type recorded on a file; "<unsupported>" where the file system
// keeps no extended attributes.
QString mimeTypeOf(const QString &path)
{
    char value[256];
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), "user.mime_type", value,
                                 sizeof value);
    if (n < 0)
        return errno == ENOTSUP ? QStringLiteral("<unsupported>") : QString();
    return QString::fromUtf8(value, n);
}

// Records the counts that reach the file layer while it lives.
struct BlockLog {
    BlockLog()
    {
        FSFileLayerHooks hooks;
        hooks.beforeRead = [this](SInt16, UInt32 count) {
            reads.push_back(count);
            return noErr;
        };
        hooks.beforeWrite = [this](SInt16, UInt32 count) {
            writes.push_back(count);
            return failWriteAt == int(writes.size()) ? failWith : OSErr(noErr);
        };
        FSSetFileLayerHooks(hooks);
    }
    ~BlockLog() { FSClearFileLayerHooks(); }
    std::vector<UInt32> reads;
    std::vector<UInt32> writes;
    int failWriteAt = 0;  // 1-based write call that fails; 0 for none
    OSErr failWith = noErr;
};

using Counts = std::vector<UInt32>;

} // namespace

Q_DECLARE_METATYPE(Counts)

class TestSave : public QObject {
    Q_OBJECT
private slots:
    void blocks_data();
    void blocks();
    void unknownAttachmentGivesEmptyFile();
    void existingFile_data();
    void existingFile();
    void failedCopyLosesNothing_data();
    void failedCopyLosesNothing();
    void badDestination_data();
    void badDestination();
    void mimeType_data();
    void mimeType();
};

void TestSave::blocks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<Counts>("blocks");
    for (bool replace : {false, true}) {
        const char *mode = replace ? ", replace" : "";
        QTest::addRow("0 bytes%s", mode) << 0 << replace << Counts{};
        QTest::addRow("8000 bytes%s", mode) << 8000 << replace << Counts{8000};
        QTest::addRow("8001 bytes%s", mode) << 8001 << replace << Counts{8000, 1};
        QTest::addRow("20000 bytes%s", mode) << 20000 << replace << Counts{8000, 8000, 4000};
    }
}

void TestSave::blocks()
{
    QFETCH(int, size);
    QFETCH(bool, replace);
    QFETCH(Counts, blocks);
    QTemporaryDir dir;
    const QByteArray contents = pattern(size, 3);
    // A first attachment in front, so that the copy has to start at its own
    // position and not at the start of the data.
    HandFile tnef(dir.filePath("winmail.dat"), {"first.bin", "notes.txt"},
                  {pattern(100, 1), contents});
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();
    const QString out = dir.filePath("notes.txt");
    Reports reports;
    BlockLog log;
    QCOMPARE(TNEFFileSave(tnef.file(), 2, out, replace), SInt32(noErr));
    QCOMPARE(log.writes, blocks);
    QCOMPARE(log.reads, blocks);
    QCOMPARE(readFile(out), contents);
    QCOMPARE(FSOpenForkCount(), forks);
    QCOMPARE(listing(dir.path()), (QStringList{"notes.txt", "winmail.dat"}));
    const QString mime = mimeTypeOf(out);
    if (mime != QLatin1String("<unsupported>"))
        QCOMPARE(mime, QStringLiteral("text/plain"));
    QCOMPARE(reports.log, std::string());
}

void TestSave::unknownAttachmentGivesEmptyFile()
{
    QTemporaryDir dir;
    HandFile tnef(dir.filePath("winmail.dat"), {"a.bin"}, {pattern(10, 1)});
    QVERIFY(tnef.file());
    QCOMPARE(TNEFFileSave(tnef.file(), 99, dir.filePath("a.pdf"), false), SInt32(noErr));
    QVERIFY(QFile::exists(dir.filePath("a.pdf")));
    QCOMPARE(readFile(dir.filePath("a.pdf")), QByteArray());
}

void TestSave::existingFile_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<int>("status");
    QTest::newRow("no replace keeps the file") << false << false << int(dupFNErr);
    QTest::newRow("replace writes over the file") << true << false << int(noErr);
    QTest::newRow("no replace keeps a folder") << false << true << int(dupFNErr);
    QTest::newRow("replace cannot put a file over a folder") << true << true << int(permErr);
}

void TestSave::existingFile()
{
    QFETCH(bool, replace);
    QFETCH(bool, asFolder);
    QFETCH(int, status);
    QTemporaryDir dir;
    const QByteArray contents = pattern(9000, 5);
    HandFile tnef(dir.filePath("winmail.dat"), {"x.doc"}, {contents});
    QVERIFY(tnef.file());
    const QString out = dir.filePath("x.doc");
    if (asFolder)
        QVERIFY(QDir(dir.path()).mkdir("x.doc"));
    else
        QVERIFY(writeFile(out, "the old file"));
    const QStringList before = listing(dir.path());
    const int forks = FSOpenForkCount();
    Reports reports;
    QCOMPARE(TNEFFileSave(tnef.file(), 1, out, replace), SInt32(status));
    if (status == noErr)
        QCOMPARE(readFile(out), contents);
    else if (asFolder)
        QVERIFY(FSIsFolder(out));
    else
        QCOMPARE(readFile(out), QByteArray("the old file"));
    QCOMPARE(listing(dir.path()), before);
    QCOMPARE(FSOpenForkCount(), forks);
    if (status == dupFNErr)
        QVERIFY(reports.log.find("    FSCreateFileUnicode() returned -48.\n") != std::string::npos);
}

void TestSave::failedCopyLosesNothing_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("oldFile");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("logLine");
    for (bool replace : {false, true}) {
        for (bool oldFile : {false, true}) {
            if (oldFile && !replace)
                continue;  // creation already fails; see existingFile
            const QString what = QString(replace ? "replace" : "new")
                + (oldFile ? ", old file there" : "");
            QTest::addRow("TNEF file shrank, %s", qPrintable(what))
                << replace << oldFile << "shrink" << int(eofErr)
                << "    FSReadFork() returned -39.\n";
            QTest::addRow("disk full on the second block, %s", qPrintable(what))
                << replace << oldFile << "diskfull" << int(dskFulErr)
                << "    FSWriteFork() returned -34.\n";
        }
    }
}

void TestSave::failedCopyLosesNothing()
{
    QFETCH(bool, replace);
    QFETCH(bool, oldFile);
    QFETCH(QString, failure);
    QFETCH(int, status);
    QFETCH(QString, logLine);
    QTemporaryDir dir;
    HandFile tnef(dir.filePath("winmail.dat"), {"big.bin"}, {pattern(20000, 9)});
    QVERIFY(tnef.file());
    const QString out = dir.filePath("big.bin");
    if (oldFile)
        QVERIFY(writeFile(out, "keep me"));
    if (failure == "shrink")
        QVERIFY(QFile::resize(dir.filePath("winmail.dat"), 64 + 12000));
    const QStringList before = listing(dir.path());
    const int forks = FSOpenForkCount();

    Reports reports;
    BlockLog log;
    if (failure == "diskfull") {
        log.failWriteAt = 2;
        log.failWith = dskFulErr;
    }
    QCOMPARE(TNEFFileSave(tnef.file(), 1, out, replace), SInt32(status));
    QCOMPARE(listing(dir.path()), before);  // no temporary or partial file left
    QCOMPARE(readFile(out), oldFile ? QByteArray("keep me") : QByteArray("<missing>"));
    QCOMPARE(FSOpenForkCount(), forks);
    QVERIFY2(reports.log.find(logLine.toStdString()) != std::string::npos, reports.log.c_str());
    if (failure == "shrink") {
        // The short block is not written.
        QCOMPARE(log.writes, (Counts{8000}));
    }
}

void TestSave::badDestination_data()
{
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("no name") << "/" << "    CFURLCopyLastPathComponent() returned NULL.\n";
    QTest::newRow("relative path") << "x.txt"
                                   << "    CFURLCreateCopyDeletingLastPathComponent() returned NULL.\n";
    QTest::newRow("folder missing") << "%1/missing/x.txt" << "    CFURLGetFSRef() returned false.\n";
    QTest::newRow("folder is a file") << "%1/winmail.dat/x.txt" << "    CFURLGetFSRef() returned false.\n";
}

void TestSave::badDestination()
{
    QFETCH(QString, destination);
    QFETCH(QString, logLine);
    QTemporaryDir dir;
    HandFile tnef(dir.filePath("winmail.dat"), {"x.txt"}, {pattern(10, 1)});
    QVERIFY(tnef.file());
    const QStringList before = listing(dir.path());
    Reports reports;
    QCOMPARE(TNEFFileSave(tnef.file(), 1, destination.arg(dir.path()), false), SInt32(-1));
    QVERIFY2(reports.log.find(logLine.toStdString()) != std::string::npos, reports.log.c_str());
    QCOMPARE(listing(dir.path()), before);
}

void TestSave::mimeType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("mimeType");
    QTest::newRow("pdf") << "VIA_Nytt_1402.pdf" << 0 << "application/pdf";
    QTest::newRow("unknown extension") << "data.zq9x" << -666 << "";
    QTest::newRow("counter behind the extension") << "x.doc 1" << -666 << "";
}

void TestSave::mimeType()
{
    QFETCH(QString, name);
    QFETCH(int, status);
    QFETCH(QString, mimeType);
    Reports reports;
    QString found;
    QCOMPARE(TNEFFileSaveSetCorrectFileType(name, &found), SInt32(status));
    QCOMPARE(found, mimeType);
    QCOMPARE(reports.log.find("    ICMapFilename() returned -666.\n") != std::string::npos, status != 0);

    // The writer still writes the data when there is no mapping, and then
    // records no type at all.
    QTemporaryDir dir;
    HandFile tnef(dir.filePath("winmail.dat"), {"a"}, {pattern(10, 2)});
    QVERIFY(tnef.file());
    QCOMPARE(TNEFFileSave(tnef.file(), 1, dir.filePath(name), false), SInt32(noErr));
    QCOMPARE(readFile(dir.filePath(name)), pattern(10, 2));
    const QString recorded = mimeTypeOf(dir.filePath(name));
    if (recorded != QLatin1String("<unsupported>"))
        QCOMPARE(recorded, mimeType);
}

QTEST_GUILESS_MAIN(TestSave)
#include "tst_extract_save.moc"
