// Meetings as iCalendar and contacts as vCard: the rule read from the
// recurrence blob, the calendar read back through libical, and the vCard's
// escaping and folding.
#include "TnefBuilder.h"
#include "platform/ErrorLog.h"
#include "tnef/TNEFCalendar.h"
#include "tnef/TNEFContact.h"
#include "tnef/TNEFMessageItems.h"
#include "tnef/TNEFProps.h"

#include <QtTest>
#include <libical/ical.h>

#include <bit>
#include <cmath>

using namespace tnefbuild;

Q_DECLARE_METATYPE(TNEFCalendarItem)
Q_DECLARE_METATYPE(TNEFContactItem)

namespace {
QDateTime utc(const char *iso) { return QDateTime::fromString(QLatin1String(iso), Qt::ISODate).toUTC(); }

const QDate kMar4(2024, 3, 4);
const QByteArray kWeeklyMoWe = blob(kWeekly, 1, le32(kMo | kWe), 1, kByCount, 10, kMar4, QDate(2024, 4, 3));
const QByteArray kSecondTuesday = blob(kMonthly, 3, le32(kTu) + le32(2), 1, kByDate, 6, QDate(2024, 1, 9), QDate(2024, 6, 11));
// An appointment's part (first start 09:00 local) with one changed
// occurrence, its texts as 8-bit and as UTF-16.
QByteArray changedOccurrence(const char *original, const char *start, const char *end, const QString &subject,
                             const QString &location)
{
    const auto local = [](const char *iso) {
        const QDateTime t = QDateTime::fromString(QLatin1String(iso), Qt::ISODate);
        return le32(minutes(t.date()) + quint32(t.time().msecsSinceStartOfDay() / 60000));
    };
    const QByteArray times = local(start) + local(end) + local(original);
    QByteArray part = le32(0x3006) + le32(0x3009) + le32(540) + le32(600) + le16(1) + times + le16(0x0011);
    for (const QString &text : {subject, location})
        part += le16(quint16(text.size() + 1)) + le16(quint16(text.size())) + QByteArray(text.size(), '?');
    part += le32(0) + le32(4) + le32(0) + le32(0) + times;
    for (const QString &text : {subject, location})
        part += le16(quint16(text.size())) + utf16z(text).chopped(2);
    return part + le32(0) + le32(0);
}
const QByteArray kHijriMonth = blob(kMonthly, 0x000A, le32(5), 1, kNever, 0, kMar4, kMar4);

// The lines of a calendar or card, folded ones joined again; a line over 75
// octets, without its CR or with a character split shows as "bad: ".
QStringList unfolded(const QByteArray &file)
{
    QStringList lines;
    QList<QByteArray> physical = file.split('\n');
    if (!physical.takeLast().isEmpty())
        lines << QStringLiteral("bad: no line end at the end");
    for (const QByteArray &line : physical) {
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        if (text.size() == line.size() || text.size() > 75 || QString::fromUtf8(text).toUtf8() != text)
            lines << "bad: " + QString::fromUtf8(line);
        else if (text.startsWith(' ') && !lines.isEmpty())
            lines.last() += QString::fromUtf8(text.mid(1));
        else
            lines << QString::fromUtf8(text);
    }
    return lines;
}

void keepForPython(const QByteArray &ics);

// A calendar libical reads without an error: one event, with a UID and its
// start before its end, and its changed occurrences, each with the UID and a
// RECURRENCE-ID. Kept for the ctest that reads it with Python's icalendar.
void checkCalendar(const QByteArray &ics)
{
    icalcomponent *calendar = icalparser_parse_string(ics.constData());
    QVERIFY(calendar);
    const auto freeCalendar = qScopeGuard([&] { icalcomponent_free(calendar); });
    QCOMPARE(icalcomponent_count_errors(calendar), 0);
    icalcomponent *event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT);
    const QByteArray uid = icalcomponent_get_uid(event);
    QVERIFY(!uid.isEmpty());
    for (int i = 0; event; event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT), ++i) {
        QVERIFY(icaltime_compare(icalcomponent_get_dtstart(event), icalcomponent_get_dtend(event)) < 0);
        QCOMPARE(QByteArray(icalcomponent_get_uid(event)), uid);
        QCOMPARE(icaltime_is_null_time(icalcomponent_get_recurrenceid(event)), i == 0);
    }
    keepForPython(ics);
}

void keepForPython(const QByteArray &ics)
{
    QDir().mkpath(QStringLiteral(PARVANE_CALENDAR_OUT));
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression("\\W+"), "-");
    QVERIFY(writeFile(QStringLiteral(PARVANE_CALENDAR_OUT "/%1.ics").arg(tag), ics));
}

TNEFCalendarItem meeting(const char *messageClass)
{
    TNEFCalendarItem m;
    m.messageClass = QLatin1String(messageClass);
    m.summary = QStringLiteral("Budget, Q3; review\\plan");
    m.start = utc("2024-03-04T09:00:00Z");
    m.end = utc("2024-03-04T10:00:00Z");
    m.stamp = utc("2024-03-01T12:00:00Z");
    m.location = QStringLiteral("Room 1");
    m.attendees = {{QStringLiteral("Ann"), QStringLiteral("ann@example.com"), TNEFCalendarRole::Required},
                   {QStringLiteral("Bob"), QStringLiteral("bob@example.com"), TNEFCalendarRole::Optional}};
    m.description = QStringLiteral("Line one\nLine two");
    return m;
}

quint64 filetime(const char *iso) { return quint64(utc(iso).toSecsSinceEpoch() + 11644473600LL) * 10000000ULL; }

