// The RTF body: compressed RTF decoded in both forms, and the HTML and text
// read out of RTF.
#include "TnefBuilder.h"
#include "platform/TextCodec.h"
#include "tnef/TNEFRtf.h"
#include "tnef/TNEFRtfHtml.h"
#include "tnef/TNEFRtfText.h"

#include <QtTest>

using namespace tnefbuild;

namespace {

// The two worked examples of the compressed RTF format: a plain run, and one
// whose reference overlaps the bytes it produces.
const QByteArray kHelloWorld = QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a703000a00726370673132354232"
                                                  "0af32068656c09002062770 5b06c647d0a800fa0");
const QByteArray kHelloWorldRtf("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
const QByteArray kRun = QByteArray::fromHex("1a0000001c0000004c5a4675e2d44b51410004205758595a0d6e7d010eb0");
const QByteArray kRunRtf("{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");

// A header for `data` in the given form, with a correct CRC unless told.
QByteArray withHeader(const QByteArray &data, quint32 rawSize, const char *form, qint64 crc = -1)
{
    const quint32 sum = crc >= 0 ? quint32(crc) : qstrcmp(form, "MELA") == 0 ? 0 : TNEFRtfCrc(data.constData(), size_t(data.size()));
    return le32(quint32(data.size() + 12)) + le32(rawSize) + QByteArray(form, 4) + le32(sum) + data;
}

}  // namespace

class TestRtf : public QObject {
    Q_OBJECT
private slots:
    void decompress_data();
    void decompress();
    void html_data();
    void html();
    void text_data();
    void text();
    void made_data();
    void made();
};

void TestRtf::decompress_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("report");  // "crc" for a CRC that does not match, "cut" for data that ends early

    // The real files' bodies decode LZFu as the corpus says; these rows the
    // edges of the format.
    const QByteArray helloData = kHelloWorld.mid(16);
    QTest::newRow("overlapping reference") << kRun << 0 << kRunRtf << "";
    QTest::newRow("MELA with a CRC") << withHeader("{\\rtf1}", 7, "MELA", 5) << 0 << QByteArray("{\\rtf1}") << "crc";
    QTest::newRow("CRC mismatch still decoded") << withHeader(helloData, 43, "LZFu", 0x12345678) << 0 << kHelloWorldRtf << "crc";
    QTest::newRow("padding after the end marker") << withHeader(helloData + "\0\0\0", 43, "LZFu") << 0 << kHelloWorldRtf << "";
    QTest::newRow("property longer than the data") << kRun + "junk" << 0 << kRunRtf << "";
    QTest::newRow("no end marker, all of the size") << withHeader(helloData.chopped(2), 43, "LZFu") << 0 << kHelloWorldRtf << "";
    QTest::newRow("data ends inside a run") << withHeader(helloData.left(20), 43, "LZFu") << 0 << kHelloWorldRtf.left(32) << "cut";
    // A reference to dictionary bytes not yet written (offset 300, 4 bytes), then the end marker.
    QTest::newRow("unwritten dictionary reads as zeros") << withHeader(QByteArray::fromHex("0312c20d30"), 4, "LZFu") << 0
                                                         << QByteArray(4, '\0') << "";
    QTest::newRow("stops at the raw size") << withHeader(kRun.mid(16), 10, "LZFu") << 0 << kRunRtf.left(10) << "";
    QTest::newRow("MELA shorter than its size") << withHeader("{\\rtf", 9, "MELA") << 0 << QByteArray("{\\rtf") << "cut";
    QTest::newRow("short header") << kRun.left(15) << int(kTNEFRtfErrHeader) << QByteArray() << "";
    QTest::newRow("unknown form") << withHeader("x", 1, "ZIP!") << int(kTNEFRtfErrType) << QByteArray() << "";
    QTest::newRow("size beyond the property") << kRun.chopped(1) << int(kTNEFRtfErrSize) << QByteArray() << "";
    QTest::newRow("size below the header") << le32(4) + kRun.mid(4) << int(kTNEFRtfErrSize) << QByteArray() << "";
    QTest::newRow("claims more than 64 MiB") << withHeader(kRun.mid(16), kTNEFBodyMaxSize + 1, "LZFu")
                                             << int(kTNEFRtfErrTooLarge) << QByteArray() << "";
}

