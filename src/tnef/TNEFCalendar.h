#pragma once
// Meetings and appointments as iCalendar (RFC 5545): the calendar item as
// read from a message, the rule behind a recurrence blob, and the writer,
// which builds the calendar through libical.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// What a calendar message asks of its reader: METHOD.
enum class TNEFCalendarMethod { None, Publish, Request, Cancel, Reply };
// A reply's answer: the replying attendee's PARTSTAT.
enum class TNEFCalendarResponse { None, Accepted, Declined, Tentative };
enum class TNEFCalendarRole { Required, Optional, Resource };

struct TNEFCalendarAttendee {
    QString name;
    QString address;  // an e-mail address; written as a mailto: URI
    TNEFCalendarRole role = TNEFCalendarRole::Required;
};

struct TNEFCalendarItem {
    QString messageClass;        // decides METHOD, and PARTSTAT for a reply
    QByteArray globalObjectId;   // the clean global object id where there is one, else the global one
    QByteArray sourceDigest;     // without an id, a digest of the message's own bytes: its UID
    QString summary;
    QDateTime start;             // UTC; for a series, the first occurrence
    QDateTime end;               // UTC
    QDateTime stamp;             // DTSTAMP (when the organizer changed it, or it was sent or made); 1970 when invalid
    QString location;
    QString organizerName;
    QString organizerAddress;
    QList<TNEFCalendarAttendee> attendees;  // for a reply, the attendee who replies
    QString description;         // the plain-text body
    UInt32 sequence = 0;
    UInt32 sensitivity = 0;      // 0 normal, 1 personal, 2 private, 3 confidential
    bool isPrivate = false;
    bool reminderSet = false;
    SInt32 reminderMinutes = 15; // before the start
    SInt32 busyStatus = -1;      // 0 free, 1 tentative, 2 busy, 3 out of office, 4 elsewhere; -1 unknown
    bool allDay = false;
    QByteArray recurrence;       // the appointment's recurrence blob, or empty
    // The organizer's zone, which a series is written in: a time-zone
    // definition (for the series, else for the start), else the older
    // zone structure; each empty when absent. The name is the zone's TZID.
    QByteArray timeZoneDefinition;
    QByteArray timeZoneStruct;
    QString timeZoneName;
};

// The organizer's time zone: a yearly change to summer time and back, as
// the time-zone structures give it. Offsets are minutes east of UTC.
struct TNEFCalendarZoneChange {
    UInt16 year = 0, month = 0, dayOfWeek = 0, week = 0, hour = 0, minute = 0;  // week 5: the last
};
struct TNEFCalendarZoneRule {
    SInt32 standardOffset = 0;
    SInt32 daylightOffset = 0;
    TNEFCalendarZoneChange toStandard, toDaylight;
    bool hasDaylight() const { return toDaylight.month != 0 && toStandard.month != 0; }
};
struct TNEFCalendarZone {
    QString name;  // the description, else the definition's key name; may be empty
    TNEFCalendarZoneRule rule;
    // The instant on the organizer's clock, with that clock's offset.
    QDateTime wallClock(const QDateTime &utc) const;
};

// The organizer's zone as the item gives it: its definition (the rule in
// force in the start's year), else the older structure. Nothing where
// neither is there or can be read.
std::optional<TNEFCalendarZone> TNEFCalendarOrganizerZone(const TNEFCalendarItem &item);

// Whether a message class is `name` or one of its subclasses (further
// dotted parts), compared without regard to case.
bool TNEFMessageClassIs(const QString &messageClass, QLatin1String name);

// The method a message class carries: REQUEST for meeting requests, CANCEL
// for cancellations, REPLY (with the answer in *response) for responses,
// PUBLISH for appointments, None for a class that is no calendar item.
// Compared without regard to case; a class may carry further dotted parts.
TNEFCalendarMethod TNEFCalendarMethodForClass(const QString &messageClass,
                                              TNEFCalendarResponse *response = nullptr);

// An occurrence of a series that was moved or changed; its times are on
// the clock the series' first start was given in.
struct TNEFCalendarChange {
    QDateTime original;  // the start it was to have
    QDateTime start;
    QDateTime end;
    QString summary;     // empty: the series'
    QString location;    // empty: the series'
};

struct TNEFCalendarRecurrence {
    QString rule;              // the RRULE value: FREQ=WEEKLY;COUNT=10;BYDAY=MO,WE ...
    QList<QDateTime> removed;  // starts of the occurrences deleted from the series, on that clock too
    QList<TNEFCalendarChange> changed;
};

// Reads a recurrence blob (a recurrence pattern, alone or at the head of an
// appointment's pattern) into the rule that repeats an event first starting
// at firstStart (UTC). The blob's dates are the organizer's local dates, so
// weekdays and days of the month are moved to the UTC day of firstStart.
// With allDay, UNTIL is a date. The changed occurrences come from an
// appointment's part, where the blob has a whole one. Nothing for a damaged
// pattern or one that no rule here expresses (both logged): the event then
// stands alone.
std::optional<TNEFCalendarRecurrence> TNEFCalendarReadRecurrence(const QByteArray &blob,
                                                                 const QDateTime &firstStart,
                                                                 bool allDay = false);

// The item as a whole iCalendar object (UTF-8, CRLF line ends): one VEVENT
// with its METHOD, a series with the organizer's VTIMEZONE and a VEVENT
// with RECURRENCE-ID for each changed occurrence. Empty, and logged, when
// the item has no valid start.
QByteArray TNEFCalendarWrite(const TNEFCalendarItem &item);

// The calendar day an all-day event's UTC instant stands for: its time is
// the organizer's local midnight, so the nearest midnight gives the day.
QDate TNEFCalendarAllDayDate(const QDateTime &utc);
