#include "TNEFMessage.h"

#include "TNEFMessageValues.h"
#include "TNEFParse.h"
#include "TNEFProps.h"
#include "TNEFText.h"
#include "platform/FileManager.h"
#include "platform/TextCodec.h"

#include <optional>
#include <unordered_map>

namespace {

// The first value of each property of a block, by id.
using Properties = std::unordered_map<UInt16, TNEFValuePlace>;

bool KeepMessageProperty(UInt16 id)
{
    switch (id) {
    case PR_IMPORTANCE: case PR_MESSAGE_CLASS: case PR_SUBJECT: case PR_CLIENT_SUBMIT_TIME:
    case PR_SENT_REPRESENTING_NAME: case PR_SENT_REPRESENTING_EMAIL_ADDRESS: case PR_SENDER_NAME:
    case PR_SENDER_EMAIL_ADDRESS: case PR_DISPLAY_CC: case PR_DISPLAY_TO: case PR_MESSAGE_DELIVERY_TIME:
    case PR_BODY: case PR_RTF_COMPRESSED: case PR_BODY_HTML: case PR_INTERNET_CPID:
    case PR_SENDER_SMTP_ADDRESS: case PR_SENT_REPRESENTING_SMTP_ADDRESS: case PR_CONVERSATION_TOPIC:
        return true;
    default:
        return false;
    }
}

bool KeepRecipientProperty(UInt16 id)
{
    return id == PR_RECIPIENT_TYPE || id == PR_DISPLAY_NAME || id == PR_EMAIL_ADDRESS || id == PR_SMTP_ADDRESS;
}

// Reading the message again must not add to the document's trace.
struct TraceOff {
    bool was = gTNEFParseTraceOn;
    TraceOff() { gTNEFParseTraceOn = false; }
    ~TraceOff() { gTNEFParseTraceOn = was; }
};

// Decodes one property block at the fork's mark into *properties; the mark
// ends after the last byte read.
SInt32 ReadProperties(SInt16 fork, SInt64 end, UInt32 codePage, bool (*keep)(UInt16), Properties *properties)
{
    const TraceOff traceOff;
    TNEFList<TNEFMAPIItem> list;
    const SInt32 status = TNEFParseMAPI(fork, &list, end, codePage, keep, true);
    for (const TNEFMAPIItem *item = list; item; item = item->next) {
        if (item->index == 0)
            properties->try_emplace(item->id, TNEFValuePlace{item->position, item->length, item->type});
    }
    TNEFParseMAPIDestroy(&list);
    return status;
}

TNEFValuePlace Find(const Properties &properties, UInt16 id)
{
    const auto it = properties.find(id);
    return it != properties.end() ? it->second : TNEFValuePlace{};
}

QString ReadString(SInt16 fork, const Properties &properties, UInt16 id, UInt32 codePage)
{
    return TNEFValueText(fork, Find(properties, id), codePage);
}

std::optional<UInt32> ReadLong(SInt16 fork, const Properties &properties, UInt16 id)
{
    const TNEFValuePlace place = Find(properties, id);
    return place.type == PT_LONG ? TNEFValueLong(fork, place) : std::nullopt;
}

QDateTime ReadTime(SInt16 fork, const Properties &properties, UInt16 id)
{
    return TNEFValueTime(fork, Find(properties, id));
}

// "SMTP:someone@example.org" and the like: the address without its type.
QString WithoutAddressType(const QString &address)
{
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    if (colon > 0 && colon <= 8 && !address.left(colon).contains(QLatin1Char('@')))
        return address.mid(colon + 1);
    return address;
}

// attFrom: a TRP header (id, total size, name size, address size, 16 bits
// each), the name, then the address.
void ReadFrom(SInt16 fork, const TNEFPlace &place, UInt32 codePage, QString *name, QString *address)
{
    QByteArray bytes;
    if (!place || TNEFReadBytes(fork, place.position, std::min(place.length, kTNEFHeaderTextLimit), &bytes) != noErr
        || bytes.size() < 8)
        return;
    const auto u16 = [&](int i) {
        return int(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    const QByteArray nameBytes = bytes.mid(8, u16(4));
    const QByteArray addressBytes = bytes.mid(8 + u16(4), u16(6));
    *name = TextDecodeCodePage(nameBytes.constData(), size_t(nameBytes.size()), codePage).trimmed();
    *address = WithoutAddressType(
        TextDecodeCodePage(addressBytes.constData(), size_t(addressBytes.size()), codePage).trimmed());
}

// attRecipTable: a row count, then each row as a property block.
void ReadRecipientTable(SInt16 fork, const TNEFPlace &place, UInt32 codePage, QList<TNEFRecipient> *recipients)
{
    const SInt64 end = place.position + SInt64(place.length);
    UInt32 rows = 0;
    if (FSSetForkPosition(fork, fsFromStart, place.position) != noErr || TNEFParseGetInt32(fork, &rows) != noErr)
        return;
    for (UInt32 row = 0; row < rows && TNEFParseGetPosition(fork) < end; ++row) {
        Properties properties;
        const SInt32 status = ReadProperties(fork, end, codePage, KeepRecipientProperty, &properties);
        const SInt64 next = TNEFParseGetPosition(fork);
        TNEFRecipient recipient;
        recipient.type = int(ReadLong(fork, properties, PR_RECIPIENT_TYPE).value_or(TNEFRecipient::To) & 0xF);
        recipient.name = ReadString(fork, properties, PR_DISPLAY_NAME, codePage);
        recipient.address = ReadString(fork, properties, PR_SMTP_ADDRESS, codePage);
        if (recipient.address.isEmpty())
            recipient.address = ReadString(fork, properties, PR_EMAIL_ADDRESS, codePage);
        if (!recipient.name.isEmpty() || !recipient.address.isEmpty())
            recipients->append(recipient);
        // Each row is read where the one before ended: a broken row leaves
        // no way to find the next.
        if (status != noErr || next < 0 || FSSetForkPosition(fork, fsFromStart, next) != noErr)
            break;
    }
}

void AddDisplayNames(const QString &names, int type, QList<TNEFRecipient> *recipients)
{
    for (const QString &name : names.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!name.trimmed().isEmpty())
            recipients->append(TNEFRecipient{type, name.trimmed(), QString()});
    }
}

} // namespace

SInt32 TNEFMessageRead(SInt16 forkRefNum, const TNEFMessagePlaces &places, TNEFMessage *message)
{
    *message = TNEFMessage{};
    message->codePage = places.codePage;
    const UInt32 codePage = places.codePage;
    Properties properties;
    for (const TNEFPlace &block : places.properties) {
        if (OSErr err = FSSetForkPosition(forkRefNum, fsFromStart, block.position))
            return err;
        ReadProperties(forkRefNum, block.position + SInt64(block.length), codePage, KeepMessageProperty,
                       &properties);
    }
    const auto string = [&](UInt16 id) { return ReadString(forkRefNum, properties, id, codePage); };

    message->subject = string(PR_SUBJECT);
    if (message->subject.isEmpty() && places.subject)
        message->subject = TNEFReadText(forkRefNum, places.subject.position, places.subject.length, codePage);
    // Some gateways keep only the topic: the subject without its "RE:".
    if (message->subject.isEmpty())
        message->subject = string(PR_CONVERSATION_TOPIC);
    message->messageClass = string(PR_MESSAGE_CLASS);
    if (message->messageClass.isEmpty() && places.messageClass)
        message->messageClass =
            TNEFReadText(forkRefNum, places.messageClass.position, places.messageClass.length, codePage);

    // The one the message is from; the sender when someone sent it for them.
    const UInt16 kSenders[][3] = {
        {PR_SENT_REPRESENTING_NAME, PR_SENT_REPRESENTING_SMTP_ADDRESS, PR_SENT_REPRESENTING_EMAIL_ADDRESS},
        {PR_SENDER_NAME, PR_SENDER_SMTP_ADDRESS, PR_SENDER_EMAIL_ADDRESS},
    };
    for (const auto &ids : kSenders) {
        message->senderName = string(ids[0]);
        message->senderAddress = string(ids[1]);
        if (message->senderAddress.isEmpty())
            message->senderAddress = string(ids[2]);
        if (!message->senderName.isEmpty() || !message->senderAddress.isEmpty())
            break;
    }
    if (message->senderName.isEmpty() && message->senderAddress.isEmpty())
        ReadFrom(forkRefNum, places.from, codePage, &message->senderName, &message->senderAddress);

    if (places.recipients)
        ReadRecipientTable(forkRefNum, places.recipients, codePage, &message->recipients);
    if (message->recipients.isEmpty()) {
        AddDisplayNames(string(PR_DISPLAY_TO), TNEFRecipient::To, &message->recipients);
        AddDisplayNames(string(PR_DISPLAY_CC), TNEFRecipient::Cc, &message->recipients);
    }

    message->sent = ReadTime(forkRefNum, properties, PR_CLIENT_SUBMIT_TIME);
    if (!message->sent.isValid())
        message->sent = TNEFMessageReadDate(forkRefNum, places.dateSent);
    message->received = ReadTime(forkRefNum, properties, PR_MESSAGE_DELIVERY_TIME);
    if (!message->received.isValid())
        message->received = TNEFMessageReadDate(forkRefNum, places.dateReceived);

    if (const auto importance = ReadLong(forkRefNum, properties, PR_IMPORTANCE); importance && *importance <= 2) {
        message->importance = int(*importance);
    } else if (places.priority) {
        QByteArray priority;
        if (TNEFReadBytes(forkRefNum, places.priority.position, 1, &priority) == noErr && priority.size() == 1)
            message->importance = priority[0] == 1 ? 2 : priority[0] == 3 ? 0 : 1;
    }
    message->internetCodePage = ReadLong(forkRefNum, properties, PR_INTERNET_CPID).value_or(0);

    // A document out of a mail: what the mail's own headers say, where the
    // document says nothing.
    if (const auto &mail = places.mail) {
        if (message->subject.isEmpty())
            message->subject = mail->subject;
        if (message->senderName.isEmpty() && message->senderAddress.isEmpty()) {
            message->senderName = mail->from.name;
            message->senderAddress = mail->from.address;
        }
        if (message->recipients.isEmpty())
            message->recipients = mail->recipients;
        if (!message->sent.isValid())
            message->sent = mail->date;
    }

    const auto place = [&](UInt16 id) { return Find(properties, id); };
    message->textBody = place(PR_BODY);
    if (message->textBody.type != PT_STRING8 && message->textBody.type != PT_UNICODE)
        message->textBody = TNEFValuePlace{};
    if (!message->textBody && places.body)
        message->textBody = TNEFValuePlace{places.body.position, places.body.length, PT_STRING8};
    message->htmlBody = place(PR_BODY_HTML);
    message->rtfBody = place(PR_RTF_COMPRESSED);
    return noErr;
}

QString TNEFRecipientText(const QString &name, const QString &address)
{
    if (address.isEmpty() || name == address)
        return name.isEmpty() ? address : name;
    if (name.isEmpty())
        return address;
    return QStringLiteral("%1 <%2>").arg(name, address);
}

QString TNEFMessageRecipientsText(const TNEFMessage &message, int type)
{
    QStringList names;
    for (const TNEFRecipient &r : message.recipients) {
        if (r.type == type)
            names << TNEFRecipientText(r.name, r.address);
    }
    return names.join(QLatin1String(", "));
}

TNEFFile *TNEFFileOpenAttached(const TNEFFile *tnefFile, UInt32 fileID, OSErr *status)
{
    const TNEFFileItem *item = tnefFile ? TNEFFileFindItem(tnefFile, fileID) : nullptr;
    OSErr err = noErr;
    TNEFFile *attached = nullptr;
    if (!item || item->isTNEF != -1) {
        err = paramErr;
    } else if (!(attached = TNEFFileCreate())) {
        err = memFullErr;
    } else {
        attached->fileRef = tnefFile->fileRef;
        attached->fileName = TNEFFileItemTitle(item);
        err = FSOpenForkRange(tnefFile->forkRefNum, item->dataPosition, item->dataLength, &attached->forkRefNum);
        if (err != noErr) {
            attached->forkRefNum = 0;
            TNEFFileDestroy(attached);
            attached = nullptr;
        }
    }
    if (status)
        *status = err;
    return attached;
}
