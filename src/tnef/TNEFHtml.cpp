#include "TNEFHtml.h"

#include "TNEFHtmlEntities.h"
#include "platform/TextCodec.h"

#include <QRegularExpression>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Where the charset value of the first <meta> element from `from` on that
// has one lies: [start, end), or false. An element ends at its first '>'
// (or the end of the document) and the search goes on after it: no byte is
// looked at more than a few times, whatever the document.
bool FindMetaCharset(QByteArrayView html, qsizetype from, qsizetype *start, qsizetype *end)
{
    const qsizetype n = html.size();
    const char *b = html.data();
    for (qsizetype at = html.indexOf('<', from); at >= 0 && at < n; at = html.indexOf('<', at + 1)) {
        if (n - at < 5 || qstrnicmp(b + at, "<meta", 5) != 0)
            continue;
        qsizetype close = html.indexOf('>', at);
        if (close < 0)
            close = n;
        for (qsizetype p = at + 5; p + 7 <= close; ++p) {
            if (qstrnicmp(b + p, "charset", 7) != 0)
                continue;
            p += 7;
            while (p < close && (b[p] == ' ' || b[p] == '='))
                ++p;
            if (p < close && (b[p] == '"' || b[p] == '\''))
                ++p;
            qsizetype q = p;
            while (q < close && (std::isalnum(static_cast<unsigned char>(b[q])) || (b[q] && std::strchr("-_.:", b[q]))))
                ++q;
            if (q > p) {
                *start = p;
                *end = q;
                return true;
            }
            break;
        }
        at = close;
    }
    return false;
}

bool IsAsciiAlnum(QChar c)
{
    return c.unicode() < 0x80 && std::isalnum(int(c.unicode()));
}

// The named reference that is `name` exactly, or null.
const TNEFHtmlEntity *FindEntity(std::string_view name)
{
    const TNEFHtmlEntity *begin = kTNEFHtmlEntities, *end = begin + kTNEFHtmlEntityCount;
    const TNEFHtmlEntity *it = std::lower_bound(begin, end, name, [](const TNEFHtmlEntity &e, std::string_view n) {
        return std::string_view(e.name) < n;
    });
    return it != end && std::string_view(it->name) == name ? it : nullptr;
}

void AppendCode(char32_t code, QString *out)
{
    *out += QString::fromUcs4(&code, 1);
}

// The character reference at html[i] ('&'), decoded into *out as HTML
// decodes one in text; the index after it. What is no reference is the '&'
// alone, and the rest is read as text.
qsizetype DecodeReference(QStringView html, qsizetype i, QString *out)
{
    const qsizetype n = html.size();
    qsizetype p = i + 1;
    if (p < n && html[p] == QLatin1Char('#')) {
        ++p;
        const bool hex = p < n && (html[p] == QLatin1Char('x') || html[p] == QLatin1Char('X'));
        p += hex ? 1 : 0;
        const qsizetype digits = p;
        char32_t code = 0;
        for (; p < n; ++p) {
            const char16_t c = html[p].unicode();
            int d = c >= '0' && c <= '9' ? c - '0' : -1;
            if (hex && d < 0 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
                d = (c | 0x20) - 'a' + 10;
            if (d < 0)
                break;
            code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(d), 0x110000);
        }
        if (p == digits) {
            *out += QLatin1Char('&');
            return i + 1;
        }
        if (p < n && html[p] == QLatin1Char(';'))
            ++p;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = QChar::ReplacementCharacter;
        } else if (code >= 0x80 && code <= 0x9F) {
            // What Windows-1252 puts there, where it puts anything.
            const char byte = char(code);
            const QString mapped = TextDecodeCodePage(&byte, 1, kCodePageDefault);
            if (mapped.size() == 1 && mapped[0] != QChar::ReplacementCharacter)
                code = mapped[0].unicode();
        }
        AppendCode(code, out);
        return p;
    }
    // The longest name that matches: one that ends in ';', else one of the
    // few old ones that may go without it.
    constexpr size_t kLongestName = 32, kLongestBareName = 6;
    std::string name;
    while (p < n && name.size() < kLongestName && IsAsciiAlnum(html[p]))
        name += char(html[p++].unicode());
    const TNEFHtmlEntity *entity = nullptr;
    qsizetype next = p + 1;
    if (p < n && html[p] == QLatin1Char(';'))
        entity = FindEntity(name + ';');
    for (size_t length = std::min(name.size(), kLongestBareName); !entity && length >= 2; --length) {
        entity = FindEntity(std::string_view(name).substr(0, length));
        next = i + 1 + qsizetype(length);
    }
    if (!entity) {
        *out += QLatin1Char('&');
        return i + 1;
    }
    AppendCode(entity->first, out);
    if (entity->second)
        AppendCode(entity->second, out);
    return next;
}

} // namespace

