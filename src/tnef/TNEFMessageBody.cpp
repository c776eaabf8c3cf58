#include "TNEFMessage.h"

#include "TNEFHtml.h"
#include "TNEFMessageValues.h"
#include "TNEFParse.h"
#include "TNEFRtfHtml.h"
#include "TNEFRtfText.h"
#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

namespace {

QByteArray Utf8(const QString &text)
{
    return text.toUtf8();
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
    return TNEFReadBytes(fork, place.position, std::min(place.length, limit), bytes);
}

// One of the bodies read out of an RTF body; the RTF goes as soon as it is
// read, so that a body of the largest size stands in memory no more than
// twice. Only RTF made from HTML carries HTML, and only RTF written as RTF
// is made into HTML (what was made from text is better shown as text).
SInt32 BodyFromRtf(TNEFBody rtf, TNEFBodyKind kind, TNEFBody *body)
{
    const TNEFRtfOrigin origin = TNEFRtfGetOrigin(rtf.bytes);
    if ((kind == TNEFBodyKind::HtmlFromRtf && origin != TNEFRtfOrigin::Html)
        || (kind == TNEFBodyKind::HtmlMadeFromRtf && origin != TNEFRtfOrigin::Rtf))
        return kTNEFMessageErrNoBody;
    body->kind = kind;
    body->rtf = rtf.rtf;
    body->cut = rtf.cut;
    body->charset = "UTF-8";
    const QByteArray bytes = std::exchange(rtf.bytes, QByteArray());
    body->bytes = kind == TNEFBodyKind::TextFromRtf ? TNEFRtfToText(bytes)
        : kind == TNEFBodyKind::HtmlFromRtf         ? TNEFHtmlDeclareUtf8(TNEFRtfToHtml(bytes))
                                                    : TNEFRtfMakeHtml(bytes);
    return noErr;
}

} // namespace

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
    case TNEFBodyKind::HtmlMadeFromRtf:
    case TNEFBodyKind::TextFromRtf: {
        TNEFBody rtf;
        if ((err = TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Rtf, &rtf, limit)))
            return err;
        return BodyFromRtf(std::move(rtf), kind, body);
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
    const SInt32 err = TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Html, body, limit);
    if (err == noErr)
        return noErr;
    // The RTF is decompressed once for whichever HTML it gives.
    TNEFBody rtf;
    const SInt32 rtfErr = TNEFMessageGetBody(forkRefNum, message, TNEFBodyKind::Rtf, &rtf, limit);
    if (rtfErr != noErr) {
        *body = TNEFBody{};
        return err != kTNEFMessageErrNoBody ? err : rtfErr;
    }
    const TNEFBodyKind kind = TNEFRtfGetOrigin(rtf.bytes) == TNEFRtfOrigin::Html ? TNEFBodyKind::HtmlFromRtf
                                                                                   : TNEFBodyKind::HtmlMadeFromRtf;
    *body = TNEFBody{};
    const SInt32 madeErr = BodyFromRtf(std::move(rtf), kind, body);
    return madeErr == noErr || err == kTNEFMessageErrNoBody ? madeErr : err;
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
