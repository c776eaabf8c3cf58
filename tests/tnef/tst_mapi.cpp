// The MAPI property block decoder: one item per value, where it lies, and
// never a byte past the block's bound.
#include "TnefBuilder.h"

#include <QtTest>

using namespace tnefbuild;

namespace {
constexpr int kAnyFailure = 1;
const QByteArray kPrefix("PRE");  // so that positions are absolute, not block offsets
}

class TestMapi : public QObject {
    Q_OBJECT
private slots:
    void decodesBlock_data();
    void decodesBlock();
};

static QString describe(const TNEFMAPIItem *m)
{
    return QStringLiteral("%1 %2 @%3 len %4 n %5 #%6 %7")
        .arg(m->type, 4, 16, QLatin1Char('0'))
        .arg(m->id, 4, 16, QLatin1Char('0'))
        .arg(m->position)
        .arg(m->length)
        .arg(m->count)
        .arg(m->index)
        .arg(m->text ? QString::fromStdString(*m->text) : QStringLiteral("-"));
}

// "type id @position(offset from the block) len n count #index text"
static QString item(quint16 type, quint16 id, int offset, quint32 length, quint32 count,
                    quint32 index, const QString &text = QStringLiteral("-"))
{
    TNEFMAPIItem m;
    m.type = type, m.id = id, m.position = kPrefix.size() + offset, m.length = length;
    m.count = count, m.index = index;
    if (text != QStringLiteral("-"))
        m.text = text.toStdString();
    return describe(&m);
}

void TestMapi::decodesBlock_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("bound");     // bytes of the block that may be read; -1 for none
    QTest::addColumn<quint32>("codePage");
    QTest::addColumn<int>("status");    // kAnyFailure: any negative code
    QTest::addColumn<int>("consumed");  // bytes read from the block's start; -1: not checked
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("traceLine");

    MapiBlock b;
    QTest::newRow("no properties") << b.bytes() << -1 << 0u << 0 << 4 << QStringList() << QByteArray("    number mapi properties = 0.\n");

    b = MapiBlock().string8(PR_ATTACH_LONG_FILENAME, QByteArray("budget.xls", 11));
    QTest::newRow("string8 long name, 1 fill byte")
        << b.bytes() << -1 << 0u << 0 << 28
        << QStringList{item(PT_STRING8, 0x3707, b.valueOffset(0), 11, 1, 0, QStringLiteral("budget.xls"))}
        << QByteArray("        value = ") + QByteArray("budget.xls\0\n", 12);

    b = MapiBlock().counted(PT_BINARY, 0x1013, {QByteArray(5, 'x'), QByteArray(8, 'y')});
    QTest::newRow("binary 5 and 8") << b.bytes() << -1 << 0u << 0 << 36
        << QStringList{item(PT_BINARY, 0x1013, b.valueOffset(0), 5, 2, 0),
                       item(PT_BINARY, 0x1013, b.valueOffset(1), 8, 2, 1)}
        << QByteArray("        value length = 0x00000008.\n");

    b = MapiBlock().shortValue(0x0017, 2).longValue(0x0E08, 0x1234).systime(0x3007, 0x01C4A0B0C0D0E0F0ULL);
    QTest::newRow("short, long, systime") << b.bytes() << -1 << 0u << 0 << 4 + 8 + 8 + 12
        << QStringList{item(PT_SHORT, 0x0017, b.valueOffset(0), 2, 0, 0),
                       item(PT_LONG, 0x0E08, b.valueOffset(1), 4, 0, 0),
                       item(PT_SYSTIME, 0x3007, b.valueOffset(2), 8, 0, 0)}
        << QByteArray("        value = 0x01c4a0b0c0d0e0f0.\n");

    b = MapiBlock().named(QStringLiteral("Ab")).longValue(0x8005, 42);
    QTest::newRow("named, string name of 6 bytes") << b.bytes() << -1 << 0u << 0 << 44
        << QStringList{item(PT_LONG, 0x8005, b.valueOffset(0), 4, 0, 0)}
        << QByteArray("        mapi named property name length = 0x00000006.\n"
                      "        value = ") + QByteArray("A\0b\0\0\0\n", 7);

    b = MapiBlock().named(0x8233).string8(0x8001, "x");
    QTest::newRow("named, numeric name") << b.bytes() << -1 << 0u << 0 << 44
        << QStringList{item(PT_STRING8, 0x8001, b.valueOffset(0), 1, 1, 0)}
        << QByteArray("        mapi named property ID = 0x00008233.\n");

    b = MapiBlock().namedKind(2, le32(0)).longValue(0x8001, 1);
    QTest::newRow("name kind 2") << b.bytes() << -1 << 0u << -1 << -1 << QStringList()
                                 << QByteArray("TNEF Trace Error -- unknown MAPI named property type.\n");

    b = MapiBlock().raw(le16(0x0014) + le16(0x1111)).longValue(0x0E08, 5).claimCount(2);
    QTest::newRow("unknown type reads nothing") << b.bytes() << -1 << 0u << 0 << 16
        << QStringList{item(PT_LONG, 0x0E08, b.valueOffset(0), 4, 0, 0)}
        << QByteArray("    unknown mapi type -- 0x0014.\n");

    const QString longName = QStringLiteral("Quarterly report \u2013 draft.pdf");
    b = MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, longName);
    QTest::newRow("unicode long name") << b.bytes() << -1 << 0u << 0 << -1
        << QStringList{item(PT_UNICODE, 0x3707, b.valueOffset(0), 58, 1, 0, longName)}
        << QByteArray("        value length = 0x0000003a.\n");

    b = MapiBlock().string8(PR_DISPLAY_NAME, QByteArray("d\xF6" "cument.pdf", 13));
    QTest::newRow("string8 in Windows-1252") << b.bytes() << -1 << 1252u << 0 << -1
        << QStringList{item(PT_STRING8, 0x3001, b.valueOffset(0), 13, 1, 0, QStringLiteral("d\u00F6cument.pdf"))}
        << QByteArray();

    b = MapiBlock().string8(0x0037, QByteArray("Subject", 8));
    QTest::newRow("other strings get no text") << b.bytes() << -1 << 0u << 0 << -1
        << QStringList{item(PT_STRING8, 0x0037, b.valueOffset(0), 8, 1, 0)} << QByteArray();

    // A bound ends the block even where the file goes on with bytes that
    // would otherwise decode as more properties.
    const QByteArray beyond(64, '\x02');
    b = MapiBlock().binary(0x1013, QByteArray(100, 'z'));
    QTest::newRow("value past the bound") << b.bytes() + beyond << 60 << 0u << kAnyFailure << -1
                                          << QStringList() << QByteArray();
    b = MapiBlock().longValue(0x0E08, 5).claimCount(3);
    QTest::newRow("count past the bound") << b.bytes() + beyond << 12 << 0u << kAnyFailure << -1
        << QStringList{item(PT_LONG, 0x0E08, b.valueOffset(0), 4, 0, 0)} << QByteArray();
    b = MapiBlock().namedKind(1, le32(0x1000)).longValue(0x8001, 1);
    QTest::newRow("name past the bound") << b.bytes() + beyond << int(b.bytes().size()) << 0u
                                         << kAnyFailure << -1 << QStringList() << QByteArray();
    b = MapiBlock().raw(le16(PT_STRING8) + le16(PR_ATTACH_LONG_FILENAME) + le32(1) + le32(0xFFFFFFFF) + "abc").claimCount(1);
    QTest::newRow("string length 0xFFFFFFFF") << b.bytes() << -1 << 0u << -1 << -1 << QStringList()
                                              << QByteArray("TNEF Trace Error -- can't read mapi string data.\n");
    b = MapiBlock().named(QStringLiteral("Ab")).longValue(0x8005, 42);
    QTest::newRow("block exactly at its bound") << b.bytes() + beyond << int(b.bytes().size()) << 0u
        << 0 << 44 << QStringList{item(PT_LONG, 0x8005, b.valueOffset(0), 4, 0, 0)} << QByteArray();
}

