#include "DataBrowser.h"

#include <QAbstractListModel>
#include <QHeaderView>
#include <vector>

class DataBrowserModel : public QAbstractListModel {
public:
    explicit DataBrowserModel(DataBrowser *browser) : QAbstractListModel(browser), m_browser(browser) {}

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_items.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        DataBrowserItemData cell;
        if (!ask(index.row(), kDataBrowserNameProperty, &cell) || !cell.hasText)
            return {};
        return cell.text;
    }

    // Every list refuses stores, so cells are never offered for editing.
    Qt::ItemFlags flags(const QModelIndex &index) const override
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

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_title;
        return {};
    }

    void setTitle(const QString &title)
    {
        m_title = title;
        emit headerDataChanged(Qt::Horizontal, 0, 0);
    }
    QString title() const { return m_title; }

    void append(DataBrowserItemID item)
    {
        const int row = int(m_items.size());
        beginInsertRows({}, row, row);
        m_items.push_back(item);
        endInsertRows();
    }

    DataBrowserItemID itemAt(int row) const
    {
        return row >= 0 && row < int(m_items.size()) ? m_items[size_t(row)] : kDataBrowserNoItem;
    }

private:
    // False when no callback is installed (a closing window has detached it).
    bool ask(int row, DataBrowserPropertyID property, DataBrowserItemData *cell) const
    {
        const auto callback = m_browser->callbacks().itemDataCallback;
        if (!callback)
            return false;
        return callback(m_browser, itemAt(row), property, cell, false) == noErr;
    }

    DataBrowser *m_browser;
    std::vector<DataBrowserItemID> m_items;
    QString m_title;
};

DataBrowser::DataBrowser(QWidget *parent) : QTreeView(parent), m_model(new DataBrowserModel(this))
{
    setModel(m_model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &DataBrowser::announce);
}

QString DataBrowser::columnTitle() const
{
    return m_model->title();
}

void DataBrowser::setColumnTitle(const QString &title)
{
    m_model->setTitle(title);
}

void DataBrowser::addItem(DataBrowserItemID item)
{
    m_model->append(item);
}

DataBrowserItemID DataBrowser::itemAt(int row) const
{
    return m_model->itemAt(row);
}

void DataBrowser::announce(const QItemSelection &selected, const QItemSelection &deselected)
{
    const auto notify = [this](const QItemSelection &rows, DataBrowserItemNotification message) {
        for (const QModelIndex &index : rows.indexes()) {
            // Read each time: a callback may close the window and detach itself.
            if (const auto callback = m_callbacks.itemNotificationCallback)
                callback(this, itemAt(index.row()), message);
        }
    };
    notify(deselected, kDataBrowserItemDeselected);
    notify(selected, kDataBrowserItemSelected);
}

namespace {

DataBrowser *asBrowser(ControlRef browser)
{
    return qobject_cast<DataBrowser *>(browser);
}

} // namespace

OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks *callbacks)
{
    if (!callbacks || callbacks->version != 0)
        return paramErr;
    *callbacks = DataBrowserCallbacks{};
    return noErr;
}

OSStatus SetDataBrowserCallbacks(ControlRef browser, const DataBrowserCallbacks *callbacks)
{
    DataBrowser *view = asBrowser(browser);
    if (!view || !callbacks)
        return errDataBrowserNotConfigured;
    view->setCallbacks(*callbacks);
    return noErr;
}

OSStatus GetDataBrowserCallbacks(ControlRef browser, DataBrowserCallbacks *callbacks)
{
    DataBrowser *view = asBrowser(browser);
    if (!view || !callbacks)
        return errDataBrowserNotConfigured;
    *callbacks = view->callbacks();
    return noErr;
}

OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                             const DataBrowserItemID *items, DataBrowserPropertyID)
{
    DataBrowser *view = asBrowser(browser);
    if (!view)
        return errDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem || (numItems > 0 && !items))
        return paramErr;
    for (UInt32 i = 0; i < numItems; ++i)
        view->addItem(items[i]);
    return noErr;
}

OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, bool,
                                 DataBrowserItemState state, UInt32 *numItems)
{
    DataBrowser *view = asBrowser(browser);
    if (!view)
        return errDataBrowserNotConfigured;
    if (container != kDataBrowserNoItem || !numItems)
        return paramErr;
    if (state == kDataBrowserItemIsSelected)
        *numItems = UInt32(view->selectionModel()->selectedRows().size());
    else
        *numItems = UInt32(view->model()->rowCount());
    return noErr;
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
