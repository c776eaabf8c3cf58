// The TNEF stream parser: results and error lines, attribute texts, how an
// attachment's name and contents are found, the trace to the byte, and that
// the file is read once.
#include "TnefBuilder.h"
#include "platform/TextCodec.h"

#include <QtTest>

using namespace tnefbuild;
Q_DECLARE_METATYPE(tnefbuild::Tnef)

namespace {
constexpr quint32 kVersion = 0x00089006;  // attTnefVersion, a dword attribute
constexpr quint32 kDateSent = 0x00038005;
const QByteArray kClosing("\n=================\nTNEF Trace -- end\n");

QByteArray fmt(const char *format, long long a = 0, long long b = 0, long long c = 0,
               long long d = 0, long long e = 0)
{
    return QString::asprintf(format, a, b, c, d, e).toUtf8();
}

// The lines every object starts with.
QByteArray head(const Tnef &t, int index)
{
    const Tnef::Object &o = t.objects().at(size_t(index));
    return fmt("object #%lld\n    object type = 0x%02llx.\n    attribute type = 0x%08llx.\n"
               "    attribute data format = 0x%08llx.\n    attribute length = 0x%08llx.\n",
               index + 1, o.level, o.attribute & 0xFFFF, o.attribute & 0xFFFF0000u, o.length)
           + fmt("    attribute position = 0x%016llx.\n", o.position);
}

QByteArray checksumLine(const Tnef &t, int index)
{
    return fmt("    attribute checksum read Ok. Value = 0x%04llx.\n", t.objects().at(size_t(index)).checksum);
}

// An attachment block that names nothing and holds no contents.
MapiBlock plainBlock() { return MapiBlock().longValue(0x3705, 1); }
}  // namespace

class TestParse : public QObject {
    Q_OBJECT
private slots:
    void results_data();
    void results();
    void attributeTexts_data();
    void attributeTexts();
    void attachments_data();
    void attachments();
    void wholeTrace_data();
    void wholeTrace();
    void pendingAttachmentIsClearedEachTime();
    void traceOffBuildsTheSameLists();
    void readsTheFileOnce_data();
    void readsTheFileOnce();
};

void TestParse::results_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("lastLine");
    QTest::addColumn<int>("attributes");

    const Tnef two = Tnef().message(kVersion, le32(0x10000)).message(attMessageClass, QByteArray("IPM.Note", 9));
    QTest::newRow("signature and key only") << Tnef().bytes() << -1
        << QByteArray("TNEF Trace Error -- can't read next object.\n") << 0;
    QTest::newRow("wrong signature") << Tnef(0, 0x12345678).message(kVersion, le32(0x10000)).bytes() << -1
        << QByteArray("TNEF Trace Error -- wrong signature. Value = 12345678.\n") << 0;
    QTest::newRow("short signature") << QByteArray("\x78\x9F\x3E") << -1
        << QByteArray("TNEF Trace Error -- can't read file signature.\n") << 0;
    QTest::newRow("no key") << QByteArray("\x78\x9F\x3E\x22\x01") << -1
        << QByteArray("TNEF Trace Error -- TNEF Trace Error -- can't read attachment reference.\n") << 0;
    QTest::newRow("object type 3 after two") << Tnef(two).raw(QByteArray("\x03") + QByteArray(12, '\0')).bytes()
        << -7 << fmt("TNEF Trace Error -- invalid object type. File position = 0x%016llx.\n", two.size() + 1) << 2;
    for (int extra : {0, 1, 2, 0x7F}) {
        const bool level = extra == 1 || extra == 2;
        QTest::addRow("one extra byte %d", extra)
            << Tnef(two).raw(QByteArray(1, char(extra))).bytes() << (level ? -1 : -7)
            << (level ? QByteArray("TNEF Trace Error -- can't read attribute type and data format.\n")
                      : fmt("TNEF Trace Error -- invalid object type. File position = 0x%016llx.\n", two.size() + 1))
            << 2;
    }
    QTest::newRow("data cut short") << Tnef().raw(QByteArray("\x01") + le32(0x00060001) + le32(100) + "abc").bytes()
        << -1 << QByteArray("TNEF Trace Error -- can't read attribute data.\n") << 0;
    QTest::newRow("attachment data cut short") << Tnef().raw(QByteArray("\x02") + le32(attAttachData) + le32(9000) + QByteArray(8500, 'd')).bytes()
        << -1 << QByteArray("TNEF Trace Error -- can't read attachment data data.\n") << 0;
    QTest::newRow("title cut short") << Tnef().raw(QByteArray("\x02") + le32(attAttachTitle) + le32(20) + "abc").bytes()
        << -1 << QByteArray("TNEF Trace Error -- can't read attachment title data.\n") << 0;
    QTest::newRow("block skip cut short") << Tnef().raw(QByteArray("\x01") + le32(attMAPIProps) + le32(40) + le32(7)).bytes()
        << -1 << QByteArray("TNEF Trace Error -- can't read attribute data.\n") << 0;
    QTest::newRow("date cut short") << Tnef().raw(QByteArray("\x01") + le32(kDateSent) + le32(14) + "abcd").bytes()
        << -1 << QByteArray("TNEF Trace Error -- can't read date part.\n") << 0;
    QTest::newRow("no checksum") << Tnef().raw(QByteArray("\x01") + le32(kVersion) + le32(4) + le32(1)).bytes()
        << -1 << QByteArray("TNEF Trace Error -- can't read attribute checksum.\n") << 1;
    QTest::newRow("wrong checksum is accepted") << Tnef().object(1, kVersion, le32(0x10000), 0xBEEF).bytes()
        << 0 << QByteArray("TNEF Trace -- end\n") << 1;
}