// Parses the bytes and adds the made file; the list's names and ids, in order.
QStringList parsedItems(const QByteArray &bytes, QByteArray *contents)
{
    QTemporaryDir dir;
    OSErr status = noErr;
    TNEFFile *tnef = writeFile(dir.filePath("in.tnef"), bytes) ? TNEFFileOpen(dir.filePath("in.tnef"), &status) : nullptr;
    if (!tnef || TNEFParseFileList(tnef->forkRefNum, &tnef->fileList, nullptr, &tnef->messagePlaces) != 0)
        return {QStringLiteral("parse failed")};
    TNEFFileAddVirtualItems(tnef);
    QStringList items;
    for (const TNEFFileItem *f = tnef->fileList; f; f = f->next)
        items << QStringLiteral("%1 %2").arg(f->fileID).arg(QString::fromStdString(f->name));
    if (tnef->fileList.head && tnef->fileList->contents) {
        // Written as any attachment is.
        const QString out = dir.filePath(QString::fromStdString(tnef->fileList->name));
        QFile written(out);
        if (TNEFFileSave(tnef, tnef->fileList->fileID, out, false) == noErr && written.open(QIODevice::ReadOnly))
            *contents = written.readAll();
        if (*contents != *tnef->fileList->contents)
            items << QStringLiteral("saved bytes differ");
    }
    TNEFFileDestroy(tnef);
    return items;
}

struct LogCapture {
    LogCapture() { ParvaneSetErrorLogSink([this](const std::string &t) { text += QString::fromStdString(t); }); }
    ~LogCapture() { ParvaneSetErrorLogSink(nullptr); }
    QString text;
};
}  // namespace

class TestCalendar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QDir(QStringLiteral(PARVANE_CALENDAR_OUT)).removeRecursively(); }
    void recurrence_data();
    void recurrence();
    void writesCalendar_data();
    void writesCalendar();
    void writesVCard_data();
    void writesVCard();
    void messageItems_data();
    void messageItems();
    void writesTask_data();
    void writesTask();
    void uidWithoutId_data();
    void uidWithoutId();
};

void TestCalendar::recurrence_data()
{
    QTest::addColumn<QByteArray>("blob");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<bool>("allDay");
    QTest::addColumn<QString>("rule");  // and " EXDATE " each removed occurrence; empty: none, and a log entry saying why

    const QDateTime nine = utc("2024-03-04T09:00:00Z");
    QTest::newRow("weekly, count") << kWeeklyMoWe << nine << false << "FREQ=WEEKLY;COUNT=10;BYDAY=MO,WE";
    QTest::newRow("fortnightly, local evening is the next UTC day")
        << blob(kWeekly, 1, le32(kTu | kTh), 2, kByCount, 6, QDate(2024, 3, 5), QDate(2024, 4, 11))
        << utc("2024-03-06T01:00:00Z") << false << "FREQ=WEEKLY;COUNT=6;INTERVAL=2;BYDAY=WE,FR;WKST=MO";
    QTest::newRow("every 3 days, deleted and modified occurrences")
        << blob(kDaily, 0, {}, 3 * 1440, kNever, 0, kMar4, kMar4, {QDate(2024, 3, 7), QDate(2024, 3, 10)}, {QDate(2024, 3, 10)})
        << nine << false << "FREQ=DAILY;INTERVAL=3 EXDATE 2024-03-07T09:00:00Z";
    QTest::newRow("every weekday") << blob(kDaily, 1, le32(kWeekdays), 1, kNever, 0, kMar4, kMar4) << nine << false
                                   << "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR";
    QTest::newRow("second Tuesday, until") << kSecondTuesday << utc("2024-01-09T14:00:00Z") << false
                                           << "FREQ=MONTHLY;UNTIL=20240611T140000Z;BYDAY=TU;BYSETPOS=2";
    QTest::newRow("last weekday") << blob(kMonthly, 3, le32(kWeekdays) + le32(5), 1, kNever, 0, kMar4, kMar4) << nine
                                  << false << "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1";
    QTest::newRow("day 31 is a short month's last") << blob(kMonthly, 2, le32(31), 2, kNever, 0, QDate(2024, 1, 31), kMar4)
        << utc("2024-01-31T09:00:00Z") << false << "FREQ=MONTHLY;INTERVAL=2;BYMONTHDAY=28,29,30,31;BYSETPOS=-1";
    QTest::newRow("the 1st seen the UTC day before") << blob(kMonthly, 2, le32(1), 1, kNever, 0, QDate(2024, 3, 1), kMar4)
        << utc("2024-02-29T23:00:00Z") << false << "FREQ=MONTHLY;BYMONTHDAY=-1";
    QTest::newRow("yearly all-day holiday") << blob(kYearly, 2, le32(9), 12, kByDate, 0, QDate(2003, 6, 9), QDate(2008, 6, 9))
        << utc("2003-06-08T22:00:00Z") << true << "FREQ=YEARLY;UNTIL=20080609;BYMONTHDAY=9;BYMONTH=6";
    const auto refused = [&](const char *tag, const QByteArray &b, const QDateTime &start) {
        QTest::newRow(tag) << b << start << false << QString();
    };
    refused("day 0 of the month", blob(kMonthly, 2, le32(0), 1, kNever, 0, kMar4, kMar4), nine);
    refused("Hijri month", kHijriMonth, nine);
    refused("Hebrew calendar", blob(kMonthly, 2, le32(5), 1, kNever, 0, kMar4, kMar4, {}, {}, 8), nine);
    refused("nth day seen a UTC day later", kSecondTuesday, utc("2024-01-10T01:00:00Z"));
    refused("other reader version", QByteArray(kWeeklyMoWe).replace(0, 2, le16(0x3005)), nine);
    refused("deleted count past the end", blob(kWeekly, 1, le32(kMo), 1, kNever, 0, kMar4, kMar4).replace(38, 4, le32(0x3FFFFFFF)),
            nine);
}

