#pragma once
// What the attachment list and the attribute list share: installing their
// callbacks, adding rows, the answers to the standard item properties, and
// telling whether any row is still selected.
#include "DataBrowser.h"

#include <vector>

struct TNEFFile;

OSStatus TNEFWinFileListInstall(ControlRef browser, DataBrowserItemDataProcPtr itemData,
                                DataBrowserItemNotificationProcPtr itemNotification);
// A row that cannot be added is logged and skipped.
void TNEFWinFileListAddRows(ControlRef browser, const std::vector<DataBrowserItemID> &items);
// Answers every property but the name column: the status to return, with
// *handled false for the name column.
OSStatus TNEFWinFileListAnswerProperty(DataBrowserItemDataRef itemData,
                                       DataBrowserPropertyID property, bool editable,
                                       bool *handled);
// Sets a list up: installs its two callbacks and adds one row per item that
// `rows` lists for the window's document, in document order.
OSStatus TNEFWinFileListInit(ControlRef browser, DataBrowserItemDataProcPtr itemData,
                             DataBrowserItemNotificationProcPtr itemNotification,
                             std::vector<DataBrowserItemID> (*rows)(const TNEFFile *tnefFile));
// The common part of both lists' item-data callbacks: the document when the
// request is for the name column's text, otherwise null with the callback's
// answer in *result.
const TNEFFile *TNEFWinFileListNameRequest(ControlRef browser, DataBrowserPropertyID property,
                                           DataBrowserItemDataRef itemData, bool setValue,
                                           bool editable, OSStatus *result);
// True when the last selected row has gone; false also when the count fails.
bool TNEFWinFileListNothingSelected(ControlRef browser);
// Brings the application forward when the user acts in one of its lists
// while another application is in front.
void TNEFWinFileListComeForward(ControlRef browser);
