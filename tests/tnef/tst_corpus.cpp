// Real files from other mail systems: the parse result, and each attachment's
// id, kind, size, contents and name as recorded beside them.
#include "TnefBuilder.h"

#include <QCryptographicHash>
#include <QtTest>

using namespace tnefbuild;

class TestCorpus : public QObject {
    Q_OBJECT
private slots:
    void matchesExpectations_data();
    void matchesExpectations();
};

void TestCorpus::matchesExpectations_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("expected");  // "id embedded size sha256 name" per attachment
    if (!corpusAvailable())
        QSKIP(qPrintable(QStringLiteral("no corpus at %1 (a fresh clone has none)").arg(corpusDir())));
    const QList<CorpusAttachment> attachments = corpusAttachments();
    for (const CorpusFile &f : corpusFiles()) {
        QStringList expected;
        for (const CorpusAttachment &a : attachments) {
            if (a.file == f.file)
                expected << QStringLiteral("%1 %2 %3 %4 %5").arg(a.id).arg(int(a.embedded)).arg(a.size)
                                .arg(QString::fromLatin1(a.sha256), a.name);
        }
        QVERIFY(expected.size() == f.attachments);
        QTest::newRow(qPrintable(f.file)) << f.result << expected;
    }
}

void TestCorpus::matchesExpectations()
{
    QFETCH(int, result);
    QFETCH(QStringList, expected);
    const QString path = corpusDir() + QLatin1Char('/') + QString::fromUtf8(QTest::currentDataTag());
    OSErr openStatus = noErr;
    TNEFFile *tnef = TNEFFileOpen(path, &openStatus);
    QVERIFY2(tnef, qPrintable(QStringLiteral("open failed: %1").arg(openStatus)));
    SInt32 status = 0;
    const QByteArray trace = traceOf([&] { status = TNEFParseFileList(tnef->forkRefNum, &tnef->fileList, &tnef->attributeList); });
    QStringList got;
    QFile contents(path);
    const bool readable = contents.open(QIODevice::ReadOnly);
    for (const TNEFFileItem *f = tnef->fileList; f; f = f->next) {
        contents.seek(f->dataPosition);
        const QByteArray data = contents.read(f->dataLength);
        got << QStringLiteral("%1 %2 %3 %4 %5").arg(f->fileID).arg(int(f->isTNEF == -1)).arg(data.size())
                   .arg(QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()),
                        QString::fromStdString(f->name));
    }
    TNEFFileDestroy(tnef);
    QVERIFY(readable);
    QCOMPARE(status, result);
    QCOMPARE(trace.endsWith("TNEF Trace -- end\n"), result == 0);
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
