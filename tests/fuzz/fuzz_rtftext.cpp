// The RTF reader on any document: what it was made from, its HTML, its text
// and the page made from it, each no longer than the document could make.
#include "FuzzSupport.h"

#include "tnef/TNEFRtfHtml.h"
#include "tnef/TNEFRtfText.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray rtf = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const TNEFRtfOrigin origin = TNEFRtfGetOrigin(rtf);
    const QByteArray html = TNEFRtfToHtml(rtf);
    const QByteArray text = TNEFRtfToText(rtf);
    FUZZ_CHECK(origin == TNEFRtfOrigin::Html || html.isEmpty());
    // In UTF-8 one byte of a code page makes at most three.
    FUZZ_CHECK(html.size() <= 3 * qsizetype(size) && text.size() <= 3 * qsizetype(size));
    // Text escaped and markup made at most about seven times what made
    // them, with a page's head and tail.
    const QByteArray page = TNEFRtfMakeHtml(rtf);
    FUZZ_CHECK(page.size() <= 8 * qsizetype(size) + 8192);
    FUZZ_CHECK(!page.contains("<script") && !page.contains("href=\"javascript"));
    return 0;
}
