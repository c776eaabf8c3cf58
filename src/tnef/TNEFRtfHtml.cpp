#include "TNEFRtfHtml.h"

#include "TNEFRtfReader.h"

#include <string_view>

namespace {

using namespace rtfread;

// The destinations this reading keeps for itself.
enum Own : UInt8 { ColorTable = 1, Picture, FieldInstruction, ListText };

enum class Word : UInt8 {
    Bold, Italic, Underline, NoUnderline, Strike, Color, Background, Size, Plain,
    Pard, Left, Center, Right, Justify, InTable, List, Par, Line, Cell, Row,
    Field, FieldInst, FieldResult, ColorTable, Red, Green, Blue, Pict, Png, Jpeg, OtherPicture, Bin, ListText,
};

const Word *LookUp(QByteArrayView word)
{
    static const std::unordered_map<std::string_view, Word> kWords = {
        {"b", Word::Bold}, {"i", Word::Italic}, {"ul", Word::Underline}, {"uld", Word::Underline},
        {"uldb", Word::Underline}, {"ulw", Word::Underline}, {"ulnone", Word::NoUnderline},
        {"strike", Word::Strike}, {"striked", Word::Strike}, {"cf", Word::Color}, {"cb", Word::Background},
        {"highlight", Word::Background}, {"fs", Word::Size}, {"plain", Word::Plain}, {"pard", Word::Pard},
        {"ql", Word::Left}, {"qc", Word::Center}, {"qr", Word::Right}, {"qj", Word::Justify},
        {"intbl", Word::InTable}, {"ls", Word::List}, {"par", Word::Par}, {"sect", Word::Par},
        {"page", Word::Par}, {"line", Word::Line}, {"cell", Word::Cell}, {"row", Word::Row},
        {"field", Word::Field}, {"fldinst", Word::FieldInst}, {"fldrslt", Word::FieldResult},
        {"colortbl", Word::ColorTable}, {"red", Word::Red}, {"green", Word::Green}, {"blue", Word::Blue},
        {"pict", Word::Pict}, {"pngblip", Word::Png}, {"jpegblip", Word::Jpeg}, {"emfblip", Word::OtherPicture},
        {"wmetafile", Word::OtherPicture}, {"dibitmap", Word::OtherPicture}, {"wbitmap", Word::OtherPicture},
        {"macpict", Word::OtherPicture}, {"pmmetafile", Word::OtherPicture}, {"bin", Word::Bin},
        {"listtext", Word::ListText}, {"pntext", Word::ListText},
    };
    const auto it = kWords.find(std::string_view(word.data(), size_t(word.size())));
    return it == kWords.end() ? nullptr : &it->second;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void AppendAttributeEscaped(QByteArray *out, QByteArrayView text)
{
    for (const char c : text) {
        switch (c) {
        case '&': *out += "&amp;"; break;
        case '"': *out += "&quot;"; break;
        case '\'': *out += "&#39;"; break;
        case '<': *out += "&lt;"; break;
        case '>': *out += "&gt;"; break;
        default: *out += c;
        }
    }
}

// The target of a HYPERLINK field's instruction, escaped for an attribute;
// empty for any other field, a link within the document, or a scheme that
// could run or open something here.
QByteArray LinkOf(QByteArrayView instruction)
{
    // The instruction's words: a quoted one keeps its spaces.
    qsizetype i = 0;
    const auto nextWord = [&]() -> QByteArrayView {
        while (i < instruction.size() && static_cast<unsigned char>(instruction[i]) <= ' ')
            ++i;
        if (i >= instruction.size())
            return {};
        const bool quoted = instruction[i] == '"';
        const qsizetype start = quoted ? ++i : i;
        while (i < instruction.size() && (quoted ? instruction[i] != '"' : static_cast<unsigned char>(instruction[i]) > ' '))
            ++i;
        const QByteArrayView word = instruction.sliced(start, i - start);
        i += quoted && i < instruction.size();
        return word.isEmpty() ? QByteArrayView("\"\"") : word;
    };
    if (nextWord().toByteArray().toUpper() != "HYPERLINK")
        return {};
    QByteArrayView target;
    for (QByteArrayView word = nextWord(); !word.isEmpty() && target.isEmpty(); word = nextWord()) {
        if (!word.startsWith('\\'))
            target = word;
        else if (word.size() == 2 && std::strchr("lL", word[1]))
            return {};  // a place in this document
        else if (word.size() == 2 && std::strchr("oOtTmM", word[1]))
            nextWord();  // a tip or a frame
    }
    const QByteArray start = target.first(std::min<qsizetype>(target.size(), 8)).toByteArray().toLower();
    static const char *const kSchemes[] = {"http://", "https://", "ftp://", "mailto:"};
    if (std::none_of(std::begin(kSchemes), std::end(kSchemes), [&](const char *scheme) { return start.startsWith(scheme); }))
        return {};
    QByteArray href;
    for (const char c : target) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= ' ' || b >= 0x7f)
            href += '%' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
        else
            href += c;
    }
    QByteArray escaped;
    AppendAttributeEscaped(&escaped, href);
    return escaped;
}

