#include "TNEFWinFileListAttribute.h"

#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "tnef/TNEFText.h"

#include <QHash>

namespace {

// A file repeats a few attribute words many times: each name is made once
// and shared by its rows.
std::vector<DataBrowserRow> rowsOf(const TNEFFile *tnefFile)
{
    std::vector<DataBrowserRow> rows;
    QHash<UInt32, DataBrowserItemData> names;
    for (const TNEFAttributeItem *item = tnefFile->attributeList; item; item = item->next) {
        auto name = names.constFind(item->attribute);
        if (name == names.cend()) {
            DataBrowserItemData cell;
            if (const char *text = TNEFTextGetAttributeName(item->attribute))
                SetDataBrowserItemDataText(&cell, QString::fromLatin1(text));
            name = names.insert(item->attribute, cell);
        }
        rows.push_back({item->objectID, {*name}});
    }
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
    Q_UNUSED(itemID);
    return TNEFWinFileListItemData(browser, property, itemData, setValue, true);
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
