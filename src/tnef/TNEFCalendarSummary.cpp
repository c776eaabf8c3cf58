#include "TNEFCalendarSummary.h"

#include "TNEFTask.h"

#include <QLocale>
#include <QMap>

#include <algorithm>
#include <cstdlib>

namespace {

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
// where the file gives it and its clock shows other times; an all-day one
// as its days.
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
    QString text = SpanText(meeting, TNEFLocalClock);
    const std::optional<TNEFCalendarZone> zone = TNEFCalendarOrganizerZone(meeting);
    const auto sameClock = [&](const QDateTime &utc) {
        return !utc.isValid() || zone->wallClock(utc).offsetFromUtc() == TNEFLocalClock(utc).offsetFromUtc();
    };
    if (zone && !(sameClock(meeting.start) && sameClock(meeting.end))) {
        const QString name = zone->name.isEmpty() ? QStringLiteral("organizer's zone") : zone->name;
        text += QStringLiteral(" (%1: %2)").arg(name, SpanText(meeting, [&](const QDateTime &utc) {
            return zone->wallClock(utc);
        }));
    }
    return text;
}

QString AttendeesText(const QList<TNEFCalendarAttendee> &attendees)
{
    QStringList people;
    for (const TNEFCalendarAttendee &person : attendees) {
        QString text = TNEFRecipientText(person.name, person.address);
        if (person.role != TNEFCalendarRole::Required)
            text += QStringLiteral(" (%1)").arg(TNEFCalendarRoleText(person.role));
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

QString TaskStatusText(const TNEFTaskItem &task)
{
    QStringList parts{TNEFTaskStatusText(task.status)};
    if (task.percent >= 0)
        parts << QStringLiteral("%1% complete").arg(task.percent);
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

} // namespace

QDateTime TNEFLocalClock(const QDateTime &date)
{
    const QDateTime local = date.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc());
}

QLatin1String TNEFCalendarRoleText(TNEFCalendarRole role)
{
    static const char *const kRoles[] = {"required", "optional", "resource"};
    return QLatin1String(kRoles[int(role)]);
}

QString TNEFCalendarResponseText(const QString &messageClass)
{
    TNEFCalendarResponse response = TNEFCalendarResponse::None;
    if (TNEFCalendarMethodForClass(messageClass, &response) != TNEFCalendarMethod::Reply)
        return {};
    switch (response) {
    case TNEFCalendarResponse::Accepted: return QStringLiteral("Accepted");
    case TNEFCalendarResponse::Tentative: return QStringLiteral("Tentative");
    case TNEFCalendarResponse::Declined: return QStringLiteral("Declined");
    case TNEFCalendarResponse::None: break;
    }
    return {};
}

QString TNEFCalendarRepeatsText(const TNEFCalendarItem &meeting)
{
    if (meeting.recurrence.isEmpty())
        return {};
    const std::optional<TNEFCalendarRecurrence> recurrence =
        TNEFCalendarReadRecurrence(meeting.recurrence, meeting.start, meeting.allDay);
    return recurrence ? TNEFCalendarRecurrenceText(recurrence->rule, LocalDayShift(meeting)) : QString();
}

QString TNEFCalendarRecurrenceText(const QString &rule, int dayShift)
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

TNEFCalendarSummary TNEFCalendarSummaryRead(const TNEFFile *tnefFile, const TNEFMessage &message)
{
    TNEFCalendarSummary item;
    TNEFCalendarItem meeting;
    if (TNEFMessageReadCalendar(tnefFile->forkRefNum, tnefFile->messagePlaces, message, &meeting)
        && meeting.start.isValid())
        item.meeting = meeting;
    TNEFTaskItem task;
    if (TNEFFileReadTask(tnefFile, message, &task))
        item.task = task;
    return item;
}

QList<TNEFSummaryLine> TNEFCalendarSummaryLines(const TNEFCalendarSummary &item)
{
    QList<TNEFSummaryLine> lines;
    const auto add = [&](const char *field, const QString &value) {
        if (!value.isEmpty())
            lines.append({QLatin1String(field), value});
    };
    if (const auto &m = item.meeting) {
        add("When", WhenText(*m));
        add("Where", m->location);
        add("Organizer", TNEFRecipientText(m->organizerName, m->organizerAddress));
        add("Attendees", AttendeesText(m->attendees));
        add("Repeats", TNEFCalendarRepeatsText(*m));
    }
    if (const auto &t = item.task) {
        add("Start", t->start.isValid() ? DayText(t->start) : QString());
        add("Due", t->due.isValid() ? DayText(t->due) : QString());
        add("Status", TaskStatusText(*t));
    }
    return lines;
}

