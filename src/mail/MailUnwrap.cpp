#include "MailUnwrap.h"

#include "MailTnefPart.h"
#include "extract/TNEFAppOpen.h"
#include "platform/FileManager.h"
#include "platform/TextCodec.h"
#include "tnef/TNEFHtml.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFMessageItems.h"
#include "tnef/TNEFParse.h"
#include "tnef/TNEFText.h"

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>
#include <cstdio>
#include <cstring>
#include <unordered_set>
#include <unistd.h>

namespace {

// Parts nested deeper than this are passed over: each level costs a frame
// here, and no mail reader shows such a mail anyway.
constexpr int kMaxNesting = 64;

// Text from the file that goes into a header: GMime encodes what is not
// ASCII, but a line break would still start a header of the sender's.
QByteArray headerText(const QString &text)
{
    return TextAsOneLine(text).toUtf8();
}

// A part of MIME type `type` ("type/subtype") whose content is read from
// `stream` (taken) only as the part is written, sent as base64: no line of
// it can be mistaken for an mbox "From " line or a lone dot.
GMimePart *streamPart(const QByteArray &type, GMimeStream *stream)
{
    const qsizetype slash = type.indexOf('/');
    GMimePart *part = g_mime_part_new_with_type(type.left(slash).constData(), type.mid(slash + 1).constData());
    GMimeDataWrapper *content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(part, content);
    g_object_unref(content);
    g_object_unref(stream);
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    return part;
}

GMimePart *bytesPart(const QByteArray &type, const QByteArray &bytes)
{
    return streamPart(type, g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
}

GMimePart *textPart(const char *subtype, const TNEFBody &body)
{
    GMimePart *part = bytesPart(QByteArray("text/") + subtype, body.bytes);
    const QByteArray charset = body.charset.isEmpty() ? QByteArray("utf-8") : body.charset;
    // The charset comes from the HTML's own <meta>: only a name's characters.
    static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9._:+-]{1,40}$"));
    if (token.match(QString::fromLatin1(charset)).hasMatch())
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", charset.constData());
    return part;
}

void setFileName(GMimeObject *object, const QString &name)
{
    g_mime_object_set_disposition(object, GMIME_DISPOSITION_ATTACHMENT);
    const QByteArray bytes = headerText(name);
    if (GMIME_IS_PART(object)) {
        g_mime_part_set_filename(GMIME_PART(object), bytes.constData());
    } else {
        g_mime_object_set_content_disposition_parameter(object, "filename", bytes.constData());
    }
    // A name that is not ASCII is written in UTF-8 (RFC 2231), which every
    // reader knows, rather than in the smallest legacy charset that holds it.
    const auto inUtf8 = [](GMimeParamList *list, const char *parameter) {
        if (GMimeParam *param = list ? g_mime_param_list_get_parameter(list, parameter) : nullptr)
            g_mime_param_set_charset(param, "UTF-8");
    };
    if (GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object))
        inUtf8(g_mime_content_disposition_get_parameters(disposition), "filename");
    if (GMimeContentType *type = g_mime_object_get_content_type(object); type && GMIME_IS_PART(object))
        inUtf8(g_mime_content_type_get_parameters(type), "name");
}

// The type an attachment is sent as: the one the sender gave, when it reads
// as a type and says more than "some bytes", else the one its name's
// extension has.
QByteArray attachmentType(const TNEFFileItem *item, const QString &name)
{
    static const QRegularExpression mimeType(QStringLiteral("^[a-z0-9!#$&^_.+-]{1,64}/[a-z0-9!#$&^_.+-]{1,64}$"));
    const QString given = QString::fromStdString(item->mimeTag).toLower();
    if (mimeType.match(given).hasMatch() && given != QLatin1String("application/octet-stream"))
        return given.toLatin1();
    static const QMimeDatabase database;
    return database.mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toLatin1();
}

