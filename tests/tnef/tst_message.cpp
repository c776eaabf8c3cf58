// The message model: headers from properties or attributes, each body as
// bytes, and attached messages as documents.
#include "TnefBuilder.h"
#include "platform/FSFolder.h"
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFProps.h"

#include <QtTest>

using namespace tnefbuild;
using namespace tnefprop;

namespace {

constexpr quint64 kFileTime2000 = 0x01BF53EB256D4000ULL;  // 2000-01-01 00:00:00 UTC
const QByteArray kRun = QByteArray::fromHex("1a0000001c0000004c5a4675e2d44b51410004205758595a0d6e7d010eb0");

QByteArray withProps(const MapiBlock &block, quint32 codePage = 1252)
{
    return Tnef().codepage(codePage).mapiProps(block).bytes();
}

// attFrom: id, sizes, name, address and an empty closing entry.
QByteArray triple(const QByteArray &name, const QByteArray &address)
{
    return le16(4) + le16(quint16(16 + name.size() + address.size())) + le16(quint16(name.size()))
        + le16(quint16(address.size())) + name + address + QByteArray(8, '\0');
}

// A file on disk opened, parsed with its message places and its message read.
struct Document {
    explicit Document(const QByteArray &bytes)
    {
        writeFile(dir.filePath("m.tnef"), bytes);
        OSErr err = noErr;
        load(TNEFFileOpen(dir.filePath("m.tnef"), &err));
    }
    explicit Document(TNEFFile *opened) { load(opened); }
    ~Document() { TNEFFileDestroy(file); }
    void load(TNEFFile *opened)
    {
        file = opened;
        if (!file)
            return;
        status = TNEFParseFileList(file->forkRefNum, &file->fileList, nullptr, &file->messagePlaces);
        readStatus = TNEFMessageRead(file->forkRefNum, file->messagePlaces, &message);
    }
    QTemporaryDir dir;
    TNEFFile *file = nullptr;
    SInt32 status = -99, readStatus = -99;
    TNEFMessage message;
};

QStringList summary(const TNEFMessage &m)
{
    QStringList lines{"subject " + m.subject, "from " + TNEFRecipientText(m.senderName, m.senderAddress)};
    for (const TNEFRecipient &r : m.recipients)
        lines << QStringLiteral("rcpt%1 ").arg(r.type) + TNEFRecipientText(r.name, r.address);
    lines << "sent " + m.sent.toString(Qt::ISODate) << "received " + m.received.toString(Qt::ISODate)
          << "class " + m.messageClass << QStringLiteral("importance %1").arg(m.importance);
    return lines;
}

}  // namespace

class TestMessage : public QObject {
    Q_OBJECT
private slots:
    void headers_data();
    void headers();
    void bodies_data();
    void bodies();
    void attachedMessage();
};

