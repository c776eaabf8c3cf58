#pragma once
// What parvane-cli shows of a parsed document's message, and the JSON forms
// of its listings. Printing, and making texts safe for a terminal, stay with
// the commands.
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFMessageItems.h"

#include <QJsonObject>
#include <QStringList>
#include <functional>

// The body choices of `body`.
enum class CliBodyChoice { Preferred, Rtf, Html, Text };

// Subject, From, To, Cc, Date and Class lines, those the message has; the
// date in the user's time zone.
QStringList CliMessageHeaderLines(const TNEFMessage &message);
// What a meeting or a task holds beyond its headers, as the core reads it
// for its calendar file.
struct CliMessageItem {
    std::optional<TNEFCalendarItem> meeting;
    std::optional<TNEFTaskItem> task;
};
CliMessageItem CliMessageReadItem(const TNEFFile *tnefFile, const TNEFMessage &message);
// A meeting's When (in the user's time zone), Where, Organizer, Attendees
// and Repeats lines, a task's Due and Status lines: those it has.
QStringList CliMessageItemLines(const CliMessageItem &item);
// The same as the JSON members "meeting" and "task".
void CliMessageItemJson(const CliMessageItem &item, QJsonObject *json);
// A recurrence rule (RRULE) in words: "every 2 weeks on Tuesday and
// Thursday, 6 times". `dayShift` moves its days by -1, 0 or 1, from the UTC
// days the rule names to the user's. Empty for a rule it cannot tell.
QString CliRecurrenceText(const QString &rule, int dayShift);

// A text body for a terminal: line feeds only, ending in one.
QByteArray CliMessageTerminalText(QByteArray text);
// The body asked for: 0, or the model's code when there is none or it
// cannot be read.
SInt32 CliMessageGetBody(SInt16 forkRefNum, const TNEFMessage &message, CliBodyChoice choice, TNEFBody *body);
// One line telling why there is no such body.
QString CliMessageBodyError(CliBodyChoice choice, SInt32 code);
// A line telling what the RTF decompression noticed on the way, or empty.
QString CliMessageBodyWarning(const TNEFRtfReport &report);

// The JSON documents of `message` (all but its text), `list` and (one entry
// each) `attributes`.
QJsonObject CliMessageJson(SInt16 forkRefNum, const TNEFMessage &message);
// The message's text as the JSON member "text":"...", or empty when it has
// none; *warning tells what reading it noticed, or is empty.
QByteArray CliMessageJsonText(SInt16 forkRefNum, const TNEFMessage &message, QString *warning);
// `more` may add to each attachment's entry (an attached message's own
// attachments, say).
QJsonObject CliListJson(const TNEFFile *tnefFile,
                        const std::function<void(const TNEFFileItem *item, QJsonObject *entry)> &more = {});
QJsonObject CliAttributeJson(const TNEFAttributeItem *item, const QString &name, const QString &preview);
