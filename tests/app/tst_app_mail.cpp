// Mails opened in the application: each TNEF part a window, the mail's
// headers where the part has none, and what the user is told of a mail
// without one.
// GMime's headers come before Qt's, whose keywords they use as names.
#include "mail/MailTnefPart.h"

#include "AppFixture.h"
#include "app/TNEFApp.h"
#include "platform/FileManager.h"
#include "platform/UserNotify.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

using namespace tnefbuild;

// The TNEF attachment every mail here carries: a body, without a subject or
// sender unless given one.
QByteArray tnefBytes(const char *subject = nullptr)
{
    Tnef tnef;
    if (subject)
        tnef.message(attSubject, z0(subject));
    return tnef.mapiProps(MapiBlock().unicode(0x1000, "Hi from TNEF\r\n")).bytes();
}

GMimeObject *part(const char *subtype, const QByteArray &bytes, GMimeContentEncoding encoding,
                  const char *name = nullptr)
{
    GMimePart *part = g_mime_part_new_with_type("application", subtype);
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
    GMimeDataWrapper *content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(part, content);
    g_mime_part_set_content_encoding(part, encoding);
    if (name)
        g_mime_part_set_filename(part, name);
    g_object_unref(content);
    g_object_unref(stream);
    return GMIME_OBJECT(part);
}

// A mail from Zoë to Tom of 6 May 2024 whose multipart holds `parts` (taken).
GMimeMessage *message(const char *subject, const QList<GMimeObject *> &parts)
{
    GMimeMessage *message = g_mime_message_new(TRUE);
    g_mime_message_set_subject(message, subject, "utf-8");
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, "Zoë Sender", "zoe@example.org");
    g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_TO, nullptr, "tom@example.org");
    GDateTime *date = g_date_time_new_utc(2024, 5, 6, 7, 8, 9);
    g_mime_message_set_date(message, date);
    g_date_time_unref(date);
    GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
    for (GMimeObject *p : parts) {
        g_mime_multipart_add(mixed, p);
        g_object_unref(p);
    }
    g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
    g_object_unref(mixed);
    return message;
}

// The mail's bytes; the mail is released.
QByteArray mailBytes(GMimeMessage *message)
{
    GMimeStream *stream = g_mime_stream_mem_new();
    g_mime_object_write_to_stream(GMIME_OBJECT(message), nullptr, stream);
    const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    const QByteArray result(reinterpret_cast<const char *>(bytes->data), int(bytes->len));
    g_object_unref(stream);
    g_object_unref(message);
    return result;
}

} // namespace

class TestAppMail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mailsOpen_data();
    void mailsOpen();

private:
    QTemporaryDir m_dir;
    QStringList m_alerts;
};

void TestAppMail::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
    qputenv("TMPDIR", m_dir.path().toUtf8());
    MailInit();
    QCOMPARE(TNEFAppInit(), 0);
    gTNEFParseDebugFile = nullptr;
    UserNotifySetAlertHook([this](const QString &, const QString &explanation) {
        m_alerts << explanation;
        return OSStatus(noErr);
    });
}

