// The compressed RTF decoder on any property value: nothing is read outside
// the value, and no more comes out than its header allows.
#include "FuzzSupport.h"

#include "tnef/TNEFRtf.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray property = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray rtf;
    TNEFRtfReport report;
    const SInt32 status = TNEFRtfDecompress(property, &rtf, &report);
    FUZZ_CHECK(status <= 0);
    FUZZ_CHECK(status == 0 || rtf.isEmpty());
    FUZZ_CHECK(UInt32(rtf.size()) <= std::min(report.rawSize, kTNEFBodyMaxSize));
    return 0;
}
