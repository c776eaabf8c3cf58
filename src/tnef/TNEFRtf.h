#pragma once
// Compressed RTF, the form in which a message keeps its RTF body (the
// PR_RTF_COMPRESSED property): a 16-byte header, then either the LZFu
// dictionary-compressed data or, in the MELA form, the RTF as it is.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QString>

// No body is made larger than this, whatever its header claims.
constexpr UInt32 kTNEFBodyMaxSize = 64u * 1024 * 1024;

enum : SInt32 {
    kTNEFRtfErrHeader = -30,    // the property is shorter than the header
    kTNEFRtfErrType = -31,      // neither of the two known forms
    kTNEFRtfErrSize = -32,      // the compressed size reaches past the property
    kTNEFRtfErrTooLarge = -33,  // more than kTNEFBodyMaxSize once decompressed
};

// What the decompression noticed without giving up: the body is still made.
struct TNEFRtfReport {
    bool compressed = false;   // LZFu (else MELA)
    UInt32 rawSize = 0;        // as the header gives it
    UInt32 storedCrc = 0;
    UInt32 computedCrc = 0;
    bool crcMismatch = false;  // the header's CRC-32 is not that of the data
    bool truncated = false;    // the data ends before its end marker or its size
};

// Decompresses the property value `property` into *rtf: all of it, or its
// first `limit` bytes. 0, or one of the codes above with *rtf left empty.
// Nothing outside `property` is read, and no more than kTNEFBodyMaxSize
// bytes are ever produced. Stopping at `limit` is no truncation.
SInt32 TNEFRtfDecompress(const QByteArray &property, QByteArray *rtf, TNEFRtfReport *report = nullptr,
                         UInt32 limit = kTNEFBodyMaxSize);
// The CRC-32 of the compressed form (no initial or final inversion).
UInt32 TNEFRtfCrc(const char *bytes, size_t length, UInt32 crc = 0);
// A sentence for one of the codes above.
QString TNEFRtfErrorText(SInt32 code);
