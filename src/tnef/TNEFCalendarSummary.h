#pragma once
// A meeting's or a task's particulars in words, for whoever reads them: when
// (on the user's clock, and on the organizer's where the file gives it),
// where, who organises it and who is asked, how it repeats; a task's start,
// due date and status. Every front end shows these same texts.
#include "TNEFMessageItems.h"

#include <QList>
#include <optional>

// What a meeting or a task holds beyond its headers, as the core reads it
// for its calendar file.
struct TNEFCalendarSummary {
    std::optional<TNEFCalendarItem> meeting;
    std::optional<TNEFTaskItem> task;
};
// Reads them from the document's message `message`; neither for other
// messages or a meeting without a valid start. The fork's mark moves.
TNEFCalendarSummary TNEFCalendarSummaryRead(const TNEFFile *tnefFile, const TNEFMessage &message);

struct TNEFSummaryLine {
    QLatin1String label;  // "When", "Where", "Organizer", ...
    QString text;
};
// A meeting's When, Where, Organizer, Attendees and Repeats, a task's Start,
// Due and Status: those it has, in that order.
QList<TNEFSummaryLine> TNEFCalendarSummaryLines(const TNEFCalendarSummary &summary);

// A reply's answer, "Accepted", "Tentative" or "Declined"; empty for any
// other message class.
QString TNEFCalendarResponseText(const QString &messageClass);

// The instant on the user's clock, with that clock's offset.
QDateTime TNEFLocalClock(const QDateTime &date);
// How the meeting repeats, in words; empty when it does not or the rule
// cannot be told.
QString TNEFCalendarRepeatsText(const TNEFCalendarItem &meeting);
// A recurrence rule (RRULE) in words: "every 2 weeks on Tuesday and
// Thursday, 6 times". `dayShift` moves its days by -1, 0 or 1, from the UTC
// days the rule names to the user's. Empty for a rule it cannot tell.
QString TNEFCalendarRecurrenceText(const QString &rule, int dayShift);
// A role's name as the attendee list shows it: "required", "optional",
// "resource".
QLatin1String TNEFCalendarRoleText(TNEFCalendarRole role);
