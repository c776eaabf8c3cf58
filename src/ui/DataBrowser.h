#pragma once
// The model behind each list of a document window: rows of item IDs, in one
// or more columns, shown in a QTreeView of the window's form through a
// sorting proxy (document order until the user sorts). Its rows come with
// what each column shows of them, computed once when the list is filled, so
// that showing, scrolling and sorting never go back to the document, whatever
// its size; the item-data function answers the other properties, every
// selection change goes to the notification function and every drag to the
// mime-data function, which find the rows in the document.
#include "platform/MacTypes.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QVariant>
#include <vector>

class QAbstractItemView;
class QItemSelection;
class QMimeData;
class QSortFilterProxyModel;
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
    // "name": the first column of every list in this program.
    kDataBrowserNameProperty = 0x6E616D65,
    kDataBrowserKindProperty = 0x6B696E64,  // "kind"
    kDataBrowserSizeProperty = 0x73697A65,  // "size"
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
    QIcon icon;
    QString toolTip;
    QVariant sortValue;  // what the column sorts by when not its text
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
// The data of a drag of `items` (in document order), owned by the caller;
// null refuses the drag.
using DataBrowserItemMimeDataProc = QMimeData *(*)(const DataBrowser *browser,
                                                   const std::vector<DataBrowserItemID> &items);

// One row: its item and what each column shows of it, in column order.
struct DataBrowserRow {
    DataBrowserItemID item = 0;
    std::vector<DataBrowserItemData> cells;
};

struct DataBrowserColumn {
    DataBrowserPropertyID property = kDataBrowserNameProperty;
    QString title;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class DataBrowser : public QAbstractTableModel {
    Q_OBJECT
public:
    // Becomes the model of `view`, with one row per item in the order given,
    // in the columns given; without columns, in the name column titled with
    // the view's "columnTitle" property. Selecting a row announces the
    // deselected rows first, then the selected ones, each after the
    // selection has changed, so that a function counting the selected rows
    // sees the new state. With a mime-data function, rows can be dragged.
    DataBrowser(QTreeView *view, std::vector<DataBrowserRow> rows,
                DataBrowserItemDataProc itemData, DataBrowserItemNotificationProc itemNotification,
                std::vector<DataBrowserColumn> columns = {},
                DataBrowserItemMimeDataProc itemMimeData = nullptr);

    // The model of the list shown in `view`, or null.
    static DataBrowser *of(const QAbstractItemView *view);

    QTreeView *view() const { return m_view; }
    DataBrowserItemID itemAt(int row) const;
    // The item of an index of the view (sorted) or of this model.
    DataBrowserItemID itemAt(const QModelIndex &index) const;
    bool hasSelection() const;
    // The selected items in document order, whatever the view's order.
    std::vector<DataBrowserItemID> selectedItems() const;
    // Stops every call into the functions: the document is going.
    void detach();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // The role the sorting proxy sorts by.
    static constexpr int kSortRole = Qt::UserRole;

private:
    bool ask(int row, DataBrowserPropertyID property, DataBrowserItemData *cell) const;
    void announce(const QItemSelection &selected, const QItemSelection &deselected);
    // Source rows of `indexes`, each once, in the order met.
    std::vector<int> rowsOf(const QModelIndexList &indexes) const;
    // Their items, in document order.
    std::vector<DataBrowserItemID> itemsOf(const QModelIndexList &indexes) const;

    QTreeView *m_view;
    QSortFilterProxyModel *m_sorted;
    std::vector<DataBrowserRow> m_rows;
    std::vector<DataBrowserColumn> m_columns;
    DataBrowserItemDataProc m_itemData;
    DataBrowserItemNotificationProc m_itemNotification;
    DataBrowserItemMimeDataProc m_itemMimeData;
};
