#include "TnefBuilder.h"

#include <QDir>
#include <QFile>
#include <QTextStream>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace tnefbuild {

QByteArray le16(quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); }
QByteArray le32(quint32 v) { return le16(quint16(v)) + le16(quint16(v >> 16)); }
QByteArray le64(quint64 v) { return le32(quint32(v)) + le32(quint32(v >> 32)); }
QByteArray z0(const char *text) { return QByteArray(text, qsizetype(qstrlen(text)) + 1); }
static QByteArray padded(const QByteArray &b) { return b + QByteArray((4 - b.size() % 4) % 4, '\0'); }

QByteArray utf16z(const QString &text)
{
    QByteArray out;
    for (QChar c : text)
        out += le16(c.unicode());
    return out + le16(0);
}

static QByteArray guid(quint8 seed)
{
    QByteArray g(16, '\0');
    for (int i = 0; i < 16; ++i)
        g[i] = char(seed + i);
    return g;
}

QByteArray embeddedPlaceholder()
{
    return z0("This attachment is a MAPI 1.0 embedded message and is not supported by this mail system.");
}

quint32 minutes(const QDate &date) { return quint32(QDate(1601, 1, 1).daysTo(date) * 1440); }

QByteArray zoneChange(quint16 month, quint16 dayOfWeek, quint16 week, quint16 hour)
{
    return le16(0) + le16(month) + le16(dayOfWeek) + le16(week) + le16(hour) + le16(0) + le16(0) + le16(0);
}

namespace {
const QByteArray kEasternBiases = le32(300) + le32(0) + le32(quint32(-60));
}

QByteArray easternZoneStruct()
{
    return kEasternBiases + le16(0) + zoneChange(11, 0, 1, 2) + le16(0) + zoneChange(3, 0, 2, 2);
}

QByteArray easternDefinition()
{
    const QString name = QStringLiteral("Eastern Standard Time");
    QByteArray d = QByteArray("\x02\x01", 2) + le16(quint16(6 + 2 * name.size())) + le16(2) + le16(quint16(name.size()))
        + utf16z(name).chopped(2) + le16(2);
    const QByteArray rules[][2] = {{zoneChange(10, 0, 5, 2), zoneChange(4, 0, 1, 2)},
                                   {zoneChange(11, 0, 1, 2), zoneChange(3, 0, 2, 2)}};
    for (int i = 0; i < 2; ++i)
        d += QByteArray("\x02\x01", 2) + le16(0x3E) + le16(i == 1 ? 2 : 0) + le16(quint16(2006 + i)) + QByteArray(14, '\0')
            + kEasternBiases + rules[i][0] + rules[i][1];
    return d;
}

QByteArray blob(quint16 frequency, quint16 patternType, const QByteArray &specific, quint32 period, quint32 endType,
                quint32 count, const QDate &first, const QDate &last, const QList<QDate> &deleted,
                const QList<QDate> &modified, quint16 calendarType)
{
    QByteArray b = le16(0x3004) + le16(0x3004) + le16(frequency) + le16(patternType) + le16(calendarType) + le32(0)
        + le32(period) + le32(0) + specific + le32(endType) + le32(count) + le32(0);
    for (const QList<QDate> &dates : {deleted, modified}) {
        b += le32(quint32(dates.size()));
        for (const QDate &d : dates)
            b += le32(minutes(d));
    }
    return b + le32(minutes(first)) + le32(minutes(last)) + le32(0x3006) + le32(0x3009) + le32(540) + le32(600) + le16(0);
}

MapiBlock &MapiBlock::named(quint32 numericName) { return namedKind(0, le32(numericName)); }

MapiBlock &MapiBlock::named(const QString &name)
{
    const QByteArray n = utf16z(name);
    return namedKind(1, le32(quint32(n.size())) + padded(n));
}

MapiBlock &MapiBlock::namedKind(quint32 kind, const QByteArray &rest)
{
    m_pendingName = guid(0x30) + le32(kind) + rest;
    return *this;
}

QByteArray propertySet(tnefprop::PropSet set)
{
    const tnefprop::Guid &g = tnefprop::guidOf(set);
    return QByteArray(reinterpret_cast<const char *>(g.data()), qsizetype(g.size()));
}

MapiBlock &MapiBlock::named(const QByteArray &set, quint32 numericName)
{
    m_pendingName = set + le32(0) + le32(numericName);
    return *this;
}

void MapiBlock::header(quint16 type, quint16 id)
{
    m_props += le16(type) + le16(id) + m_pendingName;
    m_pendingName.clear();
    ++m_count;
}

MapiBlock &MapiBlock::fixed(quint16 type, quint16 id, const QByteArray &value)
{
    header(type, id);
    m_valueOffsets.push_back(4 + int(m_props.size()));
    m_props += padded(value);
    return *this;
}

