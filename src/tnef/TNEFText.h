#pragma once
// Texts shown for the document's items, shared by the windows and the
// command line: the attachment list's names, the attribute names, the size
// text and the value preview.
#include "TNEFFile.h"

#include <QString>

extern const char kTNEFUntitledAttachment[];  // "Untitled Attachment"

// The attachment's name without any mark: its title, or "Untitled Attachment"
// when it has none. The window's name field shows this.
QString TNEFFileItemTitle(const TNEFFileItem *item);
// `name` without the dots and spaces at its end, which some file systems
// drop and others keep, so that the same name makes two files.
QString TNEFNameWithoutTrailingDots(QString name);
// The name the attachment is written under: its title, and for an attached
// message, written as the TNEF stream it is, the title without a trailing
// dot or space and with ".tnef" (unless it ends so already), so that the
// file keeps its type: "Some important task." is "Some important task.tnef".
QString TNEFFileItemFileName(const TNEFFileItem *item);
// The attachment as the attachment list shows it: "TNEF: " before an
// attached message, "Untitled Attachment" for an empty title.
QString TNEFFileItemDisplayName(const TNEFFileItem *item);

// The readable name of a whole attribute word (type in the low 16 bits, data
// format in the high 16 bits), or null when the word has none.
const char *TNEFTextGetAttributeName(UInt32 attribute);

// "N MB" above 5,242,880 bytes, "N KB" above 5,120 bytes, "N bytes" below;
// whole units, truncated.
QString TNEFTextCreateSizeText(UInt32 size);

// The printable preview of the attribute's value: its parsed text when it has
// one, otherwise at most its first 300 bytes read from the document's fork,
// with every byte outside 0x20..0x7F shown as '.', and "..." after a value
// longer than 150 bytes. Moves the fork's mark. 0, or the failing file call's
// status (logged) with *preview left alone.
SInt32 TNEFTextCreateValuePreview(const TNEFAttributeItem *attribute, SInt16 forkRefNum,
                                  QString *preview);