void TestParse::results()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    QFETCH(QByteArray, lastLine);
    QFETCH(int, attributes);
    ParseRun run(bytes);
    QCOMPARE(run.status, status);
    QVERIFY2(run.trace.endsWith(lastLine), run.trace.right(200).constData());
    QVERIFY(run.trace.startsWith("TNEF Trace -- begin\n===================\n"));
    QCOMPARE(int(run.attributes.size()), attributes);
    QVERIFY(run.files.empty());
}

void TestParse::attributeTexts_data()
{
    QTest::addColumn<Tnef>("file");
    QTest::addColumn<QString>("text");  // null: the item has no text
    QTest::addColumn<QByteArray>("traceLine");
    QTest::newRow("date") << Tnef().date(kDateSent, 2004, 3, 5, 9, 7, 2, 5)
                          << QStringLiteral("3/5/2004 09:07:02") << QByteArray("    date is 3/5/2004 09:07:02.\n");
    QTest::newRow("date whose length says 0")
        << Tnef().raw(QByteArray("\x01") + le32(kDateSent) + le32(0) + le16(2004) + le16(3) + le16(5) + le16(9)
                      + le16(7) + le16(2) + le16(5) + le16(0))
        << QStringLiteral("3/5/2004 09:07:02") << QByteArray();
    QTest::newRow("priority 1") << Tnef().message(attPriority, le16(1)) << QStringLiteral("High")
                                << QByteArray("    attribute data = 0x10...\n");
    QTest::newRow("priority 3") << Tnef().message(attPriority, le16(3)) << QStringLiteral("Low") << QByteArray();
    QTest::newRow("priority 2") << Tnef().message(attPriority, le16(2)) << QStringLiteral("Normal") << QByteArray();
    QTest::newRow("empty priority") << Tnef().message(attPriority, {}) << QStringLiteral("Normal") << QByteArray();
    const QByteArray rend("Type: File (1); Position: -1; Width: 0; Height: 0; Flags: 0");
    QTest::newRow("rendering data") << Tnef().renddata(1, 0xFFFFFFFF, 0, 0, 0) << QString::fromLatin1(rend)
                                    << "    date is " + rend + ".\n";
    QTest::newRow("rendering type unknown") << Tnef().renddata(9, 7, 0xFFFF, 2, 0x80000000)
        << QStringLiteral("Type:  (9); Position: 7; Width: -1; Height: 2; Flags: -2147483648") << QByteArray();
    QTest::newRow("rendering data of 3 bytes") << Tnef().attach(attAttachRenddata, "abc") << QString()
                                               << QByteArray("    attribute data = 0x63...\n");
    QTest::newRow("message class") << Tnef().message(attMessageClass, QByteArray("IPM.Note", 9)) << QString()
                                   << QByteArray("    attribute data = 0x 0...\n");
}

