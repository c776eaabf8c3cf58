// The message a document window shows, beyond its body: the meeting at its
// top with Add to Calendar, and the message printed to a PDF and saved as
// the body file extraction writes.
#include "TnefBuilder.h"
#include "tnef/TNEFMessageItems.h"
#include "ui/Commands.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinFileMeeting.h"
#include "ui/TNEFWinFilePrint.h"

#include <QBuffer>
#include <QImage>
#include <QPushButton>
#include <QtTest>

using namespace tnefbuild;
using namespace tnefprop;
using namespace Qt::StringLiterals;

namespace {

quint64 filetime(const char *iso)
{
    return quint64(QDateTime::fromString(QLatin1String(iso), Qt::ISODate).toSecsSinceEpoch() + 11644473600LL) * 10000000ULL;
}

// A meeting message of class `messageClass` from 14:00 to 15:00 UTC on 4 March 2024.
Tnef meeting(const char *messageClass, const MapiBlock &more = {})
{
    const QByteArray appointment = propertySet(PropSet::Appointment);
    return Tnef().message(attMessageClass, z0(messageClass)).message(attSubject, z0("Sync"))
        .mapiProps(MapiBlock(more)
            .named(appointment, PidLidAppointmentStartWhole).systime(0x8000, filetime("2024-03-04T14:00:00Z"))
            .named(appointment, PidLidAppointmentEndWhole).systime(0x8000, filetime("2024-03-04T15:00:00Z")));
}

// The output of a program run to its end.
QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

} // namespace

class TestMessage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void meetingAtTheTop_data();
    void meetingAtTheTop();
    void exportAsPdf_data();
    void exportAsPdf();
    void saveMessage_data();
    void saveMessage();

private:
    // The shown window of `tnef`, parsed as the application parses.
    TNEFWinFile *show(const QByteArray &tnef)
    {
        const QString path = m_dir.filePath("m.tnef");
        if (!writeFile(path, tnef))
            return nullptr;
        TNEFFile *doc = TNEFFileOpen(path, nullptr);
        if (!doc || TNEFParseFileList(doc->forkRefNum, &doc->fileList, &doc->attributeList, &doc->messagePlaces) != 0) {
            TNEFFileDestroy(doc);
            return nullptr;
        }
        TNEFFileAddVirtualItems(doc);
        doc->winFile = TNEFWinFileCreate(doc);
        TNEFWinFileShow(doc->winFile);
        return doc->winFile;
    }
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime;
    QList<QUrl> m_opened;
};

