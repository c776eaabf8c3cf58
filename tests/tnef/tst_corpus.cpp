// Real files from other mail systems: the parse result, and each attachment's
// id, kind, size, contents and name as recorded beside them.
#include "TnefBuilder.h"
#include "tnef/TNEFText.h"

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
    const QList<QStringList> attachments = corpusRows("expected-attachments.tsv");
    for (const QStringList &f : corpusRows("expected-files.tsv")) {
        QStringList expected;
        for (const QStringList &a : attachments) {
            if (a[0] == f[0])
                expected << a.mid(1).join(' ');
        }
        QCOMPARE(QString::number(expected.size()), f.value(2));
        QTest::newRow(qPrintable(f[0])) << f[1].toInt() << expected;
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
                        TNEFFileItemTitle(f));
    }
    TNEFFileDestroy(tnef);
    QVERIFY(readable);
    QCOMPARE(status, result);
    QCOMPARE(trace.endsWith("TNEF Trace -- end\n"), result == 0);
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