void TestCalendar::recurrence()
{
    QFETCH(QByteArray, blob);
    QFETCH(QDateTime, start);
    QFETCH(bool, allDay);
    QFETCH(QString, rule);
    LogCapture log;
    std::optional<TNEFCalendarRecurrence> got;
    withSmallAddressSpace([&] { got = TNEFCalendarReadRecurrence(blob, start, allDay); });
    QString text = got ? got->rule : QString();
    for (const QDateTime &t : got ? got->removed : QList<QDateTime>())
        text += " EXDATE " + t.toString(Qt::ISODate);
    QCOMPARE(text, rule);
    QCOMPARE(log.text.startsWith(QLatin1String("Parvane Error -- at TNEFCalendar.cpp, line ")), rule.isEmpty());
    // Cut anywhere, no rule; the appointment's part (the last 18 bytes) is not needed.
    const qsizetype whole = blob.size() - 18;
    for (qsizetype n = 0; n <= whole; ++n)
        QVERIFY2(bool(TNEFCalendarReadRecurrence(blob.left(n), start, allDay)) == (got && n == whole),
                 qPrintable(QString::number(n)));
}

void TestCalendar::writesCalendar_data()
{
    QTest::addColumn<TNEFCalendarItem>("item");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");  // property names

    const QByteArray goidHead = QByteArray::fromHex("040000008200E00074C5B7101A82E008");
    TNEFCalendarItem m = meeting("IPM.Schedule.Meeting.Request");
    m.globalObjectId = goidHead + QByteArray::fromHex("07E80304") + QByteArray(16, '\1') + le32(2) + "\xAB\xCD";
    m.sensitivity = 2;
    m.location.insert(4, QChar(7));  // no control characters in a value
    m.reminderSet = true;
    m.busyStatus = 2;
    m.recurrence = kSecondTuesday;
    m.start = utc("2024-01-09T14:00:00Z");
    m.end = utc("2024-01-09T15:30:00Z");
    m.timeZoneStruct = easternZoneStruct().left(40);  // cut: the series stays in UTC
    QTest::newRow("monthly request") << m
        << QStringList{"UID:040000008200E00074C5B7101A82E008000000000101010101010101010101010101010102000000ABCD",
                       "SUMMARY:Budget\\, Q3\\; review\\\\plan", "LOCATION:Room 1",
                       "ATTENDEE;CN=Ann;ROLE=REQ-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:ann@example.com",
                       "ATTENDEE;CN=Bob;ROLE=OPT-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:bob@example.com",
                       "DESCRIPTION:Line one\\nLine two", "CLASS:PRIVATE", "TRANSP:OPAQUE", "BEGIN:VALARM",
                       "ACTION:DISPLAY", "TRIGGER:-PT15M", "RRULE:FREQ=MONTHLY;UNTIL=20240611T140000Z;BYDAY=TU;BYSETPOS=2"}
        << QStringList{"EXDATE", "STATUS"};
    m = meeting("IPM.Schedule.Meeting.Canceled");
    m.globalObjectId = goidHead + QByteArray(20, '\0') + le32(19) + QByteArray("vCal-Uid\1\0\0\0{42-x}\0", 19);
    m.timeZoneStruct = easternZoneStruct();  // a single event stays in UTC
    QTest::newRow("cancellation") << m
        << QStringList{"METHOD:CANCEL", "UID:{42-x}", "STATUS:CANCELLED", "CLASS:PUBLIC", "DTSTART:20240304T090000Z"}
        << QStringList{"TRIGGER", "TRANSP", "TZID"};
    m = meeting("IPM.Appointment");
    m.start = utc("2024-03-04T14:00:00Z");
    m.end = utc("2024-03-04T15:00:00Z");
    m.recurrence = blob(kWeekly, 1, le32(kMo), 1, kByDate, 0, kMar4, QDate(2024, 5, 13),
                        {QDate(2024, 3, 18), QDate(2024, 3, 25)}, {QDate(2024, 3, 25)}).chopped(18)
        + changedOccurrence("2024-03-25T09:00:00", "2024-03-26T10:00:00", "2024-03-26T11:00:00",
                            QStringLiteral("Moved \u00FC"), QStringLiteral("Room 2"));
    m.timeZoneDefinition = easternDefinition();
    const QString eastern = QStringLiteral(";TZID=Eastern Standard Time:");
    QTest::newRow("weekly series in Eastern time, the rule since 2007")
        << m << QStringList{"TZID:Eastern Standard Time", "DTSTART:16010311T020000", "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3",
                            "DTSTART:16011104T020000", "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11", "TZOFFSETFROM:-0400",
                            "TZOFFSETTO:-0500", "DTSTART" + eastern + "20240304T090000", "DTEND" + eastern + "20240304T100000",
                            "RRULE:FREQ=WEEKLY;UNTIL=20240513T130000Z;BYDAY=MO", "EXDATE" + eastern + "20240318T090000",
                            "RECURRENCE-ID" + eastern + "20240325T090000", "DTSTART" + eastern + "20240326T100000",
                            "DTEND" + eastern + "20240326T110000", "SUMMARY:Moved \u00FC", "LOCATION:Room 2"}
        << QStringList{"STATUS"};
    m.start = utc("2024-03-24T22:00:00Z");  // 09:00 in Sydney, in summer time until 7 April
    m.end = utc("2024-03-24T23:00:00Z");
    m.recurrence = blob(kWeekly, 1, le32(kMo), 1, kByCount, 4, QDate(2024, 3, 25), QDate(2024, 4, 15));
    m.timeZoneDefinition.clear();
    m.timeZoneStruct = le32(quint32(-600)) + le32(0) + le32(quint32(-60)) + le16(0) + zoneChange(4, 0, 1, 3) + le16(0)
        + zoneChange(10, 0, 1, 2);
    m.timeZoneName = QStringLiteral("AUS Eastern Standard Time");
    QTest::newRow("weekly series in Sydney, summer time at the year's start")
        << m << QStringList{"DTSTART;TZID=AUS Eastern Standard Time:20240325T090000", "RRULE:FREQ=WEEKLY;COUNT=4;BYDAY=MO"}
        << QStringList{"EXDATE"};
    m = meeting("ipm.microsoft schedule.mtgrespa");
    m.attendees.removeLast();
    m.reminderSet = true;
    m.reminderMinutes = INT_MAX;
    QTest::newRow("tentative reply, older class, damaged reminder")
        << m << QStringList{"METHOD:REPLY", "ATTENDEE;CN=Ann;ROLE=REQ-PARTICIPANT;PARTSTAT=TENTATIVE:mailto:ann@example.com",
                            "TRIGGER:-P366D"}
        << QStringList{"RRULE"};
    m = meeting("IPM.Appointment");
    m.allDay = true;
    m.start = utc("2003-06-08T22:00:00Z");
    m.end = utc("2003-06-09T22:00:00Z");
    m.busyStatus = 0;
    m.recurrence = kHijriMonth;
    QTest::newRow("all-day holiday, pattern not understood")
        << m << QStringList{"METHOD:PUBLISH", "TRANSP:TRANSPARENT", "DTSTART;VALUE=DATE:20030609",
                            "DTEND;VALUE=DATE:20030610", "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE"}
        << QStringList{"RRULE"};
}

