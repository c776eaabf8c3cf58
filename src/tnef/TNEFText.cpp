#include "TNEFText.h"

#include "TNEFAttributes.h"

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

QString TNEFNameWithoutTrailingDots(QString name)
{
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name;
}

QString TNEFFileItemFileName(const TNEFFileItem *item)
{
    if (item->isTNEF != -1)
        return TNEFFileItemTitle(item);
    const QLatin1String extension(".tnef");
    QString name = TNEFNameWithoutTrailingDots(TNEFFileItemTitle(item));
    if (name.isEmpty())
        name = QString::fromLatin1(kTNEFUntitledAttachment);
    return name.endsWith(extension, Qt::CaseInsensitive) ? name : name + extension;
}

QString TNEFFileItemDisplayName(const TNEFFileItem *item)
{
    QString name = TNEFFileItemTitle(item);
    if (item->isTNEF == -1)
        name.prepend(QLatin1String("TNEF: "));
    return name;
}

namespace {

#define TNEF_ATTRIBUTE_NAME(name, word, text) {name, text},
constexpr std::pair<UInt32, const char *> kAttributeNames[] = {TNEF_ATTRIBUTES(TNEF_ATTRIBUTE_NAME)};
#undef TNEF_ATTRIBUTE_NAME

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
