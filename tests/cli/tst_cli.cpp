// parvane-cli as a user runs it: real processes, real files, exit statuses.
#include "ShellRun.h"
#include "TnefBuilder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace tnefbuild;
using namespace Qt::StringLiterals;

namespace {

using Run = ShellRun;

// A bash script in `dir`, with the program in $CLI and the sample maker in $SAMPLE.
Run shell(const QString &dir, const QString &script)
{
    return RunShell(dir, script, {{QStringLiteral("SAMPLE"), QStringLiteral(PARVANE_MAKE_SAMPLE_PATH)}});
}

QByteArray sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// An attachment named by its title (and a Unicode long name when given).
Tnef titled(Tnef tnef, const QByteArray &title, const QByteArray &data, const QByteArray &unicodeName = {})
{
    MapiBlock block;
    if (!unicodeName.isEmpty())
        block.counted(PT_UNICODE, PR_ATTACH_LONG_FILENAME, {unicodeName});
    return tnef.title(title).data(data).attachment(block);
}

// `message` attached to `tnef` under the title `title`.
Tnef attached(Tnef tnef, const QByteArray &title, const QByteArray &message)
{
    return tnef.data(embeddedPlaceholder()).attachment(MapiBlock().string8(0x3001, z0(title)).object(0x3701, message));
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
    void meetingAndTask_data();
    void meetingAndTask();
    void corpusExtractTwice();
    void corpusBodies_data();
    void corpusBodies();
};

void TestCli::runs_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");  // empty: nothing on standard error at all
    const QByteArray listed("200000\tbig.bin\n5\tsmall.txt\n");
    // Commands and their options.
    QTest::newRow("no command") << "\"$CLI\"" << 2 << QByteArray() << "no COMMAND";
    QTest::newRow("no json trace") << "\"$CLI\" trace --json msg.tnef" << 2 << QByteArray() << "unknown option";
    QTest::newRow("missing folder") << "\"$CLI\" extract -C missing two.tnef" << 2 << QByteArray() << "is not an existing folder";
    QTest::newRow("bad folder mode") << "\"$CLI\" extract --folder sometimes two.tnef" << 2 << QByteArray() << "--folder";
    QTest::newRow("attributes") << "\"$CLI\" attributes two.tnef" << 0 << QByteArray("1\tAttachment Title\t8 bytes\tbig.bin.\n") << "";
    QTest::newRow("message") << "\"$CLI\" message msg.tnef" << 0 << QByteArray("Subject: Hi\\x1b\n\nBody line\n") << "";
    QTest::newRow("message json") << "\"$CLI\" message --json msg.tnef" << 0 << QByteArray("{\"bodies\":[\"text\",\"html\"],\"file\":") << "";
    QTest::newRow("list json, no headers") << "\"$CLI\" list --json two.tnef two.tnef" << 0
        << QByteArray("\"file\":\"two.tnef\"}\n{\"attachments\":[{\"attachedMessage\":false,\"id\":1,\"name\":\"big.bin\"") << "";
    QTest::newRow("bodies as stored") << "\"$CLI\" body --text msg.tnef && \"$CLI\" body --html msg.tnef" << 0
                                      << QByteArray("Body line\r\n<p>Body</p>") << "";
    QTest::newRow("no such body") << "\"$CLI\" body --rtf msg.tnef" << 1 << QByteArray() << "msg.tnef: the message has no RTF body";
    QTest::newRow("body of one file") << "\"$CLI\" body msg.tnef msg.tnef" << 2 << QByteArray() << "body takes one FILE";
    QTest::newRow("meeting extracted") << "\"$CLI\" extract -C . meet.tnef" << 0 << QByteArray("meet.tnef Folder/Talk.ics\n") << "";
    QTest::newRow("body beside a taken name") << "\"$CLI\" extract --body msg.tnef" << 0 << QByteArray("/message 1.html\n") << "";
    QTest::newRow("character references") << "\"$CLI\" body --text refs.tnef" << 0
                                          << QByteArray("Caf\xc3\xa9 \xe2\x80\x99quoted\xe2\x80\x99\r\n") << "";
    QTest::newRow("damaged RTF told by every command") << "{ \"$CLI\" message crc.tnef && \"$CLI\" message --json crc.tnef && "
                                                          "\"$CLI\" extract --body --folder never -C folder crc.tnef; } 2>err >/dev/null && "
                                                          "ls folder && grep -c \"CRC does not match\" err"
                                                       << 0 << QByteArray("message.html\nmessage.rtf\n3\n") << "";
    QTest::newRow("HTML made from RTF, and said so") << "\"$CLI\" body --html crc.tnef 2>/dev/null | grep -o '<div>WXYZ' && "
                                                        "\"$CLI\" message --json crc.tnef 2>/dev/null | grep -o '\"html\":\"[a-z-]*\"'"
                                                     << 0 << QByteArray("<div>WXYZ\n\"html\":\"made-from-rtf\"\n") << "";
    QTest::newRow("message json, text escaped") << "\"$CLI\" message --json escjson.tnef | python3 -c "
                                                   "'import json,sys; print(ascii(json.load(sys.stdin)[\"text\"]))'"
                                                << 0 << QByteArray("'q\"b\\\\c\\x01\\t\\xe9\\r\\n'\n") << "";
    // The calendar file is listed with the start of the body only.
    QTest::newRow("meeting listed without its whole body") << "\"$CLI\" list bigmeet.tnef | "
                                                              "awk -F'\\t' '/ics$/ {print ($1 < 400000) ? \"bounded\" : \"whole\"}'"
                                                           << 0 << QByteArray("bounded\n") << "";
    QTest::newRow("no body unless asked") << "\"$CLI\" extract --folder always msg.tnef && [ -z \"$(ls -A 'msg.tnef Folder')\" ]"
                                          << 0 << QByteArray() << "";
    // Attached messages: each after its line, named by its path, its files
    // in a folder named after it (its title made safe) that holds what it
    // holds extracted on its own.
    QTest::newRow("list -r") << "\"$CLI\" list -r nested.tnef" << 0
                             << QByteArray("274\tTNEF: ..\\x2fFwd\n58\t..\\x2fFwd/TNEF: In\n9\t..\\x2fFwd/In/x.txt\n6\t..\\x2fFwd/a.txt\n5\ta.txt\n") << "";
    QTest::newRow("list -r, json") << "\"$CLI\" list -r --json nested.tnef" << 0
                                   << QByteArray("\"name\":\"x.txt\",\"size\":9}],\"id\":1,\"name\":\"In\"") << "";
    QTest::newRow("extract -r") << "\"$CLI\" extract -r -C folder --folder always nested.tnef > /dev/null && cd 'folder/nested.tnef Folder' && "
                                   "\"$CLI\" extract -r --folder always ..Fwd.tnef > /dev/null && diff -r '..Fwd Folder' '..Fwd.tnef Folder' && "
                                   "find . -type f | LC_ALL=C sort && cat '..Fwd Folder/In Folder/x.txt'" << 0
        << QByteArray("./..Fwd Folder/In Folder/x.txt\n./..Fwd Folder/In.tnef\n./..Fwd Folder/a.txt\n./..Fwd.tnef\n"
                      "./..Fwd.tnef Folder/In Folder/x.txt\n./..Fwd.tnef Folder/In.tnef\n./..Fwd.tnef Folder/a.txt\n./a.txt\ninnermost") << "";
    QTest::newRow("sample, -r") << "\"$SAMPLE\" s.dat && \"$CLI\" list -r s.dat && \"$CLI\" extract -r -C . s.dat > /dev/null && "
                                   "cat 's.dat Folder/Minutes of the planning meeting Folder/agenda.txt'" << 0
        << QByteArray("44\tMinutes of the planning meeting/agenda.txt\n1. Budget\n2. Timeline\n3. Any other business\n") << "";
    QTest::newRow("attached messages not read") << "\"$CLI\" list -r bad.tnef deep.tnef > /dev/null" << 1 << QByteArray()
        << "parvane-cli: bad.tnef: attached message \"Bad\": truncated or damaged TNEF file (parser code -1)\n"
           "parvane-cli: deep.tnef: attached message \"Fwd\": attached messages nested more than 32 deep are not opened\n";
    // Each kind of input.
    QTest::newRow("list, through a symbolic link") << "ln -s two.tnef link.tnef && \"$CLI\" list link.tnef" << 0 << listed << "";
    // The signature split between two reads is still the copy's start.
    QTest::newRow("a pipe by name") << "(head -c 1 two.tnef; sleep 0.2; tail -c +2 two.tnef) | \"$CLI\" list /dev/stdin"
                                    << 0 << listed << "";
    // Into the current folder; a file named beside them, into its own.
    QTest::newRow("pipes, extracted here") << "mkdir here && cd here && \"$CLI\" extract --folder never <(cat ../two.tnef) - "
                                              "../two.tnef < ../two.tnef && ls && ls ../small.txt" << 0
                                           << QByteArray("big 1.bin\nbig.bin\nsmall 1.txt\nsmall.txt\n../small.txt\n") << "";
    // Nothing that is not TNEF is copied: no temporary folder is needed for it.
    QTest::newRow("pipes not TNEF") << "export TMPDIR=/nonexistent; \"$CLI\" list - <(cat not.tnef) < not.tnef" << 1 << QByteArray()
                                    << "parvane-cli: -: not a TNEF file (parser code -1)\nparvane-cli: /dev/fd/63: not a TNEF file";
    // Removed by the script: QTemporaryDir cannot remove names that are not UTF-8.
    QTest::newRow("names not UTF-8") << "d=$(printf 'd\\376') && trap 'rm -rf \"$d\"' EXIT && f=\"$d/$(printf 'w\\377')\" && "
                                        "mkdir \"$d\" && cp two.tnef \"$f\" && \"$CLI\" extract \"$f\" && \"$CLI\" list \"$f\" two.tnef" << 0
                                     << "/d\xfe/w\xff Folder/small.txt\n==> d\xfe/w\xff <==\n" + listed << "";
    // Each file that cannot be read is told, and the others are still handled.
    QTest::newRow("files that fail") << "head -c 40 two.tnef > cut.tnef && \"$CLI\" list missing folder /dev/null - not.tnef cut.tnef "
                                        "two.tnef <&-" << 1 << "==> two.tnef <==\n" + listed
        << "parvane-cli: missing: no such file (status -43)\nparvane-cli: folder: a folder, not a file (status -1302)\n"
           "parvane-cli: /dev/null: a device, not a file (status -5025)\nparvane-cli: -: standard input is closed\n"
           "parvane-cli: not.tnef: not a TNEF file (parser code -1)\n"
           "parvane-cli: cut.tnef: truncated or damaged TNEF file (parser code -1)\n";
    // Output that cannot be written.
    QTest::newRow("closed output") << "\"$CLI\" list two.tnef >&-" << 1 << QByteArray() << "parvane-cli: write error\n";
    // ulimit -f counts 512-byte blocks: 64 of them let the small file through
    // and stop the big one part way, which is then removed.
    QTest::newRow("file size limit") << "ulimit -f 64; \"$CLI\" extract -C folder --folder never two.tnef; s=$?; ls folder; exit $s"
                                     << 1 << QByteArray("folder/small.txt\nsmall.txt\n") << "cannot write \"big.bin\"";
    // The writer logs a name without a MIME type; only -v lets that through.
    QTest::newRow("quiet") << "\"$CLI\" extract -C folder odd.tnef" << 0 << QByteArray("folder/x.qqqq\n") << "";
    QTest::newRow("verbose") << "\"$CLI\" extract -v -C folder odd.tnef" << 0 << QByteArray("folder/x.qqqq\n")
                             << "    ICMapFilename() returned -666.\n";
    // The log must not land in a file opened in place of the closed error output.
    QTest::newRow("closed error output") << "\"$CLI\" extract -v -C folder odd.tnef <&- 2>&- >/dev/null; "
                                            "printf payload | cmp - folder/x.qqqq && echo same"
                                         << 0 << QByteArray("same") << "";
    // Names from the sender (a dot dot, only dots, invalid 1252, a Unicode slash and a lone surrogate) land as
    // new files in the destination, which shows here between brackets beside the file that was there before.
    QTest::newRow("hostile names") << "mkdir -p out/inner && printf mine > out/keep.txt && \"$CLI\" extract -C out/inner "
                                      "--folder never hostile.tnef > /dev/null && echo \"[$(find out -type f | LC_ALL=C sort "
                                      "| tr '\\n' '|')]\" && find out/inner -type f -exec cat {} +" << 0
        << QByteArray("[out/inner/....escape.txt|out/inner/Untitled Attachment|out/inner/a\uFFFDb|out/inner/x\uFFFD\uFFFD.txt|"
                      "out/keep.txt|]\npayloadpayloadpayloadpayload") << "";
    // A crafted name must not drive a terminal (script(1) gives the program
    // one); piped, the trace is exact.
    QTest::newRow("trace, piped") << "\"$CLI\" trace ctl.tnef" << 0
                                  << QByteArray("        value = a\x1b]0;pwned\x07\r\xc2\x9b" "b\0\n", 28) << "";
    QTest::newRow("message, piped") << "\"$CLI\" message esc.tnef && \"$CLI\" list --json esc.tnef" << 0
                                    << QByteArray("\n\x1b]0;t\x07\x1b[2J\xc2\x9b" "6n\n\tend\n{\"attachments\":[{\"attachedMessage\":false,"
                                                  "\"id\":1,\"name\":\"a\xc2\x9b" "b\x7f\"") << "";
    // Every printing path, on a terminal, errors included (script(1) puts
    // standard error on the terminal too).
    QTest::newRow("on a terminal") << "export N=$(printf 'x\\233\\033y'); script -qec '\"$CLI\" extract -C folder esc.tnef; \"$CLI\" message esc.tnef; "
                                      "\"$CLI\" list esc.tnef; \"$CLI\" list --json esc.tnef; \"$CLI\" list \"$N\"' /dev/null" << 1
        << QByteArray("/folder/a\\xc2\\x9b" "b\\x7f\r\nSubject: S\\xc2\\x9b\r\n\r\n\\x1b]0;t\\x07\\x1b[2J\\xc2\\x9b" "6n\r\n\tend\r\n"
                      "1\ta\\xc2\\x9b" "b\\x7f\r\n{\"attachments\":[{\"attachedMessage\":false,\"id\":1,\"name\":\"a\\u009bb\\u007f\","
                      "\"size\":1}],\"file\":\"esc.tnef\"}\r\nparvane-cli: x\\x9b\\x1by: no such file") << "";
    QTest::newRow("trace, on a terminal") << "script -qec '\"$CLI\" trace ctl.tnef' /dev/null" << 0
                                          << QByteArray("        value = a\\x1b]0;pwned\\x07\\x0d\\xc2\\x9bb\\x00\r\n") << "";
}