// How a run of text looks, resolved: what one <span> says.
struct Style {
    bool bold = false, italic = false, underline = false, strike = false;
    bool named = false;      // a font with a name, other than the default
    SInt32 font = 0;
    SInt64 color = -1;       // 0xRRGGBB, -1: none
    SInt64 background = -1;
    SInt32 size = 0;
    bool operator==(const Style &) const = default;
};

class HtmlWriter : public Reader {
public:
    explicit HtmlWriter(const QByteArray &rtf)
        : Reader(rtf, Mode::Text, false), m_budget(2 * qsizetype(rtf.size()) + 4096)
    {
        m_flushOnChange = true;
        m_out = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body style=\"white-space:pre-wrap\">";
    }

private:
    static constexpr qsizetype kMaxPicture = 16 * 1024 * 1024;
    static constexpr qsizetype kMaxInstruction = 2048;
    static constexpr size_t kMaxColors = 4096;
    enum class Block : UInt8 { None, Div, Item };
    enum class PictureType : UInt8 { Unknown, Png, Jpeg, Other };

    bool takeWord(const Token &t) override
    {
        const Word *word = LookUp(t.word);
        if (!word)
            return false;
        const bool on = !t.hasParam || t.param != 0;
        Look &look = m_state.look;
        if (m_state.destination == Destination::Own) {
            switch (*word) {
            case Word::Red: m_color = (m_color & 0x00FFFF) | (UInt32(t.param & 0xFF) << 16); break;
            case Word::Green: m_color = (m_color & 0xFF00FF) | (UInt32(t.param & 0xFF) << 8); break;
            case Word::Blue: m_color = (m_color & 0xFFFF00) | UInt32(t.param & 0xFF); break;
            case Word::Png: m_pictureType = PictureType::Png; break;
            case Word::Jpeg: m_pictureType = PictureType::Jpeg; break;
            case Word::OtherPicture: m_pictureType = PictureType::Other; break;
            case Word::Bin:
                if (m_state.own == Picture)
                    pictureBytes(t.data);
                break;
            case Word::Pict: m_state.destination = Destination::Skip; break;  // a picture in a picture
            default: return false;
            }
            return true;
        }
        switch (*word) {
        case Word::Bold: look.bold = on; break;
        case Word::Italic: look.italic = on; break;
        case Word::Underline: look.underline = on; break;
        case Word::NoUnderline: look.underline = false; break;
        case Word::Strike: look.strike = on; break;
        case Word::Color: look.color = t.param; break;
        case Word::Background: look.background = t.param; break;
        case Word::Size: look.size = std::clamp<SInt32>(t.param, 0, 2000); break;
        case Word::Plain: {
            // The font is the reader's to reset.
            Look plain;
            plain.link = look.link;
            plain.align = look.align;
            plain.table = look.table;
            plain.list = look.list;
            look = plain;
            return false;
        }
        case Word::Pard:
            look.align = 0;
            look.table = look.list = false;
            break;
        case Word::Left: look.align = 0; break;
        case Word::Center: look.align = 1; break;
        case Word::Right: look.align = 2; break;
        case Word::Justify: look.align = 3; break;
        case Word::InTable: look.table = true; break;
        case Word::List: look.list = t.param > 0; break;
        case Word::Par:
            if (m_block == Block::None) {
                openBlock(false);
                m_out += "<br>";  // an empty paragraph keeps its line
            }
            closeBlock();
            break;
        case Word::Line:
            beginContent();
            m_out += "<br>";
            break;
        case Word::Cell:
            openCell();
            closeCell();
            break;
        case Word::Row: closeRow(); break;
        case Word::Field: m_instruction.clear(); break;
        case Word::FieldInst: ownDestination(FieldInstruction); break;
        case Word::FieldResult: look.link = LinkOf(m_instruction); break;
        case Word::ColorTable: ownDestination(ColorTable); break;
        case Word::Pict: ownDestination(Picture); break;
        case Word::ListText: ownDestination(ListText); break;
        default: return false;
        }
        return true;
    }

    bool takeStarred(QByteArrayView word) override
    {
        if (word == "fldinst")
            ownDestination(FieldInstruction);
        // The picture as it is shown comes here; the one for readers
        // without pictures (\nonshppict) is passed over.
        return word == "fldinst" || word == "shppict";
    }

