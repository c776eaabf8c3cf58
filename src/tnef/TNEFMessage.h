#pragma once
// The message a TNEF document carries: its headers, read from the places the
// parse recorded (TNEFFile::messagePlaces), and its bodies, read from the
// file only when one is asked for.
#include "TNEFFile.h"
#include "TNEFRtf.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

enum class TNEFBodyKind {
    Text,         // PR_BODY, or attBody
    Html,         // PR_BODY_HTML
    Rtf,          // PR_RTF_COMPRESSED, decompressed
    HtmlFromRtf,  // the HTML that an RTF body made from HTML carries
    TextFromRtf,  // the text of the RTF body
    TextFromHtml, // the text of the HTML body, when there is nothing else
    HtmlMadeFromRtf, // HTML made from an RTF body written as RTF
};

struct TNEFBody {
    TNEFBodyKind kind = TNEFBodyKind::Text;
    // Html: the property's bytes as stored (8-bit strings without their
    // closing zero; Unicode ones as UTF-8). Rtf: the decompressed RTF. All
    // other kinds: UTF-8, made here.
    QByteArray bytes;
    // What the bytes are in: an IANA charset name, or empty for RTF. For
    // stored HTML, the charset its <meta> declares, else that of codePage.
    QByteArray charset;
    UInt32 codePage = 0;  // stored HTML without a declaration: its Windows code page
    TNEFRtfReport rtf;    // what the decompression noticed, for kinds made from RTF
    bool cut = false;     // a limit was asked for and the body goes on past it
};

// Where one property value lies (type as stored).
struct TNEFValuePlace {
    SInt64 position = 0;  // 0: absent
    UInt32 length = 0;
    UInt16 type = 0;
    explicit operator bool() const { return position > 0; }
};

struct TNEFMessage {
    QString subject;
    QString senderName;
    QString senderAddress;
    // From the recipient table when the file has one, else the names of
    // PR_DISPLAY_TO and PR_DISPLAY_CC.
    QList<TNEFRecipient> recipients;
    QDateTime sent;      // UTC; invalid when the file gives none
    QDateTime received;  // UTC; invalid when the file gives none
    QString messageClass;
    int importance = -1;  // 0 low, 1 normal, 2 high; -1 when the file does not say
    UInt32 codePage = 0;  // of the file's 8-bit texts (attOemCodepage), 0 when undeclared
    UInt32 internetCodePage = 0;  // PR_INTERNET_CPID, 0 when absent

    // Where the bodies are, for TNEFMessageGetBody.
    TNEFValuePlace textBody, htmlBody, rtfBody;
};

enum : SInt32 {
    kTNEFMessageErrNoBody = -40,    // the message has no body of the kind asked for
    kTNEFMessageErrTooLarge = -41,  // the body is larger than kTNEFBodyMaxSize
};

// One property value read from the document's fork (the mark moves): at
// most `limit` bytes of it; a string (8-bit ones decoded with codePage),
// empty for other types; a PT_LONG or PT_BOOLEAN; a PT_SYSTIME as UTC.
QByteArray TNEFValueBytes(SInt16 forkRefNum, const TNEFValuePlace &place, UInt32 limit);
QString TNEFValueText(SInt16 forkRefNum, const TNEFValuePlace &place, UInt32 codePage);
std::optional<UInt32> TNEFValueLong(SInt16 forkRefNum, const TNEFValuePlace &place);
QDateTime TNEFValueTime(SInt16 forkRefNum, const TNEFValuePlace &place);
// A TNEF date attribute (attDateSent, attDateStart, ...) as UTC; invalid
// when absent or damaged.
QDateTime TNEFMessageReadDate(SInt16 forkRefNum, const TNEFPlace &place);

// Reads the headers of the message whose attributes `places` records, from
// the document's fork, and where its bodies are. The fork's mark moves. 0, or
// the status of a file read that failed; a property block that does not
// parse gives what it held up to its fault, as the stream parse does.
SInt32 TNEFMessageRead(SInt16 forkRefNum, const TNEFMessagePlaces &places, TNEFMessage *message);

// Reads one body of `message` into *body: 0, kTNEFMessageErrNoBody, a
// kTNEFRtfErr code, kTNEFMessageErrTooLarge or a file status. The fork's mark
// moves. Text and TextFromHtml stand for the stored text only; see below.
// With a `limit`, only the first `limit` bytes of what the body is made from
// (the stored text or HTML, the decompressed RTF) are read, and body->cut
// tells that there was more: a body need not be made whole to be glanced at.
SInt32 TNEFMessageGetBody(SInt16 forkRefNum, const TNEFMessage &message, TNEFBodyKind kind, TNEFBody *body,
                          UInt32 limit = kTNEFBodyMaxSize);
// The text to show or save as text: PR_BODY or attBody, else the text of the
// RTF body, else that of the HTML body.
SInt32 TNEFMessageGetText(SInt16 forkRefNum, const TNEFMessage &message, TNEFBody *body,
                          UInt32 limit = kTNEFBodyMaxSize);
// The HTML: PR_BODY_HTML as stored, else the HTML an RTF body carries, else
// HTML made from the RTF body when it was written as RTF.
SInt32 TNEFMessageGetHtml(SInt16 forkRefNum, const TNEFMessage &message, TNEFBody *body,
                          UInt32 limit = kTNEFBodyMaxSize);
// The richest body: the HTML, else the RTF, else the text.
SInt32 TNEFMessageGetPreferredBody(SInt16 forkRefNum, const TNEFMessage &message, TNEFBody *body);

// The body as text for showing, decoded by its charset or code page.
QString TNEFBodyToString(const TNEFBody &body);
// "Name <address>", or whichever of the two is known.
QString TNEFRecipientText(const QString &name, const QString &address);
// The recipients of one type (TNEFRecipient::To, Cc, Bcc), as TNEFRecipientText
// gives each, separated by ", ".
QString TNEFMessageRecipientsText(const TNEFMessage &message, int type);

// Opens attachment `fileID` of `tnefFile`, an attached message (isTNEF -1),
// as a document of its own: its fork sees only the attached stream. The new
// document is named after the attachment and still has to be parsed. Null,
// with *status set, when there is no such attached message or it cannot be
// opened; nothing is then left in gTNEFFileList.
TNEFFile *TNEFFileOpenAttached(const TNEFFile *tnefFile, UInt32 fileID, OSErr *status);
