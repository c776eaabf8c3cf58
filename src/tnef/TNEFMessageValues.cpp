#include "TNEFMessageValues.h"

#include "TNEFMessage.h"
#include "TNEFParse.h"
#include "platform/FileManager.h"
#include "platform/TextCodec.h"

#include <algorithm>

SInt32 TNEFReadBytes(SInt16 fork, SInt64 position, UInt32 length, QByteArray *bytes)
{
    bytes->resize(qsizetype(length));
    UInt32 actual = 0;
    const OSErr err = length ? FSReadFork(fork, fsFromStart, position, length, bytes->data(), &actual) : OSErr(noErr);
    bytes->resize(qsizetype(actual));
    return err;
}

QString TNEFReadText(SInt16 fork, SInt64 position, UInt32 length, UInt32 codePage)
{
    QByteArray bytes;
    TNEFReadBytes(fork, position, std::min(length, kTNEFHeaderTextLimit), &bytes);
    return TextDecodeCodePage(bytes.constData(), size_t(bytes.size()), codePage).trimmed();
}

QByteArray TNEFValueBytes(SInt16 forkRefNum, const TNEFValuePlace &place, UInt32 limit)
{
    QByteArray bytes;
    if (place)
        TNEFReadBytes(forkRefNum, place.position, std::min(place.length, limit), &bytes);
    return bytes;
}

QString TNEFValueText(SInt16 forkRefNum, const TNEFValuePlace &place, UInt32 codePage)
{
    if (!place || (place.type != PT_STRING8 && place.type != PT_UNICODE))
        return QString();
    return TNEFReadText(forkRefNum, place.position, place.length, place.type == PT_UNICODE ? kCodePageUTF16LE : codePage);
}

std::optional<UInt32> TNEFValueLong(SInt16 forkRefNum, const TNEFValuePlace &place)
{
    QByteArray bytes;
    if (!place || (place.type != PT_LONG && place.type != PT_BOOLEAN)
        || TNEFReadBytes(forkRefNum, place.position, 4, &bytes) != noErr || bytes.size() < 4)
        return std::nullopt;
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    return UInt32(b[0]) | UInt32(b[1]) << 8 | UInt32(b[2]) << 16 | UInt32(b[3]) << 24;
}

// A FILETIME: 100-nanosecond units since 1601-01-01 UTC.
QDateTime TNEFValueTime(SInt16 forkRefNum, const TNEFValuePlace &place)
{
    QByteArray bytes;
    if (!place || place.type != PT_SYSTIME || TNEFReadBytes(forkRefNum, place.position, 8, &bytes) != noErr
        || bytes.size() < 8)
        return QDateTime();
    UInt64 ticks = 0;
    for (int i = 7; i >= 0; --i)
        ticks = ticks << 8 | static_cast<unsigned char>(bytes[i]);
    constexpr SInt64 kUnixEpochMSecs = 11644473600000LL;
    return QDateTime::fromMSecsSinceEpoch(SInt64(ticks / 10000) - kUnixEpochMSecs, Qt::UTC);
}

// A TNEF date (year, month, day, hour, minute, second, day of week), UTC.
QDateTime TNEFMessageReadDate(SInt16 forkRefNum, const TNEFPlace &place)
{
    QByteArray bytes;
    if (!place || place.length < 12 || TNEFReadBytes(forkRefNum, place.position, 12, &bytes) != noErr || bytes.size() < 12)
        return QDateTime();
    const auto field = [&](int i) {
        return int(static_cast<unsigned char>(bytes[2 * i]) | static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    };
    const QDate date(field(0), field(1), field(2));
    const QTime time(field(3), field(4), field(5));
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}
