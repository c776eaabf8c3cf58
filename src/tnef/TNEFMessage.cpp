#include "TNEFMessage.h"

#include "TNEFParse.h"
#include "TNEFRtfText.h"
#include "TNEFText.h"
#include "platform/FileManager.h"
#include "platform/TextCodec.h"

#include "TNEFHtmlEntities.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// Message properties, by id.
enum : UInt16 {
    PR_IMPORTANCE = 0x0017,
    PR_MESSAGE_CLASS = 0x001A,
    PR_SUBJECT = 0x0037,
    PR_CLIENT_SUBMIT_TIME = 0x0039,
    PR_SENT_REPRESENTING_NAME = 0x0042,
    PR_SENT_REPRESENTING_EMAIL_ADDRESS = 0x0065,
    PR_CONVERSATION_TOPIC = 0x0070,
    PR_RECIPIENT_TYPE = 0x0C15,
    PR_SENDER_NAME = 0x0C1A,
    PR_SENDER_EMAIL_ADDRESS = 0x0C1F,
    PR_DISPLAY_CC = 0x0E03,
    PR_DISPLAY_TO = 0x0E04,
    PR_MESSAGE_DELIVERY_TIME = 0x0E06,
    PR_BODY = 0x1000,
    PR_RTF_COMPRESSED = 0x1009,
    PR_BODY_HTML = 0x1013,
    PR_EMAIL_ADDRESS = 0x3003,
    PR_SMTP_ADDRESS = 0x39FE,
    PR_INTERNET_CPID = 0x3FDE,
    PR_SENDER_SMTP_ADDRESS = 0x5D01,
    PR_SENT_REPRESENTING_SMTP_ADDRESS = 0x5D02,
};

// Header texts longer than this are cut: a subject of megabytes is no subject.
constexpr UInt32 kHeaderTextLimit = 64 * 1024;

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

SInt32 ReadBytes(SInt16 fork, SInt64 position, UInt32 length, QByteArray *bytes)
{
    bytes->resize(qsizetype(length));
    UInt32 actual = 0;
    const OSErr err = length ? FSReadFork(fork, fsFromStart, position, length, bytes->data(), &actual) : OSErr(noErr);
    bytes->resize(qsizetype(actual));
    return err;
}

