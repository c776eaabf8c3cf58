// The RTF reader on any document: what it was made from, its HTML and its
// text, each no longer than the document could make.
#include "FuzzSupport.h"

#include "tnef/TNEFRtfText.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray rtf = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const TNEFRtfOrigin origin = TNEFRtfGetOrigin(rtf);
    const QString html = TNEFRtfToHtml(rtf);
    const QString text = TNEFRtfToText(rtf);
    FUZZ_CHECK(origin == TNEFRtfOrigin::Html || html.isEmpty());
    FUZZ_CHECK(html.size() <= 2 * qsizetype(size) && text.size() <= 2 * qsizetype(size));
    return 0;
}