void TestCli::runs()
{
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, stdoutHas);
    QFETCH(QString, stderrHas);
    QTemporaryDir dir;
    writeFile(dir.filePath("two.tnef"), titled(titled(Tnef(), z0("big.bin"), QByteArray(200000, 'b')), z0("small.txt"), "hello").bytes());
    writeFile(dir.filePath("not.tnef"), "just some text\n");
    writeFile(dir.filePath("msg.tnef"), Tnef().message(attSubject, z0("Hi\x1b")).mapiProps(MapiBlock()
        .unicode(0x1000, "Body line\r\n").binary(0x1013, "<p>Body</p>")).bytes());
    writeFile(dir.filePath("odd.tnef"), titled(Tnef(), z0("x.qqqq"), "payload").bytes());
    const Tnef hostile = titled(titled(titled(Tnef(), z0("../../escape.txt"), "payload"), z0(".."), "payload"),
                                z0("x\x81\x8d.txt"), "payload");
    writeFile(dir.filePath("hostile.tnef"), titled(hostile, {}, "payload", QByteArray("/\0a\0\x00\xd8/\0b\0\0\0", 12)).bytes());
    writeFile(dir.filePath("ctl.tnef"), Tnef().mapiProps(MapiBlock().string8(0x0037, z0("a\x1b]0;pwned\x07\r\xc2\x9b" "b"))).bytes());
    writeFile(dir.filePath("message.html"), "taken");
    const QByteArray appointment = propertySet(tnefprop::PropSet::Appointment);
    const MapiBlock times = MapiBlock().named(appointment, 0x820D).systime(0x8001, 133541000000000000ULL)
                                .named(appointment, 0x820E).systime(0x8002, 133541036000000000ULL);
    writeFile(dir.filePath("meet.tnef"), titled(Tnef().message(attMessageClass, z0("IPM.Appointment")).message(attSubject, z0("Talk"))
                                           .mapiProps(times), z0("small.txt"), "hello").bytes());
    writeFile(dir.filePath("esc.tnef"), titled(Tnef().mapiProps(MapiBlock().unicode(0x0037, u"S\u009b"_s)
        .unicode(0x1000, u"\u001b]0;t\u0007\u001b[2J\u009b6n\r\tend"_s)), z0("x"), "!", utf16z(u"a\u009bb\u007f"_s)).bytes());
    const QByteArray inner = titled(Tnef(), z0("x.txt"), "innermost").bytes();
    writeFile(dir.filePath("nested.tnef"), titled(attached(Tnef(), "../Fwd", titled(attached(Tnef(), "In", inner), z0("a.txt"), "middle")
                                                           .bytes()), z0("a.txt"), "outer").bytes());
    writeFile(dir.filePath("bad.tnef"), titled(attached(Tnef(), "Bad", "not TNEF"), z0("ok.txt"), "ok").bytes());
    QByteArray deep = inner;
    for (int depth = 0; depth < 33; ++depth)
        deep = attached(Tnef(), "Fwd", deep).bytes();
    writeFile(dir.filePath("deep.tnef"), deep);
    writeFile(dir.filePath("refs.tnef"), Tnef().mapiProps(MapiBlock().binary(0x1013, "<p>Caf&eacute; &rsquo;quoted&rsquo;</p>")).bytes());
    writeFile(dir.filePath("escjson.tnef"), Tnef().mapiProps(MapiBlock().unicode(0x1000, QString::fromUtf8("q\"b\\c\x01\t\xc3\xa9\r\n"))).bytes());
    // LZFu whose CRC is not that of its data.
    writeFile(dir.filePath("crc.tnef"), Tnef().mapiProps(MapiBlock().binary(0x1009, QByteArray::fromHex(
        "1a0000001c0000004c5a467500000000410004205758595a0d6e7d010eb0"))).bytes());
    const QByteArray bigRtf = "{\\rtf1 " + QByteArray(2000000, 'A') + "}";
    writeFile(dir.filePath("bigmeet.tnef"), Tnef().message(attMessageClass, z0("IPM.Schedule.Meeting.Request")).message(attSubject, z0("Big"))
        .mapiProps(MapiBlock(times).binary(0x1009, le32(quint32(bigRtf.size() + 12)) + le32(quint32(bigRtf.size())) + "MELA" + le32(0) + bigRtf)).bytes());
    QDir(dir.path()).mkdir("folder");
    const Run run = shell(dir.path(), script);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(stdoutHas), run.out.constData());
    QVERIFY2(stderrHas.isEmpty() ? run.err.isEmpty() : QString::fromUtf8(run.err).contains(stderrHas), run.err.constData());
}