void TestMessage::headers_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QStringList>("expected");

    // Types the stream parse passes by come first: every later value must
    // still be found where it is.
    const MapiBlock props = MapiBlock()
        .fixed(0x0014, 0x6000, le64(5)).fixed(0x0048, 0x6001, QByteArray(16, 'g'))
        .multi(PT_LONG, 0x6002, {le32(1), le32(2)}).multi(PT_SHORT, 0x6003, {le16(1)})
        .multi(PT_STRING8, 0x6004, {z0("a"), z0("bc")}).named(QStringLiteral("Keywords")).multi(PT_UNICODE, 0x8001, {utf16z("k")})
        .unicode(PR_SUBJECT, QStringLiteral("Grüße")).string8(PR_SENT_REPRESENTING_NAME, z0("Ann"))
        .string8(PR_SENT_REPRESENTING_SMTP_ADDRESS, z0("ann@x.org")).string8(PR_SENDER_NAME, z0("Bob"))
        .string8(PR_DISPLAY_TO, z0("Carl; Dora")).string8(PR_DISPLAY_CC, z0("Eve"))
        .systime(PR_CLIENT_SUBMIT_TIME, kFileTime2000).systime(PR_MESSAGE_DELIVERY_TIME, kFileTime2000 + 600000000)
        .string8(PR_MESSAGE_CLASS, z0("IPM.Note")).longValue(PR_IMPORTANCE, 2);
    QTest::newRow("properties") << Tnef().codepage(1252).message(attFrom, triple(z0("Other"), z0("SMTP:o@x.org")))
                                       .mapiProps(props).bytes()
                                << QStringList{"subject Grüße", "from Ann <ann@x.org>", "rcpt1 Carl", "rcpt1 Dora",
                                               "rcpt2 Eve", "sent 2000-01-01T00:00:00Z",
                                               "received 2000-01-01T00:01:00Z", "class IPM.Note", "importance 2"};
    QTest::newRow("attributes") << Tnef().message(attSubject, z0("Old subject"))
                                       .message(attFrom, triple(z0("Martin"), z0("SMTP:m@x.org")))
                                       .date(attDateSent, 2004, 3, 5, 9, 7, 2).date(attDateRecd, 2004, 3, 5, 9, 8, 0)
                                       .message(attMessageClass, z0("IPM.Appointment")).message(attPriority, le16(3))
                                       .bytes()
                                << QStringList{"subject Old subject", "from Martin <m@x.org>", "sent 2004-03-05T09:07:02Z",
                                               "received 2004-03-05T09:08:00Z", "class IPM.Appointment", "importance 0"};
    const QByteArray table = le32(2)
        + MapiBlock().longValue(0x0C15, 1).string8(PR_DISPLAY_NAME, z0("Carl")).string8(0x39FE, z0("carl@x.org")).bytes()
        + MapiBlock().longValue(0x0C15, 2).unicode(PR_DISPLAY_NAME, QStringLiteral("Dora")).string8(0x3003, z0("d@x.org")).bytes();
    QTest::newRow("recipient table over display names")
        << Tnef().message(attRecipTable, table).mapiProps(MapiBlock().string8(PR_DISPLAY_TO, z0("Ignored"))
                                                              .string8(PR_SENDER_EMAIL_ADDRESS, z0("s@x.org"))).bytes()
        << QStringList{"subject ", "from s@x.org", "rcpt1 Carl <carl@x.org>", "rcpt2 Dora <d@x.org>", "sent ", "received ",
                       "class ", "importance -1"};
    QTest::newRow("8-bit texts in the file's code page, kept when the block then breaks")
        << withProps(MapiBlock().string8(PR_SUBJECT, z0("\xcf\xf0\xe8\xe2\xe5\xf2")).fixed(0x0099, 0x6000, le32(1))
                         .string8(PR_MESSAGE_CLASS, z0("Lost")), 1251)
        << QStringList{"subject Привет", "from ", "sent ", "received ", "class ", "importance -1"};
}

void TestMessage::headers()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QStringList, expected);
    Document doc(tnef);
    QCOMPARE(doc.status, 0);
    // Reading the message again adds nothing to the parse trace.
    QCOMPARE(traceOf([&] { QCOMPARE(TNEFMessageRead(doc.file->forkRefNum, doc.file->messagePlaces, &doc.message), 0); }),
             QByteArray());
    QCOMPARE(summary(doc.message), expected);
}

