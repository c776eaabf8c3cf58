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
    QTest::addColumn<int>("attachments");
    if (!corpusAvailable())
        QSKIP(qPrintable(QStringLiteral("no corpus at %1 (a fresh clone has none)").arg(corpusDir())));
    for (const CorpusFile &f : corpusFiles())
        QTest::newRow(qPrintable(f.file)) << f.result << f.attachments;
}

void TestCorpus::matchesExpectations()
{
    QFETCH(int, result);
    QFETCH(int, attachments);
    const QString file = QString::fromUtf8(QTest::currentDataTag());
    const QString path = corpusDir() + QLatin1Char('/') + file;
    OSErr openStatus = noErr;
    TNEFFile *tnef = TNEFFileOpen(path, &openStatus);
    QVERIFY2(tnef, qPrintable(QStringLiteral("open failed: %1").arg(openStatus)));
    SInt32 status = 0;
    QByteArray trace;
    {
        TraceCapture capture;
        status = TNEFParseFileList(tnef->forkRefNum, &tnef->fileList, &tnef->attributeList);
        trace = capture.text();
    }
    struct Got { quint32 id; bool embedded; quint64 size; QByteArray sha256; QString name; };
    std::vector<Got> got;
    QFile contents(path);
    const bool readable = contents.open(QIODevice::ReadOnly);
    for (const TNEFFileItem *f = tnef->fileList; f; f = f->next) {
        contents.seek(f->dataPosition);
        const QByteArray data = contents.read(f->dataLength);
        got.push_back({f->fileID, f->isTNEF == -1, quint64(data.size()),
                       QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex(),
                       QString::fromStdString(f->name)});
    }
    TNEFFileDestroy(tnef);
    QVERIFY(readable);
    QCOMPARE(status, result);
    QCOMPARE(trace.endsWith("TNEF Trace -- end\n"), result == 0);
    QCOMPARE(int(got.size()), attachments);

    size_t i = 0;
    for (const CorpusAttachment &e : corpusAttachments()) {
        if (e.file != file)
            continue;
        QVERIFY(i < got.size());
        const Got &g = got[i++];
        const QByteArray where = QByteArray::number(e.id) + ": ";
        QVERIFY2(g.id == e.id, where + "id " + QByteArray::number(g.id));
        QVERIFY2(g.embedded == e.embedded, where + "attached-message flag");
        QVERIFY2(g.size == e.size, where + "size " + QByteArray::number(g.size));
        QVERIFY2(g.sha256 == e.sha256, where + "contents");
        QVERIFY2(g.name == e.name, where + "name \"" + g.name.toUtf8() + "\" instead of \"" + e.name.toUtf8() + "\"");
    }
    QCOMPARE(i, got.size());
}

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