// The Content-ID an inline picture is referred to by, when it is one a
// header can carry as it is.
QByteArray contentId(const TNEFFileItem *item)
{
    static const QRegularExpression id(QStringLiteral("^[!#-;=?-~]{1,250}$"));
    const QString given = TNEFHtmlContentIdBare(QString::fromStdString(item->contentId));
    return id.match(given).hasMatch() ? given.toLatin1() : QByteArray();
}

// The Content-IDs the HTML refers to by cid:, gathered in one pass: a
// search of the whole HTML per attachment would take as long as their
// product.
std::unordered_set<QString> contentIdsShown(const QByteArray &html)
{
    std::unordered_set<QString> ids;
    for (qsizetype at = html.indexOf("cid:"); at >= 0; at = html.indexOf("cid:", at)) {
        at += 4;
        qsizetype end = at;
        while (end < html.size() && !std::strchr("\"'()<> \t\r\n", html[end]) && html[end] != '\0')
            ++end;
        ids.insert(TNEFHtmlContentIdKey(QUrl::fromPercentEncoding(html.mid(at, end - at))));
        at = end;
    }
    return ids;
}

// The METHOD of a calendar file made from the message: what the calendar
// says it is, said again in its part's type, as mail readers look there.
QByteArray calendarMethod(const QByteArray &ics)
{
    static const QRegularExpression method(QStringLiteral("(?:^|\\n)METHOD:([A-Z-]{1,20})\\r?\\n"));
    return method.match(QString::fromLatin1(ics)).captured(1).toLatin1();
}

class Unwrapper {
public:
    MailUnwrapResult result;
    bool tempFailed = false;

    void walkMessage(GMimeMessage *message, int depth)
    {
        GMimeObject *top = g_mime_message_get_mime_part(message);
        if (!top)
            return;
        if (MailPartIsTnef(top)) {
            if (GMimeObject *replacement = unwrapPart(GMIME_PART(top))) {
                g_mime_message_set_mime_part(message, replacement);
                g_object_unref(replacement);
            }
            return;
        }
        walk(top, depth + 1);
    }

private:
    int m_seen = 0;  // TNEF parts met so far: notes name a part by its number

    void note(const QString &what)
    {
        result.notes << QStringLiteral("TNEF part %1 %2").arg(m_seen).arg(what);
    }

