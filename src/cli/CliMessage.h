#pragma once
// What parvane-cli shows of a parsed document's message, and the JSON forms
// of its listings. Printing, and making texts safe for a terminal, stay with
// the commands.
#include "tnef/TNEFCalendarSummary.h"
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
// A meeting's or a task's lines (see TNEFCalendarSummaryLines) as
// "Label: text".
QStringList CliMessageItemLines(const TNEFCalendarSummary &item);
// The same as the JSON members "meeting" and "task".
void CliMessageItemJson(const TNEFCalendarSummary &item, QJsonObject *json);

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
