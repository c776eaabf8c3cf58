#include "TNEFParse.h"

#include "platform/FileManager.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <new>
#include <unordered_set>
#include <vector>

bool gTNEFParseTraceOn = false;
FILE *gTNEFParseDebugFile = nullptr;

namespace {

// Reads move through one scratch buffer of this size.
constexpr UInt32 kPieceSize = 8000;
// Longest name kept in memory; longer name values are cut to it.
constexpr UInt32 kNameLimit = 32768;

const char kEmbeddedPlaceholder[] =
    "This attachment is a MAPI 1.0 embedded message and is not supported by this mail system.";
constexpr UInt32 kEmbeddedPlaceholderSize = sizeof kEmbeddedPlaceholder;  // with its zero

void TraceWrite(const char *format, ...) __attribute__((format(printf, 1, 2)));
void TraceWrite(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(gTNEFParseDebugFile, format, args);
    va_end(args);
}

// The switch is tested before any argument is formatted: a parse without
// tracing pays nothing for its trace lines.
#define TRACE(...)                                       \
    do {                                                 \
        if (gTNEFParseTraceOn && gTNEFParseDebugFile)    \
            TraceWrite(__VA_ARGS__);                     \
    } while (0)

void TraceBytes(const UInt8 *bytes, UInt32 count)
{
    if (!gTNEFParseTraceOn || !gTNEFParseDebugFile || count == 0)
        return;
    std::fwrite(bytes, 1, count, gTNEFParseDebugFile);
}

UInt32 LE32(const UInt8 *b)
{
    return UInt32(b[0]) | UInt32(b[1]) << 8 | UInt32(b[2]) << 16 | UInt32(b[3]) << 24;
}

SInt32 ReadExact(SInt16 fork, void *buffer, UInt32 count)
{
    UInt32 actual = 0;
    return FSReadFork(fork, fsAtMark, 0, count, buffer, &actual);
}

// Reads `total` bytes at the mark in pieces of at most kPieceSize, handing
// every piece that arrived (a last short one too) to `onPiece`. Reads nothing
// at or past `limit` when limit >= 0. Bytes nobody looks at (all of them
// without `onPiece`, all but the first piece with `firstPieceOnly`) are passed
// over by moving the mark (when there are more than a piece of them), after
// checking that the file holds them, so that the outcome is that of reading
// them. Non-zero when fewer than `total` bytes
// are there.
SInt32 ReadPieces(SInt16 fork, UInt64 total, SInt64 limit,
                  const std::function<void(const UInt8 *, UInt32)> &onPiece, bool firstPieceOnly = false)
{
    UInt8 scratch[kPieceSize];
    SInt64 position = 0;
    if (FSGetForkPosition(fork, &position) != noErr)
        return ioErr;
    UInt64 allowed = total;
    if (limit >= 0)
        allowed = std::min<UInt64>(total, limit > position ? UInt64(limit - position) : 0);
    UInt64 remaining = allowed;
    // A short run is cheaper to read than to seek over: a seek drops the
    // file layer's read-ahead.
    const bool readAll = onPiece || remaining <= kPieceSize;
    while (remaining > 0 && readAll) {
        const UInt32 piece = UInt32(std::min<UInt64>(remaining, kPieceSize));
        UInt32 actual = 0;
        const OSErr err = FSReadFork(fork, fsAtMark, 0, piece, scratch, &actual);
        if (actual > 0 && onPiece)
            onPiece(scratch, actual);
        if (err != noErr)
            return err;
        remaining -= piece;
        position += piece;
        if (firstPieceOnly)
            break;
    }
    if (remaining > 0) {
        SInt64 size = 0;
        if (const OSErr err = FSGetForkSize(fork, &size))
            return err;
        const UInt64 present = size > position ? UInt64(size - position) : 0;
        const UInt64 passed = std::min(present, remaining);
        if (const OSErr err = FSSetForkPosition(fork, fsFromStart, position + SInt64(passed)))
            return err;
        if (passed < remaining)
            return eofErr;
    }
    return allowed == total ? noErr : eofErr;
}

UInt32 FillFor(UInt64 length)
{
    return UInt32((4 - length % 4) % 4);
}

// A bound on the reads of one property block.
struct BlockReader {
    SInt16 fork;
    SInt64 end;  // negative: no bound
    bool (*keep)(UInt16 id);
    bool allTypes;
    bool names = false;

    bool wanted(UInt16 id) const { return !keep || keep(id); }

    bool fits(UInt64 count) const
    {
        if (end < 0)
            return true;
        SInt64 position = 0;
        if (FSGetForkPosition(fork, &position) != noErr)
            return false;
        return position <= end && count <= UInt64(end - position);
    }
    SInt32 int16(UInt16 *value) const { return fits(2) ? TNEFParseGetInt16(fork, value) : eofErr; }
    SInt32 int32(UInt32 *value) const { return fits(4) ? TNEFParseGetInt32(fork, value) : eofErr; }
    SInt32 int64(UInt64 *value) const { return fits(8) ? TNEFParseGetInt64(fork, value) : eofErr; }
    SInt32 bytes(UInt64 count, const std::function<void(const UInt8 *, UInt32)> &onPiece = {}) const
    {
        return ReadPieces(fork, count, end, onPiece);
    }
};

// Keeps the first kNameLimit bytes of a value that passes by in pieces.
struct NameCopy {
    bool wanted = false;
    std::vector<char> bytes;

    void take(const UInt8 *piece, UInt32 count)
    {
        if (!wanted || bytes.size() >= kNameLimit)
            return;
        const size_t room = kNameLimit - bytes.size();
        bytes.insert(bytes.end(), piece, piece + std::min<size_t>(room, count));
    }
    std::optional<std::string> text(UInt32 codePage) const
    {
        if (!wanted)
            return std::nullopt;
        return TextDecodeCodePageToUtf8(bytes.data(), bytes.size(), codePage);
    }
};

bool IsNameProperty(UInt16 id)
{
    return id == PR_ATTACH_LONG_FILENAME || id == PR_DISPLAY_NAME;
}

// The short texts kept as they pass: the names, and what ties an attachment
// to the message's HTML and says its type.
bool IsKeptTextProperty(UInt16 id)
{
    return IsNameProperty(id) || id == PR_ATTACH_CONTENT_ID || id == PR_ATTACH_CONTENT_LOCATION
        || id == PR_ATTACH_MIME_TAG;
}

} // namespace

