#pragma once
// The model behind each list of a document window: one column of rows, each
// an item ID, shown in a QTreeView of the window's form. It holds no document
// data: every cell goes to the list's item-data function and every selection
// change to its notification function, which find the row in the document.
#include "platform/MacTypes.h"

#include <QAbstractListModel>
#include <vector>

class QItemSelection;
class QTreeView;

using DataBrowserItemID = UInt32;
using DataBrowserPropertyID = UInt32;
using DataBrowserItemNotification = UInt32;

enum : DataBrowserPropertyID {
    kDataBrowserItemIsActiveProperty = 1,
    kDataBrowserItemIsEditableProperty = 3,
    kDataBrowserItemIsContainerProperty = 4,
    kDataBrowserContainerAliasIDProperty = 9,
    kDataBrowserItemParentContainerProperty = 11,
    // "name": the one column of every list in this program.
    kDataBrowserNameProperty = 0x6E616D65,
};
enum : DataBrowserItemNotification {
    kDataBrowserItemSelected = 5,
    kDataBrowserItemDeselected = 6,
};
enum : OSStatus { errDataBrowserPropertyNotSupported = -4979 };

// What an item-data function answers for one cell.
struct DataBrowserItemData {
    QString text;
    bool hasText = false;
    bool booleanValue = false;
    bool hasBooleanValue = false;
};
using DataBrowserItemDataRef = DataBrowserItemData *;
OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString &text);
OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, bool value);

class DataBrowser;
using DataBrowserItemDataProc = OSStatus (*)(const DataBrowser *browser, DataBrowserItemID item,
                                             DataBrowserPropertyID property,
                                             DataBrowserItemDataRef itemData, bool setValue);
using DataBrowserItemNotificationProc = void (*)(const DataBrowser *browser, DataBrowserItemID item,
                                                 DataBrowserItemNotification message);

class DataBrowser : public QAbstractListModel {
    Q_OBJECT
public:
    // Becomes the model of `view`, titled with the view's "columnTitle"
    // property, with one row per item in the order given. Selecting a row
    // announces the deselected rows first, then the selected ones, each
    // after the selection has changed, so that a function counting the
    // selected rows sees the new state.
    DataBrowser(QTreeView *view, const std::vector<DataBrowserItemID> &items,
                DataBrowserItemDataProc itemData, DataBrowserItemNotificationProc itemNotification);

    QTreeView *view() const { return m_view; }
    DataBrowserItemID itemAt(int row) const;
    bool hasSelection() const;
    // Stops every call into the functions: the document is going.
    void detach();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    bool ask(int row, DataBrowserPropertyID property, DataBrowserItemData *cell) const;
    void announce(const QItemSelection &selected, const QItemSelection &deselected);

    QTreeView *m_view;
    std::vector<DataBrowserItemID> m_items;
    DataBrowserItemDataProc m_itemData;
    DataBrowserItemNotificationProc m_itemNotification;
};
