#pragma once
// The attachment list of a document window: one row per attachment, keyed by
// its fileID, in the columns Name (with the icon of its type), Type and Size;
// selecting rows shows their name and size and makes Save active; dragging
// rows out hands over copies of the attachments.
#include "DataBrowser.h"

#include <QMimeType>

class QTreeView;
struct TNEFFileItem;

OSStatus TNEFWinFileListFileDBInit(QTreeView *view);
OSStatus TNEFWinFileListFileDBGetSetItemData(const DataBrowser *browser, DataBrowserItemID itemID,
                                             DataBrowserPropertyID property,
                                             DataBrowserItemDataRef itemData, bool setValue);
void TNEFWinFileListFileDBItemNotification(const DataBrowser *browser, DataBrowserItemID itemID,
                                           DataBrowserItemNotification message);
// What a drag of `items` carries: the file URLs of complete copies written
// for it into the private folder (see TNEFWinFileWriteCopies). Null when no
// copy could be written.
QMimeData *TNEFWinFileListFileDBMimeData(const DataBrowser *browser, const std::vector<DataBrowserItemID> &items);

// The attachment's type, from its name; an attached message is a TNEF stream.
QMimeType TNEFWinFileAttachmentType(const TNEFFileItem *item);
// The type's icon in the desktop's theme, else its generic icon, else the
// style's file icon.
QIcon TNEFWinFileTypeIcon(const QMimeType &type);
// "43.7 KiB": sizes as the desktop's file lists show them.
QString TNEFWinFileSizeText(quint64 size);
// "44,764 bytes"; the human size and the exact count, "43.7 KiB (44,764
// bytes)", where they differ.
QString TNEFWinFileExactSizeText(quint64 size);
QString TNEFWinFileFullSizeText(quint64 size);
