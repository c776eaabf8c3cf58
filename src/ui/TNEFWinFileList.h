#pragma once
// What the attachment list and the attribute list share: installing their
// callbacks, adding rows, the answers to the standard item properties, and
// telling whether any row is still selected.
#include "DataBrowser.h"

#include <vector>

OSStatus TNEFWinFileListInstall(ControlRef browser, DataBrowserItemDataProcPtr itemData,
                                DataBrowserItemNotificationProcPtr itemNotification);
// A row that cannot be added is logged and skipped.
void TNEFWinFileListAddRows(ControlRef browser, const std::vector<DataBrowserItemID> &items);
// Answers every property but the name column: the status to return, with
// *handled false for the name column.
OSStatus TNEFWinFileListAnswerProperty(DataBrowserItemDataRef itemData,
                                       DataBrowserPropertyID property, bool editable,
                                       bool *handled);
// True when the last selected row has gone; false also when the count fails.
bool TNEFWinFileListNothingSelected(ControlRef browser);
// Brings the application forward when the user acts in one of its lists
// while another application is in front.
void TNEFWinFileListComeForward(ControlRef browser);
