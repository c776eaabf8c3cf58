#pragma once
// Texts shown for the document's items, shared by the windows and the
// command line.
#include "TNEFFile.h"

#include <QString>

extern const char kTNEFUntitledAttachment[];  // "Untitled Attachment"

// The attachment as the attachment list shows it: "TNEF: " before an
// attached message, "Untitled Attachment" for an empty title.
QString TNEFFileItemDisplayName(const TNEFFileItem *item);