void TestCli::meetingAndTask_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QString>("zone");       // the user's time zone (TZ)
    QTest::addColumn<QByteArray>("lines");   // what `message` shows of the meeting or task
    QTest::addColumn<QByteArray>("jsonHas");

    using namespace tnefprop;
    const QByteArray appointment = propertySet(PropSet::Appointment), task = propertySet(PropSet::Task);
    const auto filetime = [](const char *iso) {
        return quint64(QDateTime::fromString(QLatin1String(iso), Qt::ISODate).toSecsSinceEpoch() + 11644473600LL) * 10000000ULL;
    };
    const auto meeting = [&](const char *start, const char *end, const QByteArray &recurrence, const MapiBlock &more = {}) {
        return Tnef().message(attMessageClass, z0("IPM.Schedule.Meeting.Request")).message(attSubject, z0("Sync"))
            .mapiProps(MapiBlock(more)
                .named(appointment, PidLidAppointmentStartWhole).systime(0x8000, filetime(start))
                .named(appointment, PidLidAppointmentEndWhole).systime(0x8000, filetime(end))
                .named(appointment, PidLidAppointmentRecur).binary(0x8000, recurrence));
    };
    const QByteArray recipients = le32(2)
        + MapiBlock().unicode(PR_DISPLAY_NAME, u"Ann"_s).unicode(PR_SMTP_ADDRESS, u"ann@example.com"_s).bytes()
        + MapiBlock().longValue(PR_RECIPIENT_TYPE, 2).unicode(PR_DISPLAY_NAME, u"Bob"_s)
              .unicode(PR_SMTP_ADDRESS, u"bob@example.com"_s).bytes();
    const QDate mar4(2024, 3, 4), mar5(2024, 3, 5);
    QTest::newRow("weekly, in the organizer's zone")
        << meeting("2024-03-04T14:00:00Z", "2024-03-04T15:00:00Z", blob(kWeekly, 1, le32(kMo), 1, kByCount, 10, mar4, mar4),
                   MapiBlock().named(appointment, PidLidLocation).unicode(0x8000, u"Room 1"_s)
                       .unicode(PR_SENDER_NAME, u"Boss"_s).unicode(PR_SENDER_EMAIL_ADDRESS, u"boss@example.com"_s))
               .message(attRecipTable, recipients).bytes()
        << "America/New_York"
        << QByteArray("When: Mon, 04 Mar 2024 09:00:00 -0500 to 10:00:00 -0500\nWhere: Room 1\n"
                      "Organizer: Boss <boss@example.com>\nAttendees: Ann <ann@example.com>, Bob <bob@example.com> (optional)\n"
                      "Repeats: every Monday, 10 times\n")
        << QByteArray("\"meeting\":{\"allDay\":false,\"attendees\":[{\"address\":\"ann@example.com\",\"name\":\"Ann\",\"role\":\"required\"},"
                      "{\"address\":\"bob@example.com\",\"name\":\"Bob\",\"role\":\"optional\"}],\"end\":\"2024-03-04T10:00:00-05:00\","
                      "\"location\":\"Room 1\",\"organizer\":{\"address\":\"boss@example.com\",\"name\":\"Boss\"},"
                      "\"repeats\":\"every Monday, 10 times\",\"start\":\"2024-03-04T09:00:00-05:00\"}");
    // Monday evening in New York is Tuesday in UTC, which the rule names.
    QTest::newRow("weekly, evening, a UTC day later")
        << meeting("2024-03-05T02:00:00Z", "2024-03-05T03:00:00Z", blob(kWeekly, 1, le32(kMo), 1, kNever, 0, mar4, mar4)).bytes()
        << "America/New_York" << QByteArray("When: Mon, 04 Mar 2024 21:00:00 -0500 to 22:00:00 -0500\nRepeats: every Monday\n")
        << QByteArray("\"repeats\":\"every Monday\"");
    QTest::newRow("fortnightly, until")
        << meeting("2024-03-05T09:00:00Z", "2024-03-05T10:00:00Z",
                   blob(kWeekly, 1, le32(kTu | kTh), 2, kByDate, 0, mar5, QDate(2024, 4, 11))).bytes()
        << "UTC" << QByteArray("When: Tue, 05 Mar 2024 09:00:00 +0000 to 10:00:00 +0000\n"
                               "Repeats: every 2 weeks on Tuesday and Thursday, until Thu, 11 Apr 2024\n") << QByteArray();
    QTest::newRow("monthly, day 5, across midnight")
        << meeting("2024-03-05T23:00:00Z", "2024-03-06T01:00:00Z", blob(kMonthly, 2, le32(5), 1, kNever, 0, mar5, mar5)).bytes()
        << "UTC" << QByteArray("When: Tue, 05 Mar 2024 23:00:00 +0000 to Wed, 06 Mar 2024 01:00:00 +0000\nRepeats: every month on day 5\n")
        << QByteArray();
    QTest::newRow("second Tuesday, yearly")
        << meeting("2024-01-09T14:00:00Z", "2024-01-09T15:00:00Z", blob(kYearly, 3, le32(kTu) + le32(2), 12, kNever, 0, QDate(2024, 1, 9), QDate(2024, 1, 9))).bytes()
        << "UTC" << QByteArray("When: Tue, 09 Jan 2024 14:00:00 +0000 to 15:00:00 +0000\n"
                               "Repeats: every year on the second Tuesday of January\n") << QByteArray();
    // Where the file gives the organizer's zone, the times on that clock too.
    QTest::newRow("organizer's zone, described")
        << meeting("2024-03-04T14:00:00Z", "2024-03-04T15:00:00Z", {},
                   MapiBlock().named(appointment, PidLidTimeZoneStruct).binary(0x8000, easternZoneStruct())
                       .named(appointment, PidLidTimeZoneDescription).unicode(0x8000, u"Eastern Standard Time"_s)).bytes()
        << "Europe/Berlin"
        << QByteArray("When: Mon, 04 Mar 2024 15:00:00 +0100 to 16:00:00 +0100 "
                      "(Eastern Standard Time: Mon, 04 Mar 2024 09:00:00 -0500 to 10:00:00 -0500)\n")
        << QByteArray("\"organizerZone\":{\"end\":\"2024-03-04T10:00:00-05:00\",\"name\":\"Eastern Standard Time\","
                      "\"start\":\"2024-03-04T09:00:00-05:00\"}");
    QTest::newRow("organizer's zone, the user's own")
        << meeting("2024-03-04T14:00:00Z", "2024-03-04T15:00:00Z", {},
                   MapiBlock().named(appointment, PidLidTimeZoneStruct).binary(0x8000, easternZoneStruct())).bytes()
        << "America/New_York" << QByteArray("When: Mon, 04 Mar 2024 09:00:00 -0500 to 10:00:00 -0500\n")
        << QByteArray("\"organizerZone\":{\"end\":\"2024-03-04T10:00:00-05:00\"");
    QTest::newRow("organizer's zone in summer, named by its definition")
        << meeting("2024-07-01T13:00:00Z", "2024-07-01T14:00:00Z",
                   blob(kWeekly, 1, le32(kMo), 1, kNever, 0, QDate(2024, 7, 1), QDate(2024, 7, 1)),
                   MapiBlock().named(appointment, PidLidAppointmentTimeZoneDefinitionRecur).binary(0x8000, easternDefinition())).bytes()
        << "UTC" << QByteArray("When: Mon, 01 Jul 2024 13:00:00 +0000 to 14:00:00 +0000 "
                               "(Eastern Standard Time: Mon, 01 Jul 2024 09:00:00 -0400 to 10:00:00 -0400)\nRepeats: every Monday\n")
        << QByteArray("\"start\":\"2024-07-01T09:00:00-04:00\"}");
    QTest::newRow("organizer's zone without a name, across midnight")
        << meeting("2024-03-05T04:30:00Z", "2024-03-05T05:30:00Z", {},
                   MapiBlock().named(appointment, PidLidTimeZoneStruct).binary(0x8000, easternZoneStruct())).bytes()
        << "UTC" << QByteArray("When: Tue, 05 Mar 2024 04:30:00 +0000 to 05:30:00 +0000 "
                               "(organizer's zone: Mon, 04 Mar 2024 23:30:00 -0500 to Tue, 05 Mar 2024 00:30:00 -0500)\n")
        << QByteArray("\"name\":\"\",\"start\":\"2024-03-04T23:30:00-05:00\"}");
    // A value from the file never reaches the terminal as a control.
    QTest::newRow("location with controls")
        << meeting("2024-03-04T14:00:00Z", "2024-03-04T15:00:00Z", {},
                   MapiBlock().named(appointment, PidLidLocation).unicode(0x8000, u"Room\u001b[2J\nX"_s)).bytes()
        << "UTC" << QByteArray("When: Mon, 04 Mar 2024 14:00:00 +0000 to 15:00:00 +0000\nWhere: Room\\x1b[2J\\x0aX\n")
        << QByteArray("\"location\":\"Room\\u001b[2J\\nX\"");
    const auto double64 = [](double v) { quint64 bits; std::memcpy(&bits, &v, 8); return le64(bits); };
    const QByteArray inner = Tnef().message(attMessageClass, z0("IPM.Task")).message(attSubject, z0("Report"))
        .mapiProps(MapiBlock().named(task, PidLidTaskStatus).longValue(0x8000, 1)
            .named(task, PidLidPercentComplete).fixed(PT_DOUBLE, 0x8000, double64(0.25))
            .named(task, PidLidTaskDueDate).systime(0x8000, filetime("2024-03-08T00:00:00Z"))).bytes();
    QTest::newRow("task request")
        << Tnef().message(attMessageClass, z0("IPM.TaskRequest")).message(attSubject, z0("Task Request: Report"))
               .data(embeddedPlaceholder()).attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Report")).object(PR_ATTACH_DATA_OBJ, inner)).bytes()
        << "UTC" << QByteArray("Due: Fri, 08 Mar 2024\nStatus: In progress, 25% complete\n")
        << QByteArray("\"task\":{\"due\":\"2024-03-08\",\"percentComplete\":25,\"status\":\"In progress\"}");
}