void TestParse::attributeTexts()
{
    QFETCH(Tnef, file);
    QFETCH(QString, text);
    QFETCH(QByteArray, traceLine);
    ParseRun run(file.bytes());
    QCOMPARE(run.status, 0);
    QCOMPARE(int(run.attributes.size()), 1);
    const auto &got = run.attributes[0]->text;
    QCOMPARE(got.has_value(), !text.isNull());
    if (got)
        QCOMPARE(QString::fromStdString(*got), text);
    QVERIFY2(run.trace.contains(traceLine), run.trace.constData());
}

void TestParse::attachments_data()
{
    QTest::addColumn<Tnef>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("dataPosition");
    QTest::addColumn<quint32>("dataLength");
    QTest::addColumn<int>("isTNEF");
    QTest::addColumn<QByteArray>("traceLine");

    const QByteArray title("report.doc", 11);
    const QByteArray contents(1000, 'c');
    Tnef t = Tnef().renddata(1, 0xFFFFFFFF, 0, 0, 0).title(title).data(contents)
                 .attachment(MapiBlock().string8(PR_ATTACH_LONG_FILENAME, QByteArray("Quarterly report.doc", 21)));
    QTest::newRow("long file name") << t << QStringLiteral("Quarterly report.doc") << t.dataPos(2) << 1000u << 0
                                    << QByteArray("        long file name = \"Quarterly report.doc\"\n");
    t = Tnef().renddata(1, 0xFFFFFFFF, 0, 0, 0).title(title).data(contents).attachment(plainBlock());
    QTest::newRow("title") << t << QStringLiteral("report.doc") << t.dataPos(2) << 1000u << 0 << QByteArray();

    const QString unicodeName = QStringLiteral("Quarterly report \u2013 draft.pdf");
    t = Tnef().title(title).data(contents).attachment(MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, unicodeName));
    QTest::newRow("unicode long file name") << t << unicodeName << t.dataPos(1) << 1000u << 0
        << "        long file name = \"" + unicodeName.toUtf8() + "\"\n";

    MapiBlock b = MapiBlock().string8(PR_DISPLAY_NAME, QByteArray("Re: minutes", 12))
                      .object(PR_ATTACH_DATA_OBJ, QByteArray(4984, 'm'));
    t = Tnef().title(title).data(embeddedPlaceholder()).attachment(b);
    QTest::newRow("attached message") << t << QStringLiteral("Re: minutes") << t.dataPos() + b.valueOffset(1) + 16
        << 4984u << -1 << QByteArray("        object display name = \"Re: minutes\"\n");
    b = MapiBlock().unicode(PR_DISPLAY_NAME, QStringLiteral("R\u00E9union")).object(PR_ATTACH_DATA_OBJ, "x");
    t = Tnef().data(embeddedPlaceholder()).attachment(b);
    QTest::newRow("attached message, unicode name") << t << QStringLiteral("R\u00E9union")
        << t.dataPos() + b.valueOffset(1) + 16 << 1u << -1 << QByteArray();

    t = Tnef().title(title).data(contents).attachment(MapiBlock().namedKind(2, le32(0)).longValue(0x8001, 1))
            .message(kVersion, le32(0x10000));
    QTest::newRow("failed block keeps title and data") << t << QStringLiteral("report.doc") << t.dataPos(1)
        << 1000u << 0 << QByteArray("TNEF Trace Warning -- MAPI properties not read!\n"
                                    "    attachment data read Ok.\n    file added to list.\n");

    // A multi-valued property is read as "nothing" and the block ends off its
    // end; the stream must still go on after the attribute.
    b = MapiBlock().string8(PR_ATTACH_LONG_FILENAME, QByteArray("long a.txt", 11))
            .multi(PT_LONG, 0x0E21, {le32(1), le32(2), le32(3)}).longValue(0x0E20, 10);
    t = Tnef().mapiProps(MapiBlock().multi(PT_BINARY, 0x0E30, {QByteArray(16, 'g')}))
            .title(QByteArray("a.txt", 6)).data("0123456789").attachment(b).message(kVersion, le32(0x10000));
    QTest::newRow("multi-valued properties") << t << QStringLiteral("long a.txt") << t.dataPos(2) << 10u << 0
                                             << QByteArray("        value is multi value.\n");

    t = Tnef().mapiProps(MapiBlock().longValue(0x0E08, 5).claimCount(3)).title(title).data(contents)
            .attachment(plainBlock());
    QTest::newRow("message block cut by its bound") << t << QStringLiteral("report.doc") << t.dataPos(2) << 1000u << 0
                                                    << QByteArray("TNEF Trace Warning -- MAPI properties not read!\n");
    t = Tnef().title(title).data(embeddedPlaceholder().left(88))
            .attachment(MapiBlock().string8(PR_DISPLAY_NAME, QByteArray("Re", 3)).object(PR_ATTACH_DATA_OBJ, "x"));
    QTest::newRow("placeholder without its zero") << t << QStringLiteral("report.doc") << t.dataPos(1) << 88u << 0 << QByteArray();

    // Contents inside the block when no attAttachData came first.
    b = MapiBlock().string8(PR_ATTACH_LONG_FILENAME, QByteArray("b.bin", 6)).binary(PR_ATTACH_DATA_OBJ, QByteArray(100, 'b'));
    t = Tnef().attachment(b);
    QTest::newRow("binary data object") << t << QStringLiteral("b.bin") << t.dataPos() + b.valueOffset(1) << 100u << 0 << QByteArray();
    b = MapiBlock().object(PR_ATTACH_DATA_OBJ, QByteArray(100, 'o'));
    t = Tnef().title(QByteArray("o.bin", 6)).attachment(b);
    QTest::newRow("object data object") << t << QStringLiteral("o.bin") << t.dataPos() + b.valueOffset(0) + 16 << 100u << 0 << QByteArray();
    b = MapiBlock().counted(PT_OBJECT, PR_ATTACH_DATA_OBJ, {QByteArray(10, 's')});
    t = Tnef().title(QByteArray("s.bin", 6)).attachment(b);
    QTest::newRow("object shorter than 16") << t << QStringLiteral("s.bin") << t.dataPos() + b.valueOffset(0) << 0u << 0 << QByteArray();
    t = Tnef().title(title).data(contents).attachment(MapiBlock().binary(PR_ATTACH_DATA_OBJ, "zz"));
    QTest::newRow("attAttachData first wins") << t << QStringLiteral("report.doc") << t.dataPos(1) << 1000u << 0 << QByteArray();
    t = Tnef().title(title).attachment(plainBlock());
    QTest::newRow("no contents anywhere: the block") << t << QStringLiteral("report.doc") << t.dataPos()
        << quint32(plainBlock().bytes().size()) << 0 << QByteArray();

    // 8-bit names in the code page the file declares.
    const QByteArray doc("d\xF6" "cument.pdf", 13);
    t = Tnef().title(doc).data("x").attachment(plainBlock());
    QTest::newRow("no code page: Windows-1252") << t << QStringLiteral("d\u00F6cument.pdf") << t.dataPos(1) << 1u << 0 << QByteArray();
    t = Tnef().codepage(0xDEAD).title(doc).data("x").attachment(plainBlock());
    QTest::newRow("unknown code page: Windows-1252") << t << QStringLiteral("d\u00F6cument.pdf") << t.dataPos(2) << 1u << 0 << QByteArray();
    t = Tnef().codepage(1252).data("x").attachment(MapiBlock().string8(PR_ATTACH_LONG_FILENAME, doc));
    QTest::newRow("string8 long name in 1252") << t << QStringLiteral("d\u00F6cument.pdf") << t.dataPos(1) << 1u << 0
        << "        long file name = \"" + QStringLiteral("d\u00F6cument.pdf").toUtf8() + "\"\n";
    if (TextCodePageSupported(1251)) {
        t = Tnef().codepage(1251).title(QByteArray("\xE4\xEE\xEA.txt", 8)).data("x").attachment(plainBlock());
        QTest::newRow("title in 1251") << t << QStringLiteral("\u0434\u043E\u043A.txt") << t.dataPos(2) << 1u << 0 << QByteArray();
    }
}