    int countTnef(GMimeObject *object, int depth)
    {
        if (depth > kMaxNesting)
            return 0;
        if (GMIME_IS_MULTIPART(object)) {
            int count = 0;
            GMimeMultipart *multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
                count += countTnef(g_mime_multipart_get_part(multipart, i), depth + 1);
            return count;
        }
        if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            GMimeObject *top = message ? g_mime_message_get_mime_part(message) : nullptr;
            return top ? countTnef(top, depth + 1) : 0;
        }
        return MailPartIsTnef(object) ? 1 : 0;
    }

    void walk(GMimeObject *object, int depth)
    {
        if (depth > kMaxNesting)
            return;
        // Changing what a signature covers would break it.
        if (GMIME_IS_MULTIPART_SIGNED(object) || GMIME_IS_MULTIPART_ENCRYPTED(object)) {
            for (int n = countTnef(object, depth); n > 0; --n) {
                ++m_seen;
                note(QStringLiteral("left alone: it is inside a signed or encrypted part"));
            }
            return;
        }
        if (GMIME_IS_MESSAGE_PART(object)) {
            if (GMimeMessage *message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
                walkMessage(message, depth + 1);
            return;
        }
        if (!GMIME_IS_MULTIPART(object))
            return;
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            GMimeObject *child = g_mime_multipart_get_part(multipart, i);
            if (!MailPartIsTnef(child)) {
                walk(child, depth + 1);
                continue;
            }
            if (GMimeObject *replacement = unwrapPart(GMIME_PART(child))) {
                g_object_unref(g_mime_multipart_replace(multipart, i, replacement));
                g_object_unref(replacement);
            }
        }
    }

    // The TNEF part's decoded bytes go to an unnamed temporary file, which
    // the document reads and the new attachment parts are streamed from.
    GMimeObject *unwrapPart(GMimePart *part)
    {
        ++m_seen;
        GMimeDataWrapper *content = g_mime_part_get_content(part);
        std::FILE *temporary = std::tmpfile();
        const int fd = temporary ? ::dup(::fileno(temporary)) : -1;
        if (temporary)
            std::fclose(temporary);
        if (fd < 0) {
            tempFailed = true;
            return nullptr;
        }
        GMimeStream *file = g_mime_stream_fs_new_with_bounds(fd, 0, -1);
        if (!content || g_mime_data_wrapper_write_to_stream(content, file) < 0) {
            if (content)
                tempFailed = true;
            else
                note(QStringLiteral("kept: it is empty"));
            g_object_unref(file);
            return nullptr;
        }
        TNEFFile *document = TNEFFileCreate();
        const int forkFd = document ? ::dup(fd) : -1;
        const OSErr err = forkFd < 0 ? OSErr(memFullErr) : FSOpenForkFromDescriptor(forkFd, &document->forkRefNum);
        if (err != noErr) {
            if (forkFd >= 0)
                ::close(forkFd);
            TNEFFileDestroy(document);
            g_object_unref(file);
            tempFailed = true;
            return nullptr;
        }
        document->fileName = QStringLiteral("winmail.dat");
        const SInt32 code = TNEFParseFileList(document->forkRefNum, &document->fileList, nullptr,
                                              &document->messagePlaces);
        GMimeObject *replacement = nullptr;
        if (code != 0) {
            note(QStringLiteral("kept: it does not parse as a TNEF document (parser code %1)").arg(code));
        } else {
            TNEFFileAddVirtualItems(document);
            replacement = buildDocument(document, file, 0, 0);
            ++result.unwrapped;
        }
        TNEFFileDestroy(document);
        g_object_unref(file);
        return replacement;
    }

    // The body: text and HTML as alternatives, else the one there is, else
    // the RTF as it is. The pictures the HTML shows by cid: go with it in a
    // multipart/related, and into *inlined.
    GMimeObject *buildBody(const TNEFFile *document, const TNEFMessage &message, GMimeStream *file, SInt64 base,
                           std::unordered_set<const TNEFFileItem *> *inlined)
    {
        TNEFBody text, html;
        const bool hasText = TNEFMessageGetText(document->forkRefNum, message, &text) == noErr && !text.bytes.isEmpty();
        const bool hasHtml = TNEFMessageGetHtml(document->forkRefNum, message, &html) == noErr && !html.bytes.isEmpty();
        if (!hasText && !hasHtml) {
            TNEFBody rtf;
            if (TNEFMessageGetBody(document->forkRefNum, message, TNEFBodyKind::Rtf, &rtf) != noErr || rtf.bytes.isEmpty())
                return nullptr;
            GMimePart *part = bytesPart("application/rtf", rtf.bytes);
            setFileName(GMIME_OBJECT(part), QStringLiteral("message.rtf"));
            return GMIME_OBJECT(part);
        }
        if (!hasHtml)
            return GMIME_OBJECT(textPart("plain", text));
        GMimeObject *htmlPart = GMIME_OBJECT(textPart("html", html));
        const std::unordered_set<QString> shown = contentIdsShown(html.bytes);
        for (const TNEFFileItem *item = document->fileList; item; item = item->next) {
            const QByteArray id = item->isTNEF == -1 || item->contents ? QByteArray() : contentId(item);
            if (id.isEmpty() || !shown.count(TNEFHtmlContentIdKey(QString::fromLatin1(id))))
                continue;
            if (inlined->empty()) {
                GMimeMultipart *related = g_mime_multipart_new_with_subtype("related");
                g_mime_object_set_content_type_parameter(GMIME_OBJECT(related), "type", "text/html");
                g_mime_multipart_add(related, htmlPart);
                g_object_unref(htmlPart);
                htmlPart = GMIME_OBJECT(related);
            }
            inlined->insert(item);
            GMimeObject *picture = attachmentPart(item, file, base);
            g_mime_object_set_disposition(picture, GMIME_DISPOSITION_INLINE);
            g_mime_object_set_content_id(picture, id.constData());
            g_mime_multipart_add(GMIME_MULTIPART(htmlPart), picture);
            g_object_unref(picture);
        }
        if (!hasText)
            return htmlPart;
        GMimeMultipart *alternative = g_mime_multipart_new_with_subtype("alternative");
        GMimePart *plain = textPart("plain", text);
        g_mime_multipart_add(alternative, GMIME_OBJECT(plain));
        g_object_unref(plain);
        g_mime_multipart_add(alternative, htmlPart);
        g_object_unref(htmlPart);
        return GMIME_OBJECT(alternative);
    }

    // An attachment whose bytes lie in the file from `position` on: its part
    // reads them from there as it is written.
    static GMimePart *streamedPart(GMimeStream *file, SInt64 position, UInt32 length, const QByteArray &type)
    {
        return streamPart(type, g_mime_stream_substream(file, position, position + SInt64(length)));
    }

    GMimeObject *attachedMessage(const TNEFFile *document, const TNEFFileItem *item, GMimeStream *file, SInt64 base,
                                 int depth)
    {
        const TNEFAttachedMessage attached = TNEFAttachedMessageOpen(document, item->fileID, depth + 1);
        const QString title = TNEFFileItemTitle(item);
        if (!attached.file) {
            note(attached.tooDeep ? QStringLiteral("holds messages nested too deep: the deepest are kept as TNEF")
                                  : QStringLiteral("holds an attached message that cannot be read: kept as TNEF"));
            GMimePart *part = streamedPart(file, base + item->dataPosition, item->dataLength, "application/vnd.ms-tnef");
            setFileName(GMIME_OBJECT(part), TNEFFileItemFileName(item));
            return GMIME_OBJECT(part);
        }
        TNEFMessage message;
        TNEFMessageRead(attached.file->forkRefNum, attached.file->messagePlaces, &message);
        GMimeMessage *mail = g_mime_message_new(TRUE);
        g_mime_message_set_subject(mail, headerText(message.subject).constData(), "utf-8");
        const auto addMailbox = [mail](GMimeAddressType type, const QString &name, const QString &address) {
            if (name.isEmpty() && address.isEmpty())
                return;
            InternetAddressList *list = g_mime_message_get_addresses(mail, type);
            InternetAddress *mailbox = internet_address_mailbox_new(headerText(name).constData(),
                                                                    headerText(address).constData());
            internet_address_list_add(list, mailbox);
            g_object_unref(mailbox);
        };
        addMailbox(GMIME_ADDRESS_TYPE_FROM, message.senderName, message.senderAddress);
        for (const TNEFRecipient &recipient : message.recipients) {
            if (recipient.type == TNEFRecipient::To || recipient.type == TNEFRecipient::Cc)
                addMailbox(recipient.type == TNEFRecipient::To ? GMIME_ADDRESS_TYPE_TO : GMIME_ADDRESS_TYPE_CC,
                           recipient.name, recipient.address);
        }
        if (message.sent.isValid()) {
            GDateTime *date = g_date_time_new_from_unix_utc(message.sent.toSecsSinceEpoch());
            g_mime_message_set_date(mail, date);
            g_date_time_unref(date);
        }
        GMimeObject *top = buildDocument(attached.file, file, base + item->dataPosition, depth + 1);
        g_mime_message_set_mime_part(mail, top);
        g_object_unref(top);
        TNEFFileDestroy(attached.file);
        GMimeMessagePart *part = g_mime_message_part_new_with_message("rfc822", mail);
        g_object_unref(mail);
        setFileName(GMIME_OBJECT(part), TNEFNameWithoutTrailingDots(title) + QStringLiteral(".eml"));
        return GMIME_OBJECT(part);
    }

    // A file of the document, under its name: its bytes read from the
    // file as the part is written, or those the document made.
    static GMimeObject *attachmentPart(const TNEFFileItem *item, GMimeStream *file, SInt64 base)
    {
        const QString name = TNEFFileItemTitle(item);
        const QByteArray type = attachmentType(item, name);
        GMimePart *part = item->contents ? bytesPart(type, *item->contents)
                                         : streamedPart(file, base + item->dataPosition, item->dataLength, type);
        if (item->contents && type == "text/calendar") {
            if (const QByteArray method = calendarMethod(*item->contents); !method.isEmpty())
                g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "method", method.constData());
        }
        if (item->contents)
            g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", "utf-8");
        setFileName(GMIME_OBJECT(part), name);
        return GMIME_OBJECT(part);
    }

    // Everything one document holds, as a multipart/mixed: the body first,
    // then the attachments in the document's order. `base` is where the
    // document's stream starts in `file`.
    GMimeObject *buildDocument(const TNEFFile *document, GMimeStream *file, SInt64 base, int depth)
    {
        GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
        const auto add = [mixed](GMimeObject *part) {
            g_mime_multipart_add(mixed, part);
            g_object_unref(part);
        };
        TNEFMessage message;
        TNEFMessageRead(document->forkRefNum, document->messagePlaces, &message);
        std::unordered_set<const TNEFFileItem *> inlined;
        if (GMimeObject *body = buildBody(document, message, file, base, &inlined))
            add(body);
        for (const TNEFFileItem *item = document->fileList; item; item = item->next) {
            if (item->isTNEF == -1)
                add(attachedMessage(document, item, file, base, depth));
            else if (!inlined.count(item))
                add(attachmentPart(item, file, base));
        }
        return GMIME_OBJECT(mixed);
    }
};