// Properties in, the lines `message` adds after the headers out, and the
// same in its JSON document.
void TestCli::meetingAndTask()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QString, zone);
    QFETCH(QByteArray, lines);
    QFETCH(QByteArray, jsonHas);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("m.tnef"), tnef));
    const Run text = shell(dir.path(), "TZ=" + zone + " \"$CLI\" message m.tnef | grep -E '^(When|Where|Organizer|Attendees|Repeats|Start|Due|Status): '");
    QCOMPARE(text.out, lines);
    const Run json = shell(dir.path(), "TZ=" + zone + " \"$CLI\" message --json m.tnef");
    QCOMPARE(json.exitCode, 0);
    QVERIFY2(json.out.contains(jsonHas), json.out.constData());
}

void TestCli::corpusExtractTwice()
{
    if (!corpusAvailable())
        QSKIP("the shared corpus is not next to this checkout");
    QTemporaryDir out;
    QString files;
    for (const QStringList &file : corpusRows("expected-files.tsv"))
        files += " '" + corpusDir() + '/' + file[0] + '\'';
    const QString extract = "\"$CLI\" extract -C . --folder always" + files;
    const Run first = shell(out.path(), extract);
    QCOMPARE(first.exitCode, 1);  // the damaged one
    for (const QStringList &a : corpusRows("expected-attachments.tsv")) {
        const QString path = out.filePath(a[0] + " Folder/" + a[5]);
        QVERIFY2(first.out.contains((path + '\n').toUtf8()), qPrintable(path));
        QCOMPARE(sha256(path), a[4].toLatin1().toLower());
    }
    // A second run writes beside the first and changes none of it.
    const Run second = shell(out.path(), "sums=$(find . -type f -exec sha256sum {} +); " + extract + "; s=$?; echo \"$sums\" "
                             "| sha256sum --quiet -c - && [ $(find . -type f | wc -l) = $((2 * $(echo \"$sums\" | wc -l))) ] "
                             "&& echo kept; exit $s");
    QCOMPARE(second.exitCode, 1);
    QVERIFY(second.out.contains(out.filePath("two-files.tnef Folder 1/README\n").toUtf8()));
    QVERIFY2(second.out.endsWith("kept\n"), second.err.constData());
}