QString ReadText(SInt16 fork, SInt64 position, UInt32 length, UInt32 codePage)
{
    QByteArray bytes;
    ReadBytes(fork, position, std::min(length, kHeaderTextLimit), &bytes);
    return TextDecodeCodePage(bytes.constData(), size_t(bytes.size()), codePage).trimmed();
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
    if (!place || ReadBytes(fork, place.position, std::min(place.length, kHeaderTextLimit), &bytes) != noErr
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

QByteArray Utf8(const QString &text)
{
    return text.toUtf8();
}

// Where the charset value of the first <meta> element from `from` on that
// has one lies: [start, end), or false. An element ends at its first '>'
// (or the end of the document) and the search goes on after it: no byte is
// looked at more than a few times, whatever the document.
bool FindMetaCharset(QByteArrayView html, qsizetype from, qsizetype *start, qsizetype *end)
{
    const qsizetype n = html.size();
    const char *b = html.data();
    for (qsizetype at = html.indexOf('<', from); at >= 0 && at < n; at = html.indexOf('<', at + 1)) {
        if (n - at < 5 || qstrnicmp(b + at, "<meta", 5) != 0)
            continue;
        qsizetype close = html.indexOf('>', at);
        if (close < 0)
            close = n;
        for (qsizetype p = at + 5; p + 7 <= close; ++p) {
            if (qstrnicmp(b + p, "charset", 7) != 0)
                continue;
            p += 7;
            while (p < close && (b[p] == ' ' || b[p] == '='))
                ++p;
            if (p < close && (b[p] == '"' || b[p] == '\''))
                ++p;
            qsizetype q = p;
            while (q < close && (std::isalnum(static_cast<unsigned char>(b[q])) || (b[q] && std::strchr("-_.:", b[q]))))
                ++q;
            if (q > p) {
                *start = p;
                *end = q;
                return true;
            }
            break;
        }
        at = close;
    }
    return false;
}

// The recovered HTML is written in UTF-8 whatever the original said, so
// that what declares the original's charset must say so.
QByteArray DeclareUtf8(QByteArray html)
{
    qsizetype start = 0, end = 0, from = 0;
    QByteArray out;
    while (FindMetaCharset(html, from, &start, &end)) {
        out.append(QByteArrayView(html).sliced(from, start - from)).append("utf-8");
        from = end;
    }
    if (from == 0)
        return html;
    return out.append(QByteArrayView(html).sliced(from));
}

bool IsAsciiAlnum(QChar c)
{
    return c.unicode() < 0x80 && std::isalnum(int(c.unicode()));
}

// The named reference that is `name` exactly, or null.
const TNEFHtmlEntity *FindEntity(std::string_view name)
{
    const TNEFHtmlEntity *begin = kTNEFHtmlEntities, *end = begin + kTNEFHtmlEntityCount;
    const TNEFHtmlEntity *it = std::lower_bound(begin, end, name, [](const TNEFHtmlEntity &e, std::string_view n) {
        return std::string_view(e.name) < n;
    });
    return it != end && std::string_view(it->name) == name ? it : nullptr;
}

void AppendCode(char32_t code, QString *out)
{
    *out += QString::fromUcs4(&code, 1);
}

// The character reference at html[i] ('&'), decoded into *out as HTML
// decodes one in text; the index after it. What is no reference is the '&'
// alone, and the rest is read as text.
qsizetype DecodeReference(QStringView html, qsizetype i, QString *out)
{
    const qsizetype n = html.size();
    qsizetype p = i + 1;
    if (p < n && html[p] == QLatin1Char('#')) {
        ++p;
        const bool hex = p < n && (html[p] == QLatin1Char('x') || html[p] == QLatin1Char('X'));
        p += hex ? 1 : 0;
        const qsizetype digits = p;
        char32_t code = 0;
        for (; p < n; ++p) {
            const char16_t c = html[p].unicode();
            int d = c >= '0' && c <= '9' ? c - '0' : -1;
            if (hex && d < 0 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
                d = (c | 0x20) - 'a' + 10;
            if (d < 0)
                break;
            code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(d), 0x110000);
        }
        if (p == digits) {
            *out += QLatin1Char('&');
            return i + 1;
        }
        if (p < n && html[p] == QLatin1Char(';'))
            ++p;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = QChar::ReplacementCharacter;
        } else if (code >= 0x80 && code <= 0x9F) {
            // What Windows-1252 puts there, where it puts anything.
            const char byte = char(code);
            const QString mapped = TextDecodeCodePage(&byte, 1, kCodePageDefault);
            if (mapped.size() == 1 && mapped[0] != QChar::ReplacementCharacter)
                code = mapped[0].unicode();
        }
        AppendCode(code, out);
        return p;
    }
    // The longest name that matches: one that ends in ';', else one of the
    // few old ones that may go without it.
    constexpr size_t kLongestName = 32, kLongestBareName = 6;
    std::string name;
    while (p < n && name.size() < kLongestName && IsAsciiAlnum(html[p]))
        name += char(html[p++].unicode());
    const TNEFHtmlEntity *entity = nullptr;
    qsizetype next = p + 1;
    if (p < n && html[p] == QLatin1Char(';'))
        entity = FindEntity(name + ';');
    for (size_t length = std::min(name.size(), kLongestBareName); !entity && length >= 2; --length) {
        entity = FindEntity(std::string_view(name).substr(0, length));
        next = i + 1 + qsizetype(length);
    }
    if (!entity) {
        *out += QLatin1Char('&');
        return i + 1;
    }
    AppendCode(entity->first, out);
    if (entity->second)
        AppendCode(entity->second, out);
    return next;
}

// A stored body: no more than `bound` bytes of it may exist, and the first
// `limit` of them are read.
SInt32 ReadBody(SInt16 fork, const TNEFValuePlace &place, UInt32 bound, UInt32 limit, QByteArray *bytes,
                bool *cut = nullptr)
{
    if (!place)
        return kTNEFMessageErrNoBody;
    if (place.length > bound)
        return kTNEFMessageErrTooLarge;
    if (cut)
        *cut = place.length > limit;
    return ReadBytes(fork, place.position, std::min(place.length, limit), bytes);
}

} // namespace

