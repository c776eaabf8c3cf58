// Writes the sample TNEF file that `make run` shows: a message in code page
// 1252 with three attachments, one of them an attached message.
#include "TnefBuilder.h"

#include <QFile>
#include <cstdio>

using namespace tnefbuild;

namespace {
constexpr quint16 PR_ATTACH_METHOD = 0x3705;
constexpr quint16 PR_ATTACH_SIZE = 0x0E20;
constexpr quint16 PR_ATTACH_MIME_TAG = 0x370E;

QByteArray z(const char *text) { return QByteArray(text, qsizetype(qstrlen(text)) + 1); }

// The message held inside the third attachment: a TNEF stream of its own.
QByteArray embeddedMessage()
{
    const QByteArray agenda("1. Budget\n2. Timeline\n3. Any other business\n");
    return Tnef(0x1234)
        .message(attTnefVersion, le32(0x00010000))
        .message(attMessageClass, z("IPM.Note"))
        .message(attSubject, z("Minutes of the planning meeting"))
        .renddata(1, 0xFFFFFFFF, 0, 0, 0)
        .title(z("agenda.txt"))
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
            .message(attMessageClass, z("IPM.Microsoft Mail.Note"))
            .message(attSubject, z("Quarterly report and minutes"))
            .date(attDateSent, 2024, 3, 5, 9, 7, 2, 2)
            .message(attPriority, le16(2))
            .mapiProps(MapiBlock()
                           .string8(0x0037, z("Quarterly report and minutes"))
                           .named(QStringLiteral("Keywords"))
                           .counted(PT_UNICODE, 0x8005, {utf16z(QStringLiteral("report"))}))
            // A plain text file.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .title(z("notes.txt"))
            .date(attAttachModifyDate, 2024, 3, 4, 17, 30, 0, 1)
            .data(notes)
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 1)
                            .string8(PR_ATTACH_MIME_TAG, z("text/plain")))
            // A long Unicode name beside a short 8-bit title.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .title(z("QUARTE~1.PDF"))
            .data(pdf)
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 1)
                            .unicode(PR_ATTACH_LONG_FILENAME, QStringLiteral("Quarterly report \u2013 draft.pdf")))
            // An attached message.
            .renddata(1, 0xFFFFFFFF, 0, 0, 0)
            .data(embeddedPlaceholder())
            .attachment(MapiBlock()
                            .longValue(PR_ATTACH_METHOD, 5)
                            .string8(PR_DISPLAY_NAME, z("Minutes of the planning meeting"))
                            .object(PR_ATTACH_DATA_OBJ, embeddedMessage()))
            .bytes();

    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size()) {
        std::fprintf(stderr, "parvane-make-sample: can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
