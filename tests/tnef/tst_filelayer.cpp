// The fork calls that every read of a TNEF file and every write of an
// attachment goes through.
#include "platform/FileManager.h"

#include <QTemporaryDir>
#include <QtTest>

class TestFileLayer : public QObject {
    Q_OBJECT
private slots:
    void readsAtMarkAndFromStart();
    void createIsExclusiveAndForksAreReleased();
};

void TestFileLayer::readsAtMarkAndFromStart()
{
    QTemporaryDir dir;
    QString path;
    SInt16 w = 0;
    const int before = FSOpenForkCount();
    QCOMPARE(FSCreateFileUnicode(dir.path(), QStringLiteral("f.bin"), &path, &w), noErr);
    UInt32 actual = 0;
    QCOMPARE(FSWriteFork(w, fsAtMark, 0, 6, "abcdef", &actual), noErr);
    QCOMPARE(actual, 6u);
    QCOMPARE(FSCloseFork(w), noErr);

    SInt16 r = 0;
    QCOMPARE(FSOpenFork(path, fsRdPerm, &r), noErr);
    SInt64 size = 0, pos = -1;
    QCOMPARE(FSGetForkSize(r, &size), noErr);
    QCOMPARE(size, SInt64(6));
    char buf[8] = {};
    QCOMPARE(FSReadFork(r, fsAtMark, 0, 4, buf, &actual), noErr);
    QCOMPARE(QByteArray(buf, 4), QByteArray("abcd"));
    QCOMPARE(FSGetForkPosition(r, &pos), noErr);
    QCOMPARE(pos, SInt64(4));
    // A short read says how much did arrive and leaves the mark at the end.
    QCOMPARE(FSReadFork(r, fsAtMark, 0, 4, buf, &actual), OSErr(eofErr));
    QCOMPARE(actual, 2u);
    QCOMPARE(QByteArray(buf, 2), QByteArray("ef"));
    QCOMPARE(FSGetForkPosition(r, &pos), noErr);
    QCOMPARE(pos, SInt64(6));
    QCOMPARE(FSReadFork(r, fsFromStart, 1, 2, buf, &actual), noErr);
    QCOMPARE(QByteArray(buf, 2), QByteArray("bc"));
    QCOMPARE(FSSetForkPosition(r, fsFromStart, 5), noErr);
    QCOMPARE(FSReadFork(r, fsAtMark, 0, 1, buf, &actual), noErr);
    QCOMPARE(buf[0], 'f');
    QCOMPARE(FSCloseFork(r), noErr);
    QCOMPARE(FSOpenForkCount(), before);
}

void TestFileLayer::createIsExclusiveAndForksAreReleased()
{
    QTemporaryDir dir;
    QString path;
    const int before = FSOpenForkCount();
    QCOMPARE(FSCreateFileUnicode(dir.path(), QStringLiteral("a.txt"), &path), noErr);
    QVERIFY(FSObjectExists(path));
    QCOMPARE(FSCreateFileUnicode(dir.path(), QStringLiteral("a.txt"), &path), OSErr(dupFNErr));
    // A dangling link is a name that is taken too.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("l"))));
    QCOMPARE(FSCreateFileUnicode(dir.path(), QStringLiteral("l"), &path), OSErr(dupFNErr));

    SInt16 r = 0;
    QCOMPARE(FSOpenFork(dir.filePath(QStringLiteral("missing")), fsRdPerm, &r), OSErr(fnfErr));
    QCOMPARE(FSOpenForkCount(), before);
}

QTEST_GUILESS_MAIN(TestFileLayer)
#include "tst_filelayer.moc"
