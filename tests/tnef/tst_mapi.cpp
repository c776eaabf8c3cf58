// The MAPI property block decoder: one item per value, where it lies, and
// never a byte past the block's bound.
#include "TnefBuilder.h"

#include <QtTest>

using namespace tnefbuild;

namespace {
const QByteArray kPrefix("PRE");  // so that positions are absolute, not block offsets

// An item at `offset` from the block's start.
QString item(quint16 type, quint16 id, SInt64 offset, quint32 length, quint32 count = 0, quint32 index = 0,
             const std::optional<std::string> &text = std::nullopt)
{
    return QStringLiteral("%1 %2 @%3 len %4 n %5 #%6 %7").arg(type, 4, 16, QLatin1Char('0')).arg(id, 4, 16, QLatin1Char('0'))
        .arg(offset).arg(length).arg(count).arg(index).arg(text ? QString::fromStdString(*text) : QStringLiteral("-"));
}
}  // namespace

class TestMapi : public QObject {
    Q_OBJECT
private slots:
    void decodesBlock_data();
    void decodesBlock();
};

void TestMapi::decodesBlock_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("bound");  // bytes of the block that may be read; -1 for none
    QTest::addColumn<bool>("ok");    // else any failure
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArrayList>("trace");  // pieces of it

    // A long name's text with its 1 fill byte, and the other strings' without.
    MapiBlock b = MapiBlock().string8(PR_ATTACH_LONG_FILENAME, z0("budget.xls")).counted(PT_BINARY, 0x1013, {"xxxxx", "yyyyyyyy"})
                      .shortValue(0x0017, 2).longValue(0x0E08, 0x1234).systime(0x3007, 0x01C4A0B0C0D0E0F0ULL)
                      .string8(0x0037, z0("Subject"));
    QTest::newRow("a value of each type") << b.bytes() << -1 << true
        << QStringList{item(PT_STRING8, 0x3707, b.valueOffset(0), 11, 1, 0, "budget.xls"),
                       item(PT_BINARY, 0x1013, b.valueOffset(1), 5, 2, 0), item(PT_BINARY, 0x1013, b.valueOffset(2), 8, 2, 1),
                       item(PT_SHORT, 0x0017, b.valueOffset(3), 2), item(PT_LONG, 0x0E08, b.valueOffset(4), 4),
                       item(PT_SYSTIME, 0x3007, b.valueOffset(5), 8), item(PT_STRING8, 0x0037, b.valueOffset(6), 8, 1, 0)}
        << QByteArrayList{"        value = " + z0("budget.xls") + "\n", "        value length = 0x00000008.\n",
                          "        value = 0x01c4a0b0c0d0e0f0.\n"};
    b = MapiBlock().named(QStringLiteral("Ab")).longValue(0x8005, 42).named(0x8233).shortValue(0x8006, 7);
    QTest::newRow("named properties") << b.bytes() << -1 << true
        << QStringList{item(PT_LONG, 0x8005, b.valueOffset(0), 4), item(PT_SHORT, 0x8006, b.valueOffset(1), 2)}
        << QByteArrayList{"    number mapi properties = 2.\n    mapi property type = 0x0003.\n"
                          "    mapi property def = 0x8005.\n        mapi named property type = 0x00000001.\n"
                          "        mapi named property name length = 0x00000006.\n        value = " + QByteArray("A\0b\0\0\0\n", 7)
                          + "        value = 0x0000002a.\n    mapi property type = 0x0002.\n    mapi property def = 0x8006.\n"
                            "        mapi named property type = 0x00000000.\n        mapi named property ID = 0x00008233.\n"
                            "        value = 0x0007.\n"};
    QTest::newRow("name kind 2") << MapiBlock().namedKind(2, le32(0)).longValue(0x8001, 1).bytes() << -1 << false
                                 << QStringList() << QByteArrayList{"TNEF Trace Error -- unknown MAPI named property type.\n"};
    b = MapiBlock().raw(le16(0x0014) + le16(0x1111)).longValue(0x0E08, 5).claimCount(2);
    QTest::newRow("unknown type reads nothing") << b.bytes() << -1 << true
        << QStringList{item(PT_LONG, 0x0E08, b.valueOffset(0), 4)} << QByteArrayList{"    unknown mapi type -- 0x0014.\n"};
    // A property the stream parser uses one value of keeps one item, however
    // many values or properties of its id the block holds.
    b = MapiBlock().counted(PT_STRING8, PR_ATTACH_LONG_FILENAME, {z0(""), z0("b.doc"), z0("c.doc")})
            .string8(PR_ATTACH_LONG_FILENAME, z0("d.doc")).binary(PR_ATTACH_DATA_OBJ, "1").binary(PR_ATTACH_DATA_OBJ, "2");
    QTest::newRow("first non-empty name, first object") << b.bytes() << -1 << true
        << QStringList{item(PT_STRING8, 0x3707, b.valueOffset(1), 6, 3, 1, "b.doc"), item(PT_BINARY, 0x3701, b.valueOffset(4), 1, 1, 0)}
        << QByteArrayList();
    b = MapiBlock().counted(PT_STRING8, PR_ATTACH_LONG_FILENAME, QList<QByteArray>(100000))
            .unicode(PR_DISPLAY_NAME, QString()).unicode(PR_DISPLAY_NAME, QStringLiteral("x"));
    QTest::newRow("100,000 empty names") << b.bytes() << -1 << true
        << QStringList{item(PT_STRING8, 0x3707, b.valueOffset(0), 0, 100000, 0, ""),
                       item(PT_UNICODE, 0x3001, b.valueOffset(100001), 4, 1, 0, "x")} << QByteArrayList();

    // A bound ends the block even where the file goes on with bytes that
    // would otherwise decode as more properties.
    const QByteArray beyond(64, '\x02');
    QTest::newRow("value past the bound") << MapiBlock().binary(0x1013, QByteArray(100, 'z')).bytes() + beyond << 60
                                          << false << QStringList() << QByteArrayList();
    b = MapiBlock().longValue(0x0E08, 5).claimCount(3);
    QTest::newRow("count past the bound") << b.bytes() + beyond << 12 << false
                                          << QStringList{item(PT_LONG, 0x0E08, b.valueOffset(0), 4)} << QByteArrayList();
    b = MapiBlock().namedKind(1, le32(0x1000)).longValue(0x8001, 1);
    QTest::newRow("name past the bound") << b.bytes() + beyond << int(b.bytes().size()) << false << QStringList()
                                         << QByteArrayList();
    b = MapiBlock().named(QStringLiteral("Ab")).longValue(0x8005, 42);
    QTest::newRow("block exactly at its bound") << b.bytes() + beyond << int(b.bytes().size()) << true
        << QStringList{item(PT_LONG, 0x8005, b.valueOffset(0), 4)} << QByteArrayList();
    b = MapiBlock().raw(le16(PT_STRING8) + le16(PR_ATTACH_LONG_FILENAME) + le32(1) + le32(0xFFFFFFFF) + "abc").claimCount(1);
    QTest::newRow("string length 0xFFFFFFFF") << b.bytes() << -1 << false << QStringList()
                                              << QByteArrayList{"TNEF Trace Error -- can't read mapi string data.\n"};
}

