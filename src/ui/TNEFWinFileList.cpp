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

// The column properties are answered by the rows' cells, so have nothing
// more to say here.
OSStatus answerProperty(DataBrowserItemDataRef itemData, DataBrowserPropertyID property, bool editable)
{
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
        return noErr;
    default:
        return errDataBrowserPropertyNotSupported;
    }
}

} // namespace

OSStatus TNEFWinFileListInit(QTreeView *view, DataBrowserItemDataProc itemData,
                             DataBrowserItemNotificationProc itemNotification,
                             std::vector<DataBrowserRow> (*rows)(const TNEFFile *tnefFile),
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

OSStatus TNEFWinFileListItemData(const DataBrowser *browser, DataBrowserPropertyID property,
                                 DataBrowserItemDataRef itemData, bool setValue, bool editable)
{
    if (!TNEFWinFileListWindow(browser))
        return noErr;
    if (setValue)
        return errDataBrowserPropertyNotSupported;
    return answerProperty(itemData, property, editable);
}

void TNEFWinFileListComeForward(const DataBrowser *browser)
{
    if (!UtilProcAmFront())
        UtilProcSetFront(browser->view()->window());
}