QByteArray TNEFHtmlDeclareUtf8(QByteArray html)
{
    qsizetype start = 0, end = 0, from = 0;
    QByteArray out;
    while (FindMetaCharset(html, from, &start, &end)) {
        out.append(QByteArrayView(html).sliced(from, start - from)).append("utf-8");
        from = end;
    }
    if (from == 0)
        return html;
    return out.append(QByteArrayView(html).sliced(from));
}

QByteArray TNEFHtmlDeclaredCharset(const QByteArray &html)
{
    qsizetype start = 0, end = 0;
    return FindMetaCharset(html, 0, &start, &end) ? html.mid(start, end - start) : QByteArray();
}

QString TNEFHtmlToText(const QString &html)
{
    static const QStringList kHidden{QStringLiteral("head"), QStringLiteral("script"), QStringLiteral("style"),
                                     QStringLiteral("title")};
    static const QStringList kBlocks{QStringLiteral("p"), QStringLiteral("div"), QStringLiteral("tr"),
                                     QStringLiteral("li"), QStringLiteral("table"), QStringLiteral("blockquote"),
                                     QStringLiteral("pre"), QStringLiteral("h1"), QStringLiteral("h2"),
                                     QStringLiteral("h3"), QStringLiteral("h4"), QStringLiteral("h5"),
                                     QStringLiteral("h6"), QStringLiteral("hr")};
    QString out;
    const auto newline = [&] {
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
        out += QLatin1Char('\n');
    };
    const qsizetype n = html.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('<')) {
            if (html.mid(i, 4) == QLatin1String("<!--")) {
                const qsizetype close = html.indexOf(QLatin1String("-->"), i + 4);
                i = close < 0 ? n : close + 3;
                continue;
            }
            const qsizetype close = html.indexOf(QLatin1Char('>'), i);
            if (close < 0)
                break;
            qsizetype start = i + 1;
            const bool closing = start < close && html.at(start) == QLatin1Char('/');
            start += closing ? 1 : 0;
            qsizetype end = start;
            while (end < close && html.at(end).isLetterOrNumber())
                ++end;
            const QString name = html.mid(start, end - start).toLower();
            i = close + 1;
            if (!closing && kHidden.contains(name)) {
                const qsizetype end = html.indexOf(QLatin1String("</") + name, i, Qt::CaseInsensitive);
                const qsizetype endClose = end < 0 ? -1 : html.indexOf(QLatin1Char('>'), end);
                i = endClose < 0 ? n : endClose + 1;
            } else if (name == QLatin1String("br") || kBlocks.contains(name)) {
                newline();
            } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
                out += QLatin1Char('\t');
            }
            continue;
        }
        if (c == QLatin1Char('&')) {
            i = DecodeReference(html, i, &out);
            continue;
        }
        if (c.isSpace()) {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char(' ')) && !out.endsWith(QLatin1Char('\n')))
                out += QLatin1Char(' ');
        } else {
            out += c;
        }
        ++i;
    }
    // No more than one empty line in a row, none at either end.
    out.replace(QRegularExpression(QStringLiteral("\n{3,}")), QStringLiteral("\n\n"));
    out = out.trimmed();
    out.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return out.isEmpty() ? out : out + QLatin1String("\r\n");
}

QString TNEFHtmlContentIdBare(QString id)
{
    id = id.trimmed();
    if (id.startsWith(QLatin1Char('<')) && id.endsWith(QLatin1Char('>')))
        id = id.mid(1, id.size() - 2);
    return id;
}

QString TNEFHtmlContentIdKey(const QString &id)
{
    const QString bare = TNEFHtmlContentIdBare(id);
    const qsizetype at = bare.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? bare : bare.left(at) + bare.mid(at).toLower();
}
