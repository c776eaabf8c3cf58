// Every real file cut short at every length (a dense sample of lengths for
// the large ones) parses to one of the parser's statuses: no crash, no read
// past the end, and under the sanitizer build no leak.
#include "TnefBuilder.h"

#include <QFile>
#include <QTest>
#include <sys/mman.h>
#include <unistd.h>

using namespace tnefbuild;

class TestDamaged : public QObject {
    Q_OBJECT
private slots:
    void cutAtEveryLength_data();
    void cutAtEveryLength();
};

void TestDamaged::cutAtEveryLength_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("fullResult");
    // The builder's own attached-message file, so the sweep runs without the corpus too.
    QTest::newRow("fixture") << Tnef().message(attTnefVersion, le32(0x00010000)).title(z0("a.txt")).data(embeddedPlaceholder())
            .attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Re: x")).object(PR_ATTACH_DATA_OBJ, QByteArray(40, 'm')))
            .bytes() << 0;
    if (!corpusAvailable())
        return;
    for (const QStringList &file : corpusRows("expected-files.tsv")) {
        QFile in(corpusDir() + QLatin1Char('/') + file[0]);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(file[0])) << in.readAll() << file[1].toInt();
    }
}

void TestDamaged::cutAtEveryLength()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, fullResult);
    const int fd = memfd_create("damaged", MFD_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    SInt16 fork = 0;
    QCOMPARE(FSOpenForkFromDescriptor(fd, &fork), OSErr(noErr));

    // Every length near the start and the end, and about 4000 in between.
    const qsizetype size = bytes.size();
    const qsizetype step = std::max<qsizetype>(1, size / 4000);
    for (qsizetype length = size; length >= 0; --length) {
        const bool dense = length < 4096 || size - length < 4096;
        if (!dense && length % step != 0)
            continue;
        QCOMPARE(ftruncate(fd, length), 0);
        QCOMPARE(FSSetForkPosition(fork, fsFromStart, 0), OSErr(noErr));
        TNEFList<TNEFFileItem> files;
        TNEFList<TNEFAttributeItem> attributes;
        const SInt32 result = TNEFParseFileList(fork, &files, &attributes);
        if (length == size)
            QCOMPARE(result, fullResult);
        QVERIFY2(result <= 0 && result >= -11, qPrintable(QStringLiteral("cut at %1: %2").arg(length).arg(result)));
        // A file that parses holds every attachment it lists.
        for (const TNEFFileItem *item = files; item && result == 0; item = item->next)
            QVERIFY(item->dataPosition + item->dataLength <= length);
        TNEFParseDestroy(&files, &attributes);
    }
    FSCloseFork(fork);
}

QTEST_GUILESS_MAIN(TestDamaged)
#include "tst_damaged.moc"
