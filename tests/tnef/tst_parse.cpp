// The TNEF stream parser: results and error lines, attribute texts and the
// window's previews and size texts of them, how an attachment's name and
// contents are found, the trace, and that the file is read once.
#include "TnefBuilder.h"
#include "tnef/TNEFText.h"

#include <QtTest>

using namespace tnefbuild;
Q_DECLARE_METATYPE(tnefbuild::Tnef)

namespace {

// An attachment block that names nothing and holds no contents.
MapiBlock plainBlock() { return MapiBlock().longValue(0x3705, 1); }

// Both lists, so that the untraced parse can be held against the traced one.
QString summary(const ParseRun &run)
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

// Each piece, to the byte, somewhere after the one before it.
void verifyTrace(const QByteArray &trace, const QByteArrayList &pieces)
{
    qsizetype from = 0;
    for (const QByteArray &piece : pieces) {
        from = trace.indexOf(piece, from);
        QVERIFY2(from >= 0, (piece + "\n---- not in ----\n" + trace).constData());
    }
}
}  // namespace

class TestParse : public QObject {
    Q_OBJECT
private slots:
    void results_data();
    void results();
    void attributeTexts_data();
    void attributeTexts();
    void sizeText();
    void attachments_data();
    void attachments();
    void readsTheFileOnce_data();
    void readsTheFileOnce();
};

void TestParse::results_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("lastLine");
    QTest::addColumn<int>("attributes");

    const Tnef two = Tnef().message(attTnefVersion, le32(0x10000)).message(attMessageClass, z0("IPM.Note"));
    const auto cut = [](quint8 level, quint32 attribute, quint32 length, const QByteArray &data) {
        return Tnef().raw(QByteArray(1, char(level)) + le32(attribute) + le32(length) + data).bytes();
    };
    const QByteArray e("TNEF Trace Error -- ");
    const QByteArray badType = e + QString::asprintf("invalid object type. File position = 0x%016llx.\n",
                                                     two.size() + 1).toUtf8();
    QTest::newRow("wrong signature") << Tnef(0, 0x12345678).message(attTnefVersion, le32(0x10000)).bytes() << -1
                                     << e + "wrong signature. Value = 12345678.\n" << 0;
    QTest::newRow("no key") << QByteArray("\x78\x9F\x3E\x22\x01") << -1 << e + e + "can't read attachment reference.\n" << 0;
    QTest::newRow("object type 3") << Tnef(two).raw("\x03" + QByteArray(12, '\0')).bytes() << -7 << badType << 2;
    QTest::newRow("data cut short") << cut(1, 0x00060001, 100, "abc") << -1 << e + "can't read attribute data.\n" << 0;
    QTest::newRow("attachment data cut short") << cut(2, attAttachData, 9000, QByteArray(8500, 'd')) << -1
                                               << e + "can't read attachment data data.\n" << 0;
    QTest::newRow("no checksum") << cut(1, attTnefVersion, 4, le32(1)) << -1 << e + "can't read attribute checksum.\n" << 1;
    // Line ends, blanks and zeros after the last checksum end the stream;
    // anything else there still does not.
    QTest::newRow("padding") << Tnef(two).raw(QByteArray("\r\n \t\0", 5)).bytes() << 0
        << QByteArray("0x02aa.\ntrailing padding length = 0x00000005.\n\n=================\nTNEF Trace -- end\n") << 2;
    QTest::newRow("text after padding") << Tnef(two).raw(QByteArray(9000, '\n') + "x").bytes() << -7 << badType << 2;
    QTest::newRow("padding before any object") << Tnef().raw("\n").bytes() << -7
        << e + "invalid object type. File position = 0x0000000000000007.\n" << 0;
    QTest::newRow("one object, wrong checksum accepted: the whole trace")
        << Tnef().object(1, attTnefVersion, le32(0x10000), 0xBEEF).bytes() << 0
        << QByteArray("TNEF Trace -- begin\n===================\nsignature = 0x223e9f78.\n"
                      "attachment reference key = 0x0000.\nobject #1\n    object type = 0x01.\n"
                      "    attribute type = 0x00009006.\n    attribute data format = 0x00080000.\n"
                      "    attribute length = 0x00000004.\n    attribute position = 0x000000000000000f.\n"
                      "    attribute data = 0x   10000...\n    attribute added to list.\n"
                      "    attribute checksum read Ok. Value = 0xbeef.\n\n=================\nTNEF Trace -- end\n")
        << 1;
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
    QCOMPARE(int(run.attributes.size()), attributes);
    QVERIFY(run.files.empty());
}