void TestParse::attachments()
{
    QFETCH(Tnef, file);
    QFETCH(QString, name);
    QFETCH(qint64, dataPosition);
    QFETCH(quint32, dataLength);
    QFETCH(int, isTNEF);
    QFETCH(QByteArray, traceLine);
    ParseRun run(file.bytes());
    QCOMPARE(run.status, 0);
    QVERIFY2(run.trace.contains(traceLine), run.trace.constData());
    QCOMPARE(int(run.files.size()), 1);
    const TNEFFileItem *f = run.files[0];
    QCOMPARE(QString::fromStdString(f->name), name);
    QCOMPARE(f->dataPosition, dataPosition);
    QCOMPARE(f->dataLength, dataLength);
    QCOMPARE(f->isTNEF, isTNEF);
    QCOMPARE(f->fileID, 1u);
    // One attribute item per object, attAttachment included, numbered from 1.
    QCOMPARE(run.attributes.size(), file.objects().size());
    for (size_t i = 0; i < run.attributes.size(); ++i) {
        QCOMPARE(run.attributes[i]->objectID, quint32(i + 1));
        QCOMPARE(run.attributes[i]->attribute, file.objects()[i].attribute);
        QCOMPARE(run.attributes[i]->position, file.objects()[i].position);
        QCOMPARE(run.attributes[i]->length, file.objects()[i].length);
    }
}

