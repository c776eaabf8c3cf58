// parvane-cli unwrap on mails built here around TNEF documents, each output
// read back by Python's own mail parser.
#include "mail/MailTnefPart.h"

#include "ShellRun.h"
#include "TnefBuilder.h"

#include <QTemporaryDir>

#include <QtTest>

using namespace tnefbuild;
using namespace tnefprop;
using namespace Qt::StringLiterals;

namespace {

using Run = ShellRun;

// A bash script in `dir`, with the program in $CLI and the reader in $READ.
Run shell(const QString &dir, const QString &script)
{
    return RunShell(dir, script, {{QStringLiteral("READ"), QStringLiteral(PARVANE_READ_MAIL)}});
}

enum class Wrap { Mixed, Top, Signed, MixedCrlf };

GMimePart *leaf(const char *type, const char *subtype, const QByteArray &bytes, const char *name = nullptr)
{
    GMimePart *part = g_mime_part_new_with_type(type, subtype);
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
    GMimeDataWrapper *content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(part, content);
    g_object_unref(content);
    g_object_unref(stream);
    g_mime_part_set_content_encoding(part, name ? GMIME_CONTENT_ENCODING_BASE64 : GMIME_CONTENT_ENCODING_7BIT);
    if (name)
        g_mime_part_set_filename(part, name);
    return part;
}

void add(GMimeMultipart *multipart, GMimePart *part)
{
    g_mime_multipart_add(multipart, GMIME_OBJECT(part));
    g_object_unref(part);
}

// A mail from a sender's program: a note and the TNEF part beside it, the
// TNEF part alone, or both under a signature.
QByteArray mailAround(const QByteArray &tnef, Wrap wrap)
{
    MailInit();
    GMimeMessage *message = g_mime_message_new(TRUE);
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, "Ann", "ann@example.org");
    g_mime_message_set_subject(message, "Report", nullptr);
    GMimePart *tnefPart = leaf("application", "ms-tnef", tnef, "winmail.dat");
    GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
    add(mixed, leaf("text", "plain", "See the attachments.\n"));
    add(mixed, tnefPart);
    GMimeObject *top = GMIME_OBJECT(mixed);
    if (wrap == Wrap::Top) {
        top = GMIME_OBJECT(g_object_ref(tnefPart));
        g_object_unref(mixed);
    } else if (wrap == Wrap::Signed) {
        GMimeMultipart *signedPart = g_mime_multipart_new_with_subtype("signed");
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(signedPart), "protocol", "application/pgp-signature");
        g_mime_multipart_add(signedPart, top);
        g_object_unref(top);
        add(signedPart, leaf("application", "pgp-signature", "sig", "signature.asc"));
        top = GMIME_OBJECT(signedPart);
    }
    g_mime_message_set_mime_part(message, top);
    g_object_unref(top);
    GMimeStream *out = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, out);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    QByteArray mail(reinterpret_cast<const char *>(bytes->data), int(bytes->len));
    if (wrap == Wrap::MixedCrlf)
        mail.replace("\n", "\r\n");
    g_object_unref(out);
    g_object_unref(message);
    return mail;
}

QByteArray sha(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

Tnef file(Tnef tnef, const QByteArray &name, const QByteArray &data, MapiBlock props = MapiBlock())
{
    return tnef.title(z0(name.constData())).data(data).attachment(props);
}

} // namespace

class TestMailUnwrap : public QObject {
    Q_OBJECT
private slots:
    void unwrap_data();
    void unwrap();
    void corpus_data();
    void corpus();
    void unchanged_data();
    void unchanged();
    void exitCodes_data();
    void exitCodes();
    void mailboxes();
};

