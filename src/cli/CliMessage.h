#pragma once
// What parvane-cli shows of a parsed document's message, and the JSON forms
// of its listings. Printing, and making texts safe for a terminal, stay with
// the commands.
#include "tnef/TNEFMessage.h"

#include <QJsonObject>
#include <QStringList>
#include <functional>

// The body choices of `body`.
enum class CliBodyChoice { Preferred, Rtf, Html, Text };

// Subject, From, To, Cc, Date and Class lines, those the message has; the
// date in the user's time zone.
QStringList CliMessageHeaderLines(const TNEFMessage &message);
// A text body for a terminal: line feeds only, ending in one.
QByteArray CliMessageTerminalText(const TNEFBody &body);
// The body asked for: 0, or the model's code when there is none or it
// cannot be read.
SInt32 CliMessageGetBody(SInt16 forkRefNum, const TNEFMessage &message, CliBodyChoice choice, TNEFBody *body);
// One line telling why there is no such body.
QString CliMessageBodyError(CliBodyChoice choice, SInt32 code);
// A line telling what was noticed on the way, or empty.
QString CliMessageBodyWarning(const TNEFBody &body);

// The JSON documents of `message`, `list` and (one entry each) `attributes`.
QJsonObject CliMessageJson(SInt16 forkRefNum, const TNEFMessage &message);
// `more` may add to each attachment's entry (an attached message's own
// attachments, say).
QJsonObject CliListJson(const TNEFFile *tnefFile,
                        const std::function<void(const TNEFFileItem *item, QJsonObject *entry)> &more = {});
QJsonObject CliAttributeJson(const TNEFAttributeItem *item, const QString &name, const QString &preview);
