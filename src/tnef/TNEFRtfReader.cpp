#include "TNEFRtfReader.h"

#include <QString>
#include <string_view>

namespace rtfread {

namespace {

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

} // namespace

QByteArray Reader::run()
{
    for (Token t = m_lexer.next(); t.kind != Token::End; t = m_lexer.next()) {
        switch (t.kind) {
        case Token::Open: open(); break;
        case Token::Close: close(); break;
        case Token::Word: word(t); break;
        case Token::Symbol: symbol(t.symbol); break;
        case Token::Hex:
            if (skipFallback())
                break;
            if (m_state.destination == Destination::Own)
                takeBytes(QByteArrayView(reinterpret_cast<const char *>(&t.hex), 1));
            else if (emitting())
                appendByte(char(t.hex));
            break;
        case Token::Text: text(t.word); break;
        case Token::End: break;
        }
    }
    flush();
    finish();
    return m_out;
}

bool Reader::emitting() const
{
    if (m_state.destination == Destination::HtmlTag)
        return true;
    return m_state.destination == Destination::Normal && !(m_honourHtmlrtf && m_state.htmlrtf);
}

// A pending high surrogate waits for its other half across words and groups.
void Reader::flushOnChange()
{
    if (m_flushOnChange && !m_pending.isEmpty())
        flush();
}

void Reader::open()
{
    flushOnChange();
    m_skipCount = 0;
    if (m_stack.size() >= kMaxDepth) {
        ++m_overflow;
        return;
    }
    m_stack.push_back(m_state);
    m_star = false;
}

void Reader::close()
{
    flushOnChange();
    m_skipCount = 0;
    m_star = false;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.empty())
        return;
    const GroupState inner = std::move(m_state);
    m_state = std::move(m_stack.back());
    m_stack.pop_back();
    closed(inner);
}

// The \uc fallback characters after a \uN are not text.
bool Reader::skipFallback()
{
    if (m_skipCount == 0)
        return false;
    --m_skipCount;
    return true;
}

Reader::Font *Reader::definingFont()
{
    const auto it = m_fonts.find(m_definingFont);
    if (it != m_fonts.end())
        return &it->second;
    return m_fonts.size() < kMaxFonts ? &m_fonts[m_definingFont] : nullptr;
}

QByteArray Reader::fontName(SInt32 font) const
{
    const auto it = m_fonts.find(font);
    return it == m_fonts.end() ? QByteArray() : it->second.name;
}

void Reader::word(const Token &t)
{
    flushOnChange();
    if (m_star) {
        m_star = false;
        if (m_state.destination == Destination::Normal && takeStarred(t.word))
            return;
        m_state.destination = t.word == "htmltag" && m_mode == Mode::Html && m_state.destination != Destination::Skip
            ? Destination::HtmlTag : Destination::Skip;
        return;
    }
    if (m_state.destination == Destination::Skip)
        return;
    const WordInfo info = LookUpWord(t.word);
    if (m_state.destination == Destination::FontTable) {
        // The font being defined, and the code page of its characters.
        if (info.kind == WordKind::Font) {
            m_definingFont = t.param;
        } else if (info.kind == WordKind::Charset || (info.kind == WordKind::CodePage && t.param > 0)) {
            if (Font *font = definingFont())
                font->codePage = info.kind == WordKind::Charset ? SInt32(CodePageOfCharset(t.param, 0)) : t.param;
        }
        return;
    }
    if (takeWord(t))
        return;
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

void Reader::symbol(char s)
{
    if (s == '*') {
        m_star = true;
        return;
    }
    if (skipFallback())
        return;
    if (m_state.destination == Destination::Own) {
        if (s == '\\' || s == '{' || s == '}')
            takeBytes(QByteArrayView(&s, 1));
        return;
    }
    if (!emitting())
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

void Reader::text(QByteArrayView run)
{
    m_star = false;
    while (!run.isEmpty() && m_skipCount > 0) {
        run = run.sliced(1);
        --m_skipCount;
    }
    if (run.isEmpty())
        return;
    if (m_state.destination == Destination::Own) {
        takeBytes(run);
        return;
    }
    if (m_state.destination == Destination::FontTable) {
        // The font's name ends at its ';'.
        Font *font = definingFont();
        for (qsizetype i = 0; font && !font->named && i < run.size(); ++i) {
            if (run[i] == ';')
                font->named = true;
            else if (font->name.size() < kMaxFontName)
                font->name.append(run[i]);
        }
        return;
    }
    if (emitting())
        appendBytes(run);
}

// 8-bit text is gathered and decoded a run at a time, so that the two bytes
// of a double-byte character meet whatever escaped them.
UInt32 Reader::currentCodePage() const
{
    if (m_state.destination == Destination::HtmlTag)
        return m_documentCodePage;
    const auto it = m_fonts.find(m_state.font);
    return it != m_fonts.end() && it->second.codePage != 0 ? UInt32(it->second.codePage) : m_documentCodePage;
}

void Reader::appendBytes(QByteArrayView bytes)
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

// The two halves of a character beyond the BMP come as two \uN: they meet
// here before becoming UTF-8; a half alone is no character.
void Reader::appendChar(char16_t c)
{
    if (m_highSurrogate && QChar::isLowSurrogate(c) && m_pending.isEmpty()) {
        const QChar pair[2] = {QChar(m_highSurrogate), QChar(c)};
        put(QStringView(pair, 2).toUtf8());
        m_highSurrogate = 0;
        return;
    }
    flush();
    if (QChar::isHighSurrogate(c))
        m_highSurrogate = c;
    else if (c != 0)
        put(QString(QChar(QChar::isSurrogate(c) ? char16_t(QChar::ReplacementCharacter) : c)).toUtf8());
}

void Reader::appendText(const char16_t *text)
{
    flush();
    put(QString::fromUtf16(text).toUtf8());
}

void Reader::endSurrogate()
{
    if (m_highSurrogate)
        put(QString(QChar::ReplacementCharacter).toUtf8());
    m_highSurrogate = 0;
}

void Reader::flush()
{
    endSurrogate();
    if (m_pending.isEmpty())
        return;
    put(TextDecodeCodePage(m_pending.constData(), size_t(m_pending.size()), m_pendingCodePage).toUtf8());
    m_pending.clear();
}

// A long run is decoded a part at a time, so that its text never stands
// whole in UTF-16 beside the document. A byte below 0x80 is a character of
// its own or the second byte of one in every code page an RTF font names, so
// a part may end after it; a part takes at least half of what waits, so no
// byte is looked at more than twice. Without such a byte a single-byte code
// page is cut anywhere; a double-byte one waits for it.
void Reader::flushPart()
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
    put(TextDecodeCodePage(m_pending.constData(), size_t(end), m_pendingCodePage).toUtf8());
    m_pending.remove(0, end);
}

} // namespace rtfread
