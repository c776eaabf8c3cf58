// Unwrapping any mail, and any TNEF document carried in a mail: the output
// is a mail GMime reads again, and a mail without TNEF parts comes out as it
// went in.
// GMime's headers first: Qt's keywords would break glib's.
#include "mail/MailTnefPart.h"
#include "mail/MailUnwrap.h"

#include "FuzzSupport.h"
#include "platform/ErrorLog.h"

#include <QByteArray>
#include <cstdint>
#include <cstring>

namespace {

GMimeStream *memoryStream(const QByteArray &bytes)
{
    return g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        DebugAssertSetHook([](const DebugAssertReport &) {});
        ParvaneSetErrorLogSink([](const std::string &) {});
        MailInit();
        return true;
    }();
    (void)ready;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    // A TNEF document goes in as the attachment of a mail; anything else is
    // the mail itself.
    const bool tnef = size >= 4 && std::memcmp(data, "\x78\x9f\x3e\x22", 4) == 0;
    const QByteArray mail = tnef
        ? QByteArray("From: a@example.org\nSubject: s\nMIME-Version: 1.0\n"
                     "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nhi\n"
                     "--b\nContent-Type: application/ms-tnef\nContent-Transfer-Encoding: base64\n\n")
            + input.toBase64() + "\n--b--\n"
        : input;
    GMimeStream *in = memoryStream(mail);
    GMimeStream *out = g_mime_stream_mem_new();
    const MailUnwrapResult result = MailUnwrap(in, out);
    const GByteArray *written = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
    const QByteArray output(reinterpret_cast<const char *>(written->data), qsizetype(written->len));
    if (result.status == MailUnwrapStatus::Unchanged)
        FUZZ_CHECK(output == mail);
    if (tnef)
        FUZZ_CHECK(result.status == MailUnwrapStatus::Changed || result.status == MailUnwrapStatus::Unchanged);
    if (result.status == MailUnwrapStatus::Changed) {
        GMimeStream *again = memoryStream(output);
        GMimeParser *parser = g_mime_parser_new_with_stream(again);
        GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
        FUZZ_CHECK(message != nullptr);
        g_object_unref(message);
        g_object_unref(parser);
        g_object_unref(again);
    }
    g_object_unref(out);
    g_object_unref(in);
    return 0;
}
