#include "TNEFRtfText.h"

#include "platform/MacTypes.h"
#include "platform/TextCodec.h"

#include <QByteArrayView>
#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// One lexical piece of RTF.
struct Token {
    enum Kind { End, Open, Close, Word, Symbol, Hex, Text } kind = End;
    QByteArrayView word;  // Word: the letters; Text: the run
    bool hasParam = false;
    SInt32 param = 0;
    char symbol = 0;      // Symbol: the character after the backslash
    UInt8 hex = 0;        // Hex: the byte of \'hh
};

class Lexer {
public:
    explicit Lexer(const QByteArray &rtf) : m_p(rtf.constData()), m_end(rtf.constData() + rtf.size()) {}

    Token next()
    {
        Token t;
        // Line ends in the source are not text.
        while (m_p < m_end && (*m_p == '\r' || *m_p == '\n'))
            ++m_p;
        if (m_p >= m_end)
            return t;
        const char c = *m_p++;
        if (c == '{' || c == '}') {
            t.kind = c == '{' ? Token::Open : Token::Close;
            return t;
        }
        if (c != '\\') {
            const char *start = m_p - 1;
            while (m_p < m_end && !std::strchr("{}\\\r\n", *m_p))
                ++m_p;
            t.kind = Token::Text;
            t.word = QByteArrayView(start, m_p - start);
            return t;
        }
        if (m_p >= m_end)
            return t;
        if (isLetter(*m_p))
            return controlWord();
        const char s = *m_p++;
        if (s == '\'') {
            int value = 0, digits = 0;
            for (; digits < 2 && m_p < m_end && hexValue(*m_p) >= 0; ++digits)
                value = value * 16 + hexValue(*m_p++);
            t.kind = Token::Hex;
            t.hex = UInt8(value);
            return t;
        }
        // A backslash before a line end stands for \par.
        if (s == '\r' || s == '\n') {
            t.kind = Token::Word;
            t.word = "par";
            return t;
        }
        t.kind = Token::Symbol;
        t.symbol = s;
        return t;
    }

private:
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    Token controlWord()
    {
        Token t;
        t.kind = Token::Word;
        const char *start = m_p;
        while (m_p < m_end && isLetter(*m_p) && m_p - start < 32)
            ++m_p;
        t.word = QByteArrayView(start, m_p - start);
        bool negative = false;
        if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && m_p[1] >= '0' && m_p[1] <= '9') {
            negative = true;
            ++m_p;
        }
        SInt64 value = 0;
        for (int digits = 0; m_p < m_end && *m_p >= '0' && *m_p <= '9'; ++digits, ++m_p) {
            t.hasParam = true;
            if (digits < 10)
                value = value * 10 + (*m_p - '0');
        }
        value = std::min<SInt64>(value, 0x7FFFFFFF);
        t.param = SInt32(negative ? -value : value);
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        // Binary data follows \binN: it is passed over whole.
        if (t.word == "bin" && t.hasParam && t.param > 0)
            m_p += std::min<SInt64>(t.param, m_end - m_p);
        return t;
    }

    const char *m_p;
    const char *m_end;
};

// Windows code pages of the RTF font character sets.
UInt32 CodePageOfCharset(SInt32 charset, UInt32 documentCodePage)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return documentCodePage;  // 1 (default), 2 (symbol) and unknown sets
    }
}

// Code pages whose characters may take more than one byte.
bool IsMultiByteCodePage(UInt32 codePage)
{
    switch (codePage) {
    case 932: case 936: case 949: case 950: case 1361: case 20932: case 51932: case 51949: case 54936: case 65001:
        return true;
    default:
        return false;
    }
}

// What a control word does here; a word of no meaning here is Other.
enum class WordKind : UInt8 {
    Other, SkipGroup, FontTable, HtmlRtf, Unicode, Uc, AnsiCpg, Mac, Pc, Pca, Deff, Font, Plain,
    Charset, CodePage, Text,
};
struct WordInfo {
    WordKind kind = WordKind::Other;
    const char16_t *text = nullptr;  // Text: what the word stands for
};

