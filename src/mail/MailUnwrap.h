#pragma once
// A mail with TNEF parts turned back into the parts they hold: the body as
// text and HTML, each attachment under its own name and type, a meeting as
// text/calendar, an attached message as message/rfc822.
#include <gmime/gmime.h>

#include <QStringList>

enum class MailUnwrapStatus {
    Unchanged,   // no TNEF part: the input was copied through as it was
    Changed,     // the mail was written anew
    NotMail,     // the input is no mail
    ReadFailed,  // the input, or a temporary file, could not be read or made
    WriteFailed, // the output took fewer bytes than it was given
};

struct MailUnwrapResult {
    MailUnwrapStatus status = MailUnwrapStatus::Unchanged;
    int unwrapped = 0;  // TNEF parts replaced
    QStringList notes;  // why TNEF parts were kept, as the X-Parvane-Unwrap header says
};

// The header that tells what was kept and why.
inline constexpr char kMailUnwrapHeader[] = "X-Parvane-Unwrap";

// Reads the one mail `input` holds, from its start to its end (a stream that
// can seek: its parts are read from it again as the new mail is written),
// and writes it to `output` with each TNEF part unwrapped. A mail without
// TNEF parts is copied byte for byte. `output` is not flushed: a file
// stream's flush is an fsync, which a pipe refuses.
MailUnwrapResult MailUnwrap(GMimeStream *input, GMimeStream *output);