QByteArray TNEFValueBytes(SInt16 forkRefNum, const TNEFValuePlace &place, UInt32 limit)
{
    QByteArray bytes;
    if (place)
        ReadBytes(forkRefNum, place.position, std::min(place.length, limit), &bytes);
    return bytes;
}

QString TNEFValueText(SInt16 forkRefNum, const TNEFValuePlace &place, UInt32 codePage)
{
    if (!place || (place.type != PT_STRING8 && place.type != PT_UNICODE))
        return QString();
    return ReadText(forkRefNum, place.position, place.length, place.type == PT_UNICODE ? kCodePageUTF16LE : codePage);
}

std::optional<UInt32> TNEFValueLong(SInt16 forkRefNum, const TNEFValuePlace &place)
{
    QByteArray bytes;
    if (!place || (place.type != PT_LONG && place.type != PT_BOOLEAN)
        || ReadBytes(forkRefNum, place.position, 4, &bytes) != noErr || bytes.size() < 4)
        return std::nullopt;
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    return UInt32(b[0]) | UInt32(b[1]) << 8 | UInt32(b[2]) << 16 | UInt32(b[3]) << 24;
}

// A FILETIME: 100-nanosecond units since 1601-01-01 UTC.
QDateTime TNEFValueTime(SInt16 forkRefNum, const TNEFValuePlace &place)
{
    QByteArray bytes;
    if (!place || place.type != PT_SYSTIME || ReadBytes(forkRefNum, place.position, 8, &bytes) != noErr
        || bytes.size() < 8)
        return QDateTime();
    UInt64 ticks = 0;
    for (int i = 7; i >= 0; --i)
        ticks = ticks << 8 | static_cast<unsigned char>(bytes[i]);
    constexpr SInt64 kUnixEpochMSecs = 11644473600000LL;
    return QDateTime::fromMSecsSinceEpoch(SInt64(ticks / 10000) - kUnixEpochMSecs, Qt::UTC);
}