WordInfo LookUpWord(QByteArrayView word)
{
    static const std::unordered_map<std::string_view, WordInfo> kWords = [] {
        std::unordered_map<std::string_view, WordInfo> words;
        // Groups whose contents are never text.
        for (const char *w : {"colortbl", "stylesheet", "info", "pict", "objdata", "objclass", "objname", "fldinst",
                              "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
                              "listtable", "listoverridetable", "revtbl", "rsidtbl", "xmlnstbl", "filetbl",
                              "themedata", "colorschememapping", "datastore", "latentstyles", "pgdsctbl",
                              "generator", "footnote", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
                              "aftncn", "annotation", "atnid", "atnauthor", "template", "nonshppict", "shpinst",
                              "bkmkstart", "bkmkend", "userprops", "docvar", "xe", "tc", "txe"})
            words[w] = {WordKind::SkipGroup};
        // Words that stand for text.
        const std::pair<const char *, const char16_t *> texts[] = {
            {"par", u"\r\n"}, {"line", u"\r\n"}, {"sect", u"\r\n"}, {"page", u"\r\n"}, {"row", u"\r\n"},
            {"tab", u"\t"}, {"cell", u"\t"}, {"lquote", u"\u2018"}, {"rquote", u"\u2019"},
            {"ldblquote", u"\u201C"}, {"rdblquote", u"\u201D"}, {"bullet", u"\u2022"},
            {"endash", u"\u2013"}, {"emdash", u"\u2014"}, {"enspace", u"\u2002"}, {"emspace", u"\u2003"},
            {"qmspace", u"\u2005"}, {"zwj", u"\u200D"}, {"zwnj", u"\u200C"}, {"ltrmark", u"\u200E"},
            {"rtlmark", u"\u200F"},
        };
        for (const auto &[w, text] : texts)
            words[w] = {WordKind::Text, text};
        const std::pair<const char *, WordKind> others[] = {
            {"fonttbl", WordKind::FontTable}, {"htmlrtf", WordKind::HtmlRtf}, {"u", WordKind::Unicode},
            {"uc", WordKind::Uc}, {"ansicpg", WordKind::AnsiCpg}, {"mac", WordKind::Mac}, {"pc", WordKind::Pc},
            {"pca", WordKind::Pca}, {"deff", WordKind::Deff}, {"f", WordKind::Font}, {"plain", WordKind::Plain},
            {"fcharset", WordKind::Charset}, {"cpg", WordKind::CodePage},
        };
        for (const auto &[w, kind] : others)
            words[w] = {kind};
        return words;
    }();
    const auto it = kWords.find(std::string_view(word.data(), size_t(word.size())));
    return it == kWords.end() ? WordInfo{} : it->second;
}

enum class Destination : UInt8 { Normal, Skip, FontTable, HtmlTag };

struct GroupState {
    Destination destination = Destination::Normal;
    bool htmlrtf = false;
    SInt32 font = -1;
    SInt32 uc = 1;
};

// Walks the document once and collects what one reading wants: the HTML of
// an encapsulating document, or the text of any.
class Reader {
public:
    enum class Mode { Html, Text };

    Reader(const QByteArray &rtf, Mode mode, bool honourHtmlrtf)
        : m_lexer(rtf), m_mode(mode), m_honourHtmlrtf(honourHtmlrtf) {}

    QByteArray run()
    {
        for (Token t = m_lexer.next(); t.kind != Token::End; t = m_lexer.next()) {
            switch (t.kind) {
            case Token::Open: open(); break;
            case Token::Close: close(); break;
            case Token::Word: word(t); break;
            case Token::Symbol: symbol(t.symbol); break;
            case Token::Hex:
                if (!skipFallback() && emitting())
                    appendByte(char(t.hex));
                break;
            case Token::Text: text(t.word); break;
            case Token::End: break;
            }
        }
        flush();
        return m_out;
    }

private:
    // Nesting deeper than this is counted, not remembered: such a document
    // is not one a mail program wrote, and its memory stays bounded.
    static constexpr size_t kMaxDepth = 512;
    static constexpr qsizetype kPendingLimit = 64 * 1024;

    bool emitting() const
    {
        if (m_state.destination == Destination::HtmlTag)
            return true;
        return m_state.destination == Destination::Normal && !(m_honourHtmlrtf && m_state.htmlrtf);
    }

    void open()
    {
        m_skipCount = 0;
        if (m_stack.size() >= kMaxDepth) {
            ++m_overflow;
            return;
        }
        m_stack.push_back(m_state);
        m_star = false;
    }

    void close()
    {
        m_skipCount = 0;
        m_star = false;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (m_stack.empty())
            return;
        m_state = m_stack.back();
        m_stack.pop_back();
    }