void TestMapi::decodesBlock()
{
    QFETCH(QByteArray, block);
    QFETCH(int, bound);
    QFETCH(bool, ok);
    QFETCH(QStringList, items);
    QFETCH(QByteArrayList, trace);
    ForkFile file(kPrefix + block);
    QCOMPARE(FSSetForkPosition(file.ref(), fsFromStart, kPrefix.size()), noErr);
    const SInt64 blockEnd = bound < 0 ? -1 : kPrefix.size() + bound;
    SInt64 furthest = 0;
    FSSetFileLayerHooks({[&](SInt16 ref, UInt32 count) {
                             SInt64 pos = 0;
                             FSGetForkPosition(ref, &pos);
                             furthest = std::max(furthest, pos + SInt64(count));
                             return OSErr(noErr);
                         }, {}});
    TNEFList<TNEFMAPIItem> list;
    SInt32 result = 0;
    const QByteArray traced = traceOf([&] {
        withSmallAddressSpace([&] { result = TNEFParseMAPI(file.ref(), &list, blockEnd); });
    });
    FSClearFileLayerHooks();
    QStringList got;
    for (const TNEFMAPIItem *m = list; m; m = m->next)
        got << item(m->type, m->id, m->position - kPrefix.size(), m->length, m->count, m->index, m->text);
    TNEFParseMAPIDestroy(&list);
    QVERIFY2(ok ? result == 0 : result < 0, QByteArray::number(result));
    QCOMPARE(got, items);
    // A block that parsed leaves the mark just after it.
    if (ok)
        QCOMPARE(file.position(), kPrefix.size() + (bound < 0 ? block.size() : bound));
    QVERIFY2(blockEnd < 0 || furthest <= blockEnd, QByteArray::number(furthest));
    for (const QByteArray &piece : trace)
        QVERIFY2(traced.contains(piece), traced.constData());
}

QTEST_GUILESS_MAIN(TestMapi)
#include "tst_mapi.moc"