void TestCalendar::writesCalendar()
{
    QFETCH(TNEFCalendarItem, item);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    LogCapture log;
    const QByteArray ics = TNEFCalendarWrite(item);
    QCOMPARE(ics, TNEFCalendarWrite(item));  // the same item gives the same file
    const QStringList lines = unfolded(ics);
    for (const QString &line : present)
        QVERIFY2(lines.contains(line), qPrintable(line + QLatin1String("\n  not in\n") + lines.join(QLatin1Char('\n'))));
    for (const QString &name : absent + QStringList{"bad"})
        QVERIFY2(lines.filter(QRegularExpression(QLatin1Char('^') + name + QLatin1String("[;:]"))).isEmpty(), qPrintable(name));
    checkCalendar(ics);
    // A zone cut anywhere is read whole or not at all; the event is still
    // written, and a recurrence cut inside its changed occurrences keeps its rule.
    for (qsizetype n = 0; n < item.timeZoneDefinition.size(); ++n) {
        TNEFCalendarItem cut = item;
        cut.timeZoneDefinition.truncate(n);
        QVERIFY2(unfolded(TNEFCalendarWrite(cut)).contains(QLatin1String("DTSTART:20240304T140000Z")), qPrintable(QString::number(n)));
    }
    const QStringList rule = lines.filter(QRegularExpression("^RRULE:FREQ=WEEKLY"));
    for (qsizetype n = item.recurrence.size() - 1; n >= 0 && !rule.isEmpty(); --n) {
        TNEFCalendarItem cut = item;
        cut.recurrence.truncate(n);
        const QStringList got = unfolded(TNEFCalendarWrite(cut));
        if (!got.contains(rule.first()))
            break;  // cut inside the pattern
        QVERIFY2(got.filter(QRegularExpression("^(RECURRENCE-ID|bad)")).size() <= 1, qPrintable(QString::number(n)));
    }
}

void TestCalendar::writesVCard_data()
{
    QTest::addColumn<TNEFContactItem>("contact");
    QTest::addColumn<QStringList>("lines");  // the unfolded lines after VERSION

    TNEFContactItem c;
    c.displayName = QStringLiteral("Doe, Jane \\ \"JD\"");
    c.givenName = QStringLiteral("Jane");
    c.familyName = QStringLiteral("Doe; Smith");
    c.emails = {QStringLiteral("jane@example.com")};
    c.phones = {{QStringLiteral("+1 555 0100"), QStringLiteral("work,voice")}, {QStringLiteral("+1 555 0199"), QStringLiteral("CELL")}};
    c.addresses = {{QStringLiteral("work"), QString(), QStringLiteral("1 Main St\r\nSuite 2"), QStringLiteral("Springfield"),
                    QStringLiteral("IL"), QStringLiteral("62701"), QStringLiteral("USA")}};
    c.organization = QStringLiteral("Acme; Inc.");
    c.title = QStringLiteral("Boss, chief");
    c.note = QStringLiteral("a;b\nc\x01");
    QTest::newRow("escaping") << c << QStringList{
        "FN:Doe\\, Jane \\\\ \"JD\"", "N:Doe\\; Smith;Jane;;;", "ORG:Acme\\; Inc.", "TITLE:Boss\\, chief",
        "EMAIL:jane@example.com", "TEL;TYPE=work,voice:+1 555 0100", "TEL;TYPE=cell:+1 555 0199",
        "ADR;TYPE=work:;;1 Main St\\nSuite 2;Springfield;IL;62701;USA", "NOTE:a;b\\nc", "END:VCARD"};
    c = TNEFContactItem();
    c.givenName = QStringLiteral("Ünal");
    c.note = QString(150, QLatin1Char('a')) + QString(100, QChar(0x00E9)) + QString(30, QChar(0x20AC)) + QStringLiteral("𝄞 end");
    QTest::newRow("folding, multi-byte") << c << QStringList{"FN:Ünal", "N:;Ünal;;;", "NOTE:" + c.note, "END:VCARD"};
}