void TestMessage::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("TZ", "UTC");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    SetDesktopOpenHook([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestMessage::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TNEFWinFilePrintSetAskHook(nullptr);
    m_opened.clear();
}

void TestMessage::meetingAtTheTop_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QStringList>("lines");  // empty: no panel
    const QByteArray appointment = propertySet(PropSet::Appointment), task = propertySet(PropSet::Task);
    const QByteArray recipients = le32(2)
        + MapiBlock().unicode(PR_DISPLAY_NAME, u"Ann"_s).unicode(PR_SMTP_ADDRESS, u"ann@example.com"_s).bytes()
        + MapiBlock().longValue(PR_RECIPIENT_TYPE, 2).unicode(PR_DISPLAY_NAME, u"Bob"_s)
              .unicode(PR_SMTP_ADDRESS, u"bob@example.com"_s).bytes();
    const QDate mar4(2024, 3, 4);
    QTest::newRow("request")
        << meeting("IPM.Schedule.Meeting.Request", MapiBlock().named(appointment, PidLidLocation).unicode(0x8000, u"Room 1"_s)
                       .named(appointment, PidLidAppointmentRecur).binary(0x8000, blob(kWeekly, 1, le32(kMo), 1, kByCount, 10, mar4, mar4))
                       .unicode(PR_SENDER_NAME, u"Boss"_s).unicode(PR_SENDER_EMAIL_ADDRESS, u"boss@example.com"_s))
               .message(attRecipTable, recipients).bytes()
        << QStringList{"When: Mon, 04 Mar 2024 14:00:00 +0000 to 15:00:00 +0000", "Where: Room 1",
                       "Organizer: Boss <boss@example.com>",
                       "Attendees: Ann <ann@example.com>, Bob <bob@example.com> (optional)", "Repeats: every Monday, 10 times"};
    QTest::newRow("tentative reply")
        << meeting("IPM.Schedule.Meeting.Resp.Tent").bytes()
        << QStringList{"Response: Tentative", "When: Mon, 04 Mar 2024 14:00:00 +0000 to 15:00:00 +0000"};
    // Markup and line breaks from the file are text on one line.
    QTest::newRow("location with markup")
        << meeting("IPM.Appointment", MapiBlock().named(appointment, PidLidLocation).unicode(0x8000, u"<b>Room</b>\n\u001b2"_s)).bytes()
        << QStringList{"When: Mon, 04 Mar 2024 14:00:00 +0000 to 15:00:00 +0000", "Where: <b>Room</b> 2"};
    const auto double64 = [](double v) { quint64 bits; std::memcpy(&bits, &v, 8); return le64(bits); };
    QTest::newRow("task")
        << Tnef().message(attMessageClass, z0("IPM.Task")).message(attSubject, z0("Report"))
               .mapiProps(MapiBlock().named(task, PidLidTaskStatus).longValue(0x8000, 1)
                   .named(task, PidLidPercentComplete).fixed(PT_DOUBLE, 0x8000, double64(0.25))
                   .named(task, PidLidTaskDueDate).systime(0x8000, filetime("2024-03-08T00:00:00Z"))).bytes()
        << QStringList{"Due: Fri, 08 Mar 2024", "Status: In progress, 25% complete"};
    QTest::newRow("plain mail") << Tnef().message(attSubject, z0("Hello")).bytes() << QStringList();
}

void TestMessage::meetingAtTheTop()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QStringList, lines);
    TNEFWinFile *w = show(tnef);
    QVERIFY(w);
    TNEFMeetingPanel *panel = w->form().messageMeeting;
    QCOMPARE(panel->isVisible(), !lines.isEmpty());
    if (lines.isEmpty())
        return;
    QCOMPARE(panel->lineTexts(), lines);
    for (const QLabel *label : panel->findChildren<QLabel *>())
        QCOMPARE(label->textFormat(), Qt::PlainText);
    // The button hands the desktop a copy of the calendar file the core made.
    QVERIFY(panel->addButton()->isVisible());
    panel->addButton()->click();
    QCOMPARE(m_opened.size(), 1);
    const TNEFFileItem *ics = TNEFFileFindItem(w->document(), panel->calendarFileID());
    QVERIFY(ics && ics->contents && ics->contents->contains("BEGIN:VCALENDAR"));
    QCOMPARE(readFile(m_opened[0].toLocalFile()), *ics->contents);
}