    void ownDestination(Own own)
    {
        m_state.destination = Destination::Own;
        m_state.own = own;
        switch (own) {
        case ColorTable:
            m_colors.clear();
            m_color = 0;
            break;
        case Picture:
            m_picture = QByteArray();
            m_pictureType = PictureType::Unknown;
            m_pictureTooLarge = false;
            m_nibble = -1;
            break;
        case FieldInstruction: m_instruction.clear(); break;
        case ListText:
            m_listText = true;
            m_listOrdered = false;
            m_listLetter = false;
            break;
        }
    }

    void takeBytes(QByteArrayView bytes) override
    {
        switch (m_state.own) {
        case ColorTable:
            for (const char c : bytes) {
                if (c == ';' && m_colors.size() < kMaxColors) {
                    m_colors.push_back(m_color);
                    m_color = 0;
                }
            }
            break;
        case Picture:
            for (const char c : bytes) {
                const int value = HexValue(c);
                if (value < 0)
                    continue;
                if (m_nibble < 0) {
                    m_nibble = value;
                } else {
                    const char byte = char(m_nibble << 4 | value);
                    pictureBytes(QByteArrayView(&byte, 1));
                    m_nibble = -1;
                }
            }
            break;
        case FieldInstruction:
            m_instruction.append(bytes.first(std::min(bytes.size(), kMaxInstruction - m_instruction.size())));
            break;
        case ListText:
            // "1.", "a)", "iv." number an item; a bullet, "o" or "-" do not.
            for (const char c : bytes) {
                m_listOrdered = m_listOrdered || (c >= '0' && c <= '9') || (m_listLetter && (c == '.' || c == ')'));
                m_listLetter = IsAsciiLetter(c);
            }
            break;
        }
    }

    void pictureBytes(QByteArrayView bytes)
    {
        if (m_pictureTooLarge || m_pictureType == PictureType::Other)
            return;
        if (m_picture.size() + bytes.size() > kMaxPicture) {
            m_pictureTooLarge = true;
            m_picture = QByteArray();
            return;
        }
        m_picture.append(bytes);
    }

    void closed(const GroupState &inner) override
    {
        const bool picture = m_state.destination == Destination::Own && m_state.own == Picture;
        if (inner.destination != Destination::Own || inner.own != Picture || picture)
            return;
        // Only what Qt reads is shown; a metafile or a bitmap of the old
        // kinds is passed over.
        if (!m_picture.isEmpty() && (m_pictureType == PictureType::Png || m_pictureType == PictureType::Jpeg)) {
            beginContent();
            m_out += m_pictureType == PictureType::Png ? "<img src=\"data:image/png;base64," : "<img src=\"data:image/jpeg;base64,";
            m_out += m_picture.toBase64();
            m_out += "\">";
        }
        m_picture = QByteArray();
    }

    void put(QByteArrayView utf8) override
    {
        if (utf8.isEmpty())
            return;
        beginContent();
        for (const char c : utf8) {
            switch (c) {
            case '&': m_out += "&amp;"; break;
            case '<': m_out += "&lt;"; break;
            case '>': m_out += "&gt;"; break;
            default: m_out += c;
            }
        }
    }

    void finish() override
    {
        closeTable();
        closeList();
        m_out += "</body></html>";
    }

    // The block and inline elements the text stands in are opened when text
    // comes, so that a paragraph's properties are all known by then.
    void beginContent()
    {
        if (m_block == Block::None)
            openBlock();
        syncInline();
    }

    void openBlock(bool aligned = true)
    {
        const Look &look = m_state.look;
        if (look.table)
            openCell();
        else
            closeTable();
        const char list = m_listText ? (m_listOrdered ? 'o' : 'u') : look.list ? 'u' : 0;
        if (m_list != list)
            closeList();
        if (list && !m_list)
            m_out += list == 'o' ? "<ol>" : "<ul>";
        m_list = list;
        static const char *const kAlign[] = {"", " style=\"text-align:center\"", " style=\"text-align:right\"",
                                             " style=\"text-align:justify\""};
        m_out += list ? "<li" : "<div";
        m_out += kAlign[aligned ? look.align & 3 : 0];
        m_out += '>';
        m_block = list ? Block::Item : Block::Div;
        m_listText = false;
    }

    void openCell()
    {
        if (!m_table) {
            closeList();
            m_out += "<table>";
            m_table = true;
        }
        if (!m_row)
            m_out += "<tr>";
        if (!m_cell)
            m_out += "<td>";
        m_row = m_cell = true;
    }

    void closeInline()
    {
        if (m_spanOpen)
            m_out += "</span>";
        if (m_linkOpen)
            m_out += "</a>";
        m_spanOpen = m_linkOpen = false;
        m_linkHref.clear();
    }

    void closeBlock()
    {
        closeInline();
        if (m_block != Block::None)
            m_out += m_block == Block::Item ? "</li>" : "</div>";
        m_block = Block::None;
    }