void TestMailUnwrap::unwrap_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<int>("wrap");
    QTest::addColumn<QStringList>("parts");  // Python's view: nesting, type, name, method, Content-ID
    QTest::addColumn<QString>("header");

    const QByteArray twoFiles = file(file(Tnef(), "a.txt", "alpha"), "resume.pdf", "%PDF",
        MapiBlock().unicode(PR_ATTACH_LONG_FILENAME, u"R\u00E9sum\u00E9 \u00FC.pdf"_s)).bytes();
    const QStringList twoParts{"  multipart/mixed", "    text/plain\ta.txt\t\t\t" + sha("alpha"),
                               "    application/pdf\tR\u00E9sum\u00E9 \u00FC.pdf\t\t\t" + sha("%PDF")};
    QTest::newRow("beside a note, non-ASCII name") << twoFiles << int(Wrap::Mixed)
        << QStringList{"multipart/mixed", "  text/plain\t\t\t\t" + sha("See the attachments.\n")} + twoParts << "";
    QTest::newRow("CRLF") << twoFiles << int(Wrap::MixedCrlf)
        << QStringList{"multipart/mixed", "  text/plain\t\t\t\t" + sha("See the attachments.\n")} + twoParts << "";
    QStringList top = twoParts;
    for (QString &line : top)
        line.remove(0, 2);
    QTest::newRow("the whole mail") << twoFiles << int(Wrap::Top) << top << "";
    QTest::newRow("under a signature") << twoFiles << int(Wrap::Signed)
        << QStringList{"multipart/signed", "  multipart/mixed", "    text/plain\t\t\t\t" + sha("See the attachments.\n"),
                       "    application/ms-tnef\twinmail.dat\t\t\t" + sha(twoFiles),
                       "  application/pgp-signature\tsignature.asc\t\t\t" + sha("sig")}
        << "TNEF part 1 left alone: it is inside a signed or encrypted part";
    const QByteArray damaged = twoFiles.left(40);
    QTest::newRow("damaged") << damaged << int(Wrap::Top) << QStringList{"application/ms-tnef\twinmail.dat\t\t\t" + sha(damaged)}
        << "TNEF part 1 kept: it does not parse as a TNEF document (parser code -1)";

    // Stored as a header writes it, referred to with the domain in another case.
    const QByteArray html = "<p>Hi<img src=\"cid:logo@x\"></p>";
    const QByteArray pictured = file(file(Tnef().mapiProps(MapiBlock().unicode(PR_BODY, "Hi").binary(PR_BODY_HTML, html)),
        "logo", "PNG", MapiBlock().string8(PR_ATTACH_CONTENT_ID, z0("<logo@X>")).string8(PR_ATTACH_MIME_TAG, z0("image/png"))),
        "other.png", "PNG2", MapiBlock().string8(PR_ATTACH_CONTENT_ID, z0("other@x"))).bytes();
    QTest::newRow("picture shown by cid:") << pictured << int(Wrap::Top)
        << QStringList{"multipart/mixed", "  multipart/alternative", "    text/plain\t\t\t\t" + sha("Hi"),
                       "    multipart/related", "      text/html\t\t\t\t" + sha(html),
                       "      image/png\tlogo\t\tlogo@X\t" + sha("PNG"), "  image/png\tother.png\t\t\t" + sha("PNG2")}
        << "";

    const QByteArray meeting = Tnef().message(attMessageClass, z0("IPM.Schedule.Meeting.Request")).message(attSubject, z0("Sync"))
        .mapiProps(MapiBlock().named(propertySet(PropSet::Appointment), PidLidAppointmentStartWhole).systime(0x8000, 133540308000000000ULL)
            .named(propertySet(PropSet::Appointment), PidLidAppointmentEndWhole).systime(0x8000, 133540344000000000ULL)).bytes();
    QTest::newRow("meeting") << meeting << int(Wrap::Top) << QStringList{"multipart/mixed", "  text/calendar\tSync.ics\tREQUEST\t"} << "";

    const QByteArray inner = file(Tnef().message(attSubject, z0("Inner")), "in.txt", "inside").bytes();
    const QByteArray outer = Tnef().title(z0("Fwd")).data(embeddedPlaceholder())
        .attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Fwd")).object(PR_ATTACH_DATA_OBJ, inner)).bytes();
    QTest::newRow("attached message") << outer << int(Wrap::Top)
        << QStringList{"multipart/mixed", "  message/rfc822\tFwd.eml", "    multipart/mixed",
                       "      text/plain\tin.txt\t\t\t" + sha("inside")} << "";
}