void TestMessage::bodies_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<int>("kind");  // a TNEFBodyKind, or -1 the text, -2 the HTML, -3 the preferred body
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("charset");
    // The real files' stored RTF and HTML, and the HTML their RTF carries,
    // are parvane-cli's extraction tests'; these rows the other ways to each body.
    const int text = int(TNEFBodyKind::Text), html = int(TNEFBodyKind::Html);

    QTest::newRow("unicode text") << withProps(MapiBlock().unicode(PR_BODY, QStringLiteral("Hé\r\n"))) << text << 0
                                  << QByteArray("H\xc3\xa9\r\n") << QByteArray("UTF-8");
    QTest::newRow("8-bit text") << withProps(MapiBlock().string8(PR_BODY, z0("\xc3\xa9t\xc3\xa9")), 65001) << text << 0
                                << QByteArray("\xc3\xa9t\xc3\xa9") << QByteArray("UTF-8");
    QTest::newRow("attBody in the file's code page") << Tnef().codepage(1251).message(attBody, "\xcf\xf0\xe8").bytes() << text
                                                     << 0 << QByteArray("\xd0\x9f\xd1\x80\xd0\xb8") << QByteArray("UTF-8");
    const QByteArray page = "<html><head><meta charset=\"iso-8859-2\"></head><body>\xb1</body></html>";
    QTest::newRow("stored HTML as it is") << withProps(MapiBlock().binary(PR_BODY_HTML, page)) << html << 0 << page
                                          << QByteArray("iso-8859-2");
    QTest::newRow("8-bit HTML without its zero") << withProps(MapiBlock().string8(PR_BODY_HTML, z0("<p>x</p>"))) << html
                                                 << 0 << QByteArray("<p>x</p>") << QByteArray();
    const QByteArray rtf("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 {\\*\\htmltag19 <html>}{\\*\\htmltag0 <meta "
                         "content=\"text/html; charset=windows-1252\">}caf\\'e9{\\*\\htmltag27 </html>}}");
    const auto mela = [](const QByteArray &rtf) { return le32(quint32(rtf.size() + 12)) + le32(quint32(rtf.size())) + "MELA" + le32(0) + rtf; };
    const QByteArray fromHtml = mela(rtf);
    QTest::newRow("HTML recovered, declared as UTF-8")
        << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, fromHtml)) << -2 << 0
        << QByteArray("<html><meta content=\"text/html; charset=utf-8\">caf\xc3\xa9</html>") << QByteArray("UTF-8");
    QTest::newRow("stored HTML first, UTF-16 made UTF-8")
        << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, fromHtml).unicode(PR_BODY_HTML, QStringLiteral("<b>é")))
        << -2 << 0 << QByteArray("<b>\xc3\xa9") << QByteArray("UTF-8");
    // An RTF written as RTF is made into a page; one made from text is not.
    QTest::newRow("HTML made from RTF")
        << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, mela("{\\rtf1\\ansi {\\b x}}"))) << -2 << 0
        << QByteArray("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body style=\"white-space:pre-wrap\"><div>"
                      "<span style=\"font-weight:bold\">x</span></div></body></html>") << QByteArray("UTF-8");
    QTest::newRow("no HTML from RTF made from text")
        << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, mela("{\\rtf1\\ansi\\fromtext x}"))) << -2
        << int(kTNEFMessageErrNoBody) << QByteArray() << QByteArray();
    QTest::newRow("text from RTF") << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, kRun)) << -1 << 0
                                   << QByteArray("WXYZWXYZWXYZWXYZWXYZ") << QByteArray("UTF-8");
    QTest::newRow("text from HTML") << withProps(MapiBlock().binary(PR_BODY_HTML, "<head><title>T</title></head>"
                                                                                  "<p>a&amp;b</p><p>c&#233;<br>d</p>"))
                                    << -1 << 0 << QByteArray("a&b\r\n\r\nc\xc3\xa9\r\nd\r\n") << QByteArray("UTF-8");
    // Every named reference, the old ones without ';' too (longest first),
    // and numeric ones as HTML reads them.
    QTest::newRow("character references")
        << withProps(MapiBlock().binary(PR_BODY_HTML, "<p>Caf&eacute; &rsquo;q&rsquo; &notit; &notin; &amp &ampx "
                                                      "&NotNestedGreaterGreater; &#x80;&#150;&#129;&#65 &#0;&#x110000;&#xD800; "
                                                      "&#x; &bogus; &</p>"))
        << -1 << 0 << QString::fromUtf8("Café ’q’ ¬it; ∉ & &x ⪢̸ €–\u0081A \uFFFD\uFFFD\uFFFD &#x; &bogus; &\r\n").toUtf8()
        << QByteArray("UTF-8");
    // Hostile pages: each '&' without ';', '<meta' without '>' and
    // declaration to rewrite once made a search to the end of the page.
    const QByteArray amps = QByteArray("&a").repeated(1000000);
    QTest::newRow("a million '&' without ';'") << withProps(MapiBlock().binary(PR_BODY_HTML, amps)) << -1 << 0
                                               << amps + "\r\n" << QByteArray("UTF-8");
    const QByteArray metas = QByteArray("<meta ").repeated(600000);
    QTest::newRow("unclosed <meta>s") << withProps(MapiBlock().binary(PR_BODY_HTML, metas)) << html << 0 << metas
                                      << QByteArray();
    const QByteArray declared = "{\\rtf1\\ansi\\fromhtml1 " + QByteArray("<meta charset=x>").repeated(600000) + "}";
    QTest::newRow("many declarations made UTF-8")
        << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, mela(declared)))
        << -2 << 0 << QByteArray("<meta charset=utf-8>").repeated(600000) << QByteArray("UTF-8");
    QTest::newRow("RTF preferred to text") << withProps(MapiBlock().binary(PR_RTF_COMPRESSED, kRun).unicode(PR_BODY, "t"))
                                           << -3 << 0 << QByteArray("{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}") << QByteArray();
    QTest::newRow("no body") << Tnef().message(attSubject, z0("s")).bytes() << -3 << int(kTNEFMessageErrNoBody)
                             << QByteArray() << QByteArray();
}