    void closeList()
    {
        closeBlock();
        if (m_list)
            m_out += m_list == 'o' ? "</ol>" : "</ul>";
        m_list = 0;
    }

    void closeCell()
    {
        closeList();
        if (m_cell)
            m_out += "</td>";
        m_cell = false;
    }

    void closeRow()
    {
        closeCell();
        if (m_row)
            m_out += "</tr>";
        m_row = false;
    }

    void closeTable()
    {
        if (!m_table)
            return;
        closeRow();
        m_out += "</table>";
        m_table = false;
    }

    // Markup that only dresses text is paid from a budget proportional to
    // the document: a document that changes its look at every letter, or
    // repeats a long link, still makes a page of bounded size.
    bool spend(qsizetype bytes)
    {
        if (bytes > m_budget)
            return false;
        m_budget -= bytes;
        return true;
    }

    void syncInline()
    {
        const Look &look = m_state.look;
        const Style style = styleOf(look);
        if (look.link != m_linkHref || (m_spanOpen && style != m_span))
            closeInline();
        if (!m_linkOpen && !look.link.isEmpty() && spend(look.link.size() + 15)) {
            m_out += "<a href=\"" + look.link + "\">";
            m_linkOpen = true;
            m_linkHref = look.link;
        }
        // A span takes at most about 250 bytes: it is not even made once the
        // budget could not pay for it.
        if (!m_spanOpen && style != Style{} && m_budget >= 256) {
            const QByteArray css = cssOf(style);
            if (spend(css.size() + 22)) {
                m_out += "<span style=\"" + css + "\">";
                m_spanOpen = true;
                m_span = style;
            }
        }
    }

    SInt64 colorAt(SInt32 index) const
    {
        return index > 0 && size_t(index) < m_colors.size() ? SInt64(m_colors[size_t(index)]) : -1;
    }

    Style styleOf(const Look &look) const
    {
        Style style;
        style.bold = look.bold;
        style.italic = look.italic;
        style.underline = look.underline;
        style.strike = look.strike;
        style.color = colorAt(look.color);
        style.background = colorAt(look.background);
        style.size = look.size;
        if (m_state.font != m_defaultFont && !fontFamily(m_state.font).isEmpty()) {
            style.named = true;
            style.font = m_state.font;
        }
        return style;
    }

    // A font's name as CSS may quote it: letters, digits, spaces, '-' and '_'.
    const QByteArray &fontFamily(SInt32 font) const
    {
        if (font != m_familyFont || !m_familyKnown) {
            m_family = fontName(font);
            m_family.removeIf([](char c) { return !IsAsciiLetter(c) && !(c >= '0' && c <= '9') && !std::strchr(" -_", c); });
            m_family = m_family.trimmed();
            m_familyFont = font;
            m_familyKnown = true;
        }
        return m_family;
    }

    QByteArray cssOf(const Style &style) const
    {
        QByteArray css;
        const auto add = [&css](const QByteArray &declaration) { css += (css.isEmpty() ? "" : ";") + declaration; };
        const auto hex = [](SInt64 rgb) { return '#' + QByteArray::number(rgb, 16).rightJustified(6, '0'); };
        if (style.named)
            add("font-family:'" + fontFamily(style.font) + "'");
        if (style.size > 0)
            add("font-size:" + QByteArray::number(style.size / 2) + (style.size % 2 ? ".5" : "") + "pt");
        if (style.color >= 0)
            add("color:" + hex(style.color));
        if (style.background >= 0)
            add("background-color:" + hex(style.background));
        if (style.bold)
            add("font-weight:bold");
        if (style.italic)
            add("font-style:italic");
        if (style.underline || style.strike)
            add(QByteArray("text-decoration:") + (style.underline ? "underline" : "")
                + (style.underline && style.strike ? " " : "") + (style.strike ? "line-through" : ""));
        return css;
    }

    qsizetype m_budget;
    // The last font's family: looked up at every run of text.
    mutable QByteArray m_family;
    mutable SInt32 m_familyFont = 0;
    mutable bool m_familyKnown = false;
    Block m_block = Block::None;
    char m_list = 0;  // 'u', 'o' or none
    bool m_table = false, m_row = false, m_cell = false;
    bool m_spanOpen = false, m_linkOpen = false;
    Style m_span;
    QByteArray m_linkHref;
    std::vector<UInt32> m_colors;
    UInt32 m_color = 0;
    QByteArray m_picture;
    PictureType m_pictureType = PictureType::Unknown;
    bool m_pictureTooLarge = false;
    int m_nibble = -1;
    QByteArray m_instruction;
    bool m_listText = false, m_listOrdered = false, m_listLetter = false;
};

} // namespace

QByteArray TNEFRtfMakeHtml(const QByteArray &rtf)
{
    return HtmlWriter(rtf).run();
}