// Whether the mail's first line ends in CRLF.
bool endsLinesWithCrlf(GMimeStream *input)
{
    g_mime_stream_reset(input);
    char line[1024];
    const ssize_t got = g_mime_stream_read(input, line, sizeof line);
    const char *end = got > 0 ? static_cast<const char *>(std::memchr(line, '\n', size_t(got))) : nullptr;
    return end && end > line && end[-1] == '\r';
}

} // namespace

MailUnwrapResult MailUnwrap(GMimeStream *input, GMimeStream *output)
{
    MailInit();
    Unwrapper unwrapper;
    MailUnwrapResult &result = unwrapper.result;
    g_mime_stream_reset(input);
    GMimeParser *parser = g_mime_parser_new_with_stream(input);
    // The parts stay where they are in the input, read again only as the new
    // mail is written: a mail of any size costs little memory.
    g_mime_parser_set_persist_stream(parser, TRUE);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    if (!message || g_mime_header_list_get_count(g_mime_object_get_header_list(GMIME_OBJECT(message))) == 0) {
        if (message)
            g_object_unref(message);
        result.status = MailUnwrapStatus::NotMail;
        return result;
    }
    unwrapper.walkMessage(message, 0);
    if (unwrapper.tempFailed) {
        result.status = MailUnwrapStatus::ReadFailed;
    } else if (result.unwrapped == 0 && result.notes.isEmpty()) {
        g_mime_stream_reset(input);
        if (g_mime_stream_write_to_stream(input, output) < 0)
            result.status = MailUnwrapStatus::WriteFailed;
    } else {
        // A header of this name that came with the mail says nothing true.
        g_mime_object_remove_header(GMIME_OBJECT(message), kMailUnwrapHeader);
        if (!result.notes.isEmpty())
            g_mime_object_set_header(GMIME_OBJECT(message), kMailUnwrapHeader,
                                     result.notes.join(QStringLiteral("; ")).toLatin1().constData(), nullptr);
        result.status = MailUnwrapStatus::Changed;
        // GMime reads CRLF line ends as LF: a mail that came with CRLF (as
        // SMTP carries it) is written with CRLF again.
        GMimeFormatOptions *format = g_mime_format_options_new();
        if (endsLinesWithCrlf(input))
            g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
        if (g_mime_object_write_to_stream(GMIME_OBJECT(message), format, output) < 0)
            result.status = MailUnwrapStatus::WriteFailed;
        g_mime_format_options_free(format);
    }
    g_object_unref(message);
    return result;
}