// ---------------------------------------------------------------------------
// The reader

SInt64 TNEFParseGetPosition(SInt16 forkRefNum)
{
    SInt64 position = -1;
    if (FSGetForkPosition(forkRefNum, &position) != noErr)
        return -1;
    return position;
}

SInt32 TNEFParseGetInt8(SInt16 forkRefNum, UInt8 *value)
{
    UInt8 b = 0;
    const SInt32 err = ReadExact(forkRefNum, &b, 1);
    if (err == noErr)
        *value = b;
    return err;
}

SInt32 TNEFParseGetInt16(SInt16 forkRefNum, UInt16 *value)
{
    UInt8 b[2];
    const SInt32 err = ReadExact(forkRefNum, b, 2);
    if (err == noErr)
        *value = UInt16(b[0] | b[1] << 8);
    return err;
}

SInt32 TNEFParseGetInt32(SInt16 forkRefNum, UInt32 *value)
{
    UInt8 b[4];
    const SInt32 err = ReadExact(forkRefNum, b, 4);
    if (err == noErr)
        *value = LE32(b);
    return err;
}

SInt32 TNEFParseGetInt64(SInt16 forkRefNum, UInt64 *value)
{
    UInt8 b[8];
    const SInt32 err = ReadExact(forkRefNum, b, 8);
    if (err == noErr)
        *value = UInt64(LE32(b)) | UInt64(LE32(b + 4)) << 32;
    return err;
}

// ---------------------------------------------------------------------------
// Lists

TNEFFileItem *TNEFParseAddFileToList(TNEFList<TNEFFileItem> *fileList, SInt16 forkRefNum,
                                     SInt64 namePosition, UInt32 nameLength,
                                     SInt64 dataPosition, UInt32 dataLength, UInt32 fileID,
                                     SInt32 isTNEF, UInt32 nameCodePage)
{
    if (!fileList)
        return nullptr;
    auto *item = new (std::nothrow) TNEFFileItem{};
    if (!item)
        return nullptr;
    item->namePosition = namePosition;
    item->nameLength = nameLength;
    item->dataPosition = dataPosition;
    item->dataLength = dataLength;
    item->fileID = fileID;
    item->isTNEF = isTNEF;

    // The name is read from its place in the file, leaving the caller's mark
    // and the read-ahead of its parse alone. At most kNameLimit bytes are
    // allocated, whatever the length claims.
    const UInt32 wanted = std::min(nameLength, kNameLimit);
    if (wanted > 0 && namePosition >= 0) {
        std::vector<char> bytes(wanted, '\0');
        UInt32 actual = 0;
        FSReadForkAt(forkRefNum, namePosition, wanted, bytes.data(), &actual);
        item->name = TextDecodeCodePageToUtf8(bytes.data(), actual, nameCodePage);
    }
    fileList->append(item);
    return item;
}

TNEFAttributeItem *TNEFParseAddAttributeToList(TNEFList<TNEFAttributeItem> *attributeList,
                                               UInt32 attribute, SInt64 position, UInt32 length,
                                               UInt32 objectID, std::optional<std::string> text)
{
    if (!attributeList)
        return nullptr;
    auto *item = new (std::nothrow) TNEFAttributeItem{};
    if (!item)
        return nullptr;
    item->attribute = attribute;
    item->position = position;
    item->length = length;
    item->objectID = objectID;
    item->text = std::move(text);
    attributeList->append(item);
    return item;
}

TNEFMAPIItem *TNEFParseAddMAPIToList(TNEFList<TNEFMAPIItem> *mapiList, UInt16 type, UInt16 id,
                                     SInt64 position, UInt32 length, UInt32 count, UInt32 index,
                                     std::optional<std::string> text)
{
    if (!mapiList)
        return nullptr;
    auto *item = new (std::nothrow) TNEFMAPIItem{};
    if (!item)
        return nullptr;
    item->type = type;
    item->id = id;
    item->position = position;
    item->length = length;
    item->count = count;
    item->index = index;
    item->text = std::move(text);
    mapiList->append(item);
    return item;
}

namespace {
template <typename Item>
void DestroyList(TNEFList<Item> *list)
{
    if (!list)
        return;
    for (Item *item = list->head; item;) {
        Item *next = item->next;
        delete item;
        item = next;
    }
    *list = TNEFList<Item>{};
}
} // namespace

void TNEFParseDestroy(TNEFList<TNEFFileItem> *fileList, TNEFList<TNEFAttributeItem> *attributeList)
{
    DestroyList(fileList);
    DestroyList(attributeList);
}

void TNEFParseMAPIDestroy(TNEFList<TNEFMAPIItem> *mapiList)
{
    DestroyList(mapiList);
}

// ---------------------------------------------------------------------------
// MAPI property blocks

