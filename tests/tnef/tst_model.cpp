// The fork calls under every read and write, an attachment's name read where
// it lies, and native names that keep their bytes.
#include "TnefBuilder.h"
#include "platform/NativePath.h"
#include "platform/FSFolder.h"

#include <QtTest>

using namespace tnefbuild;

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void forkCalls();
    void attachmentNameIsReadInPlace();
    void nativeNamesKeepTheirBytes_data();
    void nativeNamesKeepTheirBytes();
};

void TestModel::forkCalls()
{
    QTemporaryDir dir;
    FSFolder folder;
    QCOMPARE(folder.open(dir.path()), noErr);
    SInt16 w = 0, r = 0;
    UInt32 actual = 0;
    {
        FSNewFile file;
        QCOMPARE(file.create(folder, &w), noErr);
        QCOMPARE(FSWriteFork(w, fsAtMark, 0, 6, "abcdef", &actual), noErr);
        QCOMPARE(FSCloseFork(w), noErr);
        QCOMPARE(file.link(QStringLiteral("f.bin")), noErr);
    }
    // Naming is exclusive, and a dangling link is a name that is taken too.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), dir.filePath(QStringLiteral("l"))));
    FSNewFile other;
    QCOMPARE(other.create(folder, &w), noErr);
    QCOMPARE(FSCloseFork(w), noErr);
    QCOMPARE(other.link(QStringLiteral("f.bin")), OSErr(dupFNErr));
    QCOMPARE(other.link(QStringLiteral("l")), OSErr(dupFNErr));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nowhere"))));

    QCOMPARE(FSOpenFork(dir.filePath(QStringLiteral("f.bin")), fsRdPerm, &r), noErr);
    char buf[8] = {};
    QCOMPARE(FSReadFork(r, fsAtMark, 0, 4, buf, &actual), noErr);
    QCOMPARE(QByteArray(buf, 4), QByteArray("abcd"));
    // A short read says how much did arrive and leaves the mark at the end.
    QCOMPARE(FSReadFork(r, fsAtMark, 0, 4, buf, &actual), OSErr(eofErr));
    QCOMPARE(QByteArray(buf, int(actual)), QByteArray("ef"));
    SInt64 pos = -1;
    QCOMPARE(FSGetForkPosition(r, &pos), noErr);
    QCOMPARE(pos, SInt64(6));
    QCOMPARE(FSReadFork(r, fsFromStart, 1, 2, buf, &actual), noErr);
    QCOMPARE(QByteArray(buf, 2), QByteArray("bc"));
    QCOMPARE(FSCloseFork(r), noErr);
}

void TestModel::attachmentNameIsReadInPlace()
{
    // A name whose length runs far past the file's end: read as far as the file
    // goes, without the memory the length claims, and the caller's mark left alone.
    ForkFile file(QByteArray("xxxxname.txt"));
    QCOMPARE(FSSetForkPosition(file.ref(), fsFromStart, 3), noErr);
    TNEFList<TNEFFileItem> list;
    TNEFFileItem *item = nullptr;
    withSmallAddressSpace([&] { item = TNEFParseAddFileToList(&list, file.ref(), 4, 0xFFFFFFFF, 77, 500, 2, -1); });
    QVERIFY(item && list == item);
    QCOMPARE(QString::fromStdString(item->name), QStringLiteral("name.txt"));
    QCOMPARE(file.position(), SInt64(3));
    TNEFParseDestroy(&list, nullptr);
    QVERIFY(!list);
}

void TestModel::nativeNamesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("r\xC3\xA9sum\xC3\xA9 \xF0\x9F\x93\x8E") << QStringLiteral("r\u00E9sum\u00E9 \U0001F4CE");
    // Latin-1, overlong, an encoded surrogate, U+10080 (the pair D800 DC80: its low half is no kept byte)
    // before a kept byte, and a sequence cut by the end.
    QTest::newRow("not UTF-8") << QByteArray("r\xE9sum\xE9 \xC0\xAF \xED\xB3\xBF \xF0\x90\x82\x80\x80 \xE2\x82")
                               << QStringLiteral("r\uFFFDsum\uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD \U00010080\uFFFD \uFFFD\uFFFD");
}

void TestModel::nativeNamesKeepTheirBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = FSPathFromNative(bytes);
    QCOMPARE(FSPathToNative(name), bytes);
    QCOMPARE(FSPathForDisplay(name), shown);
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
