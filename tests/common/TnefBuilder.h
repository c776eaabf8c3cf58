#pragma once
// Builds TNEF streams in code, so that each test shows the bytes it is about,
// and runs them through the file layer and the parser.
#include "platform/FileManager.h"
#include "tnef/TNEFProps.h"
#include "tnef/TNEFParse.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <vector>

namespace tnefbuild {

QByteArray le16(quint16 value);
QByteArray le32(quint32 value);
QByteArray le64(quint64 value);
QByteArray z0(const char *text);         // the text and its terminating zero
QByteArray utf16z(const QString &text);  // UTF-16LE and a zero unit, as PT_UNICODE values are stored
// The 88 characters that stand in attAttachData for an attached message, and their zero.
QByteArray embeddedPlaceholder();

// The 16 GUID bytes of a property set, as a named property carries them.
QByteArray propertySet(tnefprop::PropSet set);

// A zone's yearly change as a SYSTEMTIME: month, the week's day (0 Sunday),
// the week (5 the last) and the hour.
QByteArray zoneChange(quint16 month, quint16 dayOfWeek, quint16 week, quint16 hour);
// US Eastern time (UTC is local time plus 300 minutes, 240 in summer) as
// the older zone structure, and as a definition named "Eastern Standard
// Time" with the rule before 2007 and the one since.
QByteArray easternZoneStruct();
QByteArray easternDefinition();

// A recurrence blob: its frequencies, ends and days.
enum : quint16 { kDaily = 0x200A, kWeekly = 0x200B, kMonthly = 0x200C, kYearly = 0x200D };
enum : quint32 { kByDate = 0x2021, kByCount = 0x2022, kNever = 0x2023 };
enum : quint32 { kSu = 1, kMo = 2, kTu = 4, kWe = 8, kTh = 16, kFr = 32, kWeekdays = 62 };
// A local day as the blob stores it: minutes since 1601.
quint32 minutes(const QDate &date);
// A recurrence pattern, then the part an appointment's pattern adds, which
// the rule does not need.
QByteArray blob(quint16 frequency, quint16 patternType, const QByteArray &specific, quint32 period, quint32 endType,
                quint32 count, const QDate &first, const QDate &last, const QList<QDate> &deleted = {},
                const QList<QDate> &modified = {}, quint16 calendarType = 0);

// One MAPI property block: the count, then the properties back to back.
class MapiBlock {
public:
    // Makes the next property a named one: numeric, string, or any other kind.
    MapiBlock &named(quint32 numericName);
    MapiBlock &named(const QString &name);
    MapiBlock &namedKind(quint32 kind, const QByteArray &rest);
    // A numeric name in the property set whose 16 GUID bytes are `set`.
    MapiBlock &named(const QByteArray &set, quint32 numericName);

    MapiBlock &fixed(quint16 type, quint16 id, const QByteArray &value);
    MapiBlock &shortValue(quint16 id, quint16 v) { return fixed(PT_SHORT, id, le16(v)); }
    MapiBlock &longValue(quint16 id, quint32 v) { return fixed(PT_LONG, id, le32(v)); }
    MapiBlock &systime(quint16 id, quint64 v) { return fixed(PT_SYSTIME, id, le64(v)); }
    // Count, then length, bytes and fill for each value.
    MapiBlock &counted(quint16 type, quint16 id, const QList<QByteArray> &values);
    MapiBlock &string8(quint16 id, const QByteArray &v) { return counted(PT_STRING8, id, {v}); }
    MapiBlock &unicode(quint16 id, const QString &text) { return counted(PT_UNICODE, id, {utf16z(text)}); }
    MapiBlock &binary(quint16 id, const QByteArray &v) { return counted(PT_BINARY, id, {v}); }
    MapiBlock &object(quint16 id, const QByteArray &contents);  // behind a 16-byte interface identifier
    MapiBlock &multi(quint16 type, quint16 id, const QList<QByteArray> &values);  // type | 0x1000
    // Bytes that the count does not see, or a count that lies.
    MapiBlock &raw(const QByteArray &bytes) { m_props += bytes; return *this; }
    MapiBlock &claimCount(quint32 count) { m_claimed = count; return *this; }

