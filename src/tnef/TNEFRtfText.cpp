#include "TNEFRtfText.h"

#include "TNEFRtfReader.h"

using rtfread::Lexer;
using rtfread::Reader;
using rtfread::Token;

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
