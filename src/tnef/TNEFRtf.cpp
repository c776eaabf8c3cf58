#include "TNEFRtf.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr UInt32 kHeaderSize = 16;
constexpr UInt32 kFormLZFu = 0x75465A4C;
constexpr UInt32 kFormMELA = 0x414C454D;

// The dictionary starts out holding these 207 bytes, so that the commonest
// RTF header words compress from the first byte on.
constexpr char kInitialDictionary[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern \\fscript "
    "\\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0\\blue0\r\n"
    "\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
constexpr UInt32 kInitialDictionarySize = sizeof kInitialDictionary - 1;
static_assert(kInitialDictionarySize == 207);
constexpr UInt32 kDictionarySize = 4096;

UInt32 LE32(const char *b)
{
    const auto *u = reinterpret_cast<const unsigned char *>(b);
    return UInt32(u[0]) | UInt32(u[1]) << 8 | UInt32(u[2]) << 16 | UInt32(u[3]) << 24;
}

const std::array<UInt32, 256> &CrcTable()
{
    static const std::array<UInt32, 256> table = [] {
        std::array<UInt32, 256> t{};
        for (UInt32 n = 0; n < 256; ++n) {
            UInt32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

// Runs of a control byte and up to eight tokens: a literal byte for a clear
// bit, a big-endian reference (12-bit dictionary offset, 4-bit length - 2)
// for a set one. A reference to the write position itself ends the data.
// References may overlap the bytes they produce, so they are copied one byte
// at a time through the dictionary.
void Expand(const char *in, const char *end, UInt32 limit, QByteArray *out, bool *ended)
{
    // Past its initial text the dictionary holds zeros, so that a reference
    // to a place not yet written gives the same bytes on every run.
    char dictionary[kDictionarySize] = {};
    std::memcpy(dictionary, kInitialDictionary, kInitialDictionarySize);
    UInt32 writePos = kInitialDictionarySize;
    const auto put = [&](char c) {
        out->append(c);
        dictionary[writePos] = c;
        writePos = (writePos + 1) % kDictionarySize;
    };
    *ended = false;
    while (in < end && UInt32(out->size()) < limit) {
        const auto control = static_cast<unsigned char>(*in++);
        for (int bit = 0; bit < 8 && UInt32(out->size()) < limit; ++bit) {
            if (in >= end)
                return;
            if (!(control & (1u << bit))) {
                put(*in++);
                continue;
            }
            if (end - in < 2)
                return;
            const UInt32 word = UInt32(static_cast<unsigned char>(in[0])) << 8 | static_cast<unsigned char>(in[1]);
            in += 2;
            const UInt32 offset = word >> 4;
            if (offset == writePos) {
                *ended = true;
                return;
            }
            const UInt32 length = std::min<UInt32>((word & 0xF) + 2, limit - UInt32(out->size()));
            for (UInt32 k = 0; k < length; ++k)
                put(dictionary[(offset + k) % kDictionarySize]);
        }
    }
}

} // namespace

UInt32 TNEFRtfCrc(const char *bytes, size_t length, UInt32 crc)
{
    const auto &table = CrcTable();
    for (size_t i = 0; i < length; ++i)
        crc = table[(crc ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (crc >> 8);
    return crc;
}

SInt32 TNEFRtfDecompress(const QByteArray &property, QByteArray *rtf, TNEFRtfReport *report, UInt32 limit)
{
    rtf->clear();
    TNEFRtfReport local;
    TNEFRtfReport &r = report ? *report : local;
    r = TNEFRtfReport{};
    if (UInt32(property.size()) < kHeaderSize)
        return kTNEFRtfErrHeader;
    const char *header = property.constData();
    const UInt32 compSize = LE32(header);
    r.rawSize = LE32(header + 4);
    const UInt32 form = LE32(header + 8);
    r.storedCrc = LE32(header + 12);
    if (form != kFormLZFu && form != kFormMELA)
        return kTNEFRtfErrType;
    // The size counts the twelve header bytes after itself.
    if (compSize < kHeaderSize - 4 || UInt64(compSize) + 4 > UInt64(property.size()))
        return kTNEFRtfErrSize;
    if (r.rawSize > kTNEFBodyMaxSize)
        return kTNEFRtfErrTooLarge;
    const char *data = header + kHeaderSize;
    const UInt32 dataSize = compSize - (kHeaderSize - 4);
    r.compressed = form == kFormLZFu;
    if (!r.compressed) {
        // Uncompressed: the RTF as it is, and a CRC that must be zero.
        r.crcMismatch = r.storedCrc != 0;
        const UInt32 take = std::min(r.rawSize, dataSize);
        r.truncated = take < r.rawSize;
        rtf->append(data, std::min(take, limit));
        return noErr;
    }
    r.computedCrc = TNEFRtfCrc(data, dataSize);
    r.crcMismatch = r.computedCrc != r.storedCrc;
    // A reference makes at most 17 bytes of two: no claimed size is trusted further.
    const UInt32 wanted = std::min(r.rawSize, limit);
    rtf->reserve(qsizetype(std::min<UInt64>(wanted, UInt64(dataSize) * 9)));
    bool ended = false;
    Expand(data, data + dataSize, wanted, rtf, &ended);
    r.truncated = !ended && UInt32(rtf->size()) < wanted;
    return noErr;
}

QString TNEFRtfErrorText(SInt32 code)
{
    switch (code) {
    case kTNEFRtfErrHeader: return QStringLiteral("the compressed RTF is shorter than its header");
    case kTNEFRtfErrType: return QStringLiteral("the compressed RTF is of an unknown kind");
    case kTNEFRtfErrSize: return QStringLiteral("the compressed RTF claims more bytes than its property holds");
    case kTNEFRtfErrTooLarge:
        return QStringLiteral("the RTF body is larger than %1 MiB once decompressed").arg(kTNEFBodyMaxSize >> 20);
    default: return QStringLiteral("the compressed RTF cannot be read");
    }
}
