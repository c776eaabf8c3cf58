// Writes the sample TNEF file that `make run` shows: a message in code page
// 1252, with a sender, a recipient and an HTML body showing a chart, and four
// attachments: the chart, which the body refers to by its Content-ID, and an
// attached message among them.
#include "TnefBuilder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <cstdio>

using namespace tnefbuild;

namespace {
const char kBody[] =
    "<html><head><meta charset=\"windows-1252\"></head><body>"
    "<p>Hello Sam,</p>"
    "<p>here are the <b>quarterly report</b> (still a draft) and the minutes of Monday\x92s planning "
    "meeting. Please send me your comments by <i>Friday</i>.</p>"
    "<p><img src=\"cid:chart@example.org\" alt=\"Quarterly figures\"></p>"
    "<p>The figures follow last quarter\x92s layout; the summary is on "
    "<a href=\"https://example.org/reports/q1\">the team page</a>.</p>"
    "<p>Kind regards,<br>Dana</p></body></html>";

// Four quarters as bars, drawn without fonts, as PNG.
QByteArray chart()
{
    QImage image(360, 150, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf6, 0xf8));
    QPainter painter(&image);
    const int heights[] = {60, 85, 70, 115};
    const QColor colors[] = {QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b), QColor(0x59, 0xa1, 0x4f),
                             QColor(0xe1, 0x57, 0x59)};
    for (int i = 0; i < 4; ++i)
        painter.fillRect(30 + i * 80, 135 - heights[i], 60, heights[i], colors[i]);
    painter.fillRect(15, 135, 330, 2, Qt::darkGray);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// The message held inside the last attachment: a TNEF stream of its own.
QByteArray embeddedMessage()
{
    const QByteArray agenda("1. Budget\n2. Timeline\n3. Any other business\n");
    return Tnef(0x1234)
        .message(attTnefVersion, le32(0x00010000))
        .message(attMessageClass, z0("IPM.Note"))
        .message(attSubject, z0("Minutes of the planning meeting"))
        .renddata(1, 0xFFFFFFFF, 0, 0, 0)
        .title(z0("agenda.txt"))
        .data(agenda)
        .attachment(MapiBlock().longValue(PR_ATTACH_METHOD, 1).longValue(PR_ATTACH_SIZE, quint32(agenda.size())))
        .bytes();
}
}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "parvane-make-sample");
        return 2;
    }
    const QByteArray notes("Things to bring:\n- the signed contract\n- two copies of the draft\n");
    QByteArray pdf("%PDF-1.4\n% sample\n");
    pdf += QByteArray(2048 - pdf.size(), ' ') + "\n%%EOF\n";

    const QByteArray file =
        Tnef(0x5A3C)
            .message(attTnefVersion, le32(0x00010000))
            .codepage(1252)
            .message(attMessageClass, z0("IPM.Microsoft Mail.Note"))
            .message(attSubject, z0("Quarterly report and minutes"))
            .date(attDateSent, 2024, 3, 5, 9, 7, 2, 2)
            .message(attPriority, le16(2))
            .mapiProps(MapiBlock()
                           .string8(0x0037, z0("Quarterly report and minutes"))
                           .string8(PR_SENDER_NAME, z0("Dana Whitfield"))
                           .string8(PR_SENDER_EMAIL_ADDRESS, z0("dana@example.org"))
                           .string8(PR_DISPLAY_TO, z0("Sam Ortega"))
                           .binary(PR_BODY_HTML, QByteArray(kBody))
                           .named(QStringLiteral("Keywords"))
                           .counted(PT_UNICODE, 0x8005, {utf16z(QStringLiteral("report"))}))
            // The chart the body shows.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .title(z0("chart.png"))
            .data(chart())
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 1)
                            .string8(PR_ATTACH_MIME_TAG, z0("image/png"))
                            .string8(PR_ATTACH_CONTENT_ID, z0("<chart@example.org>")))
            // A plain text file.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .title(z0("notes.txt"))
            .date(attAttachModifyDate, 2024, 3, 4, 17, 30, 0, 1)
            .data(notes)
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 1)
                            .string8(PR_ATTACH_MIME_TAG, z0("text/plain")))
            // A long Unicode name beside a short 8-bit title.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .title(z0("QUARTE~1.PDF"))
            .data(pdf)
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 1)
                            .unicode(PR_ATTACH_LONG_FILENAME, QStringLiteral("Quarterly report \u2013 draft.pdf")))
            // An attached message.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .data(embeddedPlaceholder())
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 5)
                            .string8(PR_DISPLAY_NAME, z0("Minutes of the planning meeting"))
                            .object(PR_ATTACH_DATA_OBJ, embeddedMessage()))
            .bytes();

    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size()) {
        std::fprintf(stderr, "parvane-make-sample: can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
