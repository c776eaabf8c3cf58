#include "TNEFText.h"

#include "platform/ErrorLog.h"
#include "platform/FileManager.h"

#include <algorithm>
#include <array>
#include <utility>

const char kTNEFUntitledAttachment[] = "Untitled Attachment";

QString TNEFFileItemTitle(const TNEFFileItem *item)
{
    return item->name.empty() ? QString::fromLatin1(kTNEFUntitledAttachment)
                              : QString::fromStdString(item->name);
}

QString TNEFFileItemDisplayName(const TNEFFileItem *item)
{
    QString name = TNEFFileItemTitle(item);
    if (item->isTNEF == -1)
        name.prepend(QLatin1String("TNEF: "));
    return name;
}

namespace {

// Keyed by the whole word, so that a known type with an unexpected data
// format stays nameless rather than being mistaken for the known attribute.
constexpr std::array<std::pair<UInt32, const char *>, 33> kAttributeNames{{
    {0x00000000, "Null"},
    {0x00060000, "Owner"},
    {0x00060001, "Sent For"},
    {0x00060002, "Delegate"},
    {0x00030006, "Date Start"},
    {0x00070006, "Original Message Class"},
    {0x00030007, "Date End"},
    {0x00050008, "Aid Owner"},
    {0x00040009, "Request Res"},
    {0x00008000, "From"},
    {0x00018004, "Subject"},
    {0x00038005, "Date Sent"},
    {0x00038006, "Date Received"},
    {0x00068007, "Message Status"},
    {0x00078008, "Message Class"},
    {0x00018009, "Message ID"},
    {0x0001800A, "Parent ID"},
    {0x0001800B, "Conversation ID"},
    {0x0002800C, "Body"},
    {0x0004800D, "Priority"},
    {0x0006800F, "Attachment Data"},
    {0x00018010, "Attachment Title"},
    {0x00068011, "Attachment Meta File"},
    {0x00038012, "Attachment Create Date"},
    {0x00038013, "Attachment Modify Date"},
    {0x00038020, "Date Modified"},
    {0x00069001, "Attachment Transport Filename"},
    {0x00069002, "Attachment Renddata"},
    {0x00069003, "MAPI Properties"},
    {0x00069004, "Recipient Table"},
    {0x00069005, "Attachment"},
    {0x00089006, "TNEF Version"},
    {0x00069007, "OEM Codepage"},
}};

// However long the value, one short read serves the preview.
constexpr UInt32 kPreviewReadLimit = 300;
constexpr UInt32 kPreviewEllipsisAbove = 150;

} // namespace

const char *TNEFTextGetAttributeName(UInt32 attribute)
{
    for (const auto &[word, name] : kAttributeNames) {
        if (word == attribute)
            return name;
    }
    return nullptr;
}

QString TNEFTextCreateSizeText(UInt32 size)
{
    if (size > 0x500000)
        return QString::asprintf("%ld MB", long(size >> 20));
    if (size > 0x1400)
        return QString::asprintf("%ld KB", long(size >> 10));
    return QString::asprintf("%ld bytes", long(size));
}

SInt32 TNEFTextCreateValuePreview(const TNEFAttributeItem *attribute, SInt16 forkRefNum,
                                  QString *preview)
{
    if (attribute->text) {
        *preview = QString::fromStdString(*attribute->text);
        return noErr;
    }
    OSErr err = FSSetForkPosition(forkRefNum, fsFromStart, attribute->position);
    if (err != noErr) {
        TNEF_LOG_ERROR("    FSSetForkPosition() returned %ld.\n", long(err));
        return err;
    }
    const UInt32 count = std::min(attribute->length, kPreviewReadLimit);
    char bytes[kPreviewReadLimit];
    if (count > 0) {
        UInt32 actual = 0;
        err = FSReadFork(forkRefNum, fsAtMark, 0, count, bytes, &actual);
        if (err != noErr) {
            TNEF_LOG_ERROR("    FSReadFork() returned %ld.\n", long(err));
            return err;
        }
    }
    // A zero byte in the data must not end the preview early, and nothing
    // outside plain ASCII is shown as if it were text.
    QString text(qsizetype(count), QLatin1Char('.'));
    for (UInt32 i = 0; i < count; ++i) {
        if (SInt8(bytes[i]) >= 0x20)
            text[qsizetype(i)] = QLatin1Char(bytes[i]);
    }
    if (attribute->length > kPreviewEllipsisAbove)
        text += QLatin1String("...");
    *preview = text;
    return noErr;
}