void TestCalendar::writesVCard()
{
    QFETCH(TNEFContactItem, contact);
    QFETCH(QStringList, lines);
    const QStringList got = unfolded(TNEFContactWriteVCard(contact));
    QCOMPARE(got.mid(0, 2), (QStringList{"BEGIN:VCARD", "VERSION:4.0"}));
    QCOMPARE(got.mid(3), lines);  // after PRODID
}

void TestCalendar::messageItems_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("lines");  // in the made file
    QTest::addColumn<QString>("logged");     // a piece of the error log; empty: not looked at

    // Every named property with the id 0x8000, as some servers write them:
    // set and long id tell them apart, and a long id in a set other than its
    // own is another property.
    using tnefprop::PropSet;
    const QByteArray appointment = propertySet(PropSet::Appointment);
    // A message of the class whose block ends with a start and an end.
    const auto when = [&](const char *messageClass, const MapiBlock &block, const char *subject = "Sync",
                          const char *end = "2024-03-04T10:00:00Z") {
        return Tnef().message(attMessageClass, z0(messageClass)).message(attSubject, z0(subject))
            .mapiProps(MapiBlock(block)
                .named(appointment, tnefprop::PidLidAppointmentStartWhole).systime(0x8000, filetime("2024-03-04T09:00:00Z"))
                .named(appointment, tnefprop::PidLidAppointmentEndWhole).systime(0x8000, filetime(end)));
    };
    QTest::newRow("meeting request, one attachment")
        << when("IPM.Schedule.Meeting.Request", MapiBlock()
                    .named(propertySet(PropSet::Common), tnefprop::PidLidLocation).unicode(0x8000, QStringLiteral("not the location"))
                    .named(appointment, tnefprop::PidLidLocation).unicode(0x8000, QStringLiteral("Room; 1"))
                    .named(appointment, tnefprop::PidLidAppointmentSequence).longValue(0x8000, 3)
                    .named(propertySet(PropSet::Meeting), tnefprop::PidLidOwnerCriticalChange)
                    .systime(0x8000, filetime("2024-03-01T12:00:00Z"))
                    .systime(tnefprop::PR_CLIENT_SUBMIT_TIME, filetime("2024-03-02T08:00:00Z"))
                    .unicode(tnefprop::PR_SENDER_NAME, QStringLiteral("Boss"))
                    .unicode(tnefprop::PR_SENDER_EMAIL_ADDRESS, QStringLiteral("boss@example.com"))
                    .unicode(tnefprop::PR_BODY, QStringLiteral("Agenda:\r\n1. Budget")), "Sync: A/B", "2024-03-04T10:30:00Z")
               .title(z0("a.txt")).data("hello").attachment(MapiBlock()).bytes()
        << QStringList{"2 Sync_ A_B.ics", "1 a.txt"}
        << QStringList{"METHOD:REQUEST", "DTSTART:20240304T090000Z", "DTEND:20240304T103000Z", "LOCATION:Room\\; 1",
                       "SEQUENCE:3", "ORGANIZER;CN=Boss:mailto:boss@example.com", "DESCRIPTION:Agenda:\\n1. Budget",
                       "DTSTAMP:20240301T120000Z"}
        << QString();
    const QByteArray goid = QByteArray::fromHex("040000008200E00074C5B7101A82E008") + QByteArray(20, '\0') + le32(24)
        + QByteArray("vCal-Uid\1\0\0\0{organizer}\0", 24);
    QTest::newRow("reply, every named property 0x8000, a name twice")
        << when("IPM.Schedule.Meeting.Resp.Tent", MapiBlock()
                    .named(propertySet(PropSet::Meeting), tnefprop::PidLidCleanGlobalObjectId).binary(0x8000, goid)
                    .named(appointment, tnefprop::PidLidBusyStatus).longValue(0x8000, 1)
                    .named(appointment, tnefprop::PidLidBusyStatus).longValue(0x8000, 3)).bytes()
        << QStringList{"1 Sync.ics"}
        << QStringList{"UID:{organizer}", "X-MICROSOFT-CDO-BUSYSTATUS:TENTATIVE", "DTSTAMP:19700101T000000Z"}
        << QString();
    QTest::newRow("request for someone, attendees as text")
        << when("IPM.Schedule.Meeting.Request", MapiBlock()
                    .unicode(tnefprop::PR_SENT_REPRESENTING_NAME, QStringLiteral("Chief"))
                    .unicode(tnefprop::PR_SENT_REPRESENTING_EMAIL_ADDRESS, QStringLiteral("chief@example.com"))
                    .unicode(tnefprop::PR_SENDER_NAME, QStringLiteral("Assistant"))
                    .unicode(tnefprop::PR_SENDER_EMAIL_ADDRESS, QStringLiteral("assistant@example.com"))
                    .named(appointment, tnefprop::PidLidToAttendeesString)
                    .unicode(0x8000, QStringLiteral("\"Ann A\" <ann@example.com>; Room 5;bob@example.com"))
                    .named(appointment, tnefprop::PidLidCcAttendeesString).unicode(0x8000, QStringLiteral("Carl <carl@example.com>"))
                    .unicode(0x0E04 /* the names in the To line */, QStringLiteral("Ann A; Room 5; bob@example.com"))).bytes()
        << QStringList{"1 Sync.ics"}
        << QStringList{"ORGANIZER;CN=Chief:mailto:chief@example.com",
                       "ATTENDEE;CN=Ann A;ROLE=REQ-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:ann@example.com",
                       "ATTENDEE;ROLE=REQ-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:bob@example.com",
                       "ATTENDEE;CN=Carl;ROLE=OPT-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:carl@example.com"}
        << QString();
    QTest::newRow("weekly series in Eastern time")
        << when("IPM.Appointment", MapiBlock()
                    .named(appointment, tnefprop::PidLidAppointmentRecur)
                    .binary(0x8000, blob(kWeekly, 1, le32(kMo), 1, kByCount, 10, kMar4, QDate(2024, 5, 6)))
                    .named(appointment, tnefprop::PidLidTimeZoneStruct).binary(0x8000, easternZoneStruct())
                    .named(appointment, tnefprop::PidLidTimeZoneDescription).unicode(0x8000, QStringLiteral("Eastern \"US\"")))
               .bytes()
        << QStringList{"1 Sync.ics"}
        << QStringList{"TZID:Eastern US", "DTSTART;TZID=Eastern US:20240304T040000", "RRULE:FREQ=WEEKLY;COUNT=10;BYDAY=MO"}
        << QString();
    QTest::newRow("all-day acceptance")
        << when("IPM.Schedule.Meeting.Resp.Pos", MapiBlock()
                    .named(appointment, tnefprop::PidLidAppointmentSubType).longValue(0x8000, 1)
                    .unicode(tnefprop::PR_SENDER_NAME, QStringLiteral("Ann"))
                    .unicode(tnefprop::PR_SENDER_EMAIL_ADDRESS, QStringLiteral("ann@example.com")), "Sync", "2024-03-05T09:00:00Z")
               .bytes()
        << QStringList{"1 Sync.ics"}
        << QStringList{"METHOD:REPLY", "DTSTART;VALUE=DATE:20240304", "DTEND;VALUE=DATE:20240305",
                       "ATTENDEE;CN=Ann;ROLE=REQ-PARTICIPANT;PARTSTAT=ACCEPTED:mailto:ann@example.com"}
        << QString();

    // Line breaks of every kind in each value that reaches a made file: no
    // value starts a line (an X-EVIL property, a second VEVENT or VCARD).
    QTest::newRow("organizer address of two lines")
        << when("IPM.Schedule.Meeting.Request", MapiBlock()
                    .unicode(tnefprop::PR_SENDER_EMAIL_ADDRESS, QStringLiteral("boss@example.com\r\nX-EVIL:1"))).bytes()
        << QStringList{"1 Sync.ics"} << QStringList{"METHOD:REQUEST"}
        << "calendar address \"boss@example.com??X-EVIL:1\" left out";
    const QByteArray recipients = le32(2)
        + MapiBlock().unicode(PR_DISPLAY_NAME, QStringLiteral("Ann")).unicode(tnefprop::PR_SMTP_ADDRESS, QStringLiteral("ann@example.com\nX-EVIL:2")).bytes()
        + MapiBlock().longValue(tnefprop::PR_RECIPIENT_TYPE, 2).unicode(PR_DISPLAY_NAME, QStringLiteral("Bob\"\r\nX-EVIL:3"))
              .unicode(tnefprop::PR_SMTP_ADDRESS, QStringLiteral("bob@example.com")).bytes();
    QTest::newRow("attendee address of two lines, names of several")
        << when("IPM.Schedule.Meeting.Request", MapiBlock()
                    .unicode(tnefprop::PR_SENDER_NAME, QStringLiteral("Boss\u2028X-EVIL:4"))
                    .unicode(tnefprop::PR_SENDER_EMAIL_ADDRESS, QStringLiteral("boss@example.com")))
               .message(attRecipTable, recipients).bytes()
        << QStringList{"1 Sync.ics"}
        << QStringList{"ORGANIZER;CN=\"Boss X-EVIL:4\":mailto:boss@example.com",
                       "ATTENDEE;CN=\"Bob X-EVIL:3\";ROLE=OPT-PARTICIPANT;PARTSTAT=NEEDS-ACTION;RSVP=TRUE:mailto:bob@example.com"}
        << "calendar address \"ann@example.com?X-EVIL:2\" left out";
    QTest::newRow("summary, location and description of several lines")
        << when("IPM.Appointment", MapiBlock()
                    .named(appointment, tnefprop::PidLidLocation).unicode(0x8000, QStringLiteral("Room\u2028X-EVIL:6"))
                    .unicode(tnefprop::PR_BODY, QStringLiteral("a\u0085X-EVIL:7\r\nEND:VEVENT")), "Sync\rX-EVIL:5").bytes()
        << QStringList{"1 Sync X-EVIL_5.ics"}
        << QStringList{"SUMMARY:Sync\\nX-EVIL:5", "LOCATION:Room\\nX-EVIL:6", "DESCRIPTION:a\\nX-EVIL:7\\nEND:VEVENT"}
        << QString();
    const QByteArray address = propertySet(PropSet::Address);
    QTest::newRow("contact fields of several lines")
        << Tnef().message(attMessageClass, z0("IPM.Contact"))
               .mapiProps(MapiBlock().unicode(PR_DISPLAY_NAME, QStringLiteral("Doe\r\nX-EVIL:8"))
                   .unicode(tnefprop::PR_MOBILE_TELEPHONE_NUMBER, QStringLiteral("+1\u2028X-EVIL:9"))
                   .named(address, tnefprop::PidLidEmail1EmailAddress).unicode(0x8000, QStringLiteral("jane@example.com\nX-EVIL:10"))
                   .named(address, tnefprop::PidLidEmail2EmailAddress).unicode(0x8000, QStringLiteral("jane@example.com"))
                   .named(address, tnefprop::PidLidWorkAddressStreet).unicode(0x8000, QStringLiteral("1 Main\u0085X-EVIL:11")))
               .bytes()
        << QStringList{"1 Doe X-EVIL_8.vcf"}
        << QStringList{"FN:Doe\\nX-EVIL:8", "TEL;TYPE=cell:+1\\nX-EVIL:9", "ADR;TYPE=work:;;1 Main\\nX-EVIL:11;;;;",
                       "EMAIL:jane@example.com"}
        << "e-mail address \"jane@example.com?X-EVIL:10\" left out";

    // Every day for 358 years deleted, and all but the first modified: a
    // look-up of each deleted date among the modified ones would take minutes.
    QList<QDate> deleted, modified;
    for (int day = 1; day <= 131000; ++day) {
        deleted << kMar4.addDays(day);
        modified << kMar4.addDays(131001 - day);
    }
    modified.removeLast();
    const QByteArray manyDates = blob(kDaily, 0, {}, 1440, kNever, 0, kMar4, kMar4, deleted, modified);
    QTest::newRow("131,000 deleted and modified dates")
        << when("IPM.Appointment", MapiBlock().named(appointment, tnefprop::PidLidAppointmentRecur).binary(0x8000, manyDates))
               .bytes()
        << QStringList{"1 Sync.ics"} << QStringList{"RRULE:FREQ=DAILY", "EXDATE:20240305T090000Z"} << QString();
    QTest::newRow("start in the year 10000")
        << when("IPM.Appointment", MapiBlock().named(appointment, tnefprop::PidLidAppointmentStartWhole)
                                       .systime(0x8000, (253402300800ULL + 11644473600ULL) * 10000000ULL)).bytes()
        << QStringList() << QStringList() << "calendar item \"Sync\" starts or ends in a year iCalendar cannot hold";
    QTest::newRow("plain message") << Tnef().message(attMessageClass, z0("IPM.Note")).bytes() << QStringList() << QStringList() << QString();
    QTest::newRow("meeting without a start") << Tnef().message(attMessageClass, z0("IPM.Appointment")).bytes()
                                             << QStringList() << QStringList() << QString();
    // Appointments from the corpus of real files, when it is there.
    QFile holiday(corpusDir() + "/multi-name-property.tnef"), triples(corpusDir() + "/triples.tnef");
    if (holiday.open(QIODevice::ReadOnly) && triples.open(QIODevice::ReadOnly)) {
        QTest::newRow("corpus holiday") << holiday.readAll() << QStringList{"1 Pfingstmontag.ics"}
                                        << QStringList{"SUMMARY:Pfingstmontag", "DTSTART;VALUE=DATE:20030609"} << QString();
        QTest::newRow("corpus triples") << triples.readAll() << QStringList{"1 Sample Summary.ics"}
                                        << QStringList{"SUMMARY:Sample Summary"} << QString();
    }
}