void TestAppMail::mailsOpen_data()
{
    QTest::addColumn<QByteArray>("mail");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("windows");  // each document's name and the subject its window shows
    QTest::addColumn<QString>("alert");
    const char *subject = "Grüße from the mail";
    const QString shown = QStringLiteral("winmail.dat: ") + subject;
    const auto tnef = [](GMimeContentEncoding encoding, const char *name = "winmail.dat") {
        return part("ms-tnef", tnefBytes(), encoding, name);
    };
    for (const auto &[row, encoding] : {std::pair{"base64", GMIME_CONTENT_ENCODING_BASE64},
                                        {"quoted-printable", GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE},
                                        {"unencoded", GMIME_CONTENT_ENCODING_BINARY}})
        QTest::newRow(row) << mailBytes(message(subject, {tnef(encoding)})) << "mail.eml" << QStringList{shown} << "";
    // The second in a forwarded mail, with that mail's subject, named with
    // the folders of the computer it was sent from.
    GMimeMessage *inner = message("Forwarded", {tnef(GMIME_CONTENT_ENCODING_BASE64, "C:\\Mail\\second.dat")});
    QTest::newRow("two parts, one in an attached mail")
        << mailBytes(message(subject, {tnef(GMIME_CONTENT_ENCODING_BASE64, nullptr),
                                       GMIME_OBJECT(g_mime_message_part_new_with_message("rfc822", inner))}))
        << "two" << QStringList{shown, "second.dat: Forwarded"} << "";
    g_object_unref(inner);
    QTest::newRow("the part's own subject stands")
        << mailBytes(message(subject, {part("vnd.ms-tnef", tnefBytes("Its own"), GMIME_CONTENT_ENCODING_BASE64)}))
        << "own.eml" << QStringList{"winmail.dat: Its own"} << "";
    QTest::newRow("no TNEF part")
        << mailBytes(message(subject, {part("octet-stream", "notes", GMIME_CONTENT_ENCODING_BASE64, "a.bin")}))
        << "plain.eml" << QStringList() << "\u201Cplain.eml\u201D holds no TNEF attachment.";
    QTest::newRow("a damaged part")
        << mailBytes(message(subject, {part("ms-tnef", "notes", GMIME_CONTENT_ENCODING_BASE64)})) << "bad.eml"
        << QStringList() << "\u201Cwinmail.dat\u201D in \u201Cbad.eml\u201D is not a TNEF file.";
    // A header-like first line, but none that a mail has; a header block
    // that does not end in its first MiB, which would be read whole.
    QTest::newRow("named as a mail, not one") << QByteArray("Note: just some words\n") << "words.eml" << QStringList()
        << "\u201Cwords.eml\u201D is neither a mail nor a TNEF file.";
    QTest::newRow("a header without end") << "Subject: " + QByteArray(3 << 19, 'x') << "long.eml" << QStringList()
        << "\u201Clong.eml\u201D is neither a mail nor a TNEF file.";
}

void TestAppMail::mailsOpen()
{
    QFETCH(QByteArray, mail);
    QFETCH(QString, file);
    QFETCH(QStringList, windows);
    QFETCH(QString, alert);
    m_alerts.clear();
    const QString path = m_dir.filePath(file);
    QVERIFY(writeFile(path, mail));
    QCOMPARE(TNEFAppOpenFiles({path}, 2) == noErr, alert.isEmpty());
    QCOMPARE(m_alerts, alert.isEmpty() ? QStringList() : QStringList{alert});
    struct stat folder {};
    QVERIFY(::stat(QFile::encodeName(m_dir.path()).constData(), &folder) == 0);
    QStringList shown;
    for (TNEFFile *document = gTNEFFileList; document; document = document->next) {
        Ui::WinFile &f = document->winFile->form();
        shown << document->fileName + ": " + f.messageSubject->text();
        QCOMPARE(f.messageBody->toPlainText().trimmed(), QStringLiteral("Hi from TNEF"));
        QCOMPARE(f.messageFrom->text(), QStringLiteral("Zoë Sender <zoe@example.org>"));
        QCOMPARE(f.messageTo->text(), QStringLiteral("tom@example.org"));
        QVERIFY(f.messageDate->text().contains(QLatin1String("2024")));
        // The decoded part is a file without a name in $TMPDIR, never memory.
        struct stat info {};
        QVERIFY(::fstat(FSGetForkDescriptor(document->forkRefNum), &info) == 0);
        QVERIFY(S_ISREG(info.st_mode) && info.st_nlink == 0 && info.st_dev == folder.st_dev);
    }
    QCOMPARE(shown, windows);
    // Opened again, the mail's windows come forward: nothing is read twice.
    TNEFAppOpenFiles({path}, 2);
    int count = 0;
    for (TNEFFile *document = gTNEFFileList; document; document = document->next)
        ++count;
    QCOMPARE(count, windows.size());
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(TestAppMail)
#include "tst_app_mail.moc"
