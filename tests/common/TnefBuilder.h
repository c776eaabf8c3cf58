#pragma once
// Builds TNEF streams in code, so that each test shows the bytes it is about,
// and runs them through the file layer and the parser.
#include "platform/FileManager.h"
#include "tnef/TNEFParse.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <vector>

namespace tnefbuild {

QByteArray le16(quint16 value);
QByteArray le32(quint32 value);
QByteArray le64(quint64 value);
// The bytes followed by zero fill up to the next multiple of 4.
QByteArray padded(const QByteArray &bytes);
// UTF-16LE with its terminating zero unit, as MAPI stores PT_UNICODE values.
QByteArray utf16z(const QString &text);
// A 16-byte interface identifier (or property set) with recognisable bytes.
QByteArray guid(quint8 seed = 0x10);
// The 88 characters that stand in attAttachData for an attached message, and their zero.
QByteArray embeddedPlaceholder();

// One MAPI property block: the count, then the properties back to back.
class MapiBlock {
public:
    // Makes the next property a named one, with a numeric or a string name.
    MapiBlock &named(quint32 numericName);
    MapiBlock &named(const QString &name);
    // Any other name kind, for blocks that must fail.
    MapiBlock &namedKind(quint32 kind, const QByteArray &rest);

    // A fixed-size value: the bytes as given, filled to 4.
    MapiBlock &fixed(quint16 type, quint16 id, const QByteArray &value);
    MapiBlock &shortValue(quint16 id, quint16 v) { return fixed(PT_SHORT, id, le16(v)); }
    MapiBlock &longValue(quint16 id, quint32 v) { return fixed(PT_LONG, id, le32(v)); }
    MapiBlock &systime(quint16 id, quint64 v) { return fixed(PT_SYSTIME, id, le64(v)); }
    // A counted value (PT_STRING8, PT_UNICODE, PT_BINARY, PT_OBJECT): count,
    // then length, bytes and fill for each value.
    MapiBlock &counted(quint16 type, quint16 id, const QList<QByteArray> &values);
    MapiBlock &string8(quint16 id, const QByteArray &v) { return counted(PT_STRING8, id, {v}); }
    MapiBlock &unicode(quint16 id, const QString &text) { return counted(PT_UNICODE, id, {utf16z(text)}); }
    MapiBlock &binary(quint16 id, const QByteArray &v) { return counted(PT_BINARY, id, {v}); }
    // PT_OBJECT: the interface identifier, then the contents.
    MapiBlock &object(quint16 id, const QByteArray &contents) { return counted(PT_OBJECT, id, {guid(0xA0) + contents}); }
    // A multi-valued property (type | 0x1000): count, then each value in its layout.
    MapiBlock &multi(quint16 type, quint16 id, const QList<QByteArray> &values);
    // Bytes that the count does not see, or a count that lies.
    MapiBlock &raw(const QByteArray &bytes);
    MapiBlock &claimCount(quint32 count);

    QByteArray bytes() const;
    // Offset from the block's first byte of value i (in the order added; each
    // counted value has its own entry).
    int valueOffset(int i) const { return m_valueOffsets.at(i); }

private:
    void header(quint16 type, quint16 id);
    QByteArray m_props;
    quint32 m_count = 0;
    qint64 m_claimed = -1;
    QByteArray m_pendingName;
    std::vector<int> m_valueOffsets;
};

// A TNEF stream: signature, key, then objects.
class Tnef {
public:
    explicit Tnef(quint16 key = 0, quint32 signature = kTNEFSignature);
    // One object; checksum -1 stands for the right one (sum of the data bytes).
    Tnef &object(quint8 level, quint32 attribute, const QByteArray &data, int checksum = -1);
    Tnef &message(quint32 attribute, const QByteArray &data) { return object(1, attribute, data); }
    Tnef &attach(quint32 attribute, const QByteArray &data) { return object(2, attribute, data); }
    Tnef &raw(const QByteArray &bytes);

    Tnef &codepage(quint32 codePage) { return message(attOemCodepage, le32(codePage) + le32(0)); }
    Tnef &date(quint32 attribute, int year, int month, int day, int hour, int minute, int second,
               int dayOfWeek = 0);
    Tnef &title(const QByteArray &name) { return attach(attAttachTitle, name); }
    Tnef &data(const QByteArray &contents) { return attach(attAttachData, contents); }
    Tnef &renddata(quint16 type, quint32 position, quint16 width, quint16 height, quint32 flags);
    Tnef &attachment(const MapiBlock &block) { return attach(attAttachment, block.bytes()); }
    Tnef &mapiProps(const MapiBlock &block) { return message(attMAPIProps, block.bytes()); }

    struct Object {
        quint8 level;
        quint32 attribute;
        qint64 position;  // of the data
        quint32 length;
        quint16 checksum;
    };
    const QByteArray &bytes() const { return m_bytes; }
    qint64 size() const { return m_bytes.size(); }
    const std::vector<Object> &objects() const { return m_objects; }
    // Position of the data of object i (0-based; -1 for the last one).
    qint64 dataPos(int i = -1) const { return (i < 0 ? m_objects.back() : m_objects.at(size_t(i))).position; }

private:
    QByteArray m_bytes;
    std::vector<Object> m_objects;
};

// Bytes written to a file in a temporary folder whose data fork is open for
// reading; closed when it goes.
class ForkFile {
public:
    explicit ForkFile(const QByteArray &bytes);
    ~ForkFile();
    ForkFile(const ForkFile &) = delete;
    ForkFile &operator=(const ForkFile &) = delete;
    SInt16 ref() const { return m_ref; }
    QString path() const { return m_path; }
    OSErr status() const { return m_status; }
    SInt64 position() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    SInt16 m_ref = 0;
    OSErr m_status = noErr;
};

// Points the parse trace at memory while it lives.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;
    QByteArray text();

private:
    char *m_buffer = nullptr;
    size_t m_size = 0;
    FILE *m_stream = nullptr;
    FILE *m_oldFile = nullptr;
    bool m_oldOn = false;
};

// One whole parse of the given bytes: status, trace and both lists.
struct ParseRun {
    explicit ParseRun(const QByteArray &bytes, bool trace = true);
    ~ParseRun();
    ParseRun(const ParseRun &) = delete;
    ParseRun &operator=(const ParseRun &) = delete;

    SInt32 status = 0;
    QByteArray trace;
    TNEFFileItem *fileList = nullptr;
    TNEFAttributeItem *attributeList = nullptr;
    std::vector<const TNEFFileItem *> files;
    std::vector<const TNEFAttributeItem *> attributes;
};

// Runs `call` with the address space capped a little above what the process
// uses now, so that an allocation sized by an untrusted length fails loudly
// instead of being quietly overcommitted.
void withSmallAddressSpace(const std::function<void()> &call);

// The corpus of real files, with the results they must give.
QString corpusDir();
bool corpusAvailable();
struct CorpusFile {
    QString file;
    int result = 0;
    int attachments = 0;
};
struct CorpusAttachment {
    QString file;
    quint32 id = 0;
    bool embedded = false;
    quint64 size = 0;
    QByteArray sha256;  // lower-case hex
    QString name;       // empty for an untitled attachment
};
QList<CorpusFile> corpusFiles();
QList<CorpusAttachment> corpusAttachments();

}  // namespace tnefbuild
