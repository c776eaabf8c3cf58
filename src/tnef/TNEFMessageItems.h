#pragma once
// What a meeting, appointment or contact message holds, read from the
// message's own properties, and the calendar or contact file made of it,
// offered as an attachment of its own.
#include "TNEFCalendar.h"
#include "TNEFContact.h"
#include "TNEFFile.h"
#include "TNEFMessage.h"
#include "TNEFTask.h"

enum class TNEFMessageItemKind { None, Calendar, Contact, Task };

// Whether the message class makes a calendar item, a contact or a task (a
// task request too, whose task is its attached message).
TNEFMessageItemKind TNEFMessageItemKindOf(const QString &messageClass);

// Reads the calendar item, or the contact, of the message `message` (read
// by TNEFMessageRead from `places`). The fork's mark moves. False when the
// message class is neither.
bool TNEFMessageReadCalendar(SInt16 forkRefNum, const TNEFMessagePlaces &places, const TNEFMessage &message,
                             TNEFCalendarItem *item);
bool TNEFMessageReadContact(SInt16 forkRefNum, const TNEFMessagePlaces &places, const TNEFMessage &message,
                            TNEFContactItem *contact);

// Reads the task of the document's message `message`: its own, or for a
// task request the one of its first attached message. The fork's mark
// moves. False when there is no task to read.
bool TNEFFileReadTask(const TNEFFile *tnefFile, const TNEFMessage &message, TNEFTaskItem *task);

// The file name a made file gets: the subject made fit for a name (no
// separators, no controls, not too long), else `fallback`, with `suffix`.
QString TNEFMessageItemFileName(const QString &subject, const QString &fallback, const QString &suffix);

// After a parse: for a meeting, appointment, task or contact message, puts
// its calendar (.ics) or contact (.vcf) file first in the attachment list, with
// a fileID after those of the real attachments, which keep theirs. Nothing
// for other messages or when nothing can be made; true when a file was added.
bool TNEFFileAddVirtualItems(TNEFFile *tnefFile);