// A TNEF date (year, month, day, hour, minute, second, day of week), UTC.
QDateTime TNEFMessageReadDate(SInt16 forkRefNum, const TNEFPlace &place)
{
    QByteArray bytes;
    if (!place || place.length < 12 || ReadBytes(forkRefNum, place.position, 12, &bytes) != noErr || bytes.size() < 12)
        return QDateTime();
    const auto field = [&](int i) {
        return int(static_cast<unsigned char>(bytes[2 * i]) | static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    };
    const QDate date(field(0), field(1), field(2));
    const QTime time(field(3), field(4), field(5));
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

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
        message->subject = ReadText(forkRefNum, places.subject.position, places.subject.length, codePage);
    // Some gateways keep only the topic: the subject without its "RE:".
    if (message->subject.isEmpty())
        message->subject = string(PR_CONVERSATION_TOPIC);
    message->messageClass = string(PR_MESSAGE_CLASS);
    if (message->messageClass.isEmpty() && places.messageClass)
        message->messageClass =
            ReadText(forkRefNum, places.messageClass.position, places.messageClass.length, codePage);

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
        if (ReadBytes(forkRefNum, places.priority.position, 1, &priority) == noErr && priority.size() == 1)
            message->importance = priority[0] == 1 ? 2 : priority[0] == 3 ? 0 : 1;
    }
    message->internetCodePage = ReadLong(forkRefNum, properties, PR_INTERNET_CPID).value_or(0);

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

SInt32 TNEFMessageGetBody(SInt16 forkRefNum, const TNEFMessage &message, TNEFBodyKind kind, TNEFBody *body,
                          UInt32 limit)
{
    *body = TNEFBody{};
    body->kind = kind;
    limit = std::min(limit, kTNEFBodyMaxSize);
    SInt32 err = noErr;
    switch (kind) {
    case TNEFBodyKind::Text: {
        QByteArray stored;
        if ((err = ReadBody(forkRefNum, message.textBody, kTNEFBodyMaxSize, limit, &stored, &body->cut)))
            return err;
        const UInt32 codePage = message.textBody.type == PT_UNICODE ? kCodePageUTF16LE : message.codePage;
        body->bytes = Utf8(TextDecodeCodePage(stored.constData(), size_t(stored.size()), codePage));
        body->charset = "UTF-8";
        return noErr;
    }
    case TNEFBodyKind::Html: {
        if ((err = ReadBody(forkRefNum, message.htmlBody, kTNEFBodyMaxSize, limit, &body->bytes, &body->cut)))
            return err;
        if (message.htmlBody.type == PT_UNICODE) {
            body->bytes = Utf8(TextDecodeCodePage(body->bytes.constData(), size_t(body->bytes.size()), kCodePageUTF16LE));
            body->charset = "UTF-8";
            return noErr;
        }
        if (message.htmlBody.type == PT_STRING8 && body->bytes.contains('\0'))
            body->bytes.truncate(body->bytes.indexOf('\0'));
        body->charset = TNEFHtmlDeclaredCharset(body->bytes);
        body->codePage = message.internetCodePage ? message.internetCodePage : message.codePage;
        return noErr;
    }
    case TNEFBodyKind::Rtf: {
        // LZFu data is at most 9/8 of what it makes.
        constexpr UInt32 kCompressedMaxSize = kTNEFBodyMaxSize / 8 * 9 + 16;
        QByteArray compressed;
        if ((err = ReadBody(forkRefNum, message.rtfBody, kCompressedMaxSize, kCompressedMaxSize, &compressed)))
            return err;
        if ((err = TNEFRtfDecompress(compressed, &body->bytes, &body->rtf, limit)))
            return err;
        body->cut = body->rtf.rawSize > limit && UInt32(body->bytes.size()) == limit;
        return noErr;
    }
    case TNEFBodyKind::HtmlFromRtf:
    case TNEFBodyKind::TextFromRtf: {
        TNEFBody rtf;
        if ((err = TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Rtf, &rtf, limit)))
            return err;
        if (kind == TNEFBodyKind::HtmlFromRtf && TNEFRtfGetOrigin(rtf.bytes) != TNEFRtfOrigin::Html)
            return kTNEFMessageErrNoBody;
        body->rtf = rtf.rtf;
        body->cut = rtf.cut;
        body->charset = "UTF-8";
        // The RTF goes as soon as it is read: a body of the largest size
        // then stands in memory no more than twice.
        body->bytes = kind == TNEFBodyKind::TextFromRtf ? TNEFRtfToText(rtf.bytes) : TNEFRtfToHtml(rtf.bytes);
        rtf.bytes = QByteArray();
        if (kind == TNEFBodyKind::HtmlFromRtf)
            body->bytes = DeclareUtf8(std::move(body->bytes));
        return noErr;
    }
    case TNEFBodyKind::TextFromHtml: {
        TNEFBody html;
        if ((err = TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Html, &html, limit)))
            return err;
        QString page = TNEFBodyToString(html);
        html.bytes = QByteArray();
        body->cut = html.cut;
        body->bytes = Utf8(TNEFHtmlToText(page));
        body->charset = "UTF-8";
        return noErr;
    }
    }
    return kTNEFMessageErrNoBody;
}

namespace {
// The first of `kinds` that the message has; a body that is there but
// cannot be read is reported when no later one can stand in for it.
SInt32 FirstBody(SInt16 fork, const TNEFMessage &message, std::initializer_list<TNEFBodyKind> kinds, TNEFBody *body,
                 UInt32 limit = kTNEFBodyMaxSize)
{
    SInt32 first = kTNEFMessageErrNoBody;
    for (TNEFBodyKind kind : kinds) {
        const SInt32 err = TNEFMessageGetBody(fork, message, kind, body, limit);
        if (err == noErr)
            return noErr;
        if (first == kTNEFMessageErrNoBody)
            first = err;
    }
    return first;
}
} // namespace

