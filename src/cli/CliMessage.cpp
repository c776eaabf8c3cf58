#include "CliMessage.h"

#include "tnef/TNEFCalendarSummary.h"
#include "tnef/TNEFRtfText.h"
#include "tnef/TNEFText.h"

#include <QJsonArray>

namespace {

// ISO 8601 in the user's time zone, with its offset.
QString IsoDate(const QDateTime &date)
{
    return TNEFLocalClock(date).toString(Qt::ISODate);
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

} // namespace

QStringList CliMessageItemLines(const TNEFCalendarSummary &item)
{
    QStringList lines;
    for (const TNEFSummaryLine &line : TNEFCalendarSummaryLines(item))
        lines << line.label + QLatin1String(": ") + line.text;
    return lines;
}

void CliMessageItemJson(const TNEFCalendarSummary &item, QJsonObject *json)
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
                                         {QStringLiteral("role"), TNEFCalendarRoleText(person.role)}});
        if (!attendees.isEmpty())
            meeting.insert(QStringLiteral("attendees"), attendees);
        if (const QString repeats = TNEFCalendarRepeatsText(*m); !repeats.isEmpty())
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