void TestRtf::decompress()
{
    QFETCH(QByteArray, property);
    QFETCH(int, status);
    QFETCH(QByteArray, rtf);
    QFETCH(QString, report);
    QByteArray out("stale");
    TNEFRtfReport got;
    QCOMPARE(TNEFRtfDecompress(property, &out, &got), status);
    QCOMPARE(out, rtf);
    QCOMPARE(QString("%1%2").arg(got.crcMismatch ? "crc" : "", got.truncated ? "cut" : ""), report);
}

void TestRtf::html_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("html");
    const QByteArray head = "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
                            "{\\f1\\fnil\\fcharset204 Cyr;}{\\f2\\fnil\\fcharset128 Jp;}}{\\colortbl;\\red0\\green0\\blue255;}";
    QTest::newRow("tags and text") << head + "{\\*\\htmltag19 <html>}{\\*\\htmltag50 <body>}\\htmlrtf {\\b\\htmlrtf0 Hi "
                                             "there\\htmlrtf }\\htmlrtf0 {\\*\\htmltag58 </body>}}"
                                   << "<html><body>Hi there</body>";
    QTest::newRow("htmlrtf enters groups and is restored on leaving them")
        << head + "\\htmlrtf {\\b hidden {\\htmlrtf0 kept}\\par hidden}\\htmlrtf0 after}" << "keptafter";
    QTest::newRow("escapes and breaks inside tags, breaks and quotes outside")
        << head + "{\\*\\htmltag241  a:link \\{ color: red; \\} \\\\ \\par\\tab}a\\tab b\\par c\\~d\\lquote e\\rquote}"
        << QString::fromUtf8(" a:link { color: red; } \\ \r\n\ta\tb\r\nc\u00A0d\u2018e\u2019");
    QTest::newRow("text in the current font's code page, tags in the document's")
        << head + "\\f1 \\'cf\\'f0\\'e8 {\\*\\htmltag0 <p title=\"\\'e9\">}\\f0 \\'e9}"
        << QString::fromUtf8("При <p title=\"é\">é");
    QTest::newRow("unicode with fallbacks") << head + "\\uc1\\u1055?\\u1088\\'3f{\\uc2\\u8364\\'80\\'80x}\\u-10179?\\u-8704?}"
                                            << QString::fromUtf8("Пр€x😀");
    QTest::newRow("other destinations left out")
        << head + "{\\*\\mhtmltag84 <a href=\"cid:x\">}{\\*\\htmltag84 <a href=\"x\">}{\\*\\generator Me;}"
                  "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}{\\pict\\bin4 }}{}}}}"
        << "<a href=\"x\">link";
    QTest::newRow("not made from HTML") << QByteArray("{\\rtf1\\ansi {\\*\\htmltag0 <p>}hello}") << QString();
    if (TextCodePageSupported(932))
        QTest::newRow("double-byte code page") << head + "\\f2 \\'82\\'a0}" << QString::fromUtf8("あ");
}

void TestRtf::html()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, html);
    QCOMPARE(QString::fromUtf8(TNEFRtfToHtml(rtf)), html);
}

