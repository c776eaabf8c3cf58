#include "TNEFWinFileList.h"

#include "TNEFWinFile.h"
#include "UtilProc.h"
#include "platform/ErrorLog.h"

OSStatus TNEFWinFileListInstall(ControlRef browser, DataBrowserItemDataProcPtr itemData,
                                DataBrowserItemNotificationProcPtr itemNotification)
{
    DataBrowserCallbacks callbacks;
    OSStatus err = InitDataBrowserCallbacks(&callbacks);
    if (err != noErr) {
        TNEF_LOG_ERROR("    InitDataBrowserCallbacks() returned %ld.\n", long(err));
        return err;
    }
    callbacks.itemDataCallback = itemData;
    callbacks.itemNotificationCallback = itemNotification;
    err = SetDataBrowserCallbacks(browser, &callbacks);
    if (err != noErr)
        TNEF_LOG_ERROR("    SetDataBrowserCallbacks() returned %ld.\n", long(err));
    return err;
}

void TNEFWinFileListAddRows(ControlRef browser, const std::vector<DataBrowserItemID> &items)
{
    for (DataBrowserItemID item : items) {
        const OSStatus err = AddDataBrowserItems(browser, kDataBrowserNoItem, 1, &item, 0);
        if (err != noErr)
            TNEF_LOG_ERROR("    AddDataBrowserItems() returned %ld.\n", long(err));
    }
}

OSStatus TNEFWinFileListAnswerProperty(DataBrowserItemDataRef itemData,
                                       DataBrowserPropertyID property, bool editable,
                                       bool *handled)
{
    *handled = true;
    switch (property) {
    case kDataBrowserItemIsActiveProperty:
        return SetDataBrowserItemDataBooleanValue(itemData, true);
    case kDataBrowserItemIsEditableProperty:
        return SetDataBrowserItemDataBooleanValue(itemData, editable);
    case kDataBrowserItemIsContainerProperty:
        return SetDataBrowserItemDataBooleanValue(itemData, false);
    case kDataBrowserContainerAliasIDProperty:
    case kDataBrowserItemParentContainerProperty:
        return noErr;
    case kDataBrowserNameProperty:
        *handled = false;
        return noErr;
    default:
        return errDataBrowserPropertyNotSupported;
    }
}

bool TNEFWinFileListNothingSelected(ControlRef browser)
{
    UInt32 selected = 0;
    const OSStatus err =
        GetDataBrowserItemCount(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected, &selected);
    if (err != noErr) {
        TNEF_LOG_ERROR("    GetDataBrowserItemCount() returned %ld.\n", long(err));
        return false;
    }
    return selected == 0;
}

void TNEFWinFileListComeForward(ControlRef browser)
{
    if (!UtilProcAmFront())
        UtilProcSetFront(GetControlOwner(browser));
}

OSStatus TNEFWinFileListInit(ControlRef browser, DataBrowserItemDataProcPtr itemData,
                             DataBrowserItemNotificationProcPtr itemNotification,
                             std::vector<DataBrowserItemID> (*rows)(const TNEFFile *tnefFile))
{
    if (!browser)
        return -1;
    const OSStatus err = TNEFWinFileListInstall(browser, itemData, itemNotification);
    if (err != noErr)
        return err;
    const TNEFFile *tnefFile = TNEFWinFileGetDocument(browser);
    if (!tnefFile)
        return -1;
    TNEFWinFileListAddRows(browser, rows(tnefFile));
    return noErr;
}

const TNEFFile *TNEFWinFileListNameRequest(ControlRef browser, DataBrowserPropertyID property,
                                           DataBrowserItemDataRef itemData, bool setValue,
                                           bool editable, OSStatus *result)
{
    *result = noErr;
    const TNEFFile *tnefFile = TNEFWinFileGetDocument(browser);
    if (!tnefFile)
        return nullptr;
    if (setValue) {
        *result = errDataBrowserPropertyNotSupported;
        return nullptr;
    }
    bool handled = false;
    *result = TNEFWinFileListAnswerProperty(itemData, property, editable, &handled);
    return handled ? nullptr : tnefFile;
}