void TestMailUnwrap::unwrap()
{
    QFETCH(QByteArray, tnef);
    QFETCH(int, wrap);
    QFETCH(QStringList, parts);
    QFETCH(QString, header);
    QTemporaryDir dir;
    const QByteArray mail = mailAround(tnef, Wrap(wrap));
    QVERIFY(writeFile(dir.filePath("in.eml"), mail));
    const Run run = shell(dir.path(), "$CLI unwrap in.eml > out.eml && python3 $READ out.eml");
    QCOMPARE(run.exitCode, 0);
    QStringList got = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(got.takeLast(), "header\t" + header);
    // A calendar's bytes are checked where they are made.
    if (got.size() == 2 && got[1].startsWith("  text/calendar"))
        got[1].truncate(got[1].lastIndexOf('\t'));
    QCOMPARE(got, parts);
    const QByteArray out = readFile(dir.filePath("out.eml"));
    QCOMPARE(out.contains("filename*=UTF-8''"), parts.join(' ').contains(u'\u00E9'));
    // Lines end as the mail's did, and its own headers stay as they were,
    // byte for byte, when its top part stays.
    const bool crlf = Wrap(wrap) == Wrap::MixedCrlf;
    QCOMPARE(out.count("\r\n"), crlf ? out.count('\n') : 0);
    const QByteArray end = crlf ? "\r\n\r\n" : "\n\n";
    if (Wrap(wrap) != Wrap::Top) {
        static const QRegularExpression added(u"X-Parvane-Unwrap:[^\n]*\n( [^\n]*\n)*"_s);
        QCOMPARE(QString::fromLatin1(out.left(out.indexOf(end))).remove(added), QString::fromLatin1(mail.left(mail.indexOf(end))));
    }
}

// Every attachment of the real files comes out with the bytes extraction gives.
void TestMailUnwrap::corpus_data()
{
    QTest::addColumn<QStringList>("hashes");
    if (!corpusAvailable())
        QSKIP("no corpus");
    QMap<QString, QStringList> hashes;
    for (const QStringList &row : corpusRows("expected-attachments.tsv")) {
        if (row.value(2) == "0")
            hashes[row[0]] << row[4];
    }
    for (auto it = hashes.begin(); it != hashes.end(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.value();
}

void TestMailUnwrap::corpus()
{
    QFETCH(QStringList, hashes);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.eml"), mailAround(readFile(corpusDir() + '/' + QTest::currentDataTag()), Wrap::Mixed)));
    const Run run = shell(dir.path(), "$CLI unwrap < in.eml > out.eml && python3 $READ out.eml");
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.out.contains("ms-tnef"));
    for (const QString &hash : hashes)
        QVERIFY2(run.out.contains(hash.toLatin1()), qPrintable(hash));
}

void TestMailUnwrap::unchanged_data()
{
    QTest::addColumn<QByteArray>("mail");
    QTest::newRow("plain, CRLF, no final line end") << QByteArray("From: a\r\nSubject: x\r\n\r\nbody\r\n>From here");
    QTest::newRow("multipart with a PDF") << QByteArray("From: a\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
        "pre\n--b\nContent-Type: text/plain\n\nhi\n--b\nContent-Type:application/octet-stream;name=x.pdf\n"
        "Content-Transfer-Encoding: base64\n\nJVBERg==\n--b--\nepilogue");
}

void TestMailUnwrap::unchanged()
{
    QFETCH(QByteArray, mail);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.eml"), mail));
    const Run run = shell(dir.path(), "cat in.eml | $CLI unwrap");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, mail);
}

void TestMailUnwrap::exitCodes_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("left");  // what the folder holds afterwards
    QTest::newRow("not a mail") << "printf '\\x78\\x9f\\x3e\\x22' | $CLI unwrap" << 65 << "in.eml";
    QTest::newRow("full disk") << "$CLI unwrap in.eml > /dev/full" << 75 << "in.eml";
    QTest::newRow("no such file") << "$CLI unwrap nothing.eml" << 66 << "in.eml";
    QTest::newRow("unknown option") << "$CLI unwrap -x in.eml" << 64 << "in.eml";
    QTest::newRow("-o in no folder") << "$CLI unwrap -o none/out.eml in.eml" << 73 << "in.eml";
    QTest::newRow("-o past a size limit") << "ulimit -f 1; $CLI unwrap -o out.eml in.eml" << 75 << "in.eml";
    QTest::newRow("-o") << "$CLI unwrap -o out.eml in.eml" << 0 << "in.eml out.eml";
}

