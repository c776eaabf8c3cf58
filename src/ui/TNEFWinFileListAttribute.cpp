#include "TNEFWinFileListAttribute.h"

#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "tnef/TNEFText.h"

namespace {

const TNEFAttributeItem *findAttribute(const TNEFFile *tnefFile, DataBrowserItemID itemID)
{
    for (const TNEFAttributeItem *item = tnefFile->attributeList; item; item = item->next) {
        if (item->objectID == itemID)
            return item;
    }
    return nullptr;
}

} // namespace

OSStatus TNEFWinFileListAttributeDBInit(ControlRef browser)
{
    if (!browser)
        return -1;
    const OSStatus err = TNEFWinFileListInstall(browser, TNEFWinFileListAttributeDBGetSetItemData,
                                                TNEFWinFileListAttributeDBItemNotification);
    if (err != noErr)
        return err;
    const TNEFFile *tnefFile = TNEFWinFileGetDocument(browser);
    if (!tnefFile)
        return -1;
    std::vector<DataBrowserItemID> rows;
    for (const TNEFAttributeItem *item = tnefFile->attributeList; item; item = item->next)
        rows.push_back(item->objectID);
    TNEFWinFileListAddRows(browser, rows);
    return noErr;
}

OSStatus TNEFWinFileListAttributeDBGetSetItemData(ControlRef browser, DataBrowserItemID itemID,
                                                  DataBrowserPropertyID property,
                                                  DataBrowserItemDataRef itemData, bool setValue)
{
    const TNEFFile *tnefFile = TNEFWinFileGetDocument(browser);
    if (!tnefFile)
        return noErr;
    if (setValue)
        return errDataBrowserPropertyNotSupported;
    bool handled = false;
    const OSStatus err = TNEFWinFileListAnswerProperty(itemData, property, true, &handled);
    if (handled)
        return err;
    if (const TNEFAttributeItem *item = findAttribute(tnefFile, itemID)) {
        if (const char *name = TNEFTextGetAttributeName(item->attribute))
            SetDataBrowserItemDataText(itemData, QString::fromLatin1(name));
    }
    return noErr;
}

void TNEFWinFileListAttributeDBItemNotification(ControlRef browser, DataBrowserItemID itemID,
                                                DataBrowserItemNotification message)
{
    TNEFFile *tnefFile = TNEFWinFileGetDocument(browser);
    if (!tnefFile)
        return;
    TNEFWinFile *winFile = tnefFile->winFile;
    if (message == kDataBrowserItemSelected) {
        TNEFWinFileListComeForward(browser);
        const TNEFAttributeItem *item = findAttribute(tnefFile, itemID);
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
        if (!TNEFWinFileListNothingSelected(browser))
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