    // The \uc fallback characters after a \uN are not text.
    bool skipFallback()
    {
        if (m_skipCount == 0)
            return false;
        --m_skipCount;
        return true;
    }

    void word(const Token &t)
    {
        if (m_star) {
            m_star = false;
            m_state.destination = t.word == "htmltag" && m_mode == Mode::Html && m_state.destination != Destination::Skip
                ? Destination::HtmlTag : Destination::Skip;
            return;
        }
        if (m_state.destination == Destination::Skip)
            return;
        const WordInfo info = LookUpWord(t.word);
        if (m_state.destination == Destination::FontTable) {
            // The font being defined, and the code page of its characters.
            if (info.kind == WordKind::Font)
                m_definingFont = t.param;
            else if (info.kind == WordKind::Charset)
                m_fontCodePages[m_definingFont] = SInt32(CodePageOfCharset(t.param, 0));
            else if (info.kind == WordKind::CodePage && t.param > 0)
                m_fontCodePages[m_definingFont] = t.param;
            return;
        }
        switch (info.kind) {
        case WordKind::SkipGroup: m_state.destination = Destination::Skip; break;
        case WordKind::FontTable: m_state.destination = Destination::FontTable; break;
        case WordKind::HtmlRtf: m_state.htmlrtf = !t.hasParam || t.param != 0; break;
        case WordKind::Unicode:
            if (!t.hasParam)
                break;
            if (!skipFallback() && emitting())
                appendChar(char16_t(UInt16(t.param)));
            m_skipCount = std::max<SInt32>(m_state.uc, 0);
            break;
        case WordKind::Uc: m_state.uc = std::clamp<SInt32>(t.param, 0, 16); break;
        case WordKind::AnsiCpg:
            if (t.param > 0)
                m_documentCodePage = UInt32(t.param);
            break;
        case WordKind::Mac: m_documentCodePage = 10000; break;
        case WordKind::Pc: m_documentCodePage = 437; break;
        case WordKind::Pca: m_documentCodePage = 850; break;
        case WordKind::Deff:
            m_defaultFont = t.param;
            m_state.font = t.param;
            break;
        case WordKind::Font: m_state.font = t.param; break;
        case WordKind::Plain: m_state.font = m_defaultFont; break;
        case WordKind::Text:
            if (!skipFallback() && emitting())
                appendText(info.text);
            break;
        case WordKind::Charset:
        case WordKind::CodePage:
        case WordKind::Other: break;
        }
    }

    void symbol(char s)
    {
        if (s == '*') {
            m_star = true;
            return;
        }
        if (skipFallback() || !emitting())
            return;
        switch (s) {
        case '\\':
        case '{':
        case '}': appendByte(s); break;
        case '~': appendChar(u'\u00A0'); break;
        case '_': appendChar(u'\u2011'); break;
        case '\t': appendChar(u'\t'); break;
        default: break;  // \- (optional hyphen), \: and the like
        }
    }

    void text(QByteArrayView run)
    {
        m_star = false;
        while (!run.isEmpty() && m_skipCount > 0) {
            run = run.sliced(1);
            --m_skipCount;
        }
        if (run.isEmpty() || !emitting())
            return;
        appendBytes(run);
    }

