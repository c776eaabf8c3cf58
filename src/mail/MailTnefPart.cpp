#include "MailTnefPart.h"

#include "tnef/TNEFParse.h"

#include <QtGlobal>
#include <mutex>

void MailInit()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

bool MailPartHasTnefSignature(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return false;
    // Only the first four decoded bytes are read, whatever the part's size,
    // through a view of its own so that the part's stream does not move.
    GMimeStream *source = g_mime_data_wrapper_get_stream(content);
    if (!source)
        return false;
    GMimeStream *view = g_mime_stream_substream(source, source->bound_start, source->bound_end);
    GMimeStream *stream = g_mime_stream_filter_new(view);
    g_object_unref(view);
    const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content);
    if (encoding != GMIME_CONTENT_ENCODING_DEFAULT) {
        GMimeFilter *decoder = g_mime_filter_basic_new(encoding, FALSE);
        g_mime_stream_filter_add(GMIME_STREAM_FILTER(stream), decoder);
        g_object_unref(decoder);
    }
    unsigned char head[4] = {};
    ssize_t got = 0;
    while (got < 4) {
        const ssize_t n = g_mime_stream_read(stream, reinterpret_cast<char *>(head) + got, size_t(4 - got));
        if (n <= 0)
            break;
        got += n;
    }
    g_object_unref(stream);
    const quint32 signature = quint32(head[0]) | quint32(head[1]) << 8 | quint32(head[2]) << 16 | quint32(head[3]) << 24;
    return got == 4 && signature == kTNEFSignature;
}

bool MailPartIsTnef(GMimeObject *object)
{
    if (!GMIME_IS_PART(object))
        return false;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return false;
    if (g_mime_content_type_is_type(type, "application", "ms-tnef")
        || g_mime_content_type_is_type(type, "application", "vnd.ms-tnef"))
        return true;
    if (!g_mime_content_type_is_type(type, "application", "octet-stream"))
        return false;
    const char *name = g_mime_part_get_filename(GMIME_PART(object));
    if (name && g_ascii_strcasecmp(name, "winmail.dat") == 0)
        return true;
    return MailPartHasTnefSignature(GMIME_PART(object));
}
