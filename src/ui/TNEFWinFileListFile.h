#pragma once
// The attachment list of a document window: one row per attachment, keyed by
// its fileID; selecting a row shows its name and size and makes Save active.
#include "DataBrowser.h"

class QTreeView;

OSStatus TNEFWinFileListFileDBInit(QTreeView *view);
OSStatus TNEFWinFileListFileDBGetSetItemData(const DataBrowser *browser, DataBrowserItemID itemID,
                                             DataBrowserPropertyID property,
                                             DataBrowserItemDataRef itemData, bool setValue);
void TNEFWinFileListFileDBItemNotification(const DataBrowser *browser, DataBrowserItemID itemID,
                                           DataBrowserItemNotification message);
