#include "NativePath.h"

#include <QDir>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// A kept byte: a lone low surrogate in the escape range. The low half of a
// surrogate pair (U+10080 is D800 DC80) is a character of its own.
bool isEscapeAt(QStringView text, qsizetype i)
{
    const char16_t unit = text[i].unicode();
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF
        && !(i > 0 && text[i - 1].isHighSurrogate());
}

// Length of the well-formed UTF-8 sequence at bytes[i], or 0 when there is
// none (overlong forms, encoded surrogates and values past U+10FFFF included).
int sequenceLength(const QByteArray &bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0u; };
    const unsigned b0 = at(i);
    const auto continuation = [&](qsizetype k, unsigned low = 0x80, unsigned high = 0xBF) {
        return at(k) >= low && at(k) <= high;
    };
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return continuation(i + 1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        const unsigned low = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = b0 == 0xED ? 0x9F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        const unsigned low = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned high = b0 == 0xF4 ? 0x8F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2) && continuation(i + 3) ? 4 : 0;
    }
    return 0;
}

} // namespace

QString FSPathFromNative(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = sequenceLength(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + runStart, i - runStart);
        out += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        runStart = ++i;
    }
    out += QString::fromUtf8(bytes.constData() + runStart, bytes.size() - runStart);
    return out;
}

QByteArray FSPathToNative(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscapeAt(path, i))
            continue;
        out += QStringView(path).mid(runStart, i - runStart).toUtf8();
        out += char(path[i].unicode() - kEscapeBase);
        runStart = i + 1;
    }
    out += QStringView(path).mid(runStart).toUtf8();
    return out;
}

QString FSPathForDisplay(const QString &path)
{
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isEscapeAt(path, i))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString FSPathAbsolute(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    char *cwd = ::getcwd(nullptr, 0);
    const QString base = cwd ? FSPathFromNative(QByteArray(cwd)) : QDir::currentPath();
    std::free(cwd);
    return QDir::cleanPath(base + QLatin1Char('/') + path);
}
