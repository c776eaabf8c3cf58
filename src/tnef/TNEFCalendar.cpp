#include "TNEFCalendar.h"
#include "TNEFICalTime.h"

#include "platform/ErrorLog.h"
#include "platform/TextCodec.h"

#include <QCryptographicHash>
#include <QStringList>
#include <QtEndian>
#include <libical/ical.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

namespace {

struct ClassMethod {
    const char *messageClass;
    TNEFCalendarMethod method;
    TNEFCalendarResponse response;
};

constexpr ClassMethod kClassMethods[] = {
    {"IPM.Schedule.Meeting.Request", TNEFCalendarMethod::Request, TNEFCalendarResponse::None},
    {"IPM.Schedule.Meeting.Canceled", TNEFCalendarMethod::Cancel, TNEFCalendarResponse::None},
    {"IPM.Schedule.Meeting.Resp.Pos", TNEFCalendarMethod::Reply, TNEFCalendarResponse::Accepted},
    {"IPM.Schedule.Meeting.Resp.Neg", TNEFCalendarMethod::Reply, TNEFCalendarResponse::Declined},
    {"IPM.Schedule.Meeting.Resp.Tent", TNEFCalendarMethod::Reply, TNEFCalendarResponse::Tentative},
    {"IPM.Microsoft Schedule.MtgReq", TNEFCalendarMethod::Request, TNEFCalendarResponse::None},
    {"IPM.Microsoft Schedule.MtgCncl", TNEFCalendarMethod::Cancel, TNEFCalendarResponse::None},
    {"IPM.Microsoft Schedule.MtgRespP", TNEFCalendarMethod::Reply, TNEFCalendarResponse::Accepted},
    {"IPM.Microsoft Schedule.MtgRespN", TNEFCalendarMethod::Reply, TNEFCalendarResponse::Declined},
    {"IPM.Microsoft Schedule.MtgRespA", TNEFCalendarMethod::Reply, TNEFCalendarResponse::Tentative},
    {"IPM.Appointment", TNEFCalendarMethod::Publish, TNEFCalendarResponse::None},
};

// The recurrence blob's fixed values.
constexpr UInt16 kRecurVersion = 0x3004;
enum : UInt16 { kFreqDaily = 0x200A, kFreqWeekly = 0x200B, kFreqMonthly = 0x200C, kFreqYearly = 0x200D };
enum : UInt16 {
    kPatternDay = 0x0000,
    kPatternWeek = 0x0001,
    kPatternMonth = 0x0002,
    kPatternMonthNth = 0x0003,
    kPatternMonthEnd = 0x0004,
    kPatternHjMonth = 0x000A,
    kPatternHjMonthNth = 0x000B,
    kPatternHjMonthEnd = 0x000C,
};
enum : UInt32 { kEndAfterDate = 0x2021, kEndAfterCount = 0x2022, kEndNever = 0x2023, kEndNeverOld = 0xFFFFFFFF };
constexpr qint64 kMinutesPerDay = 1440;
// Senders offer intervals up to 999; libical keeps the interval in a short.
constexpr UInt32 kMaxInterval = 999;
constexpr qint64 kMaxReminderMinutes = 366 * kMinutesPerDay;
// iCalendar writes years with four digits.
constexpr int kLastYear = 9999;
const char *const kWeekdays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// Little-endian reads that never pass the blob's end.
class BlobReader {
public:
    explicit BlobReader(const QByteArray &bytes) : m_bytes(bytes) {}
    bool u16(UInt16 *value) { return read(value); }
    bool u32(UInt32 *value) { return read(value); }
    qsizetype position() const { return m_pos; }
    bool skip(qsizetype count)
    {
        if (count < 0 || m_bytes.size() - m_pos < count)
            return false;
        m_pos += count;
        return true;
    }
    // `count` 32-bit values, refused before anything is allocated when the
    // blob cannot hold them.
    bool u32List(UInt32 count, QList<UInt32> *values)
    {
        if (count > UInt32((m_bytes.size() - m_pos) / 4))
            return false;
        values->resize(qsizetype(count));
        for (UInt32 &value : *values)
            read(&value);
        return true;
    }

private:
    template <typename T>
    bool read(T *value)
    {
        if (m_bytes.size() - m_pos < qsizetype(sizeof(T)))
            return false;
        *value = qFromLittleEndian<T>(m_bytes.constData() + m_pos);
        m_pos += sizeof(T);
        return true;
    }
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

struct RecurrencePattern {
    UInt16 frequency = 0;
    UInt16 patternType = 0;
    UInt16 calendarType = 0;
    UInt32 period = 0;
    UInt32 dayMask = 0;   // bit 0 Sunday .. bit 6 Saturday
    UInt32 monthDay = 0;
    UInt32 nth = 0;       // 1..4, 5 for the last
    UInt32 endType = 0;
    UInt32 occurrenceCount = 0;
    UInt32 firstDayOfWeek = 0;
    QList<UInt32> deleted;   // local midnights, minutes since 1601
    QList<UInt32> modified;
    UInt32 startDate = 0;
    UInt32 endDate = 0;
};

bool readPattern(BlobReader &in, const QByteArray &blob, RecurrencePattern *p, std::string *why)
{
    UInt16 readerVersion = 0, writerVersion = 0;
    UInt32 firstDateTime = 0, slidingFlag = 0, count = 0;
    if (!in.u16(&readerVersion) || !in.u16(&writerVersion) || !in.u16(&p->frequency)
        || !in.u16(&p->patternType) || !in.u16(&p->calendarType) || !in.u32(&firstDateTime)
        || !in.u32(&p->period) || !in.u32(&slidingFlag)) {
        *why = "the blob ends inside its header";
        return false;
    }
    if (readerVersion != kRecurVersion) {
        *why = "reader version " + std::to_string(readerVersion);
        return false;
    }
    bool specific = true;
    switch (p->patternType) {
    case kPatternDay:
        break;
    case kPatternWeek:
        specific = in.u32(&p->dayMask);
        break;
    case kPatternMonth:
    case kPatternMonthEnd:
    case kPatternHjMonth:
    case kPatternHjMonthEnd:
        specific = in.u32(&p->monthDay);
        break;
    case kPatternMonthNth:
    case kPatternHjMonthNth:
        specific = in.u32(&p->dayMask) && in.u32(&p->nth);
        break;
    default:
        *why = "pattern type " + std::to_string(p->patternType);
        return false;
    }
    if (!specific || !in.u32(&p->endType) || !in.u32(&p->occurrenceCount) || !in.u32(&p->firstDayOfWeek)
        || !in.u32(&count) || !in.u32List(count, &p->deleted) || !in.u32(&count)
        || !in.u32List(count, &p->modified) || !in.u32(&p->startDate) || !in.u32(&p->endDate)) {
        *why = "the blob of " + std::to_string(blob.size()) + " bytes ends inside its pattern";
        return false;
    }
    return true;
}

// What a changed occurrence changes; each flag but the last adds a field.
enum : UInt16 { kChangedSubject = 0x0001, kChangedLocation = 0x0010, kChangedLastField = 0x0100 };

struct ExceptionEntry {
    UInt32 start = 0, end = 0, original = 0;  // local minutes since 1601
    UInt16 flags = 0;
    QString summary, location;
};

// Text of `length` bytes at the reader, in the code page.
bool readText(BlobReader &in, const QByteArray &blob, qsizetype length, UInt32 codePage, QString *text)
{
    const qsizetype at = in.position();
    if (!in.skip(length))
        return false;
    *text = TextDecodeCodePage(blob.constData() + at, size_t(length), codePage);
    return true;
}

// One changed occurrence as the appointment's part lists it first, with
// its texts in the sender's 8-bit code page (taken as Windows-1252).
bool readException(BlobReader &in, const QByteArray &blob, ExceptionEntry *e)
{
    if (!in.u32(&e->start) || !in.u32(&e->end) || !in.u32(&e->original) || !in.u16(&e->flags))
        return false;
    for (UInt16 flag = 1; flag <= kChangedLastField; flag <<= 1) {
        if (!(e->flags & flag))
            continue;
        UInt16 length = 0, bytes = 0;
        if (flag == kChangedSubject || flag == kChangedLocation) {
            if (!in.u16(&length) || !in.u16(&bytes)
                || !readText(in, blob, bytes, 1252, flag == kChangedSubject ? &e->summary : &e->location))
                return false;
        } else if (!in.skip(4)) {
            return false;
        }
    }
    return true;
}

// Blocks the format keeps for later: a size, then as many bytes.
bool skipReserved(BlobReader &in)
{
    UInt32 size = 0;
    return in.u32(&size) && in.skip(qsizetype(size));
}

// The same occurrence's later entry, with its texts in UTF-16.
bool readExtendedException(BlobReader &in, const QByteArray &blob, UInt32 writerVersion, ExceptionEntry *e)
{
    if ((writerVersion >= 0x3009 && !skipReserved(in)) || !skipReserved(in))
        return false;
    if (!(e->flags & (kChangedSubject | kChangedLocation)))
        return true;
    UInt32 times[3];
    if (!in.u32(&times[0]) || !in.u32(&times[1]) || !in.u32(&times[2]))
        return false;
    for (const auto &[flag, text] : {std::pair{kChangedSubject, &e->summary}, std::pair{kChangedLocation, &e->location}}) {
        UInt16 length = 0;
        if ((e->flags & flag) && (!in.u16(&length) || !readText(in, blob, 2 * qsizetype(length), kCodePageUTF16LE, text)))
            return false;
    }
    return skipReserved(in);
}

// The changed occurrences an appointment's part lists after its pattern,
// and the first occurrence's start in minutes after its local midnight.
// None where the part is absent or cut: the series itself is still right.
QList<ExceptionEntry> readExceptions(BlobReader &in, const QByteArray &blob, UInt32 *startOffset)
{
    UInt32 readerVersion = 0, writerVersion = 0, endOffset = 0;
    UInt16 count = 0;
    if (!in.u32(&readerVersion) || !in.u32(&writerVersion) || !in.u32(startOffset) || !in.u32(&endOffset)
        || !in.u16(&count))
        return {};
    QList<ExceptionEntry> entries;
    for (UInt16 i = 0; i < count; ++i) {
        ExceptionEntry e;
        if (!readException(in, blob, &e))
            return {};
        entries << e;
    }
    if (!skipReserved(in))
        return entries;
    for (ExceptionEntry &e : entries) {
        ExceptionEntry wide = e;
        if (!readExtendedException(in, blob, writerVersion, &wide))
            break;
        e = wide;
    }
    return entries;
}

QDate dateFromMinutes(UInt32 minutes)
{
    return QDate(1601, 1, 1).addDays(qint64(minutes) / kMinutesPerDay);
}

// The mask's days each moved `shift` days on (-1, 0 or 1).
UInt32 rotateWeekdays(UInt32 mask, int shift)
{
    mask &= 0x7F;
    if (shift > 0)
        return ((mask << 1) | (mask >> 6)) & 0x7F;
    if (shift < 0)
        return ((mask >> 1) | (mask << 6)) & 0x7F;
    return mask;
}

QString weekdayList(UInt32 mask)
{
    QStringList days;
    for (int i = 1; i <= 7; ++i) {  // Monday first, Sunday last
        if (mask & (1u << (i % 7)))
            days << QLatin1String(kWeekdays[i % 7]);
    }
    return days.join(QLatin1Char(','));
}

// BYMONTHDAY (and BYSETPOS) for an occurrence on local day `day` (0 for
// the month's last day) seen `shift` days later in UTC; *monthShift gets
// the month the UTC day falls in, relative to the local one. False where
// no rule names that day in every month.
bool monthDayParts(UInt32 day, int shift, QStringList *parts, int *monthShift)
{
    *monthShift = 0;
    if (day == 0) {
        if (shift > 0) {
            *parts << QStringLiteral("BYMONTHDAY=1");
            *monthShift = 1;
        } else {
            *parts << QStringLiteral("BYMONTHDAY=%1").arg(shift < 0 ? -2 : -1);
        }
        return true;
    }
    if (day > 31)
        return false;
    if (shift == 0 && day > 28) {
        // The sender's day 29, 30 or 31 falls on a shorter month's last day.
        QStringList days;
        for (UInt32 d = 28; d <= day; ++d)
            days << QString::number(d);
        *parts << QStringLiteral("BYMONTHDAY=") + days.join(QLatin1Char(',')) << QStringLiteral("BYSETPOS=-1");
        return true;
    }
    if (shift < 0 && day == 1) {
        *parts << QStringLiteral("BYMONTHDAY=-1");
        *monthShift = -1;
        return true;
    }
    if ((shift < 0 && day > 28) || (shift > 0 && day > 27))
        return false;
    *parts << QStringLiteral("BYMONTHDAY=%1").arg(int(day) + shift);
    return true;
}

bool gregorianMonths(UInt16 calendarType)
{
    // Default, the Gregorian calendars and the era calendars that count
    // Gregorian months (Japan, Taiwan, Korea, Thai).
    return calendarType <= 5 || calendarType == 7 || (calendarType >= 9 && calendarType <= 12);
}

// The parts of a rule that say how often and on which days: FREQ, the
// interval and the BY parts, for the pattern seen `shift` days later in UTC.
struct RuleParts {
    QString freq;
    UInt32 interval = 0;
    QStringList by;
};

std::string patternName(const RecurrencePattern &p)
{
    return "frequency " + std::to_string(p.frequency) + " with pattern type " + std::to_string(p.patternType)
        + " in calendar " + std::to_string(p.calendarType);
}

bool weeklyParts(const RecurrencePattern &p, qint64 shift, RuleParts *rule, std::string *why)
{
    rule->freq = QStringLiteral("WEEKLY");
    const UInt32 days = rotateWeekdays(p.dayMask, int(shift));
    if (days == 0) {
        *why = "a weekly pattern without days";
        return false;
    }
    rule->by << QStringLiteral("BYDAY=") + weekdayList(days);
    // The week's first day decides which days share a week only when
    // weeks are skipped.
    if (p.period > 1 && p.firstDayOfWeek < 7)
        rule->by << QStringLiteral("WKST=%1").arg(QLatin1String(kWeekdays[(p.firstDayOfWeek + 7 + shift) % 7]));
    return true;
}

// Monthly and yearly patterns; a year's interval is counted in months.
bool monthlyParts(const RecurrencePattern &p, qint64 shift, const QDate &localFirst, RuleParts *rule,
                  std::string *why)
{
    const bool yearly = p.frequency == kFreqYearly;
    rule->freq = yearly ? QStringLiteral("YEARLY") : QStringLiteral("MONTHLY");
    if (yearly)
        rule->interval = p.period % 12 == 0 ? p.period / 12 : 0;
    int monthShift = 0;
    if (p.patternType == kPatternMonthNth) {
        if (shift != 0 || (p.dayMask & 0x7F) == 0 || p.nth < 1 || p.nth > 5) {
            *why = "the nth-day pattern " + std::to_string(p.nth) + " of days " + std::to_string(p.dayMask)
                + " moved " + std::to_string(shift) + " days";
            return false;
        }
        rule->by << QStringLiteral("BYDAY=") + weekdayList(p.dayMask)
                 << QStringLiteral("BYSETPOS=%1").arg(p.nth == 5 ? -1 : int(p.nth));
    } else if ((p.patternType == kPatternMonth && p.monthDay == 0)
               || !monthDayParts(p.patternType == kPatternMonthEnd ? 0 : p.monthDay, int(shift), &rule->by,
                                 &monthShift)) {
        *why = "day " + std::to_string(p.monthDay) + " of the month moved " + std::to_string(shift) + " days";
        return false;
    }
    if (yearly)
        rule->by << QStringLiteral("BYMONTH=%1").arg((localFirst.month() - 1 + monthShift + 12) % 12 + 1);
    return true;
}

bool patternParts(const RecurrencePattern &p, qint64 shift, const QDate &localFirst, RuleParts *rule,
                  std::string *why)
{
    rule->interval = p.period;
    const bool monthly = p.frequency == kFreqMonthly || p.frequency == kFreqYearly;
    bool known = false;
    if (p.frequency == kFreqDaily && p.patternType == kPatternDay) {
        rule->freq = QStringLiteral("DAILY");
        rule->interval = p.period % kMinutesPerDay == 0 ? UInt32(p.period / kMinutesPerDay) : 0;
        known = true;
    } else if ((p.frequency == kFreqDaily || p.frequency == kFreqWeekly) && p.patternType == kPatternWeek) {
        if (!weeklyParts(p, shift, rule, why))
            return false;
        known = true;
    } else if (monthly && gregorianMonths(p.calendarType)
               && (p.patternType == kPatternMonth || p.patternType == kPatternMonthEnd
                   || p.patternType == kPatternMonthNth)) {
        if (!monthlyParts(p, shift, localFirst, rule, why))
            return false;
        known = true;
    }
    if (!known) {
        *why = patternName(p);
        return false;
    }
    if (rule->interval == 0 || rule->interval > kMaxInterval) {
        *why = patternName(p) + " every " + std::to_string(p.period);
        return false;
    }
    return true;
}

// COUNT or UNTIL, or nothing for a series without end.
bool endPart(const RecurrencePattern &p, const QDateTime &firstStart, const QDate &firstDay, bool allDay,
             QStringList *parts, std::string *why)
{
    switch (p.endType) {
    case kEndAfterCount:
        if (p.occurrenceCount == 0 || p.occurrenceCount > 0x7FFFFFFF) {
            *why = "a count of " + std::to_string(p.occurrenceCount);
            return false;
        }
        *parts << QStringLiteral("COUNT=%1").arg(p.occurrenceCount);
        return true;
    case kEndAfterDate: {
        if (p.endDate < p.startDate) {
            *why = "an end before the start";
            return false;
        }
        // The last occurrence is as many days after the first as the
        // blob's two local dates are apart.
        const qint64 days = (qint64(p.endDate) - p.startDate) / kMinutesPerDay;
        // The blob's dates end in 9772, so UNTIL always has four digits.
        *parts << QStringLiteral("UNTIL=")
                + (allDay ? firstDay.addDays(days).toString(QStringLiteral("yyyyMMdd"))
                          : firstStart.toUTC().addDays(days).toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")));
        return true;
    }
    case kEndNever:
    case kEndNeverOld:
        return true;
    default:
        *why = "end type " + std::to_string(p.endType);
        return false;
    }
}

// The starts of the deleted occurrences that were not moved elsewhere.
QList<QDateTime> removedStarts(const RecurrencePattern &p, const QDateTime &firstStart)
{
    // A modified occurrence is listed as deleted too; it still takes place.
    // Sorted, so that each deleted date is looked up among a hundred
    // thousand modified ones in a few steps; each date is removed once.
    QList<UInt32> modified = p.modified;
    std::sort(modified.begin(), modified.end());
    QList<UInt32> deleted = p.deleted;
    std::sort(deleted.begin(), deleted.end());
    deleted.erase(std::unique(deleted.begin(), deleted.end()), deleted.end());
    const QDateTime utcStart = firstStart.toUTC();
    QList<QDateTime> removed;
    for (UInt32 date : deleted) {
        if (!std::binary_search(modified.begin(), modified.end(), date))
            removed << utcStart.addSecs((qint64(date) - p.startDate) * 60);
    }
    return removed;
}

bool ruleFor(const RecurrencePattern &p, const QDateTime &firstStart, bool allDay,
             TNEFCalendarRecurrence *recurrence, std::string *why)
{
    if (!firstStart.isValid()) {
        *why = "the event has no start";
        return false;
    }
    const QDate firstDay = allDay ? TNEFCalendarAllDayDate(firstStart) : firstStart.toUTC().date();
    const QDate localFirst = dateFromMinutes(p.startDate);
    const qint64 shift = localFirst.daysTo(firstDay);
    if (shift < -1 || shift > 1) {
        *why = "the series starts " + std::to_string(shift) + " days from the event";
        return false;
    }
    RuleParts rule;
    if (!patternParts(p, shift, localFirst, &rule, why))
        return false;
    QStringList parts{QStringLiteral("FREQ=") + rule.freq};
    if (!endPart(p, firstStart, firstDay, allDay, &parts, why))
        return false;
    if (rule.interval != 1)
        parts << QStringLiteral("INTERVAL=%1").arg(rule.interval);
    recurrence->rule = (parts + rule.by).join(QLatin1Char(';'));
    recurrence->removed = removedStarts(p, firstStart);
    return true;
}

// libical objects freed when the writer is done with them.
struct ComponentFree {
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

} // namespace

// A time as iCalendar writes it, or nothing for one it cannot hold: a year
// before 1 or after 9999, or what libical turns into a null time (written
// as 00000000T000000).
std::optional<icaltimetype> utcTime(const QDateTime &time)
{
    const QDateTime utc = time.toUTC();
    if (!utc.isValid() || utc.date().year() < 1 || utc.date().year() > kLastYear)
        return std::nullopt;
    const icaltimetype value =
        icaltime_from_timet_with_zone(time_t(utc.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
    if (icaltime_is_null_time(value))
        return std::nullopt;
    return value;
}

std::optional<icaltimetype> dateValue(const QDate &date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > kLastYear)
        return std::nullopt;
    icaltimetype value = icaltime_null_date();
    value.year = date.year();
    value.month = date.month();
    value.day = date.day();
    return value;
}

namespace {

// A text value for libical, which escapes the line feeds left in it.
QByteArray utf8(const QString &text)
{
    return TextWithoutControls(text).toUtf8();
}

// The address as a calendar address (a mailto: URI), or nothing (logged)
// when it is not one line of printable text: a URI has no escapes that
// could keep it on its line.
QByteArray calendarAddress(const QString &address)
{
    if (!TextIsOneLine(address)) {
        TNEF_LOG_ERROR("    calendar address \"%s\" left out: not one line of printable text.\n",
                       TextForLog(address).constData());
        return {};
    }
    if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return address.toUtf8();
    return "mailto:" + address.toUtf8();
}

// A name for a CN parameter: on one line and without the quote that would
// end libical's quoting of it.
QByteArray parameterText(const QString &name)
{
    QString text = TextWithoutControls(name);
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.remove(QLatin1Char('"'));
    return text.trimmed().toUtf8();
}

// A person with the CN parameter `name` where there is one.
icalproperty *addPerson(icalcomponent *event, icalproperty *(*make)(const char *), const QByteArray &address,
                        const QString &name)
{
    icalproperty *person = make(address.constData());
    if (const QByteArray cn = parameterText(name); !cn.isEmpty())
        icalproperty_add_parameter(person, icalparameter_new_cn(cn.constData()));
    icalcomponent_add_property(event, person);
    return person;
}

using ZoneChange = TNEFCalendarZoneChange;
using ZoneRule = TNEFCalendarZoneRule;
struct Zone {
    ZoneRule rule;
    QByteArray tzid;
};
// Far beyond any zone's offset, or its summer time's.
constexpr SInt32 kMaxZoneMinutes = 18 * 60;

// A SYSTEMTIME; only yearly changes (year 0) are understood.
bool readChange(BlobReader &in, ZoneChange *c)
{
    UInt16 second = 0, millisecond = 0;
    if (!in.u16(&c->year) || !in.u16(&c->month) || !in.u16(&c->dayOfWeek) || !in.u16(&c->week)
        || !in.u16(&c->hour) || !in.u16(&c->minute) || !in.u16(&second) || !in.u16(&millisecond))
        return false;
    return c->month == 0 || (c->year == 0 && c->month <= 12 && c->dayOfWeek <= 6 && c->week >= 1 && c->week <= 5
                             && c->hour < 24 && c->minute < 60);
}

// The three biases (UTC is local time plus the bias, plus the standard or
// the daylight one) as the two offsets.
bool readBiases(BlobReader &in, ZoneRule *rule)
{
    UInt32 bias = 0, standard = 0, daylight = 0;
    if (!in.u32(&bias) || !in.u32(&standard) || !in.u32(&daylight))
        return false;
    const qint64 standardOffset = -(qint64(SInt32(bias)) + SInt32(standard));
    const qint64 daylightOffset = -(qint64(SInt32(bias)) + SInt32(daylight));
    if (qAbs(standardOffset) > kMaxZoneMinutes || qAbs(daylightOffset) > kMaxZoneMinutes)
        return false;
    rule->standardOffset = SInt32(standardOffset);
    rule->daylightOffset = SInt32(daylightOffset);
    return true;
}

// The older structure: biases, then the change to standard and to
// daylight time, each after a year.
std::optional<ZoneRule> readZoneStruct(const QByteArray &blob)
{
    BlobReader in(blob);
    ZoneRule rule;
    UInt16 year = 0;
    if (readBiases(in, &rule) && in.u16(&year) && readChange(in, &rule.toStandard) && in.u16(&year)
        && readChange(in, &rule.toDaylight))
        return rule;
    return std::nullopt;
}

// A time-zone definition: a header with the zone's key name, then rules
// by year; the rule in force in `year` is the last one starting before it
// (the first where none does).
std::optional<ZoneRule> readZoneDefinition(const QByteArray &blob, int year, QString *keyName)
{
    BlobReader in(blob);
    UInt16 version = 0, headerSize = 0, reserved = 0, nameLength = 0, ruleCount = 0;
    if (!in.u16(&version) || !in.u16(&headerSize) || !in.u16(&reserved) || !in.u16(&nameLength))
        return std::nullopt;
    if ((version & 0xFF) != 2 || !readText(in, blob, 2 * qsizetype(nameLength), kCodePageUTF16LE, keyName)
        || !in.u16(&ruleCount) || ruleCount == 0)
        return std::nullopt;
    std::optional<ZoneRule> chosen;
    for (UInt16 i = 0; i < ruleCount; ++i) {
        ZoneRule rule;
        UInt16 ruleVersion = 0, flags = 0, ruleYear = 0;
        if (!in.u16(&ruleVersion) || !in.u16(&reserved) || !in.u16(&flags) || !in.u16(&ruleYear) || !in.skip(14)
            || !readBiases(in, &rule) || !readChange(in, &rule.toStandard) || !readChange(in, &rule.toDaylight))
            return std::nullopt;
        if (!chosen || ruleYear <= year)
            chosen = rule;
    }
    return chosen;
}

// The wall-clock time (kept as a UTC QDateTime) at which the change
// happens in `year`: the week's day of the month, the fifth being the last.
QDateTime changeDay(const ZoneChange &c, int year)
{
    const QDate first(year, c.month, 1);
    int day = 1 + (c.dayOfWeek - first.dayOfWeek() % 7 + 7) % 7 + 7 * (c.week - 1);
    while (day > first.daysInMonth())
        day -= 7;
    return QDateTime(QDate(year, c.month, day), QTime(c.hour, c.minute), Qt::UTC);
}

// Minutes east of UTC at the instant.
SInt32 offsetAt(const ZoneRule &z, const QDateTime &utc)
{
    if (!z.hasDaylight())
        return z.standardOffset;
    const int year = utc.addSecs(z.standardOffset * 60).date().year();
    // Each change happens at a wall-clock time of the time before it.
    const QDateTime summer = changeDay(z.toDaylight, year).addSecs(-z.standardOffset * 60);
    const QDateTime winter = changeDay(z.toStandard, year).addSecs(-z.daylightOffset * 60);
    const bool inSummer = summer < winter ? utc >= summer && utc < winter : !(utc >= winter && utc < summer);
    return inSummer ? z.daylightOffset : z.standardOffset;
}

QDateTime wallClock(const ZoneRule &z, const QDateTime &utc)
{
    return utc.toUTC().addSecs(offsetAt(z, utc.toUTC()) * 60);
}

QDateTime fromWallClock(const ZoneRule &z, const QDateTime &wall)
{
    const QDateTime guess = wall.addSecs(-offsetAt(z, wall.addSecs(-z.standardOffset * 60)) * 60);
    return wall.addSecs(-offsetAt(z, guess) * 60);
}

// The zone a series is written in: the organizer's, named by its TZID.
// None for a single or all-day event, or for a zone that cannot be read:
// those stay in UTC.
std::optional<Zone> seriesZone(const TNEFCalendarItem &item)
{
    if (item.recurrence.isEmpty() || item.allDay)
        return std::nullopt;
    const std::optional<TNEFCalendarZone> zone = TNEFCalendarOrganizerZone(item);
    if (!zone) {
        if (!item.timeZoneDefinition.isEmpty() || !item.timeZoneStruct.isEmpty())
            TNEF_LOG_ERROR("    time zone not understood; the series is written in UTC.\n");
        return std::nullopt;
    }
    QByteArray tzid = parameterText(zone->name);
    if (tzid.isEmpty())
        tzid = "Organizer";
    return Zone{zone->rule, tzid};
}

// A wall-clock time as it is written beside a TZID: without the Z of UTC.
std::optional<icaltimetype> floatingTime(const QDateTime &wall)
{
    std::optional<icaltimetype> value = utcTime(wall);
    if (value)
        value->zone = nullptr;
    return value;
}

// A wall-clock time of the zone as a property with the zone's TZID.
icalproperty *zonedTime(icalproperty *(*make)(icaltimetype), const QDateTime &wall, const Zone &zone)
{
    const std::optional<icaltimetype> value = floatingTime(wall);
    if (!value)
        return nullptr;
    icalproperty *property = make(*value);
    icalproperty_add_parameter(property, icalparameter_new_tzid(zone.tzid.constData()));
    return property;
}

// The instant as a property: in UTC, or on the zone's wall clock.
icalproperty *timeProperty(icalproperty *(*make)(icaltimetype), const QDateTime &utc, const Zone *zone)
{
    if (zone)
        return zonedTime(make, wallClock(zone->rule, utc), *zone);
    const std::optional<icaltimetype> value = utcTime(utc);
    return value ? make(*value) : nullptr;
}

// One of the zone's two times of the year, from its first change after 1601.
icalcomponent *zoneChange(bool daylight, const ZoneChange &c, SInt32 from, SInt32 to)
{
    icalcomponent *part = daylight ? icalcomponent_new_xdaylight() : icalcomponent_new_xstandard();
    const QDateTime first = c.month ? changeDay(c, 1601) : QDateTime(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    icalcomponent_add_property(part, icalproperty_new_dtstart(*floatingTime(first)));
    if (c.month) {
        const QString rule = QStringLiteral("FREQ=YEARLY;BYMONTH=%1;BYDAY=%2%3")
                                 .arg(c.month)
                                 .arg(c.week == 5 ? -1 : int(c.week))
                                 .arg(QLatin1String(kWeekdays[c.dayOfWeek]));
        icalcomponent_add_property(part, icalproperty_new_rrule(icalrecurrencetype_from_string(rule.toLatin1())));
    }
    icalcomponent_add_property(part, icalproperty_new_tzoffsetfrom(from * 60));
    icalcomponent_add_property(part, icalproperty_new_tzoffsetto(to * 60));
    return part;
}

void addZone(icalcomponent *calendar, const Zone &zone)
{
    const ZoneRule &z = zone.rule;
    icalcomponent *timezone = icalcomponent_new_vtimezone();
    icalcomponent_add_property(timezone, icalproperty_new_tzid(zone.tzid.constData()));
    if (z.hasDaylight()) {
        icalcomponent_add_component(timezone, zoneChange(false, z.toStandard, z.daylightOffset, z.standardOffset));
        icalcomponent_add_component(timezone, zoneChange(true, z.toDaylight, z.standardOffset, z.daylightOffset));
    } else {
        icalcomponent_add_component(timezone, zoneChange(false, ZoneChange{}, z.standardOffset, z.standardOffset));
    }
    icalcomponent_add_component(calendar, timezone);
}

// The UID calendar servers give the item: the string a vCal-Uid id
// carries, else the id in hex with its instance date cleared, so that
// every occurrence shares it; without an id, the message's digest.
QString uidFor(const TNEFCalendarItem &item)
{
    const QByteArray &id = item.globalObjectId;
    constexpr qsizetype kDataOffset = 40;
    constexpr qsizetype kInstanceDate = 16;
    if (id.size() >= kDataOffset) {
        const QByteArray data = id.mid(kDataOffset, qFromLittleEndian<UInt32>(id.constData() + kDataOffset - 4));
        static const QByteArray kVCalUid("vCal-Uid\x01\x00\x00\x00", 12);
        if (data.startsWith(kVCalUid)) {
            const QByteArray uid = data.mid(kVCalUid.size());
            const QString text = QString::fromUtf8(uid.left(uid.indexOf('\0')));
            if (!text.isEmpty())
                return text;
        }
        QByteArray clean = id;
        clean.replace(kInstanceDate, 4, QByteArray(4, '\0'));
        return QString::fromLatin1(clean.toHex().toUpper());
    }
    if (!id.isEmpty())
        return QString::fromLatin1(id.toHex().toUpper());
    // Without an id, the message's own bytes: the same file gives the same
    // UID on every run, and no other message shares it.
    if (!item.sourceDigest.isEmpty())
        return QString::fromLatin1(item.sourceDigest.toHex().toUpper());
    // An item not read from a file still gives the same UID each time.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString &part : {item.summary, item.start.toUTC().toString(Qt::ISODate),
                                item.end.toUTC().toString(Qt::ISODate), item.organizerAddress}) {
        hash.addData(utf8(part));
        hash.addData(QByteArrayView("\n", 1));
    }
    return QString::fromLatin1(hash.result().toHex().toUpper());
}

void addText(icalcomponent *event, icalproperty *(*make)(const char *), const QString &text)
{
    if (!text.isEmpty())
        icalcomponent_add_property(event, make(utf8(text).constData()));
}

void addX(icalcomponent *component, const char *name, const char *value)
{
    icalproperty *property = icalproperty_new_x(value);
    icalproperty_set_x_name(property, name);
    icalcomponent_add_property(component, property);
}

void addPeople(icalcomponent *event, const TNEFCalendarItem &item, TNEFCalendarMethod method,
               TNEFCalendarResponse response)
{
    if (!item.organizerAddress.isEmpty()) {
        if (const QByteArray address = calendarAddress(item.organizerAddress); !address.isEmpty())
            addPerson(event, icalproperty_new_organizer, address, item.organizerName);
    }
    for (const TNEFCalendarAttendee &person : item.attendees) {
        if (person.address.isEmpty())
            continue;  // no calendar address to answer to
        const QByteArray address = calendarAddress(person.address);
        if (address.isEmpty())
            continue;
        icalproperty *attendee = addPerson(event, icalproperty_new_attendee, address, person.name);
        switch (person.role) {
        case TNEFCalendarRole::Required:
            icalproperty_add_parameter(attendee, icalparameter_new_role(ICAL_ROLE_REQPARTICIPANT));
            break;
        case TNEFCalendarRole::Optional:
            icalproperty_add_parameter(attendee, icalparameter_new_role(ICAL_ROLE_OPTPARTICIPANT));
            break;
        case TNEFCalendarRole::Resource:
            icalproperty_add_parameter(attendee, icalparameter_new_cutype(ICAL_CUTYPE_RESOURCE));
            icalproperty_add_parameter(attendee, icalparameter_new_role(ICAL_ROLE_NONPARTICIPANT));
            break;
        }
        if (method == TNEFCalendarMethod::Reply) {
            const icalparameter_partstat state = response == TNEFCalendarResponse::Accepted ? ICAL_PARTSTAT_ACCEPTED
                : response == TNEFCalendarResponse::Declined                                ? ICAL_PARTSTAT_DECLINED
                                                                                            : ICAL_PARTSTAT_TENTATIVE;
            icalproperty_add_parameter(attendee, icalparameter_new_partstat(state));
        } else if (method == TNEFCalendarMethod::Request) {
            icalproperty_add_parameter(attendee, icalparameter_new_partstat(ICAL_PARTSTAT_NEEDSACTION));
            icalproperty_add_parameter(attendee, icalparameter_new_rsvp(ICAL_RSVP_TRUE));
        }
    }
}

// False, with nothing added, when the start or the end is a date that
// iCalendar cannot hold.
bool addTimes(icalcomponent *event, const TNEFCalendarItem &item, const Zone *zone)
{
    if (item.allDay) {
        const QDate first = TNEFCalendarAllDayDate(item.start);
        QDate last = item.end.isValid() ? TNEFCalendarAllDayDate(item.end) : QDate();
        if (!last.isValid() || last <= first)
            last = first.addDays(1);
        const std::optional<icaltimetype> start = dateValue(first), end = dateValue(last);
        if (!start || !end)
            return false;
        icalcomponent_add_property(event, icalproperty_new_dtstart(*start));
        icalcomponent_add_property(event, icalproperty_new_dtend(*end));
        addX(event, "X-MICROSOFT-CDO-ALLDAYEVENT", "TRUE");
        return true;
    }
    // An end that is not after the start makes an event of no length.
    const bool hasEnd = item.end.isValid() && item.end > item.start;
    icalproperty *start = timeProperty(icalproperty_new_dtstart, item.start, zone);
    icalproperty *end = hasEnd ? timeProperty(icalproperty_new_dtend, item.end, zone) : nullptr;
    if (!start || (hasEnd && !end)) {
        for (icalproperty *made : {start, end})
            if (made)
                icalproperty_free(made);
        return false;
    }
    icalcomponent_add_property(event, start);
    if (end)
        icalcomponent_add_property(event, end);
    return true;
}

// A time of the series as a property: on the clock the series was read on
// (the zone's wall clock, else UTC), or its day for an all-day series.
icalproperty *seriesTime(icalproperty *(*make)(icaltimetype), const QDateTime &time, const TNEFCalendarItem &item,
                         const Zone *zone)
{
    if (zone)
        return zonedTime(make, time, *zone);
    const std::optional<icaltimetype> value = item.allDay ? dateValue(TNEFCalendarAllDayDate(time)) : utcTime(time);
    return value ? make(*value) : nullptr;
}

// In a zone, the rule is read on the organizer's wall clock, so that its
// days are the organizer's; UNTIL is still an instant in UTC.
std::optional<TNEFCalendarRecurrence> addRecurrence(icalcomponent *event, const TNEFCalendarItem &item,
                                                    const Zone *zone)
{
    if (item.recurrence.isEmpty())
        return std::nullopt;
    const std::optional<TNEFCalendarRecurrence> recurrence = TNEFCalendarReadRecurrence(
        item.recurrence, zone ? wallClock(zone->rule, item.start) : item.start, item.allDay);
    if (!recurrence)
        return std::nullopt;
    icalrecurrencetype rule = icalrecurrencetype_from_string(utf8(recurrence->rule).constData());
    if (rule.freq == ICAL_NO_RECURRENCE) {
        TNEF_LOG_ERROR("    icalrecurrencetype_from_string() refused %s.\n", qPrintable(recurrence->rule));
        return std::nullopt;
    }
    if (zone && !icaltime_is_null_time(rule.until)) {
        const icaltimetype &u = rule.until;
        const QDateTime wall(QDate(u.year, u.month, u.day), QTime(u.hour, u.minute, u.second), Qt::UTC);
        if (const std::optional<icaltimetype> until = utcTime(fromWallClock(zone->rule, wall)))
            rule.until = *until;
    }
    icalcomponent_add_property(event, icalproperty_new_rrule(rule));
    // A removed occurrence that iCalendar cannot name is none the series has
    // (the blob's dates, 1601 to 9772, all have names).
    for (const QDateTime &removed : recurrence->removed) {
        if (icalproperty *date = seriesTime(icalproperty_new_exdate, removed, item, zone))
            icalcomponent_add_property(event, date);
    }
    return recurrence;
}

// Each changed occurrence as an event of its own: the series' UID, the
// start it was to have as RECURRENCE-ID, and its own times, subject and
// place. One whose times iCalendar cannot hold is left out.
void addChanges(icalcomponent *calendar, icalcomponent *series, const TNEFCalendarItem &item,
                const TNEFCalendarRecurrence &recurrence, const Zone *zone)
{
    const icalproperty_kind kept[] = {ICAL_UID_PROPERTY, ICAL_DTSTAMP_PROPERTY, ICAL_ORGANIZER_PROPERTY,
                                      ICAL_ATTENDEE_PROPERTY, ICAL_SEQUENCE_PROPERTY, ICAL_CLASS_PROPERTY};
    for (const TNEFCalendarChange &change : recurrence.changed) {
        Component event(icalcomponent_new_vevent());
        bool whole = true;
        using Make = icalproperty *(*)(icaltimetype);
        for (const auto &[make, time] : {std::pair<Make, QDateTime>{icalproperty_new_recurrenceid, change.original},
                                         std::pair<Make, QDateTime>{icalproperty_new_dtstart, change.start},
                                         std::pair<Make, QDateTime>{icalproperty_new_dtend, change.end}}) {
            icalproperty *property = seriesTime(make, time, item, zone);
            whole = whole && property;
            if (property)
                icalcomponent_add_property(event.get(), property);
        }
        if (!whole)
            continue;
        for (icalproperty_kind kind : kept) {
            for (icalproperty *p = icalcomponent_get_first_property(series, kind); p;
                 p = icalcomponent_get_next_property(series, kind))
                icalcomponent_add_property(event.get(), icalproperty_new_clone(p));
        }
        addText(event.get(), icalproperty_new_summary, change.summary.isEmpty() ? item.summary : change.summary);
        addText(event.get(), icalproperty_new_location, change.location.isEmpty() ? item.location : change.location);
        icalcomponent_add_component(calendar, event.release());
    }
}

void addStatus(icalcomponent *event, const TNEFCalendarItem &item, TNEFCalendarMethod method)
{
    const icalproperty_class visibility = item.sensitivity == 3 ? ICAL_CLASS_CONFIDENTIAL
        : (item.isPrivate || item.sensitivity == 1 || item.sensitivity == 2) ? ICAL_CLASS_PRIVATE
                                                                              : ICAL_CLASS_PUBLIC;
    icalcomponent_add_property(event, icalproperty_new_class(visibility));
    static const char *const kBusy[] = {"FREE", "TENTATIVE", "BUSY", "OOF", "WORKINGELSEWHERE"};
    if (item.busyStatus >= 0 && item.busyStatus < SInt32(std::size(kBusy))) {
        icalcomponent_add_property(event, icalproperty_new_transp(item.busyStatus == 0 ? ICAL_TRANSP_TRANSPARENT
                                                                                       : ICAL_TRANSP_OPAQUE));
        addX(event, "X-MICROSOFT-CDO-BUSYSTATUS", kBusy[item.busyStatus]);
    }
    if (method == TNEFCalendarMethod::Cancel)
        icalcomponent_add_property(event, icalproperty_new_status(ICAL_STATUS_CANCELLED));
}

void addAlarm(icalcomponent *event, const TNEFCalendarItem &item)
{
    if (!item.reminderSet)
        return;
    icalcomponent *alarm = icalcomponent_new_valarm();
    icalcomponent_add_property(alarm, icalproperty_new_action(ICAL_ACTION_DISPLAY));
    icaltriggertype trigger{};
    trigger.time = icaltime_null_time();
    // A damaged delta still makes a trigger that fits libical's seconds.
    const qint64 minutes = qBound<qint64>(-kMaxReminderMinutes, item.reminderMinutes, kMaxReminderMinutes);
    trigger.duration = icaldurationtype_from_int(int(-minutes * 60));
    icalcomponent_add_property(alarm, icalproperty_new_trigger(trigger));
    addText(alarm, icalproperty_new_description,
            item.summary.isEmpty() ? QStringLiteral("Reminder") : item.summary);
    icalcomponent_add_component(event, alarm);
}

} // namespace

std::optional<TNEFCalendarZone> TNEFCalendarOrganizerZone(const TNEFCalendarItem &item)
{
    QString keyName;
    std::optional<ZoneRule> rule;
    if (!item.timeZoneDefinition.isEmpty())
        rule = readZoneDefinition(item.timeZoneDefinition, item.start.toUTC().date().year(), &keyName);
    if (!rule && !item.timeZoneStruct.isEmpty())
        rule = readZoneStruct(item.timeZoneStruct);
    if (!rule)
        return std::nullopt;
    return TNEFCalendarZone{item.timeZoneName.isEmpty() ? keyName : item.timeZoneName, *rule};
}

QDateTime TNEFCalendarZone::wallClock(const QDateTime &utc) const
{
    return utc.toUTC().toOffsetFromUtc(offsetAt(rule, utc.toUTC()) * 60);
}

bool TNEFMessageClassIs(const QString &messageClass, QLatin1String name)
{
    return messageClass.compare(name, Qt::CaseInsensitive) == 0
        || (messageClass.startsWith(name, Qt::CaseInsensitive) && messageClass.at(name.size()) == QLatin1Char('.'));
}

TNEFCalendarMethod TNEFCalendarMethodForClass(const QString &messageClass, TNEFCalendarResponse *response)
{
    for (const ClassMethod &entry : kClassMethods) {
        if (TNEFMessageClassIs(messageClass, QLatin1String(entry.messageClass))) {
            if (response)
                *response = entry.response;
            return entry.method;
        }
    }
    if (response)
        *response = TNEFCalendarResponse::None;
    return TNEFCalendarMethod::None;
}

QDate TNEFCalendarAllDayDate(const QDateTime &utc)
{
    return utc.toUTC().addSecs(12 * 3600).date();
}

std::optional<TNEFCalendarRecurrence> TNEFCalendarReadRecurrence(const QByteArray &blob,
                                                                 const QDateTime &firstStart, bool allDay)
{
    RecurrencePattern pattern;
    TNEFCalendarRecurrence recurrence;
    std::string why;
    BlobReader in(blob);
    if (!readPattern(in, blob, &pattern, &why) || !ruleFor(pattern, firstStart, allDay, &recurrence, &why)) {
        TNEF_LOG_ERROR("    recurrence not understood: %s.\n", why.c_str());
        return std::nullopt;
    }
    // The blob's local times, moved as the first occurrence's local start
    // is moved to firstStart.
    UInt32 startOffset = 0;
    const QList<ExceptionEntry> entries = readExceptions(in, blob, &startOffset);
    const qint64 firstLocal = qint64(pattern.startDate) + startOffset;
    const auto at = [&](UInt32 minutes) { return firstStart.toUTC().addSecs((qint64(minutes) - firstLocal) * 60); };
    for (const ExceptionEntry &e : entries) {
        if (e.end >= e.start)
            recurrence.changed.append({at(e.original), at(e.start), at(e.end), e.summary, e.location});
    }
    return recurrence;
}

QByteArray TNEFCalendarWrite(const TNEFCalendarItem &item)
{
    if (!item.start.isValid()) {
        TNEF_LOG_ERROR("    calendar item \"%s\" has no start.\n", TextForLog(item.summary).constData());
        return {};
    }
    TNEFCalendarResponse response = TNEFCalendarResponse::None;
    TNEFCalendarMethod method = TNEFCalendarMethodForClass(item.messageClass, &response);
    if (method == TNEFCalendarMethod::None)
        method = TNEFCalendarMethod::Publish;

    Component calendar(icalcomponent_new_vcalendar());
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Parvane//Parvane " PARVANE_VERSION "//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    const icalproperty_method methods[] = {ICAL_METHOD_PUBLISH, ICAL_METHOD_PUBLISH, ICAL_METHOD_REQUEST,
                                           ICAL_METHOD_CANCEL, ICAL_METHOD_REPLY};
    icalcomponent_add_property(calendar.get(), icalproperty_new_method(methods[int(method)]));
    const std::optional<Zone> zone = seriesZone(item);
    if (zone)
        addZone(calendar.get(), *zone);

    icalcomponent *event = icalcomponent_new_vevent();
    icalcomponent_add_component(calendar.get(), event);
    addText(event, icalproperty_new_uid, uidFor(item));
    // Without a time of its own, a fixed one: a stamp of the run would make
    // each run's file differ.
    const std::optional<icaltimetype> stamp = utcTime(item.stamp);
    icalcomponent_add_property(
        event, icalproperty_new_dtstamp(stamp ? *stamp : *utcTime(QDateTime::fromSecsSinceEpoch(0, Qt::UTC))));
    addText(event, icalproperty_new_summary, item.summary);
    if (!addTimes(event, item, zone ? &*zone : nullptr)) {
        TNEF_LOG_ERROR("    calendar item \"%s\" starts or ends in a year iCalendar cannot hold.\n",
                       TextForLog(item.summary).constData());
        return {};
    }
    const std::optional<TNEFCalendarRecurrence> recurrence = addRecurrence(event, item, zone ? &*zone : nullptr);
    addText(event, icalproperty_new_location, item.location);
    addPeople(event, item, method, response);
    addText(event, icalproperty_new_description, item.description);
    icalcomponent_add_property(event, icalproperty_new_sequence(int(item.sequence & 0x7FFFFFFF)));
    addStatus(event, item, method);
    addAlarm(event, item);
    if (recurrence)
        addChanges(calendar.get(), event, item, *recurrence, zone ? &*zone : nullptr);

    char *text = icalcomponent_as_ical_string_r(calendar.get());
    QByteArray out(text);
    icalmemory_free_buffer(text);
    return out;
}
