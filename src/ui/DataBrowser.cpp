#include "DataBrowser.h"

#include <QSet>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <algorithm>

DataBrowser::DataBrowser(QTreeView *view, std::vector<DataBrowserRow> rows,
                         DataBrowserItemDataProc itemData,
                         DataBrowserItemNotificationProc itemNotification,
                         std::vector<DataBrowserColumn> columns, DataBrowserItemMimeDataProc itemMimeData)
    : QAbstractTableModel(view), m_view(view), m_sorted(new QSortFilterProxyModel(this)), m_rows(std::move(rows)),
      m_columns(std::move(columns)), m_itemData(itemData), m_itemNotification(itemNotification),
      m_itemMimeData(itemMimeData)
{
    if (m_columns.empty())
        m_columns.push_back({kDataBrowserNameProperty, view->property("columnTitle").toString()});
    m_sorted->setSourceModel(this);
    m_sorted->setSortRole(kSortRole);
    m_sorted->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_sorted->setSortLocaleAware(true);
    view->setModel(m_sorted);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &DataBrowser::announce);
}

DataBrowser *DataBrowser::of(const QAbstractItemView *view)
{
    const auto *sorted = qobject_cast<const QSortFilterProxyModel *>(view->model());
    return sorted ? qobject_cast<DataBrowser *>(sorted->sourceModel()) : nullptr;
}

DataBrowserItemID DataBrowser::itemAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].item : 0;
}

DataBrowserItemID DataBrowser::itemAt(const QModelIndex &index) const
{
    return itemAt(index.model() == m_sorted ? m_sorted->mapToSource(index).row() : index.row());
}

bool DataBrowser::hasSelection() const
{
    return m_view->selectionModel()->hasSelection();
}

std::vector<DataBrowserItemID> DataBrowser::selectedItems() const
{
    return itemsOf(m_view->selectionModel()->selectedIndexes());
}

void DataBrowser::detach()
{
    m_itemData = nullptr;
    m_itemNotification = nullptr;
    m_itemMimeData = nullptr;
}

int DataBrowser::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DataBrowser::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataBrowser::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= int(m_columns.size()) || index.row() >= int(m_rows.size()))
        return {};
    const DataBrowserColumn &column = m_columns[size_t(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.alignment);
    if (role != Qt::DisplayRole && role != Qt::DecorationRole && role != Qt::ToolTipRole && role != kSortRole)
        return {};
    // A closing window no longer answers.
    const std::vector<DataBrowserItemData> &cells = m_rows[size_t(index.row())].cells;
    if (!m_itemData || index.column() >= int(cells.size()))
        return {};
    const DataBrowserItemData &cell = cells[size_t(index.column())];
    switch (role) {
    case Qt::DecorationRole:
        return cell.icon.isNull() ? QVariant() : QVariant(cell.icon);
    case Qt::ToolTipRole:
        return cell.toolTip.isEmpty() ? QVariant() : QVariant(cell.toolTip);
    case kSortRole:
        if (cell.sortValue.isValid())
            return cell.sortValue;
        break;
    default:
        break;
    }
    return cell.hasText ? QVariant(cell.text) : QVariant();
}

// Every list refuses stores, so cells are never offered for editing.
Qt::ItemFlags DataBrowser::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_itemMimeData)
        flags |= Qt::ItemIsDragEnabled;
    DataBrowserItemData active;
    if (ask(index.row(), kDataBrowserItemIsActiveProperty, &active)
        && (!active.hasBooleanValue || active.booleanValue)) {
        flags |= Qt::ItemIsEnabled;
    }
    return flags;
}

QVariant DataBrowser::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section >= 0 && section < int(m_columns.size()) && orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole)
            return m_columns[size_t(section)].title;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(m_columns[size_t(section)].alignment);
    }
    return {};
}

QStringList DataBrowser::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *DataBrowser::mimeData(const QModelIndexList &indexes) const
{
    const std::vector<DataBrowserItemID> items = itemsOf(indexes);
    return m_itemMimeData && !items.empty() ? m_itemMimeData(this, items) : nullptr;
}

Qt::DropActions DataBrowser::supportedDragActions() const
{
    return Qt::CopyAction;
}

// False once detached: a closing window no longer answers.
bool DataBrowser::ask(int row, DataBrowserPropertyID property, DataBrowserItemData *cell) const
{
    return m_itemData && m_itemData(this, itemAt(row), property, cell, false) == noErr;
}

std::vector<int> DataBrowser::rowsOf(const QModelIndexList &indexes) const
{
    std::vector<int> rows;
    QSet<int> seen;
    for (const QModelIndex &index : indexes) {
        const int row = index.model() == m_sorted ? m_sorted->mapToSource(index).row() : index.row();
        if (!seen.contains(row)) {
            seen.insert(row);
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<DataBrowserItemID> DataBrowser::itemsOf(const QModelIndexList &indexes) const
{
    std::vector<int> rows = rowsOf(indexes);
    std::sort(rows.begin(), rows.end());
    std::vector<DataBrowserItemID> items;
    for (int row : rows)
        items.push_back(itemAt(row));
    return items;
}

void DataBrowser::announce(const QItemSelection &selected, const QItemSelection &deselected)
{
    const auto notify = [this](const QItemSelection &rows, DataBrowserItemNotification message) {
        for (int row : rowsOf(rows.indexes())) {
            // Read each time: a notification may close the window.
            if (m_itemNotification)
                m_itemNotification(this, itemAt(row), message);
        }
    };
    notify(deselected, kDataBrowserItemDeselected);
    notify(selected, kDataBrowserItemSelected);
}

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString &text)
{
    if (!itemData)
        return paramErr;
    itemData->text = text;
    itemData->hasText = true;
    return noErr;
}

OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, bool value)
{
    if (!itemData)
        return paramErr;
    itemData->booleanValue = value;
    itemData->hasBooleanValue = true;
    return noErr;
}
