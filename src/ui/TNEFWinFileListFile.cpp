#include "TNEFWinFileListFile.h"

#include "Controls.h"
#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "TNEFWinFileOpen.h"
#include "tnef/TNEFText.h"

#include <QApplication>
#include <QHash>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStyle>
#include <QTreeView>
#include <QUrl>

namespace {

std::vector<DataBrowserColumn> columns()
{
    return {
        {kDataBrowserNameProperty, QCoreApplication::translate("TNEFWinFile", "Name")},
        {kDataBrowserKindProperty, QCoreApplication::translate("TNEFWinFile", "Type")},
        {kDataBrowserSizeProperty, QCoreApplication::translate("TNEFWinFile", "Size"),
         Qt::AlignRight | Qt::AlignVCenter},
    };
}

// What the Name and Type columns show of a type, looked up once per type.
struct TypeCells {
    QIcon icon;
    DataBrowserItemData kind;
};

// Loading an icon from the theme takes milliseconds, and a file may hold a
// hundred thousand attachments of a handful of types: each type's icon and
// texts are made once per list and shared by its rows. Finding a name's
// type takes microseconds, so a name met before (image001.png, say) reuses
// the type found for it.
std::vector<DataBrowserRow> rowsOf(const TNEFFile *tnefFile)
{
    const std::vector<DataBrowserColumn> shown = columns();
    std::vector<DataBrowserRow> rows;
    QHash<QString, TypeCells> types;
    QHash<QString, QString> typeOfName;
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next) {
        const QString title = TNEFFileItemTitle(item);
        // Names hold no zero: this key is an attached message's alone.
        const QString name = item->isTNEF == -1 ? QString(QChar(0)) : title;
        auto typeName = typeOfName.constFind(name);
        if (typeName == typeOfName.cend()) {
            const QMimeType type = TNEFWinFileAttachmentType(item);
            if (!types.contains(type.name())) {
                TypeCells cells{TNEFWinFileTypeIcon(type), {}};
                SetDataBrowserItemDataText(&cells.kind, type.comment());
                cells.kind.toolTip = type.name();
                types.insert(type.name(), cells);
            }
            typeName = typeOfName.insert(name, type.name());
        }
        const TypeCells &known = *types.constFind(*typeName);
        DataBrowserRow row{item->fileID, {}};
        row.cells.reserve(shown.size());
        for (const DataBrowserColumn &column : shown) {
            DataBrowserItemData cell;
            switch (column.property) {
            case kDataBrowserNameProperty:
                SetDataBrowserItemDataText(&cell, TNEFFileItemDisplayName(item));
                cell.icon = known.icon;
                cell.toolTip = title;
                break;
            case kDataBrowserKindProperty:
                cell = known.kind;
                break;
            case kDataBrowserSizeProperty:
                SetDataBrowserItemDataText(&cell, TNEFWinFileSizeText(item->dataLength));
                cell.toolTip = TNEFWinFileExactSizeText(item->dataLength);
                cell.sortValue = qulonglong(item->dataLength);
                break;
            default:
                break;
            }
            row.cells.push_back(std::move(cell));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// The name and size fields for the selected attachments: those of the one,
// or the count and total size of several.
OSStatus showSelection(TNEFWinFile *winFile, const std::vector<DataBrowserItemID> &selected, UInt32 fileID)
{
    const TNEFFile *tnefFile = winFile->document();
    if (selected.size() > 1) {
        quint64 total = 0;
        for (DataBrowserItemID id : selected) {
            if (const TNEFFileItem *item = TNEFFileFindItem(tnefFile, id))
                total += item->dataLength;
        }
        const OSStatus err = TNEFWinFileSetFileName(
            winFile, QCoreApplication::translate("TNEFWinFile", "%1 attachments").arg(selected.size()));
        return err != noErr ? err : TNEFWinFileSetFileSize(winFile, TNEFWinFileFullSizeText(total));
    }
    const TNEFFileItem *item = TNEFFileFindItem(tnefFile, fileID);
    if (!item)
        return paramErr;
    const OSStatus err = TNEFWinFileSetFileName(winFile, TNEFFileItemTitle(item));
    return err != noErr ? err : TNEFWinFileSetFileSize(winFile, TNEFWinFileFullSizeText(item->dataLength));
}

} // namespace

OSStatus TNEFWinFileListFileDBInit(QTreeView *view)
{
    return TNEFWinFileListInit(view, TNEFWinFileListFileDBGetSetItemData,
                               TNEFWinFileListFileDBItemNotification, rowsOf, columns(),
                               TNEFWinFileListFileDBMimeData);
}

OSStatus TNEFWinFileListFileDBGetSetItemData(const DataBrowser *browser, DataBrowserItemID itemID,
                                             DataBrowserPropertyID property,
                                             DataBrowserItemDataRef itemData, bool setValue)
{
    Q_UNUSED(itemID);
    return TNEFWinFileListItemData(browser, property, itemData, setValue, false);
}

void TNEFWinFileListFileDBItemNotification(const DataBrowser *browser, DataBrowserItemID itemID,
                                           DataBrowserItemNotification message)
{
    TNEFWinFile *winFile = TNEFWinFileListWindow(browser);
    if (!winFile)
        return;
    TNEFFile *tnefFile = winFile->document();
    const std::vector<DataBrowserItemID> selected = browser->selectedItems();
    if (message == kDataBrowserItemSelected) {
        TNEFWinFileListComeForward(browser);
        if (showSelection(winFile, selected, itemID) != noErr)
            return;
        tnefFile->selectedFileID = itemID;
        TNEFWinFileSetFileSaveButtonState(winFile, true);
    } else if (message == kDataBrowserItemDeselected) {
        if (!selected.empty()) {
            // What stays selected is shown; the recorded attachment is one of it.
            const bool kept = std::find(selected.begin(), selected.end(), tnefFile->selectedFileID) != selected.end();
            const UInt32 fileID = kept ? tnefFile->selectedFileID : selected.back();
            if (showSelection(winFile, selected, fileID) == noErr)
                tnefFile->selectedFileID = fileID;
            return;
        }
        if (TNEFWinFileSetFileName(winFile, QString()) != noErr)
            return;
        if (TNEFWinFileSetFileSize(winFile, QString()) != noErr)
            return;
        tnefFile->selectedFileID = 0;
        TNEFWinFileSetFileSaveButtonState(winFile, false);
    }
}

QMimeData *TNEFWinFileListFileDBMimeData(const DataBrowser *browser, const std::vector<DataBrowserItemID> &items)
{
    TNEFWinFile *winFile = TNEFWinFileListWindow(browser);
    if (!winFile)
        return nullptr;
    const QStringList copies = TNEFWinFileWriteCopies(winFile->document(), items);
    if (copies.isEmpty())
        return nullptr;
    QList<QUrl> urls;
    for (const QString &path : copies)
        urls << DesktopFileURL(path);
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

QMimeType TNEFWinFileAttachmentType(const TNEFFileItem *item)
{
    static const QMimeDatabase database;
    if (item->isTNEF == -1)
        return database.mimeTypeForName(QStringLiteral("application/vnd.ms-tnef"));
    return database.mimeTypeForFile(TNEFFileItemTitle(item), QMimeDatabase::MatchExtension);
}

QIcon TNEFWinFileTypeIcon(const QMimeType &type)
{
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

QString TNEFWinFileSizeText(quint64 size)
{
    if (size < 1024)
        return TNEFWinFileExactSizeText(size);
    return QLocale().formattedDataSize(qint64(size), 1);
}

QString TNEFWinFileExactSizeText(quint64 size)
{
    return size == 1 ? QCoreApplication::translate("TNEFWinFile", "1 byte")
                     : QCoreApplication::translate("TNEFWinFile", "%L1 bytes").arg(size);
}

QString TNEFWinFileFullSizeText(quint64 size)
{
    return size < 1024 ? TNEFWinFileExactSizeText(size)
                       : QStringLiteral("%1 (%2)").arg(TNEFWinFileSizeText(size), TNEFWinFileExactSizeText(size));
}
