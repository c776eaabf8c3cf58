// The attachment writer: kernel copies and their fallback, replacing, failed
// copies, MIME types.
#include "ExtractFixture.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
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

// Records the counts that reach the file layer while it lives. `refusal` is
// what every kernel copy answers (an errno, 0 for none); the `failWriteAt`th
// write through the buffer fails with dskFulErr.
struct BlockLog {
    explicit BlockLog(int refusal = 0, int failWriteAt = 0, bool unnamedFiles = true)
    {
        FSFileLayerHooks hooks;
        hooks.beforeWrite = [this, failWriteAt](SInt16, UInt32 count) {
            writes.push_back(count);
            return failWriteAt == int(writes.size()) ? OSErr(dskFulErr) : OSErr(noErr);
        };
        hooks.beforeCopy = [this, refusal](UInt64 count) { copies.push_back(UInt32(count)); return refusal; };
        hooks.noUnnamedFiles = !unnamedFiles;
        FSSetFileLayerHooks(hooks);
    }
    ~BlockLog() { FSClearFileLayerHooks(); }
    Counts writes, copies;
};

} // namespace

Q_DECLARE_METATYPE(Counts)

class TestSave : public QObject {
    Q_OBJECT
private slots:
    void copies_data();
    void copies();
    void keepsWhatWasThere_data();
    void keepsWhatWasThere();
};

void TestSave::copies_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<int>("refusal");   // what the kernel copy answers
    QTest::addColumn<bool>("unnamed");  // the file system makes unnamed files
    QTest::addColumn<Counts>("copies");
    QTest::addColumn<Counts>("blocks");  // through the buffer
    QTest::newRow("0 bytes") << 0 << false << 0 << true << Counts{} << Counts{};
    QTest::newRow("hidden name, replace") << 20000 << true << 0 << false << Counts{20000} << Counts{};
    // Refused: the bytes go through the 8000-byte buffer instead.
    QTest::newRow("other file systems") << 8000 << false << EXDEV << true << Counts{8000} << Counts{8000};
    QTest::newRow("no kernel copy") << 8001 << true << ENOSYS << true << Counts{8001} << Counts{8000, 1};
    QTest::newRow("not supported, hidden name") << 20000 << false << EOPNOTSUPP << false << Counts{20000}
                                                << Counts{8000, 8000, 4000};
    QTest::newRow("invalid here") << 10 << false << EINVAL << true << Counts{10} << Counts{10};
    // Past 64 KiB at a shifted offset the bytes go through a pipe; a refusal
    // there falls to copy_file_range and then to the buffer.
    QTest::newRow("through a pipe") << 500000 << false << 0 << true << Counts{500000} << Counts{};
    QTest::newRow("pipe refused") << 70000 << false << EXDEV << true << Counts{70000, 70000}
                                  << Counts{8000, 8000, 8000, 8000, 8000, 8000, 8000, 8000, 6000};
}

void TestSave::copies()
{
    QFETCH(int, size);
    QFETCH(bool, replace);
    QFETCH(int, refusal);
    QFETCH(bool, unnamed);
    QFETCH(Counts, copies);
    QFETCH(Counts, blocks);
    QTemporaryDir dir;
    const QByteArray contents = pattern(size, 3);
    // Attachments in front and behind, so that the copy has to start and stop at its own bounds.
    HandFile tnef(dir.filePath("winmail.dat"), {"first.bin", "x", "last.bin"},
                  {pattern(100, 1), contents, "after"});
    QVERIFY(tnef.file());
    const int forks = FSOpenForkCount();
    const QString out = dir.filePath("a.txt");
    {
        BlockLog log(refusal, 0, unnamed);
        QCOMPARE(TNEFFileSave(tnef.file(), 2, out, replace), SInt32(noErr));
        QCOMPARE(log.copies, copies);
        QCOMPARE(log.writes, blocks);
    }
    QCOMPARE(readFile(out), contents);
    QCOMPARE(FSOpenForkCount(), forks);
    QCOMPARE(listing(dir.path()), (QStringList{"a.txt", "winmail.dat"}));
    if (mimeTypeOf(out) != QLatin1String("<unsupported>"))
        QCOMPARE(mimeTypeOf(out), QStringLiteral("text/plain"));
}

void TestSave::keepsWhatWasThere_data()
{
    QTest::addColumn<QString>("existing");  // "", "file" or "folder"
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("unnamed");
    // "", "shrink" (the TNEF file), "full" (the kernel copy), "full buffered"
    // (the second block) or "limit" (a file-size limit met when the gathered
    // blocks reach the file)
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("logLine");
    const QString created("    FSCreateFileUnicode() returned -48.\n");
    const QString read("    FSReadFork() returned -39.\n");
    const QString written("    FSWriteFork() returned -34.\n");
    QTest::newRow("no replace keeps the file") << "file" << false << true << "" << int(dupFNErr) << created;
    QTest::newRow("no replace, hidden name") << "file" << false << false << "" << int(dupFNErr) << created;
    QTest::newRow("replace writes over the file") << "file" << true << true << "" << int(noErr) << "";
    QTest::newRow("replace cannot put a file over a folder") << "folder" << true << true << "" << int(permErr) << "";
    QTest::newRow("shrank, new") << "" << false << true << "shrink" << int(eofErr) << read;
    QTest::newRow("disk full, replace over a file") << "file" << true << false << "full" << int(dskFulErr) << written;
    QTest::newRow("disk full through the buffer") << "" << false << true << "full buffered" << int(dskFulErr) << written;
    QTest::newRow("size limit met when flushed") << "" << false << false << "limit" << int(dskFulErr) << written;
}

void TestSave::keepsWhatWasThere()
{
    QFETCH(QString, existing);
    QFETCH(bool, replace);
    QFETCH(bool, unnamed);
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
        const bool buffered = failure == "full buffered" || failure == "limit";
        BlockLog log(failure == "full" ? ENOSPC : buffered ? EXDEV : 0, failure == "full buffered" ? 2 : 0, unnamed);
        // The blocks are gathered in the file layer and reach the file at once.
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &old); });
        if (failure == "limit") {
            ::signal(SIGXFSZ, SIG_IGN);  // so that a write past the limit fails with EFBIG
            const rlimit capped{10000, old.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &capped);
        }
        QCOMPARE(TNEFFileSave(tnef.file(), 1, out, replace), SInt32(status));
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
