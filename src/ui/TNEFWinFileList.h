#pragma once
// What the attachment list and the attribute list share: setting a list up,
// finding its window and document, and the answers to the standard item
// properties.
#include "DataBrowser.h"

class QTreeView;
class TNEFWinFile;
struct TNEFFile;
struct TNEFFileItem;

// Sets up the list in `view`, which must lie in a document window: one row
// per item that `rows` lists for the window's document, in document order,
// with its cells for `columns` (the name column alone when none are given).
// -1 (logged) when the view has no document window or the window no document.
OSStatus TNEFWinFileListInit(QTreeView *view, DataBrowserItemDataProc itemData,
                             DataBrowserItemNotificationProc itemNotification,
                             std::vector<DataBrowserRow> (*rows)(const TNEFFile *tnefFile),
                             std::vector<DataBrowserColumn> columns = {},
                             DataBrowserItemMimeDataProc itemMimeData = nullptr);
// The document window that shows the list, when it holds a document; null
// (logged) otherwise.
TNEFWinFile *TNEFWinFileListWindow(const DataBrowser *browser);
// Both lists' item-data function but for `editable`: the answers to the
// standard item properties (the cells come with the rows).
OSStatus TNEFWinFileListItemData(const DataBrowser *browser, DataBrowserPropertyID property,
                                 DataBrowserItemDataRef itemData, bool setValue, bool editable);
// Brings the application forward when the user acts in one of its lists
// while another application is in front.
void TNEFWinFileListComeForward(const DataBrowser *browser);