void TestRtf::text_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("origin");
    QTest::addColumn<QString>("text");
    QTest::newRow("RTF") << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0;}{\\info{\\title T}}"
                                       "\\f0 Hello\\par World\\tab!\\line\n\\\\ \\{end\\}}")
                         << int(TNEFRtfOrigin::Rtf) << "Hello\r\nWorld\t!\r\n\\ {end}";
    QTest::newRow("made from HTML: breaks of the RTF-only regions")
        << QByteArray("{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag64 <p>}Hi\\htmlrtf\\par\\htmlrtf0 there}")
        << int(TNEFRtfOrigin::Html) << "Hi\r\nthere";
    QTest::newRow("made from text: without what RTF added")
        << QByteArray("{\\rtf1\\ansi\\fromtext \\htmlrtf {\\b x}\\htmlrtf0 plain\\par}") << int(TNEFRtfOrigin::Text)
        << "plain\r\n";
    QTest::newRow("field result, binary passed over")
        << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}} a\\bin3 {}\\b}")
        << int(TNEFRtfOrigin::Rtf) << "link ab";
    QTest::newRow("deep nesting, unbalanced") << QByteArray(3000, '{') + "x" + QByteArray(10, '}')
                                              << int(TNEFRtfOrigin::Rtf) << "x";
    QTest::newRow("damaged escapes") << QByteArray("{\\rtf1 a\\'zb\\u\\uc99999\\u65 c\\") << int(TNEFRtfOrigin::Rtf)
                                     << "azbA";
}

void TestRtf::text()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, origin);
    QFETCH(QString, text);
    QCOMPARE(int(TNEFRtfGetOrigin(rtf)), origin);
    QCOMPARE(QString::fromUtf8(TNEFRtfToText(rtf)), text);
}

