#pragma once
// Reading what the message model needs straight from the document's fork,
// shared by the header and the body readers.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QString>

// Header texts longer than this are cut: a subject of megabytes is no subject.
constexpr UInt32 kTNEFHeaderTextLimit = 64 * 1024;

// Reads `length` bytes at `position` into *bytes, which holds what could be
// read; the status of the read.
SInt32 TNEFReadBytes(SInt16 fork, SInt64 position, UInt32 length, QByteArray *bytes);
// At most kTNEFHeaderTextLimit bytes at `position`, decoded with codePage and trimmed.
QString TNEFReadText(SInt16 fork, SInt64 position, UInt32 length, UInt32 codePage);
