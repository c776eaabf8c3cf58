#include "CliMessage.h"

#include "tnef/TNEFRtfText.h"
#include "tnef/TNEFText.h"

#include <QJsonArray>
#include <QLocale>
#include <QMap>

#include <cstdlib>

namespace {

// The instant on the user's clock, with that clock's offset.
QDateTime LocalClock(const QDateTime &date)
{
    const QDateTime local = date.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

// ISO 8601 in the user's time zone, with its offset.
QString IsoDate(const QDateTime &date)
{
    return LocalClock(date).toString(Qt::ISODate);
}

QJsonArray RecipientsJson(const TNEFMessage &message, int type)
{
    QJsonArray list;
    for (const TNEFRecipient &r : message.recipients) {
        if (r.type != type)
            continue;
        QJsonObject entry{{QStringLiteral("name"), r.name}};
        if (!r.address.isEmpty())
            entry.insert(QStringLiteral("address"), r.address);
        list.append(entry);
    }
    return list;
}

const char *BodyName(CliBodyChoice choice)
{
    switch (choice) {
    case CliBodyChoice::Rtf: return "RTF";
    case CliBodyChoice::Html: return "HTML";
    case CliBodyChoice::Text: return "text";
    case CliBodyChoice::Preferred: break;
    }
    return "";
}

// A day as the Date line writes it: "Mon, 04 Mar 2024".
QString DayText(const QDate &date)
{
    return QLocale::c().toString(date, QStringLiteral("ddd, dd MMM yyyy"));
}

// "HH:mm:ss +hhmm" of a time with its clock's offset, the day before it
// when asked.
QString ClockText(const QDateTime &time, bool withDay)
{
    const int offset = time.offsetFromUtc() / 60;
    return (withDay ? DayText(time.date()) + QLatin1Char(' ') : QString())
        + time.time().toString(QStringLiteral("HH:mm:ss"))
        + QString::asprintf(" %c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
}

// A time span as one clock shows it: each end is given by `clock`.
template <typename Clock>
QString SpanText(const TNEFCalendarItem &meeting, Clock clock)
{
    const QDateTime start = clock(meeting.start);
    QString text = ClockText(start, true);
    if (meeting.end.isValid() && meeting.end > meeting.start) {
        const QDateTime end = clock(meeting.end);
        text += QStringLiteral(" to ") + ClockText(end, end.date() != start.date());
    }
    return text;
}

// A meeting's time span in the user's time zone, then in the organizer's
// where the file gives it; an all-day one as its days.
QString WhenText(const TNEFCalendarItem &meeting)
{
    if (meeting.allDay) {
        const QDate first = TNEFCalendarAllDayDate(meeting.start);
        const QDate end = meeting.end.isValid() ? TNEFCalendarAllDayDate(meeting.end) : QDate();
        const QString days = end.isValid() && end.addDays(-1) > first
            ? DayText(first) + QStringLiteral(" to ") + DayText(end.addDays(-1))
            : DayText(first);
        return days + QStringLiteral(" (all day)");
    }
    QString text = SpanText(meeting, LocalClock);
    if (const std::optional<TNEFCalendarZone> zone = TNEFCalendarOrganizerZone(meeting)) {
        const QString name = zone->name.isEmpty() ? QStringLiteral("organizer's zone") : zone->name;
        text += QStringLiteral(" (%1: %2)").arg(name, SpanText(meeting, [&](const QDateTime &utc) {
            return zone->wallClock(utc);
        }));
    }
    return text;
}

const char *const kRoles[] = {"required", "optional", "resource"};

QString AttendeesText(const QList<TNEFCalendarAttendee> &attendees)
{
    QStringList people;
    for (const TNEFCalendarAttendee &person : attendees) {
        QString text = TNEFRecipientText(person.name, person.address);
        if (person.role != TNEFCalendarRole::Required)
            text += QStringLiteral(" (%1)").arg(QLatin1String(kRoles[int(person.role)]));
        people << text;
    }
    return people.join(QStringLiteral(", "));
}

// "a", "a and b", "a, b and c" (or "or" for `last`).
QString ListText(const QStringList &items, const QString &last)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QLatin1Char(' ') + last + QLatin1Char(' ')
        + items.last();
}

// BYDAY's days by name, each moved `shift` days; empty when one is no day.
QStringList DayNames(const QString &byDay, int shift)
{
    static const char *const kCodes[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
    static const char *const kNames[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    QStringList names;
    for (const QString &code : byDay.split(QLatin1Char(','))) {
        const auto it = std::find_if(std::begin(kCodes), std::end(kCodes), [&](const char *c) { return code == QLatin1String(c); });
        if (it == std::end(kCodes))
            return {};
        names << QLatin1String(kNames[(it - std::begin(kCodes) + shift + 7) % 7]);
    }
    return names;
}

// Which day of the month: "day 5", "the last day", "the second Tuesday".
QString MonthDayText(const QMap<QString, QString> &parts, int shift)
{
    static const char *const kOrdinals[] = {"first", "second", "third", "fourth"};
    const QString setPos = parts.value(QStringLiteral("BYSETPOS"));
    if (parts.contains(QStringLiteral("BYDAY"))) {
        const QStringList days = DayNames(parts.value(QStringLiteral("BYDAY")), shift);
        const int pos = setPos.toInt();
        if (days.isEmpty() || pos < -1 || pos == 0 || pos > 4)
            return {};
        return QStringLiteral("the %1 ").arg(QLatin1String(pos == -1 ? "last" : kOrdinals[pos - 1]))
            + ListText(days, QStringLiteral("or"));
    }
    const QStringList days = parts.value(QStringLiteral("BYMONTHDAY")).split(QLatin1Char(','));
    const int day = days.last().toInt();
    // Day 29, 30 or 31, or a shorter month's last day.
    if (days.size() > 1 && setPos == QLatin1String("-1") && day > 28)
        return QStringLiteral("day %1 or the month's last day").arg(day);
    if (days.size() != 1 || day == 0 || day < -2 || day > 31)
        return {};
    if (day < 0)
        return day + shift == -1 ? QStringLiteral("the last day") : QStringLiteral("the day before the last");
    return QStringLiteral("day %1").arg(day + shift >= 1 && day + shift <= 28 ? day + shift : day);
}

// ", 10 times" or ", until Fri, 05 Apr 2024", or nothing.
QString EndText(const QMap<QString, QString> &parts)
{
    if (parts.contains(QStringLiteral("COUNT")))
        return QStringLiteral(", %1 times").arg(parts.value(QStringLiteral("COUNT")));
    const QString until = parts.value(QStringLiteral("UNTIL"));
    if (until.isEmpty())
        return {};
    const QDate date = until.size() == 8
        ? QDate::fromString(until, QStringLiteral("yyyyMMdd"))
        : QDateTime::fromString(until, QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toUTC().toLocalTime().date();
    return date.isValid() ? QStringLiteral(", until ") + DayText(date) : QString();
}

// The rule's UTC days are the user's days this many days on.
int LocalDayShift(const TNEFCalendarItem &meeting)
{
    return meeting.allDay ? 0 : int(meeting.start.toUTC().date().daysTo(meeting.start.toLocalTime().date()));
}

QString RepeatsText(const TNEFCalendarItem &meeting)
{
    if (meeting.recurrence.isEmpty())
        return {};
    const std::optional<TNEFCalendarRecurrence> recurrence =
        TNEFCalendarReadRecurrence(meeting.recurrence, meeting.start, meeting.allDay);
    return recurrence ? CliRecurrenceText(recurrence->rule, LocalDayShift(meeting)) : QString();
}

QString TaskStatusText(const TNEFTaskItem &task)
{
    QStringList parts{TNEFTaskStatusText(task.status)};
    if (task.percent >= 0)
        parts << QStringLiteral("%1% complete").arg(task.percent);
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString CliRecurrenceText(const QString &rule, int dayShift)
{
    QMap<QString, QString> parts;
    for (const QString &part : rule.split(QLatin1Char(';')))
        parts.insert(part.section(QLatin1Char('='), 0, 0), part.section(QLatin1Char('='), 1));
    const QString freq = parts.value(QStringLiteral("FREQ"));
    const int interval = parts.value(QStringLiteral("INTERVAL"), QStringLiteral("1")).toInt();
    const auto every = [&](const char *unit) {
        return interval == 1 ? QStringLiteral("every %1").arg(QLatin1String(unit))
                             : QStringLiteral("every %1 %2s").arg(interval).arg(QLatin1String(unit));
    };
    QString text;
    if (freq == QLatin1String("DAILY")) {
        text = every("day");
    } else if (freq == QLatin1String("WEEKLY")) {
        const QStringList days = DayNames(parts.value(QStringLiteral("BYDAY")), dayShift);
        if (days.isEmpty())
            return {};
        text = interval == 1 ? QStringLiteral("every ") + ListText(days, QStringLiteral("and"))
                             : every("week") + QStringLiteral(" on ") + ListText(days, QStringLiteral("and"));
    } else if (freq == QLatin1String("MONTHLY") || freq == QLatin1String("YEARLY")) {
        const QString which = MonthDayText(parts, dayShift);
        if (which.isEmpty())
            return {};
        text = every(freq == QLatin1String("MONTHLY") ? "month" : "year") + QStringLiteral(" on ") + which;
        if (freq == QLatin1String("YEARLY")) {
            const int month = parts.value(QStringLiteral("BYMONTH")).toInt();
            if (month < 1 || month > 12)
                return {};
            text += QStringLiteral(" of ") + QLocale::c().standaloneMonthName(month);
        }
    } else {
        return {};
    }
    return text + EndText(parts);
}

CliMessageItem CliMessageReadItem(const TNEFFile *tnefFile, const TNEFMessage &message)
{
    CliMessageItem item;
    TNEFCalendarItem meeting;
    if (TNEFMessageReadCalendar(tnefFile->forkRefNum, tnefFile->messagePlaces, message, &meeting)
        && meeting.start.isValid())
        item.meeting = meeting;
    TNEFTaskItem task;
    if (TNEFFileReadTask(tnefFile, message, &task))
        item.task = task;
    return item;
}

QStringList CliMessageItemLines(const CliMessageItem &item)
{
    QStringList lines;
    const auto add = [&](const char *field, const QString &value) {
        if (!value.isEmpty())
            lines << QLatin1String(field) + QLatin1String(": ") + value;
    };
    if (const auto &m = item.meeting) {
        add("When", WhenText(*m));
        add("Where", m->location);
        add("Organizer", TNEFRecipientText(m->organizerName, m->organizerAddress));
        add("Attendees", AttendeesText(m->attendees));
        add("Repeats", RepeatsText(*m));
    }
    if (const auto &t = item.task) {
        add("Start", t->start.isValid() ? DayText(t->start) : QString());
        add("Due", t->due.isValid() ? DayText(t->due) : QString());
        add("Status", TaskStatusText(*t));
    }
    return lines;
}

void CliMessageItemJson(const CliMessageItem &item, QJsonObject *json)
{
    if (const auto &m = item.meeting) {
        QJsonObject meeting{{QStringLiteral("start"), IsoDate(m->start)}, {QStringLiteral("allDay"), m->allDay}};
        if (m->end.isValid())
            meeting.insert(QStringLiteral("end"), IsoDate(m->end));
        if (const std::optional<TNEFCalendarZone> zone = TNEFCalendarOrganizerZone(*m); zone && !m->allDay) {
            QJsonObject organizerZone{{QStringLiteral("name"), zone->name},
                                      {QStringLiteral("start"), zone->wallClock(m->start).toString(Qt::ISODate)}};
            if (m->end.isValid())
                organizerZone.insert(QStringLiteral("end"), zone->wallClock(m->end).toString(Qt::ISODate));
            meeting.insert(QStringLiteral("organizerZone"), organizerZone);
        }
        if (!m->location.isEmpty())
            meeting.insert(QStringLiteral("location"), m->location);
        if (!m->organizerAddress.isEmpty() || !m->organizerName.isEmpty())
            meeting.insert(QStringLiteral("organizer"), QJsonObject{{QStringLiteral("name"), m->organizerName},
                                                                    {QStringLiteral("address"), m->organizerAddress}});
        QJsonArray attendees;
        for (const TNEFCalendarAttendee &person : m->attendees)
            attendees.append(QJsonObject{{QStringLiteral("name"), person.name},
                                         {QStringLiteral("address"), person.address},
                                         {QStringLiteral("role"), QLatin1String(kRoles[int(person.role)])}});
        if (!attendees.isEmpty())
            meeting.insert(QStringLiteral("attendees"), attendees);
        if (const QString repeats = RepeatsText(*m); !repeats.isEmpty())
            meeting.insert(QStringLiteral("repeats"), repeats);
        json->insert(QStringLiteral("meeting"), meeting);
    }
    if (const auto &t = item.task) {
        QJsonObject task;
        if (t->start.isValid())
            task.insert(QStringLiteral("start"), t->start.toString(Qt::ISODate));
        if (t->due.isValid())
            task.insert(QStringLiteral("due"), t->due.toString(Qt::ISODate));
        if (t->completed.isValid())
            task.insert(QStringLiteral("completed"), IsoDate(t->completed));
        if (const QString status = TNEFTaskStatusText(t->status); !status.isEmpty())
            task.insert(QStringLiteral("status"), status);
        if (t->percent >= 0)
            task.insert(QStringLiteral("percentComplete"), t->percent);
        json->insert(QStringLiteral("task"), task);
    }
}

QStringList CliMessageHeaderLines(const TNEFMessage &message)
{
    QStringList lines;
    const auto add = [&](const char *field, const QString &value) {
        if (!value.isEmpty())
            lines << QLatin1String(field) + QLatin1String(": ") + value;
    };
    add("Subject", message.subject);
    add("From", TNEFRecipientText(message.senderName, message.senderAddress));
    add("To", TNEFMessageRecipientsText(message, TNEFRecipient::To));
    add("Cc", TNEFMessageRecipientsText(message, TNEFRecipient::Cc));
    const QDateTime date = message.sent.isValid() ? message.sent : message.received;
    if (date.isValid())
        add("Date", date.toLocalTime().toString(Qt::RFC2822Date));
    add("Class", message.messageClass);
    return lines;
}

QByteArray CliMessageTerminalText(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    while (text.endsWith('\n'))
        text.chop(1);
    return text.isEmpty() ? text : text + '\n';
}

SInt32 CliMessageGetBody(SInt16 forkRefNum, const TNEFMessage &message, CliBodyChoice choice, TNEFBody *body)
{
    switch (choice) {
    case CliBodyChoice::Rtf: return TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Rtf, body);
    case CliBodyChoice::Html: return TNEFMessageGetHtml(forkRefNum, message, body);
    case CliBodyChoice::Text: return TNEFMessageGetText(forkRefNum, message, body);
    case CliBodyChoice::Preferred: break;
    }
    return TNEFMessageGetPreferredBody(forkRefNum, message, body);
}

QString CliMessageBodyError(CliBodyChoice choice, SInt32 code)
{
    if (code == kTNEFMessageErrNoBody)
        return choice == CliBodyChoice::Preferred ? QStringLiteral("the message has no body")
                                                  : QStringLiteral("the message has no %1 body").arg(QLatin1String(BodyName(choice)));
    if (code == kTNEFMessageErrTooLarge)
        return QStringLiteral("the body is larger than %1 MiB").arg(kTNEFBodyMaxSize >> 20);
    if (code <= kTNEFRtfErrHeader && code >= kTNEFRtfErrTooLarge)
        return TNEFRtfErrorText(code) + QStringLiteral(" (code %1)").arg(code);
    return QStringLiteral("the body cannot be read (status %1)").arg(code);
}

QString CliMessageBodyWarning(const TNEFRtfReport &report)
{
    if (report.crcMismatch)
        return QStringLiteral("the compressed RTF's CRC does not match its data; the body may be damaged");
    if (report.truncated)
        return QStringLiteral("the compressed RTF ends early; the body is incomplete");
    return QString();
}

QJsonObject CliMessageJson(SInt16 forkRefNum, const TNEFMessage &message)
{
    QJsonObject json;
    const auto add = [&](const char *key, const QJsonValue &value) {
        const bool empty = value.isString() ? value.toString().isEmpty() : value.isArray() && value.toArray().isEmpty();
        if (!empty)
            json.insert(QLatin1String(key), value);
    };
    add("subject", message.subject);
    if (!message.senderName.isEmpty() || !message.senderAddress.isEmpty()) {
        QJsonObject from{{QStringLiteral("name"), message.senderName}};
        if (!message.senderAddress.isEmpty())
            from.insert(QStringLiteral("address"), message.senderAddress);
        json.insert(QStringLiteral("from"), from);
    }
    add("to", RecipientsJson(message, TNEFRecipient::To));
    add("cc", RecipientsJson(message, TNEFRecipient::Cc));
    add("bcc", RecipientsJson(message, TNEFRecipient::Bcc));
    if (message.sent.isValid())
        add("sent", IsoDate(message.sent));
    if (message.received.isValid())
        add("received", IsoDate(message.received));
    add("class", message.messageClass);
    static const char *const kImportance[] = {"low", "normal", "high"};
    if (message.importance >= 0 && message.importance <= 2)
        add("importance", QLatin1String(kImportance[message.importance]));
    QJsonArray bodies;
    TNEFBody body;
    if (message.textBody)
        bodies.append(QStringLiteral("text"));
    if (message.htmlBody)
        bodies.append(QStringLiteral("html"));
    // What the RTF holds stands in its header: its start says it.
    constexpr UInt32 kRtfHeaderLimit = 64 * 1024;
    if (TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Rtf, &body, kRtfHeaderLimit) == noErr) {
        bodies.append(QStringLiteral("rtf"));
        static const char *const kOrigins[] = {"rtf", "html", "text"};
        add("rtfHolds", QLatin1String(kOrigins[int(TNEFRtfGetOrigin(body.bytes))]));
    }
    add("bodies", bodies);
    // Which HTML the window, `body --html` and `extract --body` give: told
    // from its first bytes.
    if (TNEFMessageGetHtml(forkRefNum, message, &body, kRtfHeaderLimit) == noErr) {
        add("html", QLatin1String(body.kind == TNEFBodyKind::Html          ? "stored"
                                  : body.kind == TNEFBodyKind::HtmlFromRtf ? "carried-by-rtf"
                                                                           : "made-from-rtf"));
    }
    return json;
}

QByteArray CliMessageJsonText(SInt16 forkRefNum, const TNEFMessage &message, QString *warning)
{
    TNEFBody body;
    if (TNEFMessageGetText(forkRefNum, message, &body) != noErr || body.bytes.isEmpty())
        return QByteArray();
    *warning = CliMessageBodyWarning(body.rtf);
    // The text may be tens of megabytes: it is escaped straight from its
    // UTF-8 (which the model made, so valid), never held as UTF-16 or as a
    // JSON value besides.
    QByteArray out = "\"text\":\"";
    out.reserve(body.bytes.size() + body.bytes.size() / 8 + 16);
    for (const char c : std::as_const(body.bytes)) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            static const char kShort[] = "btn\0fr";  // \b \t \n and \f \r
            if (b >= 8 && b <= 13 && b != 11)
                out += '\\', out += kShort[b - 8];
            else
                out += "\\u00" + QByteArray::number(b, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

QJsonObject CliListJson(const TNEFFile *tnefFile,
                        const std::function<void(const TNEFFileItem *item, QJsonObject *entry)> &more)
{
    QJsonArray attachments;
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next) {
        QJsonObject entry{
            {QStringLiteral("id"), qint64(item->fileID)},
            {QStringLiteral("name"), TNEFFileItemTitle(item)},
            {QStringLiteral("size"), qint64(item->dataLength)},
            {QStringLiteral("attachedMessage"), item->isTNEF == -1},
        };
        if (more)
            more(item, &entry);
        attachments.append(entry);
    }
    return QJsonObject{{QStringLiteral("attachments"), attachments}};
}

QJsonObject CliAttributeJson(const TNEFAttributeItem *item, const QString &name, const QString &preview)
{
    return QJsonObject{
        {QStringLiteral("id"), qint64(item->objectID)},
        {QStringLiteral("attribute"), QStringLiteral("0x%1").arg(item->attribute, 8, 16, QLatin1Char('0'))},
        {QStringLiteral("name"), name},
        {QStringLiteral("size"), qint64(item->length)},
        {QStringLiteral("sizeText"), TNEFTextCreateSizeText(item->length)},
        {QStringLiteral("preview"), preview},
    };
}
