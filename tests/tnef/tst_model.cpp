// The document model (the open-file list, attachment items and their names)
// and the little-endian stream reader.
#include "TnefBuilder.h"
#include "platform/TextCodec.h"

#include <QtTest>

using namespace tnefbuild;

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void fileListKeepsOrderOnDestroy_data();
    void fileListKeepsOrderOnDestroy();
    void attachmentNameIsReadInPlace_data();
    void attachmentNameIsReadInPlace();
    void readerIsLittleEndian_data();
    void readerIsLittleEndian();
};

void TestModel::fileListKeepsOrderOnDestroy_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("destroyed");
    QTest::newRow("only one") << 1 << 0;
    QTest::newRow("first of three") << 3 << 0;
    QTest::newRow("middle of three") << 3 << 1;
    QTest::newRow("last of three") << 3 << 2;
}

void TestModel::fileListKeepsOrderOnDestroy()
{
    QFETCH(int, count);
    QFETCH(int, destroyed);
    QVERIFY(!gTNEFFileList);
    const int forksBefore = FSOpenForkCount();
    QTemporaryDir dir;
    std::vector<TNEFFile *> files;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QString::number(i) + QStringLiteral(".dat"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Tnef().bytes());
        f.close();
        OSErr status = 1;
        files.push_back(TNEFFileOpen(path, &status));
        QCOMPARE(status, noErr);
        QVERIFY(files.back());
        QCOMPARE(files.back()->fileName, QString::number(i) + QStringLiteral(".dat"));
    }
    QCOMPARE(FSOpenForkCount(), forksBefore + count);

    TNEFFileDestroy(files[size_t(destroyed)]);
    files.erase(files.begin() + destroyed);
    std::vector<TNEFFile *> listed;
    for (TNEFFile *f = gTNEFFileList; f; f = f->next)
        listed.push_back(f);
    QCOMPARE(listed, files);

    for (TNEFFile *f : files)
        TNEFFileDestroy(f);
    QVERIFY(!gTNEFFileList);
    QCOMPARE(FSOpenForkCount(), forksBefore);
}

void TestModel::attachmentNameIsReadInPlace_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("namePosition");
    QTest::addColumn<quint32>("nameLength");
    QTest::addColumn<quint32>("codePage");
    QTest::addColumn<QString>("name");
    QTest::newRow("with its zero") << QByteArray("xxreport.doc\0yy", 15) << qint64(2) << 11u << 0u
                                   << QStringLiteral("report.doc");
    QTest::newRow("ends at a zero") << QByteArray("ab\0cd", 5) << qint64(0) << 5u << 0u
                                    << QStringLiteral("ab");
    QTest::newRow("length 0") << QByteArray("abcdef") << qint64(4) << 0u << 0u << QString();
    QTest::newRow("length past the end") << QByteArray("xxxxname.txt") << qint64(4) << 0xFFFFFFFFu
                                         << 0u << QStringLiteral("name.txt");
    QTest::newRow("Windows-1252 by default") << QByteArray("d\xF6" "c.pdf") << qint64(0) << 7u << 0u
                                             << QStringLiteral("d\u00F6c.pdf");
    QTest::newRow("UTF-16LE") << (QByteArray("xx") + utf16z(QStringLiteral("\u03A9mega.txt")))
                              << qint64(2) << 20u << kCodePageUTF16LE << QStringLiteral("\u03A9mega.txt");
}

void TestModel::attachmentNameIsReadInPlace()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, namePosition);
    QFETCH(quint32, nameLength);
    QFETCH(quint32, codePage);
    QFETCH(QString, name);
    ForkFile file(bytes);
    QCOMPARE(file.status(), noErr);
    QCOMPARE(FSSetForkPosition(file.ref(), fsFromStart, 3), noErr);

    TNEFFileItem *list = nullptr;
    TNEFFileItem *first = TNEFParseAddFileToList(&list, file.ref(), 0, 0, 0, 0, 1, 0);
    TNEFFileItem *item = nullptr;
    withSmallAddressSpace([&] {
        item = TNEFParseAddFileToList(&list, file.ref(), namePosition, nameLength, 77, 500, 2, -1,
                                      codePage);
    });
    QVERIFY(first && item);
    QCOMPARE(list, first);
    QCOMPARE(first->next, item);
    QCOMPARE(QString::fromStdString(item->name), name);
    QCOMPARE(item->namePosition, namePosition);
    QCOMPARE(item->nameLength, nameLength);
    QCOMPARE(item->dataPosition, SInt64(77));
    QCOMPARE(item->dataLength, 500u);
    QCOMPARE(item->fileID, 2u);
    QCOMPARE(item->isTNEF, -1);
    QCOMPARE(file.position(), SInt64(3));  // the caller's parse goes on where it was
    TNEFParseDestroy(&list, nullptr);
    QVERIFY(!list);
}

void TestModel::readerIsLittleEndian_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint64>("value");
    QTest::newRow("int8") << QByteArray("\xF0") << 8 << true << quint64(0xF0);
    QTest::newRow("int16") << QByteArray("\x34\x12") << 16 << true << quint64(0x1234);
    QTest::newRow("signature") << QByteArray("\x78\x9F\x3E\x22") << 32 << true << quint64(0x223E9F78);
    QTest::newRow("int64") << QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08") << 64 << true
                           << quint64(0x0807060504030201ULL);
    QTest::newRow("int8 at the end") << QByteArray() << 8 << false << quint64(0);
    QTest::newRow("int16 with 1 byte") << QByteArray("\x01") << 16 << false << quint64(0);
    QTest::newRow("int32 with 3 bytes") << QByteArray("\x01\x02\x03") << 32 << false << quint64(0);
    QTest::newRow("int64 with 7 bytes") << QByteArray("\x01\x02\x03\x04\x05\x06\x07") << 64 << false
                                        << quint64(0);
}

void TestModel::readerIsLittleEndian()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, width);
    QFETCH(bool, ok);
    QFETCH(quint64, value);
    ForkFile file(bytes);
    QCOMPARE(file.status(), noErr);
    // The out value keeps its old contents when the read comes up short.
    const quint64 sentinel = 0xA5A5A5A5A5A5A5A5ULL;
    UInt8 v8 = UInt8(sentinel);
    UInt16 v16 = UInt16(sentinel);
    UInt32 v32 = UInt32(sentinel);
    UInt64 v64 = sentinel;
    SInt32 status = 0;
    quint64 got = 0;
    switch (width) {
    case 8: status = TNEFParseGetInt8(file.ref(), &v8); got = v8; break;
    case 16: status = TNEFParseGetInt16(file.ref(), &v16); got = v16; break;
    case 32: status = TNEFParseGetInt32(file.ref(), &v32); got = v32; break;
    default: status = TNEFParseGetInt64(file.ref(), &v64); got = v64; break;
    }
    QCOMPARE(status == 0, ok);
    const quint64 mask = width == 64 ? ~0ULL : (1ULL << width) - 1;
    QCOMPARE(got, ok ? value : sentinel & mask);
    if (ok)
        QCOMPARE(TNEFParseGetPosition(file.ref()), SInt64(width / 8));
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
