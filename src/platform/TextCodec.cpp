#include "TextCodec.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace {

bool printable(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Separator_Line: case QChar::Separator_Paragraph: case QChar::Other_Control: case QChar::Other_Format:
    case QChar::Other_Surrogate: case QChar::Other_PrivateUse: case QChar::Other_NotAssigned:
        return false;
    default:
        return true;
    }
}

// Windows-1252 is the fallback for every undeclared or unknown code page, so
// it is decoded here rather than through a converter that may be missing.
const char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

QString decode1252(const char *bytes, size_t length)
{
    QString out;
    out.reserve(static_cast<qsizetype>(length));
    for (size_t i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    }
    return out;
}

QByteArray converterName(UInt32 codePage)
{
    switch (codePage) {
    case 65001: return "UTF-8";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 20127: return "US-ASCII";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 50220: return "ISO-2022-JP";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    case 54936: return "GB18030";
    case 10000: return "macintosh";
    default: break;
    }
    if (codePage >= 28591 && codePage <= 28606)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    if (codePage == 874 || (codePage >= 1250 && codePage <= 1258))
        return "windows-" + QByteArray::number(codePage);
    return "cp" + QByteArray::number(codePage);
}

// Whether a converter exists is asked once per code page.
bool converterAvailable(UInt32 codePage)
{
    static std::mutex lock;
    static std::unordered_map<UInt32, bool> known;
    std::lock_guard<std::mutex> guard(lock);
    auto it = known.find(codePage);
    if (it != known.end())
        return it->second;
    QStringDecoder probe(converterName(codePage).constData());
    return known[codePage] = probe.isValid();
}

size_t textLength(const char *bytes, size_t length, UInt32 codePage)
{
    if (codePage == kCodePageUTF16LE || codePage == 1201) {
        size_t units = length / 2;
        for (size_t i = 0; i < units; ++i)
            if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0)
                return 2 * i;
        return units * 2;
    }
    for (size_t i = 0; i < length; ++i)
        if (bytes[i] == 0)
            return i;
    return length;
}

} // namespace

bool TextCodePageSupported(UInt32 codePage)
{
    return codePage == kCodePageDefault || (codePage != 0 && converterAvailable(codePage));
}

QString TextDecodeCodePage(const char *bytes, size_t length, UInt32 codePage)
{
    if (!bytes || length == 0)
        return QString();
    length = textLength(bytes, length, codePage);
    if (codePage == kCodePageUTF16LE) {
        QString out(static_cast<qsizetype>(length / 2), Qt::Uninitialized);
        for (size_t i = 0; i < length / 2; ++i)
            out[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(
                static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8)));
        // Unpaired surrogates are not text: show them as replacement characters.
        for (qsizetype i = 0; i < out.size(); ++i) {
            const QChar c = out.at(i);
            if (c.isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (c.isSurrogate())
                out[i] = QChar::ReplacementCharacter;
        }
        return out;
    }
    if (codePage == 0 || codePage == kCodePageDefault || !converterAvailable(codePage))
        return decode1252(bytes, length);
    QStringDecoder decoder(converterName(codePage).constData());
    return decoder.decode(QByteArrayView(bytes, static_cast<qsizetype>(length)));
}

std::string TextDecodeCodePageToUtf8(const char *bytes, size_t length, UInt32 codePage)
{
    return TextDecodeCodePage(bytes, length, codePage).toStdString();
}

QString TextWithoutControls(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u == u'\r' || u == u'\n' || u == 0x85 || u == 0x2028 || u == 0x2029) {
            // Readers that split lines on any of these would see a new line
            // where the writer sees text: all become the one break it escapes.
            if (u == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            kept += QLatin1Char('\n');
        } else if (!((u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F))) {
            kept += text.at(i);
        }
    }
    return kept;
}

QString TextAsOneLine(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return text;
}

bool TextIsOneLine(const QString &text)
{
    const QList<uint> characters = text.toUcs4();
    return !characters.isEmpty()
        && std::all_of(characters.begin(), characters.end(), [](uint c) { return printable(c); });
}

QByteArray TextForLog(const QString &text)
{
    QString shown;
    for (const char32_t c : text.left(200).toUcs4())
        shown += printable(c) ? QString::fromUcs4(&c, 1) : QStringLiteral("?");
    return shown.toUtf8();
}
