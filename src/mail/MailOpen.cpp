// GMime's headers come before Qt's, whose keywords they use as names.
#include "MailTnefPart.h"

#include "MailOpen.h"
#include "platform/FileManager.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Messages attached to messages are followed this deep, as attached TNEF
// messages are.
constexpr int kMaxMessageDepth = 32;

// How far into the file the mail's own header block must end.
constexpr qsizetype kHeaderBlockLimit = 1 << 20;

// The start a parse is tried on: a first line that names a field, and a
// header block that ends within its first MiB (or a file that ends first).
// GMime holds a header line whole, so a big file of anything else is not
// handed to it.
bool StartsLikeMail(int fd)
{
    QByteArray head(kHeaderBlockLimit, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < head.size()) {
        const ssize_t n = ::pread(fd, head.data() + got, size_t(head.size() - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    head.truncate(got);
    qsizetype name = 0;
    while (name < got && head[name] > ' ' && head[name] < 127 && head[name] != ':')
        ++name;
    if (name == 0 || name == got || head[name] != ':')
        return false;
    return got < kHeaderBlockLimit || head.contains("\n\n") || head.contains("\n\r\n");
}

// A header that only a mail has in its header block: a text file with a
// colon in its first line is not a mail.
bool IsMailHeader(const char *name)
{
    static const char *const kNames[] = {"From", "Sender", "To", "Cc", "Subject", "Date", "Message-ID",
                                         "MIME-Version", "Content-Type", "Received", "Return-Path"};
    for (const char *known : kNames) {
        if (name && g_ascii_strcasecmp(name, known) == 0)
            return true;
    }
    return false;
}

bool HasMailHeader(GMimeMessage *message)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    const int count = headers ? g_mime_header_list_get_count(headers) : 0;
    for (int i = 0; i < count; ++i) {
        if (IsMailHeader(g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i))))
            return true;
    }
    return false;
}

QString Utf8(const char *text)
{
    return text ? QString::fromUtf8(text).trimmed() : QString();
}

void AddAddresses(InternetAddressList *list, int type, QList<TNEFRecipient> *recipients)
{
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            recipients->append(TNEFRecipient{type, Utf8(internet_address_get_name(address)),
                                             Utf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))});
        } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
            // Members are mailboxes: a group holds no groups.
            InternetAddressList *members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address));
            const int n = members ? internet_address_list_length(members) : 0;
            for (int m = 0; m < n; ++m) {
                InternetAddress *member = internet_address_list_get_address(members, m);
                if (INTERNET_ADDRESS_IS_MAILBOX(member))
                    recipients->append(TNEFRecipient{type, Utf8(internet_address_get_name(member)),
                                                     Utf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(member)))});
            }
        }
    }
}

TNEFMailHeaders HeadersOf(GMimeMessage *message)
{
    TNEFMailHeaders headers;
    headers.subject = Utf8(g_mime_message_get_subject(message));
    QList<TNEFRecipient> from;
    AddAddresses(g_mime_message_get_from(message), TNEFRecipient::To, &from);
    if (!from.isEmpty())
        headers.from = from.first();
    AddAddresses(g_mime_message_get_to(message), TNEFRecipient::To, &headers.recipients);
    AddAddresses(g_mime_message_get_cc(message), TNEFRecipient::Cc, &headers.recipients);
    if (GDateTime *date = g_mime_message_get_date(message))
        headers.date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), Qt::UTC);
    return headers;
}

// The part's own name, never a path: what follows its last slash or
// backslash (a name from Windows may carry its folders).
QString DocumentName(GMimePart *part)
{
    QString name = Utf8(g_mime_part_get_filename(part));
    name = name.mid(std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("winmail.dat");
    return name;
}

// The decoded part, streamed from the mail into a new unnamed file.
SInt32 Decode(GMimePart *part, int *outFd)
{
    const int fd = FSCreateTemporaryFile();
    if (fd < 0)
        return FSStatusFromErrno(errno);
    SInt32 status = noErr;
    if (GMimeDataWrapper *content = g_mime_part_get_content(part)) {
        GMimeStream *out = g_mime_stream_fs_new(fd);
        g_mime_stream_fs_set_owner(GMIME_STREAM_FS(out), FALSE);
        errno = 0;
        if (g_mime_data_wrapper_write_to_stream(content, out) < 0 || g_mime_stream_flush(out) != 0)
            status = errno ? FSStatusFromErrno(errno) : OSErr(ioErr);
        g_object_unref(out);
    }
    if (status != noErr) {
        ::close(fd);
        return status;
    }
    *outFd = fd;
    return noErr;
}

struct Pending {
    GMimeObject *object;
    GMimeMessage *message;  // the nearest around it
    int depth;
};

SInt32 CollectTnefParts(GMimeMessage *top, std::vector<MailTnefDocument> *documents)
{
    // A stack of its own, not recursion: multiparts nest as deep as a
    // stranger likes.
    std::vector<Pending> pending{{g_mime_message_get_mime_part(top), top, 0}};
    while (!pending.empty()) {
        const Pending p = pending.back();
        pending.pop_back();
        if (!p.object)
            continue;
        if (GMIME_IS_MULTIPART(p.object)) {
            GMimeMultipart *multipart = GMIME_MULTIPART(p.object);
            for (int i = g_mime_multipart_get_count(multipart) - 1; i >= 0; --i)
                pending.push_back({g_mime_multipart_get_part(multipart, i), p.message, p.depth});
        } else if (GMIME_IS_MESSAGE_PART(p.object)) {
            GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(p.object));
            if (inner && p.depth < kMaxMessageDepth)
                pending.push_back({g_mime_message_get_mime_part(inner), inner, p.depth + 1});
        } else if (MailPartIsTnef(p.object)) {
            MailTnefDocument document;
            if (const SInt32 status = Decode(GMIME_PART(p.object), &document.fd))
                return status;
            document.name = DocumentName(GMIME_PART(p.object));
            document.headers = HeadersOf(p.message);
            documents->push_back(document);
        }
    }
    return documents->empty() ? SInt32(kMailOpenNoTnef) : SInt32(noErr);
}

} // namespace

SInt32 MailOpenTnefParts(int fd, std::vector<MailTnefDocument> *documents)
{
    MailInit();
    if (!StartsLikeMail(fd))
        return kMailOpenNotMail;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return FSStatusFromErrno(errno);
    // The parser keeps where each part lies in the file, not its bytes.
    GMimeStream *stream = g_mime_stream_fs_new_with_bounds(own, 0, -1);
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    g_mime_parser_set_persist_stream(parser, TRUE);
    g_mime_parser_set_format(parser, GMIME_FORMAT_MESSAGE);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    std::vector<MailTnefDocument> found;
    const SInt32 status = message && HasMailHeader(message) ? CollectTnefParts(message, &found) : SInt32(kMailOpenNotMail);
    if (message)
        g_object_unref(message);
    if (status != noErr) {
        for (const MailTnefDocument &document : found)
            ::close(document.fd);
        return status;
    }
    documents->insert(documents->end(), found.begin(), found.end());
    return noErr;
}
