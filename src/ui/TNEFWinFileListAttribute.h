#pragma once
// The attribute list of a document window: one row per TNEF attribute, keyed
// by its objectID; selecting a row shows its type, size and a value preview.
#include "DataBrowser.h"

class QTreeView;

OSStatus TNEFWinFileListAttributeDBInit(QTreeView *view);
OSStatus TNEFWinFileListAttributeDBGetSetItemData(const DataBrowser *browser, DataBrowserItemID itemID,
                                                  DataBrowserPropertyID property,
                                                  DataBrowserItemDataRef itemData, bool setValue);
void TNEFWinFileListAttributeDBItemNotification(const DataBrowser *browser, DataBrowserItemID itemID,
                                                DataBrowserItemNotification message);