namespace {

SInt32 MAPIFail(const char *line, SInt32 code)
{
    TRACE("%s", line);
    return code;
}

// A string name is kept to this many bytes (UTF-16).
constexpr UInt32 kNamedStringLimit = 512;

SInt32 ParseNamedPropertyName(const BlockReader &in, TNEFNamedId *named)
{
    size_t guidBytes = 0;
    const auto takeGuid = [&](const UInt8 *piece, UInt32 n) {
        for (UInt32 i = 0; i < n && guidBytes < named->guid.size(); ++i)
            named->guid[guidBytes++] = piece[i];
    };
    if (in.bytes(16, takeGuid) != noErr)
        return MAPIFail("TNEF Trace Error -- can't read mapi named property guid.\n", -1);
    UInt32 kind = 0;
    if (in.int32(&kind) != noErr)
        return MAPIFail("TNEF Trace Error -- can't read mapi named property type.\n", -1);
    TRACE("        mapi named property type = 0x%08lx.\n", (unsigned long)kind);
    if (kind == 0) {
        UInt32 numeric = 0;
        if (in.int32(&numeric) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi named property id.\n", -1);
        TRACE("        mapi named property ID = 0x%08lx.\n", (unsigned long)numeric);
        named->lid = numeric;
        return noErr;
    }
    if (kind == 1) {
        UInt32 length = 0;
        if (in.int32(&length) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi named property value length.\n", -1);
        TRACE("        mapi named property name length = 0x%08lx.\n", (unsigned long)length);
        TRACE("        value = ");
        std::vector<char> name;
        const auto look = [&](const UInt8 *piece, UInt32 n) {
            TraceBytes(piece, n);
            if (in.names && name.size() < kNamedStringLimit)
                name.insert(name.end(), piece, piece + std::min<size_t>(n, kNamedStringLimit - name.size()));
        };
        if (in.bytes(length, look) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi named property value data.\n", -1);
        TRACE("\n");
        if (in.bytes(FillFor(length)) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi named property value data fill.\n", -1);
        named->isString = true;
        named->name = TextDecodeCodePageToUtf8(name.data(), name.size(), kCodePageUTF16LE);
        while (!named->name.empty() && named->name.back() == '\0')
            named->name.pop_back();
        return noErr;
    }
    return MAPIFail("TNEF Trace Error -- unknown MAPI named property type.\n", -1);
}

// Where the items of one block go. The properties that the stream parser
// reads one value of keep one item each, so that a block of a million values
// costs no more memory than a block of one.
struct BlockValues {
    TNEFList<TNEFMAPIItem> *list;
    TNEFMAPIItem *single[3] = {};
    // With names: the name of the property being read, the names wanted,
    // and the tagged ids and the names that already have their item. A named
    // property is known by its name alone: servers give all of a message's
    // named properties the one id 0x8000.
    std::optional<TNEFNamedId> named = std::nullopt;
    bool (*keepNamed)(const TNEFNamedId &name) = nullptr;
    std::vector<bool> seen = {};
    std::unordered_set<std::string> seenNames = {};

    static std::string identity(const TNEFNamedId &name)
    {
        std::string key(name.guid.begin(), name.guid.end());
        key += name.isString ? 'S' : 'N';
        if (name.isString)
            return key + name.name;
        for (int shift = 0; shift < 32; shift += 8)
            key += char(name.lid >> shift);
        return key;
    }
    // False for a value that makes no item: a second one of its id or name,
    // or a name not wanted.
    bool firstOfItsKind(UInt16 id)
    {
        if (seen.empty())
            return true;
        if (named)
            return keepNamed(*named) && seenNames.insert(identity(*named)).second;
        if (seen[id])
            return false;
        seen[id] = true;
        return true;
    }

    static int slotOf(UInt16 id)
    {
        switch (id) {
        case PR_ATTACH_LONG_FILENAME: return 0;
        case PR_DISPLAY_NAME: return 1;
        case PR_ATTACH_DATA_OBJ: return 2;
        default: return -1;
        }
    }
    static bool isEmpty(const std::optional<std::string> &text, UInt32 length)
    {
        return text ? text->empty() : length == 0;
    }
    SInt32 add(UInt16 type, UInt16 id, SInt64 position, UInt32 length, UInt32 count, UInt32 index,
               std::optional<std::string> text)
    {
        const int slot = slotOf(id);
        if (slot >= 0 && single[slot]) {
            TNEFMAPIItem *kept = single[slot];
            if (!isEmpty(kept->text, kept->length) || isEmpty(text, length))
                return noErr;
            *kept = TNEFMAPIItem{type, id, position, length, count, index, std::move(text), named, kept->next};
            return noErr;
        }
        if (!firstOfItsKind(id))
            return noErr;
        TNEFMAPIItem *item = TNEFParseAddMAPIToList(list, type, id, position, length, count, index,
                                                    std::move(text));
        if (!item)
            return MAPIFail("TNEF Trace Error -- can't add mapi property to list.\n", -11);
        item->named = named;
        if (slot >= 0)
            single[slot] = item;
        return noErr;
    }
};

SInt32 ParseCountedValues(const BlockReader &in, BlockValues &out, UInt16 type, UInt16 id,
                          UInt32 codePage)
{
    const bool isString8 = type == PT_STRING8;
    UInt32 count = 0;
    if (in.int32(&count) != noErr)
        return MAPIFail(isString8 ? "TNEF Trace Error -- can't read mapi string count.\n"
                                  : "TNEF Trace Error -- can't read mapi object count.\n", -1);
    TRACE("        value count = 0x%08lx.\n", (unsigned long)count);
    for (UInt32 index = 0; index < count; ++index) {
        UInt32 length = 0;
        if (in.int32(&length) != noErr)
            return MAPIFail(isString8 ? "TNEF Trace Error -- can't read mapi string length.\n"
                                      : "TNEF Trace Error -- can't read mapi object count.\n", -1);
        TRACE("        value length = 0x%08lx.\n", (unsigned long)length);
        SInt64 position = 0;
        if (FSGetForkPosition(in.fork, &position) != noErr)
            return MAPIFail("TNEF Trace Error -- can't get current position.\n", -3);

        NameCopy copy;
        UInt32 textCodePage = codePage;
        if (isString8) {
            copy.wanted = IsKeptTextProperty(id) && in.wanted(id);
            TRACE("        value = ");
            const bool echo = length < 50;
            const auto look = [&](const UInt8 *piece, UInt32 n) {
                if (echo)
                    TraceBytes(piece, n);
                copy.take(piece, n);
            };
            const SInt32 err = in.bytes(
                length, echo || copy.wanted ? std::function<void(const UInt8 *, UInt32)>(look) : nullptr);
            if (err != noErr)
                return MAPIFail("TNEF Trace Error -- can't read mapi string data.\n", -1);
            TRACE("\n");
            if (in.bytes(FillFor(length)) != noErr)
                return MAPIFail("TNEF Trace Error -- can't read mapi string fill.\n", -1);
        } else {
            // Unicode texts are the one kind of counted value kept besides
            // 8-bit ones: without them such attachments have no usable name.
            copy.wanted = type == PT_UNICODE && IsKeptTextProperty(id) && in.wanted(id);
            textCodePage = kCodePageUTF16LE;
            TRACE("        value position = 0x%016llx.\n", (unsigned long long)position);
            const auto keep = [&](const UInt8 *piece, UInt32 n) { copy.take(piece, n); };
            if (in.bytes(length, copy.wanted ? std::function<void(const UInt8 *, UInt32)>(keep) : nullptr)
                != noErr)
                return MAPIFail("TNEF Trace Error -- can't read mapi object data.\n", -1);
            if (in.bytes(FillFor(length)) != noErr)
                return MAPIFail("TNEF Trace Error -- can't read mapi object fill.\n", -1);
        }
        if (!in.wanted(id))
            continue;
        if (SInt32 err = out.add(type, id, position, length, count, index, copy.text(textCodePage)))
            return err;
    }
    return noErr;
}

SInt32 ParseFixedValue(const BlockReader &in, BlockValues &out, UInt16 type, UInt16 id)
{
    SInt64 position = 0;
    if (FSGetForkPosition(in.fork, &position) != noErr)
        return MAPIFail("TNEF Trace Error -- can't get current position.\n", -3);
    UInt32 length = 0;
    if (type == PT_SHORT) {
        UInt32 slot = 0;
        if (in.int32(&slot) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi value.\n", -1);
        TRACE("        value = 0x%04x.\n", unsigned(slot & 0xFFFF));
        length = 2;
    } else if (type == PT_LONG || type == PT_FLOAT || type == PT_BOOLEAN) {
        UInt32 value = 0;
        if (in.int32(&value) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi value.\n", -1);
        TRACE("        value = 0x%08lx.\n", (unsigned long)value);
        length = 4;
    } else {
        UInt64 value = 0;
        if (in.int64(&value) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi value.\n", -1);
        TRACE("        value = 0x%016llx.\n", (unsigned long long)value);
        length = 8;
    }
    if (!in.wanted(id))
        return noErr;
    return out.add(type, id, position, length, 0, 0, std::nullopt);
}

// Value sizes of the fixed-size types; 0 for the counted ones and for types
// not known at all.
UInt32 FixedValueSize(UInt16 type)
{
    switch (type) {
    case PT_SHORT:
    case PT_LONG:
    case PT_FLOAT:
    case PT_BOOLEAN:
    case PT_ERROR:
        return 4;
    case PT_DOUBLE:
    case PT_CURRENCY:
    case PT_APPTIME:
    case PT_I8:
    case PT_SYSTIME:
        return 8;
    case PT_CLSID:
        return 16;
    default:
        return 0;
    }
}

constexpr SInt32 kUnknownType = 1;

// The types the stream parse does not read: multiple values (a count, then
// each value as a single one would be stored, counted ones with their own
// lengths) and the fixed-size types it does not name. kUnknownType, with
// nothing read, for a type whose size is not known.
SInt32 ParseOtherValues(const BlockReader &in, BlockValues &out, UInt16 type, UInt16 id,
                        UInt32 codePage)
{
    const UInt16 single = type & ~MV_FLAG;
    if ((type & MV_FLAG)
        && (single == PT_STRING8 || single == PT_UNICODE || single == PT_BINARY || single == PT_OBJECT))
        return ParseCountedValues(in, out, type, id, codePage);
    const UInt32 size = FixedValueSize(single);
    if (size == 0)
        return kUnknownType;
    UInt32 count = 1;
    if ((type & MV_FLAG) && in.int32(&count) != noErr)
        return MAPIFail("TNEF Trace Error -- can't read mapi value.\n", -1);
    for (UInt32 index = 0; index < count; ++index) {
        SInt64 position = 0;
        if (FSGetForkPosition(in.fork, &position) != noErr)
            return MAPIFail("TNEF Trace Error -- can't get current position.\n", -3);
        if (in.bytes(size) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi value.\n", -1);
        if (!in.wanted(id))
            continue;
        const UInt32 length = single == PT_SHORT ? 2 : size;
        if (SInt32 err = out.add(type, id, position, length, type & MV_FLAG ? count : 0, index,
                                 std::nullopt))
            return err;
    }
    return noErr;
}

} // namespace

SInt32 TNEFParseMAPI(SInt16 forkRefNum, TNEFList<TNEFMAPIItem> *mapiList, SInt64 blockEnd,
                     UInt32 codePage, bool (*keep)(UInt16 id), bool allTypes,
                     bool (*keepNamed)(const TNEFNamedId &name))
{
    const bool names = keepNamed != nullptr;
    const BlockReader in{forkRefNum, blockEnd, keep, allTypes, names};
    BlockValues out{mapiList};
    if (names) {
        out.keepNamed = keepNamed;
        out.seen.assign(0x10000, false);
    }
    UInt32 count = 0;
    if (in.int32(&count) != noErr)
        return MAPIFail("TNEF Trace Error -- can't read mapi properties count.\n", -1);
    TRACE("    number mapi properties = %ld.\n", (long)count);
    for (UInt32 i = 0; i < count; ++i) {
        UInt16 type = 0;
        if (in.int16(&type) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi property type.\n", -1);
        TRACE("    mapi property type = 0x%04x.\n", unsigned(type));
        UInt16 id = 0;
        if (in.int16(&id) != noErr)
            return MAPIFail("TNEF Trace Error -- can't read mapi property def.\n", -1);
        TRACE("    mapi property def = 0x%04x.\n", unsigned(id));
        out.named.reset();
        if (id >= 0x8000 && id <= 0xFFFE) {
            TNEFNamedId named;
            if (SInt32 err = ParseNamedPropertyName(in, &named))
                return err;
            if (names)
                out.named = std::move(named);
        }
        if (type & MV_FLAG)
            TRACE("        value is multi value.\n");
        SInt32 err = noErr;
        switch (type) {
        case PT_SHORT:
        case PT_LONG:
        case PT_FLOAT:
        case PT_BOOLEAN:
        case PT_DOUBLE:
        case PT_CURRENCY:
        case PT_SYSTIME:
            err = ParseFixedValue(in, out, type, id);
            break;
        case PT_STRING8:
        case PT_OBJECT:
        case PT_UNICODE:
        case PT_BINARY:
            err = ParseCountedValues(in, out, type, id, codePage);
            break;
        default:
            if (in.allTypes && (err = ParseOtherValues(in, out, type, id, codePage)) != kUnknownType)
                break;
            TRACE("    unknown mapi type -- 0x%04x.\n", unsigned(type));
            if (in.allTypes)
                return MAPIFail("TNEF Trace Error -- can't read mapi value.\n", -1);
            err = noErr;
            break;
        }
        if (err != noErr)
            return err;
    }
    return noErr;
}

// ---------------------------------------------------------------------------
// The TNEF stream

namespace {

struct PendingAttachment {
    SInt64 titlePosition = 0;
    UInt32 titleLength = 0;
    SInt64 dataPosition = 0;  // 0: no attachment data seen (the signature is there)
    UInt32 dataLength = 0;
    bool isTNEF = false;
    std::string contentId, contentLocation, mimeTag;
};

struct StreamState {
    SInt16 fork = 0;
    TNEFList<TNEFFileItem> *files = nullptr;
    UInt32 fileID = 1;
    PendingAttachment pending;
    // Inside a group begun by attAttachRenddata that has not had its
    // attAttachment yet.
    bool groupOpen = false;
    UInt32 codePage = 0;  // declared by attOemCodepage; 0 until then
    std::optional<std::string> text;
};

SInt32 Fail(const char *line, SInt32 code)
{
    TRACE("%s", line);
    return code;
}

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Reads n data bytes in pieces; `first` gets the start of the first piece
// (zero-padded to 8 bytes), `last` the last bytes read (for unit traces).
struct DataRead {
    UInt8 first[8] = {};
    UInt8 last[4] = {};
    bool sawPiece = false;
    std::vector<UInt8> prefix;  // the first piece, when wanted
    bool keepPrefix = false;
    UInt32 prefixLimit = 0;
    bool firstPieceOnly = false;  // the last bytes are not wanted

    SInt32 run(SInt16 fork, UInt64 n)
    {
        // Most attributes fit one piece: read it straight, as ReadPieces would.
        if (n <= kPieceSize) {
            UInt8 piece[kPieceSize];
            UInt32 actual = 0;
            const OSErr err = FSReadFork(fork, fsAtMark, 0, UInt32(n), piece, &actual);
            if (actual > 0)
                look(piece, actual);
            return err;
        }
        return ReadPieces(fork, n, -1, [this](const UInt8 *piece, UInt32 count) { look(piece, count); },
                          firstPieceOnly);
    }
    void look(const UInt8 *piece, UInt32 count)
    {
        if (!sawPiece) {
            std::memcpy(first, piece, std::min<UInt32>(count, sizeof first));
            if (keepPrefix)
                prefix.assign(piece, piece + std::min(count, prefixLimit));
            sawPiece = true;
        }
        for (UInt32 i = count > 4 ? count - 4 : 0; i < count; ++i) {
            std::memmove(last, last + 1, 3);
            last[3] = piece[i];
        }
    }
    UInt32 firstInt32() const { return LE32(first); }
    UInt8 lastByte() const { return last[3]; }
    UInt16 lastInt16() const { return UInt16(last[2] | last[3] << 8); }
    UInt32 lastInt32() const { return LE32(last); }
};

SInt32 HandleDate(StreamState &s)
{
    UInt16 fields[7];
    for (UInt16 &field : fields) {
        if (TNEFParseGetInt16(s.fork, &field) != noErr)
            return Fail("TNEF Trace Error -- can't read date part.\n", -1);
    }
    // year, month, day, hour, minute, second; the day of week is dropped
    s.text = Format("%d/%d/%d %02d:%02d:%02d", SInt16(fields[1]), SInt16(fields[2]),
                    SInt16(fields[0]), SInt16(fields[3]), SInt16(fields[4]), SInt16(fields[5]));
    TRACE("    date is %s.\n", s.text->c_str());
    return noErr;
}

SInt32 HandlePriority(StreamState &s, UInt32 n)
{
    DataRead data;
    data.firstPieceOnly = true;
    if (data.run(s.fork, n) != noErr)
        return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
    if (data.sawPiece)
        TRACE("    attribute data = 0x%d%d...\n", data.first[0], data.first[1]);
    const UInt8 priority = data.sawPiece ? data.first[0] : 0;
    s.text = priority == 1 ? "High" : priority == 3 ? "Low" : "Normal";
    return noErr;
}

SInt32 HandleTitle(StreamState &s, UInt32 n)
{
    TRACE("    attachment title length read Ok. Value = 0x%08lx.\n", (unsigned long)n);
    SInt64 position = 0;
    if (FSGetForkPosition(s.fork, &position) != noErr)
        return Fail("TNEF Trace Error -- can't read attachment title position.\n", -1);
    TRACE("    attachment title position read Ok. Value = 0x%016llx.\n", (unsigned long long)position);
    if (ReadPieces(s.fork, n, -1, {}) != noErr)
        return Fail("TNEF Trace Error -- can't read attachment title data.\n", -1);
    TRACE("    attachment title data read Ok.\n");
    s.pending.titlePosition = position;
    s.pending.titleLength = n;
    return noErr;
}

SInt32 HandleAttachData(StreamState &s, UInt32 n)
{
    TRACE("    attachment data length read Ok. Value = 0x%08lx.\n", (unsigned long)n);
    SInt64 position = 0;
    if (FSGetForkPosition(s.fork, &position) != noErr)
        return Fail("TNEF Trace Error -- can't read attachment data position.\n", -3);
    TRACE("    attachment data position read Ok. Value = 0x%016llx.\n", (unsigned long long)position);
    DataRead data;
    data.firstPieceOnly = true;
    data.keepPrefix = true;
    data.prefixLimit = kEmbeddedPlaceholderSize;
    if (data.run(s.fork, n) != noErr)
        return Fail("TNEF Trace Error -- can't read attachment data data.\n", -1);
    if (data.prefix.size() == kEmbeddedPlaceholderSize
        && std::memcmp(data.prefix.data(), kEmbeddedPlaceholder, kEmbeddedPlaceholderSize) == 0) {
        TRACE("    attachment is an attached TNEF file!!!\n");
        s.pending.isTNEF = true;
    }
    TRACE("    attachment data data read Ok.\n");
    s.pending.dataPosition = position;
    s.pending.dataLength = n;
    return noErr;
}

const char *RenderTypeName(SInt16 type)
{
    switch (type) {
    case 0: return "Null";
    case 1: return "File";
    case 2: return "OLE";
    case 3: return "Picture";
    case 4: return "Max";
    default: return "";
    }
}

// Appends the pending attachment to the list and starts a new one.
SInt32 AddPendingFile(StreamState &s, SInt64 namePosition, UInt32 nameLength, SInt64 dataPosition,
                      UInt32 dataLength, UInt32 nameCodePage, const char *addedTrace)
{
    if (s.files) {
        TNEFFileItem *item = TNEFParseAddFileToList(s.files, s.fork, namePosition, nameLength, dataPosition,
                                                    dataLength, s.fileID, s.pending.isTNEF ? -1 : 0, nameCodePage);
        if (!item)
            return Fail("TNEF Trace Error -- can't add file to list.\n", -6);
        item->contentId = std::move(s.pending.contentId);
        item->contentLocation = std::move(s.pending.contentLocation);
        item->mimeTag = std::move(s.pending.mimeTag);
        TRACE("%s", addedTrace);
    }
    s.fileID += 1;
    s.pending = PendingAttachment{};
    s.groupOpen = false;
    return noErr;
}

// Older senders give an attachment as rendering data, title and data with no
// property block; such a group ends where the next one begins, or with the
// stream, and is kept as it stands.
SInt32 EndGroup(StreamState &s)
{
    const bool hasPart = s.pending.titlePosition != 0 || s.pending.dataPosition != 0;
    if (!s.groupOpen || !hasPart)
        return noErr;
    return AddPendingFile(s, s.pending.titlePosition, s.pending.titleLength, s.pending.dataPosition,
                          s.pending.dataLength, s.codePage,
                          "    attachment without properties added to list.\n");
}

SInt32 HandleRenddata(StreamState &s, UInt32 n)
{
    if (SInt32 err = EndGroup(s))
        return err;
    s.groupOpen = true;
    if (n == 14) {
        UInt16 type = 0, width = 0, height = 0;
        UInt32 position = 0, flags = 0;
        if (TNEFParseGetInt16(s.fork, &type) || TNEFParseGetInt32(s.fork, &position)
            || TNEFParseGetInt16(s.fork, &width) || TNEFParseGetInt16(s.fork, &height)
            || TNEFParseGetInt32(s.fork, &flags))
            return Fail("TNEF Trace Error -- can't read renddata part.\n", -1);
        s.text = Format("Type: %s (%d); Position: %d; Width: %d; Height: %d; Flags: %d",
                        RenderTypeName(SInt16(type)), SInt16(type), SInt32(position), SInt16(width),
                        SInt16(height), SInt32(flags));
        TRACE("    date is %s.\n", s.text->c_str());
        return noErr;
    }
    DataRead data;
    if (data.run(s.fork, n) != noErr)
        return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
    TRACE("    attribute data = 0x%2x...\n", unsigned(data.lastByte()));
    return noErr;
}

// After a block that parsed, the stream goes on right after the attribute's
// data, whatever the properties inside made of it; after one that failed, the
// data is read again from the block's start.
SInt32 FinishBlock(StreamState &s, SInt64 start, UInt32 n, bool parsed, const char *skipFailure,
                   const char *skipTrace, bool traceFirstWord)
{
    if (parsed) {
        if (FSSetForkPosition(s.fork, fsFromStart, start + SInt64(n)) != noErr)
            return Fail("TNEF Trace Error -- can't set attribute position.\n", -4);
        return noErr;
    }
    TRACE("TNEF Trace Warning -- MAPI properties not read!\n");
    if (FSSetForkPosition(s.fork, fsFromStart, start) != noErr)
        return Fail("TNEF Trace Error -- can't set attribute position.\n", -4);
    DataRead data;
    data.firstPieceOnly = true;
    if (data.run(s.fork, n) != noErr)
        return Fail(skipFailure, -1);
    if (traceFirstWord && data.sawPiece)
        TRACE("    attribute data = 0x%8lx...\n", (unsigned long)data.firstInt32());
    if (skipTrace)
        TRACE("%s", skipTrace);
    return noErr;
}

// The block parses below keep only the values the stream parser uses, so a
// block of many properties costs no memory for the rest.
bool KeepNone(UInt16)
{
    return false;
}

bool KeepAttachmentProperty(UInt16 id)
{
    return IsKeptTextProperty(id) || id == PR_ATTACH_DATA_OBJ;
}

SInt32 HandleMessageProps(StreamState &s, UInt32 n)
{
    SInt64 start = 0;
    if (FSGetForkPosition(s.fork, &start) != noErr)
        return Fail("TNEF Trace Error -- can't read attachment position.\n", -3);
    TNEFList<TNEFMAPIItem> mapiList;
    // Nothing of the message's own properties is used.
    const SInt32 result = TNEFParseMAPI(s.fork, &mapiList, start + SInt64(n), s.codePage, KeepNone);
    TNEFParseMAPIDestroy(&mapiList);
    return FinishBlock(s, start, n, result == noErr,
                       "TNEF Trace Error -- can't read attribute data.\n", nullptr, true);
}

SInt32 HandleAttachment(StreamState &s, UInt32 n)
{
    TRACE("    attachment length read Ok. Value = 0x%08lx.\n", (unsigned long)n);
    SInt64 start = 0;
    if (FSGetForkPosition(s.fork, &start) != noErr)
        return Fail("TNEF Trace Error -- can't read attachment position.\n", -3);
    TRACE("    attachment position read Ok. Value = 0x%016llx.\n", (unsigned long long)start);

    const bool dataPending = s.pending.dataPosition != 0;
    SInt64 dataPosition = dataPending ? s.pending.dataPosition : start;
    UInt32 dataLength = dataPending ? s.pending.dataLength : n;
    SInt64 namePosition = s.pending.titlePosition;
    UInt32 nameLength = s.pending.titleLength;
    UInt32 nameCodePage = s.codePage;

    TNEFList<TNEFMAPIItem> mapiList;
    const bool parsed =
        TNEFParseMAPI(s.fork, &mapiList, start + SInt64(n), s.codePage, KeepAttachmentProperty) == noErr;
    if (parsed) {
        TRACE("    attribute mapi results\n");
        for (const TNEFMAPIItem *item = mapiList; item; item = item->next) {
            const bool nameApplies = item->id == PR_ATTACH_LONG_FILENAME
                || (item->id == PR_DISPLAY_NAME && s.pending.isTNEF);
            if (nameApplies) {
                namePosition = item->position;
                nameLength = item->length;
                nameCodePage = item->type == PT_UNICODE ? kCodePageUTF16LE : s.codePage;
                if (item->text)
                    TRACE(item->id == PR_DISPLAY_NAME ? "        object display name = \"%s\"\n"
                                                      : "        long file name = \"%s\"\n",
                          item->text->c_str());
            } else if (item->text && item->id == PR_ATTACH_CONTENT_ID) {
                s.pending.contentId = *item->text;
            } else if (item->text && item->id == PR_ATTACH_CONTENT_LOCATION) {
                s.pending.contentLocation = *item->text;
            } else if (item->text && item->id == PR_ATTACH_MIME_TAG) {
                s.pending.mimeTag = *item->text;
            } else if (item->id == PR_ATTACH_DATA_OBJ) {
                // An attached message's stream follows the object's 16-byte
                // interface identifier; so do the contents of an object value.
                const bool skipIID = s.pending.isTNEF || (!dataPending && item->type == PT_OBJECT);
                if (skipIID) {
                    dataPosition = item->position + (item->length >= 16 ? 16 : 0);
                    dataLength = item->length >= 16 ? item->length - 16 : 0;
                } else if (!dataPending && item->type == PT_BINARY) {
                    dataPosition = item->position;
                    dataLength = item->length;
                }
            }
        }
    }
    TNEFParseMAPIDestroy(&mapiList);
    if (SInt32 err = FinishBlock(s, start, n, parsed, "TNEF Trace Error -- can't read attachment data.\n",
                                 "    attachment data read Ok.\n", false))
        return err;

    return AddPendingFile(s, namePosition, nameLength, dataPosition, dataLength, nameCodePage,
                          "    file added to list.\n");
}

SInt32 HandleOther(StreamState &s, UInt32 attribute, UInt32 n)
{
    DataRead data;
    switch (attribute >> 16) {
    case 0x0007:
        if (data.run(s.fork, (UInt64(n) + 1) / 2 * 2) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
        TRACE("    attribute data = 0x%4x...\n", unsigned(data.lastInt16()));
        return noErr;
    case 0x0008:
        if (data.run(s.fork, (UInt64(n) + 3) / 4 * 4) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
        TRACE("    attribute data = 0x%8lx...\n", (unsigned long)data.lastInt32());
        return noErr;
    case 0x0006:
        if (data.run(s.fork, n) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
        TRACE("    attribute data = 0x%2x...\n", unsigned(data.lastByte()));
        if (attribute == attOemCodepage && n >= 4)
            s.codePage = data.firstInt32();
        return noErr;
    default:
        data.firstPieceOnly = true;
        if (data.run(s.fork, n) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
        if (data.sawPiece)
            TRACE("    attribute data = 0x%8lx...\n", (unsigned long)data.firstInt32());
        return noErr;
    }
}

// What mail programs and decoders leave after a stream: line ends, blanks
// and zero bytes.
bool IsPaddingByte(UInt8 b)
{
    return b == '\r' || b == '\n' || b == ' ' || b == '\t' || b == '\0';
}

// True when every byte from the mark to the end of the file is padding, with
// *count telling how many there are. Otherwise the mark is put back.
bool RestIsPadding(SInt16 fork, SInt64 fileSize, UInt64 *count)
{
    SInt64 start = 0;
    if (FSGetForkPosition(fork, &start) != noErr)
        return false;
    UInt8 scratch[kPieceSize];
    for (SInt64 at = start; at < fileSize;) {
        const UInt32 piece = UInt32(std::min<SInt64>(fileSize - at, kPieceSize));
        UInt32 actual = 0;
        if (FSReadFork(fork, fsAtMark, 0, piece, scratch, &actual) != noErr
            || !std::all_of(scratch, scratch + piece, IsPaddingByte)) {
            FSSetForkPosition(fork, fsFromStart, start);
            return false;
        }
        at += piece;
    }
    *count = UInt64(fileSize - start);
    return true;
}

SInt32 HandleAttribute(StreamState &s, UInt32 attribute, UInt32 n)
{
    switch (attribute) {
    case attDateStart:
    case attDateEnd:
    case attDateSent:
    case attDateRecd:
    case attAttachCreateDate:
    case attAttachModifyDate:
    case attDateModified:
        return HandleDate(s);
    case attPriority:
        return HandlePriority(s, n);
    case attAttachTitle:
        return HandleTitle(s, n);
    case attAttachData:
        return HandleAttachData(s, n);
    case attAttachRenddata:
        return HandleRenddata(s, n);
    case attMAPIProps:
        return HandleMessageProps(s, n);
    case attAttachment:
        return HandleAttachment(s, n);
    case attMessageClass:
    case attOriginalMessageClass: {
        DataRead data;
        if (data.run(s.fork, n) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute data.\n", -1);
        TRACE("    attribute data = 0x%2x...\n", unsigned(data.lastByte()));
        return noErr;
    }
    default:
        return HandleOther(s, attribute, n);
    }
}

// The recording hook: where the message's own attributes are.
void RecordMessagePlace(TNEFMessagePlaces *places, const StreamState &s, UInt32 attribute, SInt64 position,
                        UInt32 length)
{
    const TNEFPlace place{position, length};
    places->codePage = s.codePage;
    switch (attribute) {
    case attMAPIProps: places->properties.push_back(place); break;
    case attSubject: places->subject = place; break;
    case attFrom: places->from = place; break;
    case attDateSent: places->dateSent = place; break;
    case attDateRecd: places->dateReceived = place; break;
    case attMessageClass: places->messageClass = place; break;
    case attBody: places->body = place; break;
    case attPriority: places->priority = place; break;
    case attDateStart: places->dateStart = place; break;
    case attDateEnd: places->dateEnd = place; break;
    case attRecipTable: places->recipients = place; break;
    default: break;
    }
}

SInt32 EndStream(StreamState &s)
{
    if (SInt32 err = EndGroup(s))
        return err;
    TRACE("\n=================\n");
    TRACE("TNEF Trace -- end\n");
    return noErr;
}

} // namespace

bool TNEFParseHasSignature(SInt16 forkRefNum)
{
    UInt32 signature = 0;
    const bool read = FSSetForkPosition(forkRefNum, fsFromStart, 0) == noErr
        && TNEFParseGetInt32(forkRefNum, &signature) == noErr;
    FSSetForkPosition(forkRefNum, fsFromStart, 0);
    return read && signature == kTNEFSignature;
}

SInt32 TNEFParseFileList(SInt16 forkRefNum, TNEFList<TNEFFileItem> *fileList,
                         TNEFList<TNEFAttributeItem> *attributeList, TNEFMessagePlaces *places)
{
    TRACE("TNEF Trace -- begin\n");
    TRACE("===================\n");

    SInt64 fileSize = 0;
    if (const OSErr err = FSGetForkSize(forkRefNum, &fileSize)) {
        TRACE("TNEF Trace Error -- can't get file size (%d).\n", err);
        return -8;
    }
    UInt32 signature = 0;
    if (TNEFParseGetInt32(forkRefNum, &signature) != noErr)
        return Fail("TNEF Trace Error -- can't read file signature.\n", -1);
    if (signature != kTNEFSignature) {
        TRACE("TNEF Trace Error -- wrong signature. Value = %lx.\n", (unsigned long)signature);
        return -1;
    }
    TRACE("signature = 0x%08lx.\n", (unsigned long)signature);
    UInt16 key = 0;
    if (TNEFParseGetInt16(forkRefNum, &key) != noErr)
        return Fail("TNEF Trace Error -- TNEF Trace Error -- can't read attachment reference.\n", -1);
    TRACE("attachment reference key = 0x%04x.\n", unsigned(key));

    StreamState s;
    s.fork = forkRefNum;
    s.files = fileList;
    for (UInt32 objectID = 1;; ++objectID) {
        s.text.reset();
        UInt8 objectType = 0;
        if (TNEFParseGetInt8(forkRefNum, &objectType) != noErr)
            return Fail("TNEF Trace Error -- can't read next object.\n", -1);
        // Padding after an attribute's checksum ends the stream. No object
        // type is a padding byte, so a well-formed stream never looks further.
        UInt64 padding = 0;
        if (objectID > 1 && IsPaddingByte(objectType) && RestIsPadding(forkRefNum, fileSize, &padding)) {
            // The byte read as an object type and the rest.
            TRACE("trailing padding length = 0x%08x.\n", unsigned(padding + 1));
            return EndStream(s);
        }
        TRACE("object #%ld\n", (long)objectID);
        TRACE("    object type = 0x%02x.\n", unsigned(objectType));
        if (objectType != 1 && objectType != 2) {
            TRACE("TNEF Trace Error -- invalid object type. File position = 0x%016llx.\n",
                  (unsigned long long)TNEFParseGetPosition(forkRefNum));
            return -7;
        }
        UInt32 attribute = 0;
        if (TNEFParseGetInt32(forkRefNum, &attribute) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute type and data format.\n", -1);
        TRACE("    attribute type = 0x%08lx.\n", (unsigned long)(attribute & 0xFFFF));
        TRACE("    attribute data format = 0x%08lx.\n", (unsigned long)(attribute & 0xFFFF0000));
        UInt32 length = 0;
        if (TNEFParseGetInt32(forkRefNum, &length) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute length.\n", -1);
        TRACE("    attribute length = 0x%08lx.\n", (unsigned long)length);
        SInt64 position = 0;
        if (FSGetForkPosition(forkRefNum, &position) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute file position.\n", -3);
        TRACE("    attribute position = 0x%016llx.\n", (unsigned long long)position);

        if (SInt32 err = HandleAttribute(s, attribute, length))
            return err;
        if (places && objectType == 1)
            RecordMessagePlace(places, s, attribute, position, length);

        if (attributeList) {
            if (!TNEFParseAddAttributeToList(attributeList, attribute, position, length, objectID,
                                             std::move(s.text)))
                return Fail("TNEF Trace Error -- can't add attribute to list.\n", -5);
            TRACE("    attribute added to list.\n");
        }
        UInt16 checksum = 0;
        if (TNEFParseGetInt16(forkRefNum, &checksum) != noErr)
            return Fail("TNEF Trace Error -- can't read attribute checksum.\n", -1);
        TRACE("    attribute checksum read Ok. Value = 0x%04x.\n", unsigned(checksum));
        SInt64 after = 0;
        if (FSGetForkPosition(forkRefNum, &after) != noErr) {
            TRACE("TNEF Trace Error -- can't get current position. File position = 0x%016llx.\n",
                  (unsigned long long)TNEFParseGetPosition(forkRefNum));
            return -3;
        }
        if (after == fileSize)
            return EndStream(s);
    }
}
