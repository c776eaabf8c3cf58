#pragma once
// The one reading of RTF that the text, the HTML a document carries and the
// HTML made from a document share: its tokens, its groups and what each
// group carries, and its 8-bit text decoded in the code page of its font or
// of the document. What a reading makes of it is a subclass's.
#include "platform/MacTypes.h"
#include "platform/TextCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace rtfread {

// One lexical piece of RTF.
struct Token {
    enum Kind { End, Open, Close, Word, Symbol, Hex, Text } kind = End;
    QByteArrayView word;  // Word: the letters; Text: the run
    QByteArrayView data;  // Word "bin": the binary data that follows it
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
        if (t.word == "bin" && t.hasParam && t.param > 0) {
            const SInt64 length = std::min<SInt64>(t.param, m_end - m_p);
            t.data = QByteArrayView(m_p, length);
            m_p += length;
        }
        return t;
    }

    const char *m_p;
    const char *m_end;
};

enum class Destination : UInt8 {
    Normal,
    Skip,
    FontTable,
    HtmlTag,
    Own,  // one of a subclass's, which GroupState::own names
};

// The character and paragraph properties that made HTML shows; the other
// readings leave them alone.
struct Look {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    SInt32 color = 0;       // an index into the colour table, 0: automatic
    SInt32 background = 0;
    SInt32 size = 0;        // half points, 0: not given
    QByteArray link;        // the href, already escaped, of the field result the text is in
    UInt8 align = 0;        // left, centre, right, justified
    bool table = false;     // \intbl
    bool list = false;      // \ls
};

struct GroupState {
    Destination destination = Destination::Normal;
    UInt8 own = 0;
    bool htmlrtf = false;
    SInt32 font = -1;
    SInt32 uc = 1;
    Look look;
};

// Walks the document once and hands what it holds to a reading: text as
// UTF-8 through put(), the rest through the hooks.
class Reader {
public:
    enum class Mode { Html, Text };

    Reader(const QByteArray &rtf, Mode mode, bool honourHtmlrtf)
        : m_lexer(rtf), m_mode(mode), m_honourHtmlrtf(honourHtmlrtf) {}
    virtual ~Reader() = default;

    QByteArray run();

protected:
    // A word in a Normal or an Own destination, before this class reads it:
    // true when the subclass took it.
    virtual bool takeWord(const Token &) { return false; }
    // The word after \* in a Normal destination: true when the subclass
    // gave the group a destination of its own (else it is passed over).
    virtual bool takeStarred(QByteArrayView) { return false; }
    // Text, \'hh bytes and escaped symbols in an Own destination.
    virtual void takeBytes(QByteArrayView) {}
    // A group has ended; `inner` is what it was.
    virtual void closed(const GroupState &) {}
    // Text of the document, in UTF-8.
    virtual void put(QByteArrayView utf8) { m_out.append(utf8); }
    virtual void finish() {}

    void appendText(const char16_t *text);
    void flush();
    // The name the font table gives a font, empty when none.
    QByteArray fontName(SInt32 font) const;

    GroupState m_state;
    SInt32 m_defaultFont = -1;
    // Text is written at every group and word, so that the state put()
    // sees is the one the text was in.
    bool m_flushOnChange = false;
    QByteArray m_out;  // UTF-8

private:
    // Nesting deeper than this is counted, not remembered: such a document
    // is not one a mail program wrote, and its memory stays bounded.
    static constexpr size_t kMaxDepth = 512;
    static constexpr qsizetype kPendingLimit = 64 * 1024;
    // Fonts beyond these, and the letters of a name beyond these, are not
    // remembered: memory stays a fraction of the document's.
    static constexpr size_t kMaxFonts = 4096;
    static constexpr qsizetype kMaxFontName = 64;

    struct Font {
        SInt32 codePage = 0;
        QByteArray name;
        bool named = false;  // its ';' was met
    };

    bool emitting() const;
    void open();
    void close();
    bool skipFallback();
    void word(const Token &t);
    void symbol(char s);
    void text(QByteArrayView run);
    void flushOnChange();
    Font *definingFont();
    UInt32 currentCodePage() const;
    void appendBytes(QByteArrayView bytes);
    void appendByte(char c) { appendBytes(QByteArrayView(&c, 1)); }
    void appendChar(char16_t c);
    void endSurrogate();
    void flushPart();

    Lexer m_lexer;
    Mode m_mode;
    bool m_honourHtmlrtf;
    std::vector<GroupState> m_stack;
    size_t m_overflow = 0;
    bool m_star = false;
    SInt32 m_skipCount = 0;
    UInt32 m_documentCodePage = kCodePageDefault;
    SInt32 m_definingFont = -1;
    std::unordered_map<SInt32, Font> m_fonts;
    QByteArray m_pending;
    qsizetype m_pendingLimit = kPendingLimit;
    UInt32 m_pendingCodePage = 0;
    char16_t m_highSurrogate = 0;
};

} // namespace rtfread