void TestCli::corpusBodies_data()
{
    QTest::addColumn<QStringList>("row");  // file, body, size, sha256 and, for rtf, what it holds
    if (!corpusAvailable())
        QSKIP("the shared corpus is not next to this checkout");
    for (const QStringList &row : corpusRows("expected-bodies.tsv"))
        QTest::addRow("%s %s", qPrintable(row[0]), qPrintable(row[1])) << row;
}

// Each body extracted byte for byte beside the attachments; plain text only
// from a message that has no other body, and HTML also from an RTF body
// made from HTML or written as RTF.
void TestCli::corpusBodies()
{
    QFETCH(QStringList, row);
    QTemporaryDir out;
    QCOMPARE(shell(out.path(), "\"$CLI\" extract --body --folder never -C . '" + corpusDir() + '/' + row[0] + '\'').exitCode, 0);
    int bodies = 0;
    bool html = false;  // stored, carried by the RTF or made from it
    for (const QStringList &other : corpusRows("expected-bodies.tsv")) {
        bodies += other[0] == row[0];
        html = html || (other[0] == row[0] && (other[1] == "html" || other.value(4) == "html" || other.value(4) == "rtf"));
    }
    const QString extracted = out.filePath("message." + (row[1] == "text" ? QStringLiteral("txt") : row[1]));
    QCOMPARE(QFile::exists(extracted), row[1] != "text" || bodies == 1);
    if (row[1] != "text")
        QCOMPARE(sha256(extracted), row[3].toLatin1());
    QCOMPARE(QFile::exists(out.filePath("message.html")), html);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
