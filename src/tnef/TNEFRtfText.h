#pragma once
// Reading an RTF body: what it was made from, the HTML it carries when it was
// made from HTML (the encapsulation of \fromhtml1 documents), and its text.
#include <QByteArray>
#include <QString>

enum class TNEFRtfOrigin {
    Rtf,   // written as RTF
    Html,  // made from HTML, which it carries (\fromhtml1)
    Text,  // made from plain text (\fromtext)
};

// What the RTF header says the document was made from.
TNEFRtfOrigin TNEFRtfGetOrigin(const QByteArray &rtf);

// The HTML that an RTF made from HTML carries, in UTF-8: the \*\htmltag
// fragments and the text outside \htmlrtf regions, 8-bit text decoded in the
// code page of its font (or of the document). Empty when the RTF does not
// carry HTML.
QByteArray TNEFRtfToHtml(const QByteArray &rtf);

// The readable text of any RTF, in UTF-8: paragraphs and line breaks end in
// CR LF, tables and tabs become tabs; pictures, fields' instructions and the
// header tables are left out.
QByteArray TNEFRtfToText(const QByteArray &rtf);