void TestParse::wholeTrace_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("trace");

    Tnef t = Tnef().message(kVersion, QByteArray("\0\0\1\0", 4));
    QTest::newRow("one object") << t.bytes()
        << "TNEF Trace -- begin\n===================\nsignature = 0x223e9f78.\n"
           "attachment reference key = 0x0000.\nobject #1\n    object type = 0x01.\n"
           "    attribute type = 0x00009006.\n    attribute data format = 0x00080000.\n"
           "    attribute length = 0x00000004.\n    attribute position = 0x000000000000000f.\n"
           "    attribute data = 0x   10000...\n    attribute added to list.\n"
           "    attribute checksum read Ok. Value = 0x0001.\n" + kClosing;

    t = Tnef().mapiProps(MapiBlock().named(QStringLiteral("Ab")).longValue(0x8005, 42).named(0x8233).shortValue(0x8006, 7));
    QTest::newRow("named properties") << t.bytes()
        << head(t, 0) + "    number mapi properties = 2.\n    mapi property type = 0x0003.\n"
           "    mapi property def = 0x8005.\n        mapi named property type = 0x00000001.\n"
           "        mapi named property name length = 0x00000006.\n        value = "
           + QByteArray("A\0b\0\0\0\n", 7) + "        value = 0x0000002a.\n"
           "    mapi property type = 0x0002.\n    mapi property def = 0x8006.\n"
           "        mapi named property type = 0x00000000.\n        mapi named property ID = 0x00008233.\n"
           "        value = 0x0007.\n    attribute added to list.\n" + checksumLine(t, 0) + kClosing;

    t = Tnef().title(QByteArray("report.doc", 11))
            .attachment(MapiBlock().string8(PR_ATTACH_LONG_FILENAME, QByteArray("Quarterly report.doc", 21)));
    QTest::newRow("long file name") << t.bytes()
        << head(t, 0) + "    attachment title length read Ok. Value = 0x0000000b.\n"
           "    attachment title position read Ok. Value = 0x000000000000000f.\n"
           "    attachment title data read Ok.\n    attribute added to list.\n" + checksumLine(t, 0)
           + head(t, 1) + "    attachment length read Ok. Value = 0x00000028.\n"
           + fmt("    attachment position read Ok. Value = 0x%016llx.\n", t.dataPos(1))
           + "    number mapi properties = 1.\n    mapi property type = 0x001e.\n    mapi property def = 0x3707.\n"
             "        value count = 0x00000001.\n        value length = 0x00000015.\n"
             "        value = " + QByteArray("Quarterly report.doc\0\n", 22) + "    attribute mapi results\n"
             "        long file name = \"Quarterly report.doc\"\n    file added to list.\n"
             "    attribute added to list.\n" + checksumLine(t, 1) + kClosing;

    const MapiBlock b = MapiBlock().string8(PR_DISPLAY_NAME, QByteArray("Re: minutes", 12))
                            .object(PR_ATTACH_DATA_OBJ, QByteArray(40, 'm'));
    t = Tnef().data(embeddedPlaceholder()).attachment(b);
    QTest::newRow("attached message") << t.bytes()
        << head(t, 0) + "    attachment data length read Ok. Value = 0x00000059.\n"
           "    attachment data position read Ok. Value = 0x000000000000000f.\n"
           "    attachment is an attached TNEF file!!!\n    attachment data data read Ok.\n"
           "    attribute added to list.\n" + checksumLine(t, 0) + head(t, 1)
           + fmt("    attachment length read Ok. Value = 0x%08llx.\n", b.bytes().size())
           + fmt("    attachment position read Ok. Value = 0x%016llx.\n", t.dataPos(1))
           + "    number mapi properties = 2.\n    mapi property type = 0x001e.\n    mapi property def = 0x3001.\n"
             "        value count = 0x00000001.\n        value length = 0x0000000c.\n        value = "
           + QByteArray("Re: minutes\0\n", 13) + "    mapi property type = 0x000d.\n    mapi property def = 0x3701.\n"
             "        value count = 0x00000001.\n        value length = 0x00000038.\n"
           + fmt("        value position = 0x%016llx.\n", t.dataPos(1) + b.valueOffset(1))
           + "    attribute mapi results\n        object display name = \"Re: minutes\"\n"
             "    file added to list.\n    attribute added to list.\n" + checksumLine(t, 1) + kClosing;

    t = Tnef().mapiProps(MapiBlock().namedKind(2, le32(0)).longValue(0x8001, 1));
    QTest::newRow("failed block") << t.bytes()
        << head(t, 0) + "    number mapi properties = 1.\n    mapi property type = 0x0003.\n"
           "    mapi property def = 0x8001.\n        mapi named property type = 0x00000002.\n"
           "TNEF Trace Error -- unknown MAPI named property type.\n"
           "TNEF Trace Warning -- MAPI properties not read!\n    attribute data = 0x       1...\n"
           "    attribute added to list.\n" + checksumLine(t, 0) + kClosing;
}

