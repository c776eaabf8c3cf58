#include "DataBrowser.h"

#include <QTreeView>

DataBrowser::DataBrowser(QTreeView *view, const std::vector<DataBrowserItemID> &items,
                         DataBrowserItemDataProc itemData,
                         DataBrowserItemNotificationProc itemNotification)
    : QAbstractListModel(view), m_view(view), m_items(items), m_itemData(itemData),
      m_itemNotification(itemNotification)
{
    view->setModel(this);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &DataBrowser::announce);
}

DataBrowserItemID DataBrowser::itemAt(int row) const
{
    return row >= 0 && row < int(m_items.size()) ? m_items[size_t(row)] : 0;
}

bool DataBrowser::hasSelection() const
{
    return m_view->selectionModel()->hasSelection();
}

void DataBrowser::detach()
{
    m_itemData = nullptr;
    m_itemNotification = nullptr;
}

int DataBrowser::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant DataBrowser::data(const QModelIndex &index, int role) const
{
    DataBrowserItemData cell;
    if (role != Qt::DisplayRole || !ask(index.row(), kDataBrowserNameProperty, &cell) || !cell.hasText)
        return {};
    return cell.text;
}

// Every list refuses stores, so cells are never offered for editing.
Qt::ItemFlags DataBrowser::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    DataBrowserItemData active;
    if (ask(index.row(), kDataBrowserItemIsActiveProperty, &active)
        && (!active.hasBooleanValue || active.booleanValue)) {
        flags |= Qt::ItemIsEnabled;
    }
    return flags;
}

QVariant DataBrowser::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_view->property("columnTitle");
    return {};
}

// False once detached: a closing window no longer answers.
bool DataBrowser::ask(int row, DataBrowserPropertyID property, DataBrowserItemData *cell) const
{
    return m_itemData && m_itemData(this, itemAt(row), property, cell, false) == noErr;
}

void DataBrowser::announce(const QItemSelection &selected, const QItemSelection &deselected)
{
    const auto notify = [this](const QItemSelection &rows, DataBrowserItemNotification message) {
        for (const QModelIndex &index : rows.indexes()) {
            // Read each time: a notification may close the window.
            if (m_itemNotification)
                m_itemNotification(this, itemAt(index.row()), message);
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