MapiBlock &MapiBlock::counted(quint16 type, quint16 id, const QList<QByteArray> &values)
{
    header(type, id);
    m_props += le32(quint32(values.size()));
    for (const QByteArray &v : values) {
        m_props += le32(quint32(v.size()));
        m_valueOffsets.push_back(4 + int(m_props.size()));
        m_props += padded(v);
    }
    return *this;
}

MapiBlock &MapiBlock::object(quint16 id, const QByteArray &contents)
{
    return counted(PT_OBJECT, id, {guid(0xA0) + contents});
}

MapiBlock &MapiBlock::multi(quint16 type, quint16 id, const QList<QByteArray> &values)
{
    header(type | 0x1000, id);
    m_props += le32(quint32(values.size()));
    const bool isCounted = type == PT_STRING8 || type == PT_UNICODE || type == PT_BINARY || type == PT_OBJECT;
    for (const QByteArray &v : values)
        m_props += (isCounted ? le32(quint32(v.size())) : QByteArray()) + padded(v);
    return *this;
}

Tnef::Tnef(quint16 key, quint32 signature) : m_bytes(le32(signature) + le16(key)) {}

Tnef &Tnef::object(quint8 level, quint32 attribute, const QByteArray &data, int checksum)
{
    quint32 sum = 0;
    for (char c : data)
        sum += quint8(c);
    m_bytes += char(level) + le32(attribute) + le32(quint32(data.size()));
    ++m_objects;
    m_bytes += data + le16(quint16(checksum < 0 ? sum : quint32(checksum)));
    return *this;
}

Tnef &Tnef::date(quint32 attribute, int year, int month, int day, int hour, int minute, int second,
                 int dayOfWeek)
{
    QByteArray d;
    for (int part : {year, month, day, hour, minute, second, dayOfWeek})
        d += le16(quint16(part));
    return object(attribute == attAttachCreateDate || attribute == attAttachModifyDate ? 2 : 1, attribute, d);
}

Tnef &Tnef::renddata(quint16 type, quint32 position, quint16 width, quint16 height, quint32 flags)
{
    return attach(attAttachRenddata, le16(type) + le32(position) + le16(width) + le16(height) + le32(flags));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

ForkFile::ForkFile(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("winmail.dat"));
    if (writeFile(path, bytes))
        FSOpenFork(path, fsRdPerm, &m_ref);
}

SInt64 ForkFile::position() const
{
    SInt64 pos = -1;
    FSGetForkPosition(m_ref, &pos);
    return pos;
}

QByteArray traceOf(const std::function<void()> &call)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *const stream = open_memstream(&buffer, &size);
    FILE *const oldFile = std::exchange(gTNEFParseDebugFile, stream);
    const bool oldOn = std::exchange(gTNEFParseTraceOn, true);
    call();
    gTNEFParseDebugFile = oldFile;
    gTNEFParseTraceOn = oldOn;
    fclose(stream);
    const QByteArray text(buffer, qsizetype(size));
    free(buffer);
    return text;
}

ParseRun::ParseRun(const QByteArray &bytes, bool trace)
{
    ForkFile file(bytes);
    const auto parse = [&] { status = TNEFParseFileList(file.ref(), &fileList, &attributeList); };
    if (trace) {
        this->trace = traceOf(parse);
    } else {
        FILE *const old = std::exchange(gTNEFParseDebugFile, nullptr);
        parse();
        gTNEFParseDebugFile = old;
    }
    for (const TNEFFileItem *f = fileList; f; f = f->next)
        files.push_back(f);
    for (const TNEFAttributeItem *a = attributeList; a; a = a->next)
        attributes.push_back(a);
}

void withSmallAddressSpace(const std::function<void()> &call)
{
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit old{};
    getrlimit(RLIMIT_AS, &old);
    rlimit capped = old;
    capped.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
    const bool set = pages > 0 && capped.rlim_cur < old.rlim_max && setrlimit(RLIMIT_AS, &capped) == 0;
    call();
    if (set)
        setrlimit(RLIMIT_AS, &old);
}

// PARVANE_CORPUS_DIR in the environment points a checkout elsewhere (a
// worktree, say) at the corpus.
QString corpusDir()
{
    return QDir::cleanPath(qEnvironmentVariable("PARVANE_CORPUS_DIR", QStringLiteral(PARVANE_CORPUS_DIR)));
}
bool corpusAvailable() { return QFile::exists(corpusDir() + QStringLiteral("/expected-files.tsv")); }

QList<QStringList> corpusRows(const QString &table)
{
    QList<QStringList> rows;
    QFile f(corpusDir() + QLatin1Char('/') + table);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&f);
    in.readLine();
    while (!in.atEnd()) {
        const QStringList row = in.readLine().split(QLatin1Char('\t'));
        if (row.size() > 1)
            rows.append(row);
    }
    return rows;
}

}  // namespace tnefbuild
