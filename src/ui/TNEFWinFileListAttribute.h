#pragma once
// The attribute list of a document window: one row per TNEF attribute, keyed
// by its objectID; selecting a row shows its type, size and a value preview.
#include "DataBrowser.h"

OSStatus TNEFWinFileListAttributeDBInit(ControlRef browser);
OSStatus TNEFWinFileListAttributeDBGetSetItemData(ControlRef browser, DataBrowserItemID itemID,
                                                  DataBrowserPropertyID property,
                                                  DataBrowserItemDataRef itemData, bool setValue);
void TNEFWinFileListAttributeDBItemNotification(ControlRef browser, DataBrowserItemID itemID,
                                                DataBrowserItemNotification message);