    QByteArray bytes() const { return le32(m_claimed >= 0 ? quint32(m_claimed) : m_count) + m_props; }
    // Offset from the block's first byte of value i, counted values one by one.
    int valueOffset(int i) const { return m_valueOffsets.at(i); }

private:
    void header(quint16 type, quint16 id);
    QByteArray m_props, m_pendingName;
    quint32 m_count = 0;
    qint64 m_claimed = -1;
    std::vector<int> m_valueOffsets;
};

// A TNEF stream: signature, key, then objects.
class Tnef {
public:
    explicit Tnef(quint16 key = 0, quint32 signature = kTNEFSignature);
    // One object; checksum -1 stands for the right one.
    Tnef &object(quint8 level, quint32 attribute, const QByteArray &data, int checksum = -1);
    Tnef &message(quint32 attribute, const QByteArray &data) { return object(1, attribute, data); }
    Tnef &attach(quint32 attribute, const QByteArray &data) { return object(2, attribute, data); }
    Tnef &raw(const QByteArray &bytes) { m_bytes += bytes; return *this; }

    Tnef &codepage(quint32 codePage) { return message(attOemCodepage, le32(codePage) + le32(0)); }
    Tnef &date(quint32 attribute, int year, int month, int day, int hour, int minute, int second,
               int dayOfWeek = 0);
    Tnef &title(const QByteArray &name) { return attach(attAttachTitle, name); }
    Tnef &data(const QByteArray &contents) { return attach(attAttachData, contents); }
    Tnef &renddata(quint16 type, quint32 position, quint16 width, quint16 height, quint32 flags);
    Tnef &attachment(const MapiBlock &block) { return attach(attAttachment, block.bytes()); }
    Tnef &mapiProps(const MapiBlock &block) { return message(attMAPIProps, block.bytes()); }

    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
    int objectCount() const { return m_objects; }

private:
    QByteArray m_bytes;
    int m_objects = 0;
};

// Writes the bytes to a new file at `path`; false when not all of them arrived.
bool writeFile(const QString &path, const QByteArray &bytes);
// The file's bytes, or "<missing>" when it cannot be read.
QByteArray readFile(const QString &path);
// The names in `folder`, sorted, hidden ones too, so that a left-over
// temporary file shows.
QStringList listing(const QString &folder);

// The bytes in a temporary file whose data fork is open for reading while it lives.
class ForkFile {
public:
    explicit ForkFile(const QByteArray &bytes);
    ~ForkFile() { FSCloseFork(m_ref); }
    ForkFile(const ForkFile &) = delete;
    ForkFile &operator=(const ForkFile &) = delete;
    SInt16 ref() const { return m_ref; }
    SInt64 position() const;

private:
    QTemporaryDir m_dir;
    SInt16 m_ref = 0;
};

// The parse trace that `call` writes.
QByteArray traceOf(const std::function<void()> &call);

// One whole parse of the given bytes: status, trace and both lists.
struct ParseRun {
    explicit ParseRun(const QByteArray &bytes, bool trace = true);
    ~ParseRun() { TNEFParseDestroy(&fileList, &attributeList); }
    ParseRun(const ParseRun &) = delete;
    ParseRun &operator=(const ParseRun &) = delete;

    SInt32 status = 0;
    QByteArray trace;
    TNEFList<TNEFFileItem> fileList;
    TNEFList<TNEFAttributeItem> attributeList;
    std::vector<const TNEFFileItem *> files;
    std::vector<const TNEFAttributeItem *> attributes;
};

// Runs `call` with the address space capped a little above what the process
// uses now, so that an allocation sized by an untrusted length fails loudly
// instead of being quietly overcommitted.
void withSmallAddressSpace(const std::function<void()> &call);

// The corpus of real files, and the rows (after the header) of one of the
// tables of what they must give: expected-files.tsv, expected-attachments.tsv
// or expected-bodies.tsv.
QString corpusDir();
bool corpusAvailable();
QList<QStringList> corpusRows(const QString &table);

}  // namespace tnefbuild