void TestCalendar::messageItems()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QStringList, items);
    QFETCH(QStringList, lines);
    QFETCH(QString, logged);
    LogCapture log;
    QByteArray made, again;
    QCOMPARE(parsedItems(tnef, &made), items);
    parsedItems(tnef, &again);
    QCOMPARE(again, made);  // a run gives the bytes the run before gave
    const QStringList got = unfolded(made);
    for (const QString &line : lines)
        QVERIFY2(got.contains(line), qPrintable(line + QLatin1String(" not in\n") + got.join(QLatin1Char('\n'))));
    QVERIFY2(log.text.contains(logged), qPrintable(log.text));
    QCOMPARE(got.filter(QRegularExpression("^(X-EVIL|bad)")), QStringList());
    if (items.value(0).endsWith(QLatin1String(".ics")))
        checkCalendar(made);
    else if (!made.isEmpty())
        QCOMPARE(got.count(QStringLiteral("BEGIN:VCARD")), 1);
}

void TestCalendar::writesTask_data()
{
    QTest::addColumn<QByteArray>("tnef");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("lines");  // of the VTODO

    using tnefprop::PropSet;
    const QByteArray task = propertySet(PropSet::Task), common = propertySet(PropSet::Common);
    const auto block = [&](double percent, quint32 status, const char *start, const char *due) {
        return MapiBlock()
            .named(task, tnefprop::PidLidTaskStatus).longValue(0x8000, status)
            .named(task, tnefprop::PidLidPercentComplete).fixed(PT_DOUBLE, 0x8000, le64(std::bit_cast<quint64>(percent)))
            .named(task, tnefprop::PidLidTaskStartDate).systime(0x8000, filetime(start))
            .named(task, tnefprop::PidLidTaskDueDate).systime(0x8000, filetime(due));
    };
    const auto message = [](const char *messageClass, const char *subject, const MapiBlock &props) {
        return Tnef().message(attMessageClass, z0(messageClass)).message(attSubject, z0(subject)).mapiProps(props);
    };
    QTest::newRow("in progress, stored as local days")
        << message("IPM.Task", "Write report", block(0.25, 1, "2024-03-04T00:00:00Z", "2024-03-08T00:00:00Z")
                       .named(common, tnefprop::PidLidTaskGlobalId).binary(0x8000, "\x01\xAB")
                       .longValue(0x0017, 2).unicode(tnefprop::PR_BODY, QStringLiteral("Steps:\r\n1. Draft")))
               .date(attDateSent, 2024, 3, 1, 12, 0, 0).bytes()
        << QStringList{"1 Write report.ics"}
        << QStringList{"UID:01AB", "DTSTAMP:20240301T120000Z", "SUMMARY:Write report", "DTSTART;VALUE=DATE:20240304",
                       "DUE;VALUE=DATE:20240308", "STATUS:IN-PROCESS", "PERCENT-COMPLETE:25", "PRIORITY:1",
                       "DESCRIPTION:Steps:\\n1. Draft"};
    QTest::newRow("complete, days turned into UTC, due the day it starts")
        << message("IPM.Task.Custom", "Call back.", block(1.0, 2, "2024-03-07T23:00:00Z", "2024-03-07T23:00:00Z")
                       .named(task, tnefprop::PidLidTaskDateCompleted).systime(0x8000, filetime("2024-03-06T23:00:00Z"))
                       .systime(tnefprop::PR_LAST_MODIFICATION_TIME, filetime("2024-03-09T08:00:00Z"))
                       .longValue(0x0017, 0)).bytes()
        << QStringList{"1 Call back.ics"}
        << QStringList{"UID:digest", "DTSTAMP:20240309T080000Z", "SUMMARY:Call back.", "DUE;VALUE=DATE:20240308",
                       "COMPLETED:20240306T230000Z", "STATUS:COMPLETED", "PERCENT-COMPLETE:100", "PRIORITY:9"};
    // The dates that mean "none", a percentage that is no number, a state
    // that is none of the five, a summary of two lines.
    QTest::newRow("no dates, damaged values")
        << message("ipm.task", "Plan\r\nX-EVIL:1", block(std::nan(""), 7, "4501-01-01T00:00:00Z", "4501-01-01T00:00:00Z")).bytes()
        << QStringList{"1 Plan X-EVIL_1.ics"} << QStringList{"UID:digest", "DTSTAMP:19700101T000000Z", "SUMMARY:Plan\\nX-EVIL:1"};
    // A request carries its task as an attached message.
    const Tnef inner = message("IPM.Task", "Some important task.", block(0, 0, "2024-03-04T00:00:00Z", "2024-03-05T00:00:00Z"));
    QTest::newRow("task request")
        << message("IPM.TaskRequest", "Task Request: Some important task.", MapiBlock())
               .data(embeddedPlaceholder())
               .attachment(MapiBlock().string8(PR_DISPLAY_NAME, z0("Some important task."))
                               .object(PR_ATTACH_DATA_OBJ, inner.bytes())).bytes()
        << QStringList{"2 Some important task.ics", "1 Some important task."}
        << QStringList{"UID:digest", "DTSTAMP:20240304T000000Z", "SUMMARY:Some important task.", "DTSTART;VALUE=DATE:20240304",
                       "DUE;VALUE=DATE:20240305", "STATUS:NEEDS-ACTION", "PERCENT-COMPLETE:0"};
    QTest::newRow("task request without its task")
        << message("IPM.TaskRequest.Accept", "Task Accepted", MapiBlock()).bytes() << QStringList() << QStringList();
}