void TestMailUnwrap::exitCodes()
{
    QFETCH(QString, script);
    QFETCH(int, status);
    QFETCH(QString, left);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("in.eml"), mailAround(file(Tnef(), "a.bin", QByteArray(4000, 'a')).bytes(), Wrap::Top)));
    QCOMPARE(shell(dir.path(), script).exitCode, status);
    QCOMPARE(listing(dir.path()).join(' '), left);
}

// A mailbox is fixed in place: the mails that change and only those, each
// "From " line as it was; a failed write leaves it as it was.
void TestMailUnwrap::mailboxes()
{
    QTemporaryDir dir;
    // Large enough that the mailbox is read in several pieces, and that a
    // limit of 40 KiB stops the writing after the first mail was fixed.
    const QByteArray tnef = file(Tnef(), "a.bin", QByteArray(20000, 'a')).bytes();
    const QByteArray tnefMail = mailAround(tnef, Wrap::Mixed);
    const QByteArray plain = "From: b\nSubject: plain\n\nhello\n>From quoted\n";
    const QByteArray mbox = "From a@x Mon Jan  1 00:00:00 2024\n" + mailAround(tnef, Wrap::Top) + "\nFrom b@x Mon Jan  1 00:00:01 2024\n"
        + plain + "\nFrom c@x Mon Jan  1 00:00:02 2024\n" + tnefMail;
    QVERIFY(writeFile(dir.filePath("box"), mbox));
    Run run = shell(dir.path(), "ulimit -f 40; $CLI unwrap --mbox box");
    QCOMPARE(run.exitCode, 75);
    QCOMPARE(readFile(dir.filePath("box")), mbox);
    QCOMPARE(listing(dir.path()), QStringList{"box"});
    run = shell(dir.path(), "$CLI unwrap -v --mbox box && grep -c ms-tnef box; grep '^>*From ' box");
    QCOMPARE(run.err, "parvane-cli: box: 2 of 3 mails fixed\n");
    QCOMPARE(run.out, "0\nFrom a@x Mon Jan  1 00:00:00 2024\nFrom b@x Mon Jan  1 00:00:01 2024\n>From quoted\n"
                      "From c@x Mon Jan  1 00:00:02 2024\n");
    QVERIFY(readFile(dir.filePath("box")).contains("\n\nFrom b@x Mon Jan  1 00:00:01 2024\n" + plain + "\nFrom c@x"));

    for (const char *sub : {"md/cur", "md/new", "md/tmp"})
        QVERIFY(QDir(dir.path()).mkpath(sub));
    QVERIFY(writeFile(dir.filePath("md/cur/1.host:2,S"), tnefMail));
    QVERIFY(writeFile(dir.filePath("md/new/2.host"), plain));
    const Run before = shell(dir.path(), "stat -c %i md/new/2.host md/cur/*");
    run = shell(dir.path(), "$CLI unwrap -v --maildir md && cat md/cur/* | grep -c ms-tnef; ls md/*; stat -c %i md/new/2.host md/cur/*");
    QCOMPARE(run.err, "parvane-cli: md: 1 of 2 mails fixed\n");
    QVERIFY2(run.out.startsWith("0\nmd/cur:\n1.host:2,S\n\nmd/new:\n2.host\n\nmd/tmp:\n"), run.out.constData());
    // Only the mail that changed is a new file.
    const QList<QByteArray> was = before.out.split('\n'), now = run.out.split('\n');
    QCOMPARE(now[now.size() - 3], was[0]);
    QVERIFY(now[now.size() - 2] != was[1]);
}

QTEST_GUILESS_MAIN(TestMailUnwrap)
#include "tst_mail_unwrap.moc"