void TestParse::attributeTexts_data()
{
    QTest::addColumn<Tnef>("file");
    QTest::addColumn<QString>("text");  // null: the item has no text
    QTest::addColumn<QByteArray>("traceLine");
    QTest::addColumn<QString>("preview");  // null: the text, whole
    const QByteArray date = Tnef().date(attDateSent, 2004, 3, 5, 9, 7, 2, 5).bytes().mid(6).replace(5, 4, le32(0));
    QTest::newRow("date") << Tnef().date(attDateSent, 2004, 3, 5, 9, 7, 2, 5) << "3/5/2004 09:07:02"
                          << QByteArray("    date is 3/5/2004 09:07:02.\n") << QString();
    QTest::newRow("date whose length says 0") << Tnef().raw(date) << "3/5/2004 09:07:02" << QByteArray() << QString();
    QTest::newRow("priority 1") << Tnef().message(attPriority, le16(1)) << "High"
                                << QByteArray("    attribute data = 0x10...\n") << QString();
    const QByteArray rend("Type: File (1); Position: -1; Width: 0; Height: 0; Flags: 0");
    QTest::newRow("rendering data") << Tnef().renddata(1, 0xFFFFFFFF, 0, 0, 0) << QString::fromLatin1(rend)
                                    << "    date is " + rend + ".\n" << QString();
    QTest::newRow("message class") << Tnef().message(attMessageClass, z0("IPM.Note")) << QString()
                                   << QByteArray("    attribute data = 0x 0...\n") << "IPM.Note.";
    // Previews of raw values: at most 300 bytes, "..." past 150.
    const auto body = [](const QByteArray &value) { return Tnef().message(0x0002800C, value); };
    QByteArray alphabet;
    for (int i = 0; i < 1000; ++i)
        alphabet += char('A' + i % 26);
    QTest::newRow("150 bytes, whole, bytes outside 0x20..0x7F")
        << body(QByteArray("\x00\x09\x1F\x80\xFF\x20\x41\x7F", 8) + QByteArray(142, 'x')) << QString() << QByteArray()
        << "..... A\x7F" + QString(142, 'x');
    QTest::newRow("1000 bytes, first 300") << body(alphabet) << QString() << QByteArray()
                                           << QString::fromLatin1(alphabet.left(300)) + "...";
}

void TestParse::attributeTexts()
{
    QFETCH(Tnef, file);
    QFETCH(QString, text);
    QFETCH(QByteArray, traceLine);
    QFETCH(QString, preview);
    ParseRun run(file.bytes());
    QCOMPARE(run.status, 0);
    QCOMPARE(int(run.attributes.size()), 1);
    const auto &got = run.attributes[0]->text;
    QCOMPARE(got ? QString::fromStdString(*got) : QString(), text);
    verifyTrace(run.trace, {traceLine});
    ForkFile fork(file.bytes());
    QString shown;
    QCOMPARE(TNEFTextCreateValuePreview(run.attributes[0], fork.ref(), &shown), 0);
    QCOMPARE(shown, preview.isNull() ? text : preview);
}

void TestParse::sizeText()
{
    // Bytes up to 5 KB, then KB however large.
    QCOMPARE(TNEFTextCreateSizeText(5120), QStringLiteral("5120 bytes"));
    QCOMPARE(TNEFTextCreateSizeText(5121), QStringLiteral("5 KB"));
    QCOMPARE(TNEFTextCreateSizeText(5242880), QStringLiteral("5120 KB"));
}