void TestRtf::made_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QByteArray>("has");
    QTest::addColumn<QByteArray>("hasNot");
    const QByteArray head = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}"
                            "{\\f2\\fnil\\fcharset204 Cyr;}{\\f3 Evil\" onload=\"x;}{\\f4 " + QByteArray(60, 'L') + ";}}"
                            "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";
    const auto span = [](const char *css, const char *text) { return QByteArray("<span style=\"") + css + "\">" + text + "</span>"; };
    QTest::newRow("bold, italic, underline, strike")
        << head + "{\\b B}{\\i I}{\\ul U\\ulnone u}{\\strike S}\\b\\plain p}"
        << "<div>" + span("font-weight:bold", "B") + span("font-style:italic", "I") + span("text-decoration:underline", "U")
               + "u" + span("text-decoration:line-through", "S") + "p</div>" << QByteArray();
    QTest::newRow("colours, size, face")
        << head + "{\\cf1\\highlight2 c}{\\f1\\fs21 m}\\cf9 none}"
        << span("color:#ff0000;background-color:#0000ff", "c") + span("font-family:'Courier New';font-size:10.5pt", "m") + "none"
        << QByteArray();
    QTest::newRow("paragraphs, alignment, breaks")
        << head + "\\qc a\\par\\pard b\\line c\\par\\qr\\par\\qj j}"
        << QByteArray("<div style=\"text-align:center\">a</div><div>b<br>c</div><div><br></div>"
                      "<div style=\"text-align:justify\">j</div>") << QByteArray();
    QTest::newRow("lists, Word's and the older form")
        << head + "{\\listtext\\'b7\\tab}\\ls1 one\\par{\\listtext 2.\\tab}\\ls2 two\\par{\\listtext b)\\tab}\\ls2 three\\par"
                  "\\pard{\\pntext\\f1 o\\tab}{\\*\\pn\\pnlvlblt}four\\par\\pard after}"
        << QByteArray("<ul><li>one</li></ul><ol><li>two</li><li>three</li></ol><ul><li>four</li></ul><div>after</div>") << QByteArray();
    QTest::newRow("table") << head + "\\trowd\\cellx100\\cellx200\\pard\\intbl a\\cell\\cell\\row\\pard b}"
                           << QByteArray("<table><tr><td><div>a</div></td><td></td></tr></table><div>b</div>") << QByteArray();
    QTest::newRow("link") << head + "{\\field{\\*\\fldinst {HYPERLINK \"HTTPS://x.org/a b?c=1&d=2\"}}{\\fldrslt {\\b go}}} on}"
                          << "<div><a href=\"HTTPS://x.org/a%20b?c=1&amp;d=2\">" + span("font-weight:bold", "go") + "</a> on</div>"
                          << QByteArray();
    QTest::newRow("pictures Qt reads, hex or binary")
        << head + "{\\*\\shppict{\\pict\\pngblip\\picw1 89504e\r\n47}}{\\nonshppict{\\pict\\wmetafile8 0102}}"
                  "{\\pict\\jpegblip\\bin3 abc}{\\pict\\emfblip 0102}{\\pict\\dibitmap\\bin2 xy}{\\pict 0102}}"
        << QByteArray("<div><img src=\"data:image/png;base64,iVBORw==\"><img src=\"data:image/jpeg;base64,YWJj\"></div>")
        << QByteArray();
    QTest::newRow("characters") << head + "\\f2 \\'cf\\'f0\\'e8\\~\\emdash\\-\\u8364?x}"
                                << span("font-family:'Cyr'", "При\u00A0—€x") << QByteArray();
    // Hostile documents: every text escaped, no href but a web or mail one,
    // and a page of bounded size made in linear time.
    QTest::newRow("markup in text") << head + "<script>alert(1)</script> & \\'3c{\\*\\htmltag <b>}}"
                                    << QByteArray("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &lt;") << QByteArray("<script");
    QTest::newRow("links that could run or break out")
        << head + "{\\field{\\*\\fldinst HYPERLINK \"javascript:alert(1)\"}{\\fldrslt js}}"
                  "{\\field{\\*\\fldinst HYPERLINK \\\\l \"http://bookmark\"}{\\fldrslt here}}"
                  "{\\field{\\*\\fldinst HYPERLINK \"http://a/' onclick='x\"}{\\fldrslt q}}"
                  "{\\field{\\*\\fldinst HYPERLINK mailto:a\"><b>}{\\fldrslt r}}}"
        << QByteArray("<div>jshere<a href=\"http://a/&#39;%20onclick=&#39;x\">q</a><a href=\"mailto:a&quot;&gt;&lt;b&gt;\">r</a></div>")
        << QByteArray();
    QTest::newRow("a quote in a font name") << head + "\\f3 x}" << span("font-family:'Evil onloadx'", "x")
                                            << QByteArray("onload=");
    QTest::newRow("deep groups") << head + QByteArray(100000, '{') + "\\b deep" + QByteArray(100000, '}') + "}"
                                 << span("font-weight:bold", "deep") << QByteArray();
    QTest::newRow("10 MB of '{'") << QByteArray(10000000, '{') << QByteArray("<body style=\"white-space:pre-wrap\"></body>")
                                  << QByteArray();
    QTest::newRow("10 MB of \\b") << "{\\rtf1 " + QByteArray("\\b").repeated(5000000) + " x}"
                                    << span("font-weight:bold", "x") << QByteArray();
    QTest::newRow("a face at every letter") << head + QByteArray("\\f4 x\\f0 y").repeated(500000) + "}"
                                            << QByteArray("xy</div>") << QByteArray();
    QTest::newRow("a long link in every paragraph")
        << head + "{\\field{\\*\\fldinst HYPERLINK \"http://" + QByteArray(2000, 'a') + "\"}{\\fldrslt "
               + QByteArray("x\\par ").repeated(1000000) + "}}}"
        << QByteArray("<div>x</div>") << QByteArray();
    QTest::newRow("huge \\bin count") << head + "{\\pict\\pngblip\\bin2147483647 abc}after}" << QByteArray("</body>")
                                        << QByteArray("<img");
    QTest::newRow("unterminated picture") << head + "{\\pict\\pngblip 8950" + QByteArray(10000000, '0')
                                          << QByteArray("</body>") << QByteArray("<img");
}

void TestRtf::made()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QByteArray, has);
    QFETCH(QByteArray, hasNot);
    const QByteArray html = TNEFRtfMakeHtml(rtf);
    QVERIFY(html.startsWith("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"));
    QVERIFY2(html.contains(has), html.right(2000).constData());
    QVERIFY(hasNot.isEmpty() || !html.contains(hasNot));
    QVERIFY2(html.size() <= 8 * rtf.size() + 8192, QByteArray::number(html.size()).constData());
}

QTEST_GUILESS_MAIN(TestRtf)
#include "tst_rtf.moc"