void TestMapi::decodesBlock()
{
    QFETCH(QByteArray, block);
    QFETCH(int, bound);
    QFETCH(quint32, codePage);
    QFETCH(int, status);
    QFETCH(int, consumed);
    QFETCH(QStringList, items);
    QFETCH(QByteArray, traceLine);

    ForkFile file(kPrefix + block);
    QCOMPARE(file.status(), noErr);
    QCOMPARE(FSSetForkPosition(file.ref(), fsFromStart, kPrefix.size()), noErr);
    const SInt64 blockEnd = bound < 0 ? -1 : kPrefix.size() + bound;
    SInt64 furthest = 0;
    FSFileLayerHooks hooks;
    hooks.beforeRead = [&](SInt16 ref, UInt32 count) {
        SInt64 pos = 0;
        FSGetForkPosition(ref, &pos);
        furthest = std::max(furthest, pos + SInt64(count));
        return noErr;
    };
    FSSetFileLayerHooks(hooks);
    TNEFMAPIItem *list = nullptr;
    SInt32 result = 0;
    QByteArray trace;
    {
        TraceCapture capture;
        withSmallAddressSpace([&] { result = TNEFParseMAPI(file.ref(), &list, blockEnd, codePage); });
        trace = capture.text();
    }
    FSClearFileLayerHooks();
    QStringList got;
    for (const TNEFMAPIItem *m = list; m; m = m->next)
        got << describe(m);
    TNEFParseMAPIDestroy(&list);
    QVERIFY(!list);

    if (status == kAnyFailure)
        QVERIFY2(result < 0, QByteArray::number(result));
    else
        QCOMPARE(result, status);
    QCOMPARE(got, items);
    if (consumed >= 0)
        QCOMPARE(file.position(), SInt64(kPrefix.size() + consumed));
    if (blockEnd >= 0)
        QVERIFY2(furthest <= blockEnd, QByteArray::number(furthest));
    QVERIFY2(trace.contains(traceLine), trace.constData());
}

QTEST_GUILESS_MAIN(TestMapi)
#include "tst_mapi.moc"