void TestParse::wholeTrace()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, trace);
    ParseRun run(bytes);
    QCOMPARE(run.status, 0);
    // Compare from the first object on for the longer files; the opening
    // lines are the same for all.
    const qsizetype from = trace.startsWith("TNEF") ? 0 : run.trace.indexOf("object #1\n");
    QCOMPARE(run.trace.mid(from), trace);
}

void TestParse::pendingAttachmentIsClearedEachTime()
{
    // An attached message, then one without a title, then one whose title
    // comes before its rendering data: each takes only what is its own.
    const Tnef t = Tnef().title(QByteArray("m", 2)).data(embeddedPlaceholder())
                       .attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, "inner"))
                       .data("second").attachment(plainBlock())
                       .title(QByteArray("c.txt", 6)).renddata(1, 0, 0, 0, 0).data("third").attachment(plainBlock());
    ParseRun run(t.bytes());
    QCOMPARE(run.status, 0);
    QCOMPARE(int(run.files.size()), 3);
    QCOMPARE(run.files[0]->name, std::string("m"));
    QCOMPARE(run.files[0]->isTNEF, -1);
    QCOMPARE(run.files[0]->dataLength, 5u);
    QCOMPARE(run.files[1]->name, std::string());
    QCOMPARE(run.files[1]->isTNEF, 0);
    QCOMPARE(run.files[1]->dataPosition, t.dataPos(3));
    QCOMPARE(run.files[2]->name, std::string("c.txt"));
    QCOMPARE(run.files[2]->dataPosition, t.dataPos(7));
    for (quint32 i = 0; i < 3; ++i)
        QCOMPARE(run.files[i]->fileID, i + 1);

    // Either list may be left out; the other is built all the same.
    ForkFile file(t.bytes());
    TNEFFileItem *files = nullptr;
    TNEFAttributeItem *attributes = nullptr;
    QCOMPARE(TNEFParseFileList(file.ref(), &files, nullptr), 0);
    QCOMPARE(FSSetForkPosition(file.ref(), fsFromStart, 0), noErr);
    QCOMPARE(TNEFParseFileList(file.ref(), nullptr, &attributes), 0);
    int fileCount = 0, attributeCount = 0;
    for (TNEFFileItem *f = files; f; f = f->next)
        ++fileCount;
    for (TNEFAttributeItem *a = attributes; a; a = a->next)
        ++attributeCount;
    QCOMPARE(fileCount, 3);
    QCOMPARE(attributeCount, int(t.objects().size()));
    TNEFParseDestroy(&files, &attributes);
}