// Properties in, the VTODO's lines out, in order, the same bytes each time,
// read by libical without an error.
void TestCalendar::writesTask()
{
    QFETCH(QByteArray, tnef);
    QFETCH(QStringList, items);
    QFETCH(QStringList, lines);
    QByteArray made, again;
    QCOMPARE(parsedItems(tnef, &made), items);
    parsedItems(tnef, &again);
    QCOMPARE(made, again);
    if (items.isEmpty())
        return;
    // A UID made of the task's contents shows as its kind only.
    const QStringList got = unfolded(made).replaceInStrings(QRegularExpression("^UID:[0-9A-F]{40}$"), "UID:digest");
    QCOMPARE(got.filter(QRegularExpression("^(X-EVIL|bad)")), QStringList());
    const qsizetype todo = got.indexOf(QStringLiteral("BEGIN:VTODO"));
    QCOMPARE(got.mid(todo + 1), lines + QStringList({"END:VTODO", "END:VCALENDAR"}));

    icalcomponent *calendar = icalparser_parse_string(made.constData());
    QVERIFY(calendar);
    const auto freeCalendar = qScopeGuard([&] { icalcomponent_free(calendar); });
    QCOMPARE(icalcomponent_count_errors(calendar), 0);
    QCOMPARE(icalcomponent_count_components(calendar, ICAL_VTODO_COMPONENT), 1);
    keepForPython(made);
}