void TestParse::attachments_data()
{
    QTest::addColumn<Tnef>("file");
    QTest::addColumn<QStringList>("files");  // "name = contents" each, "message" before an attached message
    QTest::addColumn<QByteArrayList>("trace");
    const auto row = [](const char *tag, const Tnef &t, const QStringList &files, const QByteArrayList &trace = {}) {
        QTest::newRow(tag) << t << files << trace;
    };
    const auto is = [](const QString &name, const QByteArray &contents) { return name + " = " + QString::fromLatin1(contents); };
    const QByteArray title = z0("report.doc");
    const QByteArray cs(1000, 'c');
    const QString report = is("report.doc", cs);
    const Tnef reportFile = Tnef().title(title).data(cs);
    const QByteArray ms(4984, 'm');
    row("attached message, unicode name", Tnef().title(title).data(embeddedPlaceholder()).attachment(
            MapiBlock().unicode(PR_DISPLAY_NAME, QStringLiteral("R\u00E9union")).object(PR_ATTACH_DATA_OBJ, ms)),
        {"message " + is(QStringLiteral("R\u00E9union"), ms)},
        {"    attachment is an attached TNEF file!!!\n", "        object display name = \"R\xC3\xA9union\"\n"});
    row("placeholder without its zero", Tnef().title(title).data(embeddedPlaceholder().left(88))
            .attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Re")).object(PR_ATTACH_DATA_OBJ, "x")),
        {is("report.doc", embeddedPlaceholder().left(88))});
    row("blocks cut by their bound or failed", Tnef().mapiProps(MapiBlock().longValue(0x0E08, 5).claimCount(3))
            .title(title).data(cs).attachment(MapiBlock().namedKind(2, le32(0)).longValue(0x8001, 1))
            .message(attTnefVersion, le32(0x10000)), {report},
        {"TNEF Trace Warning -- MAPI properties not read!\n    attribute data = 0x",
         "TNEF Trace Warning -- MAPI properties not read!\n    attachment data read Ok.\n    file added to list.\n",
         "object #5\n"});
    // Multi-valued properties are read as nothing and the block's reading
    // ends off its end; the stream must still go on after the attribute.
    row("multi-valued properties", Tnef().mapiProps(MapiBlock().multi(PT_BINARY, 0x0E30, {QByteArray(16, 'g')}))
            .title(z0("a.txt")).data("0123456789").attachment(MapiBlock().string8(PR_ATTACH_LONG_FILENAME, z0("long a.txt"))
            .multi(PT_LONG, 0x0E21, {le32(1), le32(2), le32(3)}).longValue(0x0E20, 10)).message(attTnefVersion, le32(0x10000)),
        {is("long a.txt", "0123456789")}, {"        value is multi value.\n", "object #5\n"});

    // Contents inside the block when no attAttachData came first.
    const QByteArray hs(100, 'h');
    row("object data object", Tnef().title(z0("o.bin")).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, hs)), {is("o.bin", hs)});
    row("object shorter than 16", Tnef().title(z0("s.bin")).attachment(MapiBlock()
            .counted(PT_OBJECT, PR_ATTACH_DATA_OBJ, {QByteArray(10, 's')})).message(attTnefVersion, le32(0x10000)),
        {is("s.bin", "")});
    row("attAttachData first wins", Tnef(reportFile).attachment(MapiBlock().binary(PR_ATTACH_DATA_OBJ, "zz")), {report});
    row("no contents anywhere: the block", Tnef().title(title).attachment(plainBlock()),
        {is("report.doc", plainBlock().bytes())});

    // 8-bit names in the code page the file declares, Windows-1252 without one.
    const QByteArray doc("d\xF6" "cument.pdf", 13);
    const QString docName = QStringLiteral("d\u00F6cument.pdf");
    row("unknown code page: Windows-1252", Tnef().codepage(0xDEAD).title(doc).data("x").attachment(plainBlock()),
        {is(docName, "x")});
    row("long name over the title, in the code page", Tnef().codepage(65001).renddata(1, 0xFFFFFFFF, 0, 0, 0).title(title)
            .data("x").attachment(MapiBlock().string8(PR_ATTACH_LONG_FILENAME, z0("d\xC3\xB6" "cument.pdf"))),
        {is(docName, "x")}, {"        long file name = \"" + docName.toUtf8() + "\"\n    file added to list.\n"});
    // Rendering data, title and data with no property block: kept as they
    // stand when the next group begins or the stream ends; a group with
    // neither title nor data is no attachment.
    row("groups without properties", Tnef().codepage(65001).renddata(1, 0, 0, 0, 0)
            .renddata(1, 0, 0, 0, 0).title(z0("d\xC3\xB6" "cument.pdf")).data("AAA")
            .renddata(1, 0, 0, 0, 0).title(z0("b.txt")).data("BBB").attachment(plainBlock())
            .renddata(1, 0, 0, 0, 0).data("CC"),
        {is(docName, "AAA"), is("b.txt", "BBB"), is("", "CC")},
        {"object #6\n", "    attachment without properties added to list.\n    date is Type: File (1)", "object #10\n",
         "    attachment data data read Ok.\n    attribute added to list.\n",
         "    attachment without properties added to list.\n\n=================\n"});
    // An attached message, then one without a title, then one whose title
    // comes before its rendering data: each takes only what is its own.
    row("each attachment its own", Tnef().title(z0("m")).data(embeddedPlaceholder())
            .attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, "inner"))
            .data("second").attachment(plainBlock())
            .title(z0("c.txt")).renddata(1, 0, 0, 0, 0).data("third").attachment(plainBlock()),
        {"message " + is("m", "inner"), is("", "second"), is("c.txt", "third")});
    // What ties an attachment to the HTML, in either string type, stays with
    // that attachment only.
    row("content id, location and type", Tnef().title(z0("logo.png")).data("P").attachment(MapiBlock()
            .string8(PR_ATTACH_CONTENT_ID, z0("logo@x")).unicode(PR_ATTACH_CONTENT_LOCATION, QStringLiteral("logo\u00E9.png"))
            .string8(PR_ATTACH_MIME_TAG, z0("image/png"))).title(z0("b.txt")).data("B").attachment(plainBlock()),
        {is("logo.png", "P") + QStringLiteral(" <logo@x|logo\u00E9.png|image/png>"), is("b.txt", "B")});
}

