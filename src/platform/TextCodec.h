#pragma once
// Text services: the 8-bit texts of a TNEF file are in the code page that the
// file declares; names become UTF-8 inside the program.
#include "MacTypes.h"

#include <QString>
#include <string>

// Windows code page number of UTF-16LE; names taken from Unicode MAPI values
// are decoded with it.
constexpr UInt32 kCodePageUTF16LE = 1200;
constexpr UInt32 kCodePageDefault = 1252;

// Decodes `length` bytes in the given Windows code page. 0, or a code page
// that cannot be decoded here, reads as Windows-1252. Text stops at the first
// zero byte (at the first zero unit for UTF-16LE).
QString TextDecodeCodePage(const char *bytes, size_t length, UInt32 codePage);
std::string TextDecodeCodePageToUtf8(const char *bytes, size_t length, UInt32 codePage);
// True when the code page can be decoded (1252 always can).
bool TextCodePageSupported(UInt32 codePage);

// The text without the control characters that calendar and address-book
// values may not hold (everything below U+0020 but tab, DEL and the C1
// controls), and with each line break (CR LF, CR, LF, NEL, U+2028, U+2029)
// as one line feed, the only break the writers then escape.
QString TextWithoutControls(const QString &text);
// The text as one line, for a header or a label: each control (C0, DEL, C1)
// and each line or paragraph separator becomes a space, so that nothing from
// a file starts a line.
QString TextAsOneLine(QString text);
// True for non-empty text that is one line of printable characters: none
// of the controls, format characters, line or paragraph separators, private
// or unassigned code points. What cannot be escaped (a calendar address, a
// URI) must be such a line.
bool TextIsOneLine(const QString &text);
// The text as the error log may show it: at most 200 characters, each that
// is not printable shown as "?", so that a terminal acts on none of them.
QByteArray TextForLog(const QString &text);
