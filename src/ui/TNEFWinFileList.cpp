#include "TNEFWinFileList.h"

#include "TNEFWinFile.h"
#include "UtilProc.h"
#include "platform/ErrorLog.h"
#include "tnef/TNEFFile.h"

#include <QTreeView>

namespace {

TNEFWinFile *documentWindow(const QWidget *view)
{
    auto *winFile = qobject_cast<TNEFWinFile *>(view->window());
    if (!winFile) {
        TNEF_LOG_ERROR("    GetControlOwner() returned NULL.\n");
        return nullptr;
    }
    if (!winFile->document()) {
        TNEF_LOG_ERROR("    GetWRefCon() returned NULL.\n");
        return nullptr;
    }
    return winFile;
}

// Answers every property but the name column: the status to return, with
// *handled false for the name column.
OSStatus answerProperty(DataBrowserItemDataRef itemData, DataBrowserPropertyID property, bool editable,
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
    case kDataBrowserKindProperty:
    case kDataBrowserSizeProperty:
        *handled = false;
        return noErr;
    default:
        return errDataBrowserPropertyNotSupported;
    }
}

} // namespace

OSStatus TNEFWinFileListInit(QTreeView *view, DataBrowserItemDataProc itemData,
                             DataBrowserItemNotificationProc itemNotification,
                             std::vector<DataBrowserItemID> (*rows)(const TNEFFile *tnefFile),
                             std::vector<DataBrowserColumn> columns, DataBrowserItemMimeDataProc itemMimeData)
{
    if (!view)
        return -1;
    const TNEFWinFile *winFile = documentWindow(view);
    if (!winFile)
        return -1;
    new DataBrowser(view, rows(winFile->document()), itemData, itemNotification, std::move(columns), itemMimeData);
    return noErr;
}

TNEFWinFile *TNEFWinFileListWindow(const DataBrowser *browser)
{
    return documentWindow(browser->view());
}

const TNEFFile *TNEFWinFileListNameRequest(const DataBrowser *browser, DataBrowserPropertyID property,
                                           DataBrowserItemDataRef itemData, bool setValue,
                                           bool editable, OSStatus *result)
{
    *result = noErr;
    const TNEFWinFile *winFile = TNEFWinFileListWindow(browser);
    if (!winFile)
        return nullptr;
    if (setValue) {
        *result = errDataBrowserPropertyNotSupported;
        return nullptr;
    }
    bool handled = false;
    *result = answerProperty(itemData, property, editable, &handled);
    return handled ? nullptr : winFile->document();
}

void TNEFWinFileListComeForward(const DataBrowser *browser)
{
    if (!UtilProcAmFront())
        UtilProcSetFront(browser->view()->window());
}
