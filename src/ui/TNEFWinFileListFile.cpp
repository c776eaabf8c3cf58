#include "TNEFWinFileListFile.h"

#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "tnef/TNEFText.h"

namespace {

std::vector<DataBrowserItemID> rowsOf(const TNEFFile *tnefFile)
{
    std::vector<DataBrowserItemID> rows;
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next)
        rows.push_back(item->fileID);
    return rows;
}

} // namespace

OSStatus TNEFWinFileListFileDBInit(QTreeView *view)
{
    return TNEFWinFileListInit(view, TNEFWinFileListFileDBGetSetItemData,
                               TNEFWinFileListFileDBItemNotification, rowsOf);
}

OSStatus TNEFWinFileListFileDBGetSetItemData(const DataBrowser *browser, DataBrowserItemID itemID,
                                             DataBrowserPropertyID property,
                                             DataBrowserItemDataRef itemData, bool setValue)
{
    OSStatus result = noErr;
    const TNEFFile *tnefFile =
        TNEFWinFileListNameRequest(browser, property, itemData, setValue, false, &result);
    if (!tnefFile)
        return result;
    if (const TNEFFileItem *item = TNEFFileFindItem(tnefFile, itemID))
        SetDataBrowserItemDataText(itemData, TNEFFileItemDisplayName(item));
    return noErr;
}

void TNEFWinFileListFileDBItemNotification(const DataBrowser *browser, DataBrowserItemID itemID,
                                           DataBrowserItemNotification message)
{
    TNEFWinFile *winFile = TNEFWinFileListWindow(browser);
    if (!winFile)
        return;
    TNEFFile *tnefFile = winFile->document();
    if (message == kDataBrowserItemSelected) {
        TNEFWinFileListComeForward(browser);
        const TNEFFileItem *item = TNEFFileFindItem(tnefFile, itemID);
        if (!item)
            return;
        if (TNEFWinFileSetFileName(winFile, TNEFFileItemTitle(item)) != noErr)
            return;
        if (TNEFWinFileSetFileSize(winFile, TNEFTextCreateSizeText(item->dataLength)) != noErr)
            return;
        tnefFile->selectedFileID = itemID;
        TNEFWinFileSetFileSaveButtonState(winFile, true);
    } else if (message == kDataBrowserItemDeselected) {
        if (browser->hasSelection())
            return;
        if (TNEFWinFileSetFileName(winFile, QString()) != noErr)
            return;
        if (TNEFWinFileSetFileSize(winFile, QString()) != noErr)
            return;
        tnefFile->selectedFileID = 0;
        TNEFWinFileSetFileSaveButtonState(winFile, false);
    }
}