void TestMessage::bodies()
{
    QFETCH(QByteArray, tnef);
    QFETCH(int, kind);
    QFETCH(int, status);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, charset);
    Document doc(tnef);
    QCOMPARE(doc.readStatus, 0);
    TNEFBody body;
    const SInt16 fork = doc.file->forkRefNum;
    const SInt32 got = kind == -1 ? TNEFMessageGetText(fork, doc.message, &body)
        : kind == -2              ? TNEFMessageGetHtml(fork, doc.message, &body)
        : kind == -3              ? TNEFMessageGetPreferredBody(fork, doc.message, &body)
                                  : TNEFMessageGetBody(fork, doc.message, TNEFBodyKind(kind), &body);
    QCOMPARE(got, status);
    QCOMPARE(body.bytes, bytes);
    QCOMPARE(body.charset, charset);
}

void TestMessage::attachedMessage()
{
    // A message inside a message inside the file: each opens from its place.
    const QByteArray inner = Tnef().message(attSubject, z0("Innermost")).bytes();
    const auto wrap = [](const QByteArray &message, const char *subject) {
        return Tnef().message(attSubject, z0(subject)).data(embeddedPlaceholder())
            .attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Fwd")).object(PR_ATTACH_DATA_OBJ, message))
            .title("plain.txt").data("text").attachment(MapiBlock()).bytes();
    };
    Document outer(wrap(wrap(inner, "Middle"), "Outer"));
    QCOMPARE(outer.message.subject, QStringLiteral("Outer"));
    const int files = FSOpenForkCount();
    OSErr err = noErr;
    QVERIFY(!TNEFFileOpenAttached(outer.file, 2, &err));  // not an attached message
    QCOMPARE(err, OSErr(paramErr));
    QCOMPARE(FSOpenForkCount(), files);
    Document middle(TNEFFileOpenAttached(outer.file, 1, &err));
    QVERIFY(middle.file);
    QCOMPARE(middle.file->fileName, QStringLiteral("Fwd"));
    QCOMPARE(middle.status, 0);  // the stream ends exactly where the attachment does
    QCOMPARE(middle.message.subject, QStringLiteral("Middle"));
    // The attached document's names and bytes are its own, not the outer
    // file's at the same positions, both through a read and a copy.
    const TNEFFileItem *plain = middle.file->fileList.head;
    while (plain && plain->isTNEF)
        plain = plain->next;
    QVERIFY(plain);
    QCOMPARE(plain->name, std::string("plain.txt"));
    FSFolder folder;
    QCOMPARE(folder.open(middle.dir.path()), OSErr(noErr));
    QCOMPARE(TNEFFileSaveItem(middle.file, plain, folder, QStringLiteral("out.txt"), false), 0);
    QCOMPARE(readFile(middle.dir.filePath("out.txt")), QByteArray("text"));
    Document innermost(TNEFFileOpenAttached(middle.file, 1, &err));
    QCOMPARE(innermost.status, 0);
    QCOMPARE(innermost.message.subject, QStringLiteral("Innermost"));
}

QTEST_GUILESS_MAIN(TestMessage)
#include "tst_message.moc"