SInt32 TNEFMessageGetText(SInt16 forkRefNum, const TNEFMessage &message, TNEFBody *body, UInt32 limit)
{
    return FirstBody(forkRefNum, message,
                     {TNEFBodyKind::Text, TNEFBodyKind::TextFromRtf, TNEFBodyKind::TextFromHtml}, body, limit);
}

SInt32 TNEFMessageGetHtml(SInt16 forkRefNum, const TNEFMessage &message, TNEFBody *body, UInt32 limit)
{
    return FirstBody(forkRefNum, message, {TNEFBodyKind::Html, TNEFBodyKind::HtmlFromRtf}, body, limit);
}

SInt32 TNEFMessageGetPreferredBody(SInt16 forkRefNum, const TNEFMessage &message, TNEFBody *body)
{
    return FirstBody(forkRefNum, message,
                     {TNEFBodyKind::Html, TNEFBodyKind::HtmlFromRtf, TNEFBodyKind::Rtf, TNEFBodyKind::Text,
                      TNEFBodyKind::TextFromRtf}, body);
}

QString TNEFBodyToString(const TNEFBody &body)
{
    if (!body.charset.isEmpty()) {
        QStringDecoder decoder(body.charset.constData());
        if (decoder.isValid())
            return decoder.decode(body.bytes);
    }
    return TextDecodeCodePage(body.bytes.constData(), size_t(body.bytes.size()), body.codePage);
}

QByteArray TNEFHtmlDeclaredCharset(const QByteArray &html)
{
    qsizetype start = 0, end = 0;
    return FindMetaCharset(html, 0, &start, &end) ? html.mid(start, end - start) : QByteArray();
}

QString TNEFHtmlToText(const QString &html)
{
    static const QStringList kHidden{QStringLiteral("head"), QStringLiteral("script"), QStringLiteral("style"),
                                     QStringLiteral("title")};
    static const QStringList kBlocks{QStringLiteral("p"), QStringLiteral("div"), QStringLiteral("tr"),
                                     QStringLiteral("li"), QStringLiteral("table"), QStringLiteral("blockquote"),
                                     QStringLiteral("pre"), QStringLiteral("h1"), QStringLiteral("h2"),
                                     QStringLiteral("h3"), QStringLiteral("h4"), QStringLiteral("h5"),
                                     QStringLiteral("h6"), QStringLiteral("hr")};
    QString out;
    const auto newline = [&] {
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
        out += QLatin1Char('\n');
    };
    const qsizetype n = html.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('<')) {
            if (html.mid(i, 4) == QLatin1String("<!--")) {
                const qsizetype close = html.indexOf(QLatin1String("-->"), i + 4);
                i = close < 0 ? n : close + 3;
                continue;
            }
            const qsizetype close = html.indexOf(QLatin1Char('>'), i);
            if (close < 0)
                break;
            qsizetype start = i + 1;
            const bool closing = start < close && html.at(start) == QLatin1Char('/');
            start += closing ? 1 : 0;
            qsizetype end = start;
            while (end < close && html.at(end).isLetterOrNumber())
                ++end;
            const QString name = html.mid(start, end - start).toLower();
            i = close + 1;
            if (!closing && kHidden.contains(name)) {
                const qsizetype end = html.indexOf(QLatin1String("</") + name, i, Qt::CaseInsensitive);
                const qsizetype endClose = end < 0 ? -1 : html.indexOf(QLatin1Char('>'), end);
                i = endClose < 0 ? n : endClose + 1;
            } else if (name == QLatin1String("br") || kBlocks.contains(name)) {
                newline();
            } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
                out += QLatin1Char('\t');
            }
            continue;
        }
        if (c == QLatin1Char('&')) {
            i = DecodeReference(html, i, &out);
            continue;
        }
        if (c.isSpace()) {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char(' ')) && !out.endsWith(QLatin1Char('\n')))
                out += QLatin1Char(' ');
        } else {
            out += c;
        }
        ++i;
    }
    // No more than one empty line in a row, none at either end.
    out.replace(QRegularExpression(QStringLiteral("\n{3,}")), QStringLiteral("\n\n"));
    out = out.trimmed();
    out.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return out.isEmpty() ? out : out + QLatin1String("\r\n");
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