void TestParse::attachments()
{
    QFETCH(Tnef, file);
    QFETCH(QStringList, files);
    QFETCH(QByteArrayList, trace);
    ParseRun run(file.bytes());
    QCOMPARE(run.status, 0);
    verifyTrace(run.trace, trace);
    QCOMPARE(summary(ParseRun(file.bytes(), false)), summary(run));
    QStringList got;
    for (const TNEFFileItem *f : run.files) {
        QCOMPARE(f->fileID, UInt32(got.size() + 1));
        got << QStringLiteral("%1%2 = %3").arg(f->isTNEF ? "message " : "", QString::fromStdString(f->name),
                                              QString::fromLatin1(file.bytes().mid(f->dataPosition, f->dataLength)));
        if (!f->contentId.empty() || !f->contentLocation.empty() || !f->mimeTag.empty())
            got.last() += QStringLiteral(" <%1|%2|%3>").arg(QString::fromStdString(f->contentId),
                                                           QString::fromStdString(f->contentLocation),
                                                           QString::fromStdString(f->mimeTag));
    }
    QCOMPARE(got, files);
    // One attribute item per object, attAttachment included.
    QCOMPARE(int(run.attributes.size()), file.objectCount());
}

void TestParse::readsTheFileOnce_data()
{
    QTest::addColumn<Tnef>("file");
    const QByteArray big(1 << 20, 'q');
    QTest::newRow("attAttachData") << Tnef().title(z0("big.bin")).data(big).attachment(plainBlock());
    QTest::newRow("data object") << Tnef().title(z0("big.bin")).attachment(MapiBlock().object(PR_ATTACH_DATA_OBJ, big));
}

void TestParse::readsTheFileOnce()
{
    QFETCH(Tnef, file);
    qint64 requested = 0;
    UInt32 largest = 0;
    FSSetFileLayerHooks({[&](SInt16, UInt32 count) {
                             requested += count;
                             largest = std::max(largest, count);
                             return OSErr(noErr);
                         }, {}});
    ParseRun run(file.bytes(), false);
    FSClearFileLayerHooks();
    QCOMPARE(run.status, 0);
    QCOMPARE(int(run.files.size()), 1);
    QVERIFY(run.files[0]->dataLength >= (1u << 20) - 16);
    // The names are read a second time; nothing else is, and no read is
    // larger than the scratch buffer.
    QVERIFY2(requested <= file.size() + 64, qPrintable(QStringLiteral("%1 of %2").arg(requested).arg(file.size())));
    QVERIFY2(largest <= 8000, qPrintable(QString::number(largest)));
}

QTEST_GUILESS_MAIN(TestParse)
#include "tst_parse.moc"
