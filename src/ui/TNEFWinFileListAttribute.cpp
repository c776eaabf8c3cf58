#include "TNEFWinFileListAttribute.h"

#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "tnef/TNEFText.h"

namespace {

std::vector<DataBrowserItemID> rowsOf(const TNEFFile *tnefFile)
{
    std::vector<DataBrowserItemID> rows;
    for (const TNEFAttributeItem *item = tnefFile->attributeList; item; item = item->next)
        rows.push_back(item->objectID);
    return rows;
}

} // namespace

OSStatus TNEFWinFileListAttributeDBInit(QTreeView *view)
{
    return TNEFWinFileListInit(view, TNEFWinFileListAttributeDBGetSetItemData,
                               TNEFWinFileListAttributeDBItemNotification, rowsOf);
}

OSStatus TNEFWinFileListAttributeDBGetSetItemData(const DataBrowser *browser, DataBrowserItemID itemID,
                                                  DataBrowserPropertyID property,
                                                  DataBrowserItemDataRef itemData, bool setValue)
{
    OSStatus result = noErr;
    const TNEFFile *tnefFile =
        TNEFWinFileListNameRequest(browser, property, itemData, setValue, true, &result);
    if (!tnefFile)
        return result;
    if (const TNEFAttributeItem *item = TNEFFileFindAttribute(tnefFile, itemID)) {
        if (const char *name = TNEFTextGetAttributeName(item->attribute))
            SetDataBrowserItemDataText(itemData, QString::fromLatin1(name));
    }
    return noErr;
}

void TNEFWinFileListAttributeDBItemNotification(const DataBrowser *browser, DataBrowserItemID itemID,
                                                DataBrowserItemNotification message)
{
    TNEFWinFile *winFile = TNEFWinFileListWindow(browser);
    if (!winFile)
        return;
    TNEFFile *tnefFile = winFile->document();
    if (message == kDataBrowserItemSelected) {
        TNEFWinFileListComeForward(browser);
        const TNEFAttributeItem *item = TNEFFileFindAttribute(tnefFile, itemID);
        if (!item)
            return;
        // A nameless word empties the field, so that it never keeps the name
        // of the attribute shown before.
        const char *name = TNEFTextGetAttributeName(item->attribute);
        if (TNEFWinFileSetAttributeType(winFile, QString::fromLatin1(name)) != noErr)
            return;
        if (TNEFWinFileSetAttributeSize(winFile, TNEFTextCreateSizeText(item->length)) != noErr)
            return;
        QString preview;
        if (TNEFTextCreateValuePreview(item, tnefFile->forkRefNum, &preview) != noErr)
            return;
        if (TNEFWinFileSetAttributeData(winFile, preview) != noErr)
            return;
        tnefFile->selectedAttributeID = itemID;
    } else if (message == kDataBrowserItemDeselected) {
        if (browser->hasSelection())
            return;
        if (TNEFWinFileSetAttributeType(winFile, QString()) != noErr)
            return;
        if (TNEFWinFileSetAttributeSize(winFile, QString()) != noErr)
            return;
        if (TNEFWinFileSetAttributeData(winFile, QString()) != noErr)
            return;
        tnefFile->selectedAttributeID = 0;
    }
}
