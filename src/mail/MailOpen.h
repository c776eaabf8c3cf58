#pragma once
// The TNEF documents a mail carries, each decoded into a file of its own
// with the headers of the message around it, for opening as documents.
#include "platform/MacTypes.h"
#include "tnef/TNEFFile.h"

#include <QString>
#include <vector>

struct MailTnefDocument {
    int fd = -1;  // an unnamed temporary file with the decoded part; the caller's to close
    QString name; // the part's file name, one path component; else "winmail.dat"
    TNEFMailHeaders headers;  // of the message the part belongs to, decoded
};

enum : SInt32 {
    kMailOpenNotMail = -60,  // no header that a mail has, or no end of them in the first MiB
    kMailOpenNoTnef = -61,   // a mail, but without a TNEF part
};

// Reads the mail in the regular file `fd` (it stays the caller's; its offset
// moves) and gives every TNEF part, in the order of the mail, also those in
// multiparts and in attached messages. Only the headers are held: the parts
// stay in the file until each TNEF part is decoded into its own. 0,
// kMailOpenNotMail, kMailOpenNoTnef, or the status of a failed read or
// write; nothing is left open then.
SInt32 MailOpenTnefParts(int fd, std::vector<MailTnefDocument> *documents);