    // 8-bit text is gathered and decoded a run at a time, so that the two
    // bytes of a double-byte character meet whatever escaped them.
    UInt32 currentCodePage() const
    {
        if (m_state.destination == Destination::HtmlTag)
            return m_documentCodePage;
        const auto it = m_fontCodePages.find(m_state.font);
        return it != m_fontCodePages.end() && it->second != 0 ? UInt32(it->second) : m_documentCodePage;
    }
    void appendBytes(QByteArrayView bytes)
    {
        const UInt32 codePage = currentCodePage();
        if (!m_pending.isEmpty() && codePage != m_pendingCodePage)
            flush();
        m_pendingCodePage = codePage;
        // A zero byte would end the run's text where it stands.
        for (char c : bytes) {
            if (c != 0)
                m_pending.append(c);
            if (m_pending.size() >= m_pendingLimit)
                flushPart();
        }
    }
    void appendByte(char c) { appendBytes(QByteArrayView(&c, 1)); }
    // The two halves of a character beyond the BMP come as two \uN: they
    // meet here before becoming UTF-8; a half alone is no character.
    void appendChar(char16_t c)
    {
        if (m_highSurrogate && QChar::isLowSurrogate(c) && m_pending.isEmpty()) {
            const QChar pair[2] = {QChar(m_highSurrogate), QChar(c)};
            m_out.append(QStringView(pair, 2).toUtf8());
            m_highSurrogate = 0;
            return;
        }
        flush();
        if (QChar::isHighSurrogate(c))
            m_highSurrogate = c;
        else if (c != 0)
            m_out.append(QString(QChar(QChar::isSurrogate(c) ? char16_t(QChar::ReplacementCharacter) : c)).toUtf8());
    }
    void appendText(const char16_t *text)
    {
        flush();
        m_out.append(QString::fromUtf16(text).toUtf8());
    }
    void endSurrogate()
    {
        if (m_highSurrogate)
            m_out.append(QString(QChar::ReplacementCharacter).toUtf8());
        m_highSurrogate = 0;
    }
    void flush()
    {
        endSurrogate();
        if (m_pending.isEmpty())
            return;
        m_out.append(TextDecodeCodePage(m_pending.constData(), size_t(m_pending.size()), m_pendingCodePage).toUtf8());
        m_pending.clear();
    }
    // A long run is decoded a part at a time, so that its text never stands
    // whole in UTF-16 beside the document. A byte below 0x80 is a character
    // of its own or the second byte of one in every code page an RTF font
    // names, so a part may end after it; a part takes at least half of what
    // waits, so no byte is looked at more than twice. Without such a byte a
    // single-byte code page is cut anywhere; a double-byte one waits for it.
    void flushPart()
    {
        qsizetype end = -1;
        for (qsizetype i = m_pending.size() - 1; i >= m_pending.size() / 2 && end < 0; --i) {
            if (static_cast<unsigned char>(m_pending[i]) < 0x80)
                end = i + 1;
        }
        if (end < 0 && IsMultiByteCodePage(m_pendingCodePage)) {
            m_pendingLimit = m_pending.size() * 2;
            return;
        }
        if (end < 0)
            end = m_pending.size();
        m_pendingLimit = kPendingLimit;
        endSurrogate();
        m_out.append(TextDecodeCodePage(m_pending.constData(), size_t(end), m_pendingCodePage).toUtf8());
        m_pending.remove(0, end);
    }

    Lexer m_lexer;
    Mode m_mode;
    bool m_honourHtmlrtf;
    GroupState m_state;
    std::vector<GroupState> m_stack;
    size_t m_overflow = 0;
    bool m_star = false;
    SInt32 m_skipCount = 0;
    UInt32 m_documentCodePage = kCodePageDefault;
    SInt32 m_defaultFont = -1;
    SInt32 m_definingFont = -1;
    std::unordered_map<SInt32, SInt32> m_fontCodePages;
    QByteArray m_pending;
    qsizetype m_pendingLimit = kPendingLimit;
    UInt32 m_pendingCodePage = 0;
    char16_t m_highSurrogate = 0;
    QByteArray m_out;  // UTF-8
};

} // namespace

TNEFRtfOrigin TNEFRtfGetOrigin(const QByteArray &rtf)
{
    // The mark stands in the header, among the document's first control
    // words: before its first group or text.
    Lexer lexer(rtf);
    int depth = 0;
    for (Token t = lexer.next(); t.kind != Token::End; t = lexer.next()) {
        if (t.kind == Token::Open) {
            if (++depth > 1)
                break;
        } else if (t.kind == Token::Word && depth == 1) {
            if (t.word == "fromhtml")
                return t.hasParam && t.param == 1 ? TNEFRtfOrigin::Html : TNEFRtfOrigin::Rtf;
            if (t.word == "fromtext")
                return TNEFRtfOrigin::Text;
        } else if (t.kind != Token::Word) {
            break;
        }
    }
    return TNEFRtfOrigin::Rtf;
}

QByteArray TNEFRtfToHtml(const QByteArray &rtf)
{
    if (TNEFRtfGetOrigin(rtf) != TNEFRtfOrigin::Html)
        return QByteArray();
    return Reader(rtf, Reader::Mode::Html, true).run();
}

QByteArray TNEFRtfToText(const QByteArray &rtf)
{
    // A document made from HTML shows its line breaks in the RTF-only
    // regions, so those are read as text; one made from text marks only what
    // it added.
    return Reader(rtf, Reader::Mode::Text, TNEFRtfGetOrigin(rtf) == TNEFRtfOrigin::Text).run();
}