// Without an id in the file, the UID is the message's: two messages alike
// in what the calendar shows of them still get two.
void TestCalendar::uidWithoutId_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("same");

    using tnefprop::PropSet;
    const QByteArray appointment = propertySet(PropSet::Appointment), task = propertySet(PropSet::Task);
    const auto meeting = [&](const char *body) {
        return Tnef().message(attMessageClass, z0("IPM.Schedule.Meeting.Request")).message(attSubject, z0("Sync"))
            .mapiProps(MapiBlock().unicode(tnefprop::PR_BODY, QString::fromLatin1(body))
                .named(appointment, tnefprop::PidLidAppointmentStartWhole).systime(0x8000, filetime("2024-03-04T09:00:00Z"))
                .named(appointment, tnefprop::PidLidAppointmentEndWhole).systime(0x8000, filetime("2024-03-04T10:00:00Z")))
            .bytes();
    };
    const auto todo = [&](double percent) {
        return Tnef().message(attMessageClass, z0("IPM.Task")).message(attSubject, z0("Report"))
            .mapiProps(MapiBlock().named(task, tnefprop::PidLidPercentComplete)
                .fixed(PT_DOUBLE, 0x8000, le64(std::bit_cast<quint64>(percent)))).bytes();
    };
    QTest::newRow("meetings, bodies apart") << meeting("First") << meeting("Second") << false;
    QTest::newRow("a meeting twice") << meeting("First") << meeting("First") << true;
    QTest::newRow("tasks, progress apart") << todo(0.25) << todo(0.5) << false;
}

void TestCalendar::uidWithoutId()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, same);
    QStringList uids;
    for (const QByteArray &tnef : {first, second}) {
        QByteArray made;
        parsedItems(tnef, &made);
        const QStringList uid = unfolded(made).filter(QRegularExpression("^UID:[0-9A-F]{40}$"));
        QCOMPARE(uid.size(), 1);
        uids << uid[0];
    }
    QCOMPARE(uids[0] == uids[1], same);
}

QTEST_GUILESS_MAIN(TestCalendar)
#include "tst_calendar.moc"