static QString summary(const ParseRun &run)
{
    QString s = QString::number(run.status);
    for (const TNEFFileItem *f : run.files)
        s += QStringLiteral("|f%1 %2 %3 %4 %5 %6").arg(f->fileID).arg(QString::fromStdString(f->name))
                 .arg(f->dataPosition).arg(f->dataLength).arg(f->namePosition).arg(f->isTNEF);
    for (const TNEFAttributeItem *a : run.attributes)
        s += QStringLiteral("|a%1 %2 %3 %4 %5").arg(a->objectID).arg(a->attribute).arg(a->position)
                 .arg(a->length).arg(a->text ? QString::fromStdString(*a->text) : QStringLiteral("-"));
    return s;
}

void TestParse::traceOffBuildsTheSameLists()
{
    const Tnef t = Tnef().codepage(1252).date(kDateSent, 2004, 3, 5, 9, 7, 2).message(attPriority, le16(1))
                       .mapiProps(MapiBlock().named(QStringLiteral("Ab")).longValue(0x8005, 42))
                       .renddata(1, 0, 0, 0, 0).title(QByteArray("a.txt", 6)).data("hello").attachment(plainBlock())
                       .data(embeddedPlaceholder())
                       .attachment(MapiBlock().string8(PR_DISPLAY_NAME, QByteArray("Re", 3)).object(PR_ATTACH_DATA_OBJ, "x"));
    ParseRun traced(t.bytes(), true);
    ParseRun quiet(t.bytes(), false);
    QCOMPARE(traced.status, 0);
    QCOMPARE(int(traced.files.size()), 2);
    QCOMPARE(summary(quiet), summary(traced));
}

void TestParse::readsTheFileOnce_data()
{
    QTest::addColumn<Tnef>("file");
    const QByteArray big(1 << 20, 'q');
    QTest::newRow("attAttachData") << Tnef().title(QByteArray("big.bin", 8)).data(big).attachment(plainBlock());
    QTest::newRow("data object") << Tnef().title(QByteArray("big.bin", 8))
                                        .attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, big));
    QTest::newRow("attached message") << Tnef().data(embeddedPlaceholder())
        .attachment(MapiBlock().string8(PR_DISPLAY_NAME, QByteArray("Re", 3)).object(PR_ATTACH_DATA_OBJ, big));
}

void TestParse::readsTheFileOnce()
{
    QFETCH(Tnef, file);
    qint64 requested = 0;
    UInt32 largest = 0;
    FSFileLayerHooks hooks;
    hooks.beforeRead = [&](SInt16, UInt32 count) {
        requested += count;
        largest = std::max(largest, count);
        return noErr;
    };
    FSSetFileLayerHooks(hooks);
    ParseRun run(file.bytes(), false);
    FSClearFileLayerHooks();
    QCOMPARE(run.status, 0);
    QCOMPARE(int(run.files.size()), 1);
    QVERIFY(run.files[0]->dataLength >= (1u << 20) - 16);
    // The names are read a second time; nothing else is, and no read is
    // larger than the scratch buffer.
    QVERIFY2(requested <= file.size() + 64,
             qPrintable(QStringLiteral("%1 bytes read of %2").arg(requested).arg(file.size())));
    QVERIFY2(largest <= 8000, qPrintable(QString::number(largest)));
}

QTEST_GUILESS_MAIN(TestParse)
#include "tst_parse.moc"