void TestMessage::exportAsPdf_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QStringList>("words");  // what the PDF's text holds
    QTest::addColumn<bool>("picture");  // whether the 7 by 5 picture is printed
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImage red(7, 5, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(&png, "PNG");
    const QString onDisk = m_dir.filePath("red.png");
    QVERIFY(writeFile(onDisk, png.data()));
    QTest::newRow("HTML with a picture")
        << Tnef().message(attSubject, z0("Quarterly Zebra Review")).mapiProps(MapiBlock()
               .string8(PR_SENDER_NAME, z0("Ann")).binary(0x1013, "<p>Budget lines</p><img src=\"data:image/png;base64,"
                                                                  + png.data().toBase64() + "\">")).bytes()
        << QStringList{"Quarterly Zebra Review", "From: Ann", "Budget lines"} << true;
    // Printing reads no more from this computer than the view does.
    QTest::newRow("HTML naming a picture on disk")
        << Tnef().message(attSubject, z0("Local")).mapiProps(MapiBlock()
               .binary(0x1013, "<p>Look</p><img src=\"" + QUrl::fromLocalFile(onDisk).toEncoded() + "\">")).bytes()
        << QStringList{"Local", "Look"} << false;
    QTest::newRow("text")
        << Tnef().message(attSubject, z0("Plain Walrus")).mapiProps(MapiBlock().string8(0x1000, z0("Only words"))).bytes()
        << QStringList{"Plain Walrus", "Only words"} << false;
    QTest::newRow("meeting without a body")
        << meeting("IPM.Schedule.Meeting.Request", MapiBlock().named(propertySet(PropSet::Appointment), PidLidLocation)
                                                       .unicode(0x8000, u"Room 1"_s)).bytes()
        << QStringList{"Sync", "Where: Room 1"} << false;
}

void TestMessage::exportAsPdf()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QStringList, words);
    QFETCH(bool, picture);
    TNEFWinFile *w = show(tnef);
    QVERIFY(w);
    const QString pdf = m_dir.filePath("out.pdf");
    TNEFWinFilePrintSetAskHook([&](TNEFWinFile *, const QString &, const QStringList &) { return TNEFWinFileAskReply{pdf}; });
    QCOMPARE(ProcessHICommand(kTNEFCommandExportPDF, w), noErr);
    const QString text = QString::fromUtf8(run("pdftotext", {"-layout", pdf, "-"})).simplified();
    for (const QString &word : words)
        QVERIFY2(text.contains(word), qPrintable(text));
    QCOMPARE(run("pdfimages", {"-list", pdf}).contains(" 7     5 "), picture);
}

void TestMessage::saveMessage_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("file");  // the file extraction with the body writes
    const QByteArray rtf = "{\\rtf1\\ansi Hello \\b RTF\\b0\\par}";
    const QByteArray both = Tnef().message(attSubject, z0("Both")).mapiProps(MapiBlock()
        .binary(0x1013, "<p>Caf&eacute; HTML</p>")
        .binary(0x1009, le32(quint32(rtf.size() + 12)) + le32(quint32(rtf.size())) + "MELA" + le32(0) + rtf)).bytes();
    QTest::newRow("HTML") << both << 0 << "message.html";
    QTest::newRow("RTF") << both << 1 << "message.rtf";
    QTest::newRow("text") << Tnef().mapiProps(MapiBlock().string8(0x1000, z0("Just text\r\n"))).bytes() << 0 << "message.txt";
}

void TestMessage::saveMessage()
{
    QFETCH(QByteArray, tnef);
    QFETCH(int, filter);
    QFETCH(QString, file);
    TNEFWinFile *w = show(tnef);
    QVERIFY(w);
    const QString saved = m_dir.filePath("saved." + file.section('.', -1));
    QVERIFY(writeFile(saved, "an older file the dialog agreed to replace"));
    QStringList offered;
    TNEFWinFilePrintSetAskHook([&](TNEFWinFile *, const QString &, const QStringList &filters) {
        offered = filters;
        return TNEFWinFileAskReply{saved, filter};
    });
    QCOMPARE(ProcessHICommand(kTNEFCommandSaveMessage, w), noErr);
    QVERIFY2(offered.value(filter).endsWith(file.section('.', -1) + ')'), qPrintable(offered.join(',')));
    QTemporaryDir out;
    QProcess cli;
    cli.start(QStringLiteral(PARVANE_CLI_PATH), {"extract", "--body", "-C", out.path(), "--folder", "never", m_dir.filePath("m.tnef")});
    QVERIFY(cli.waitForFinished());
    QCOMPARE(readFile(saved), readFile(out.filePath(file)));
    QVERIFY(!readFile(saved).isEmpty());
}

QTEST_MAIN(TestMessage)
#include "tst_ui_message.moc"
