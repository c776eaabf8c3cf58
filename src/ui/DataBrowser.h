#pragma once
// A list control in the manner of the old toolbox's data browser: rows are
// item IDs, and every cell text and every selection change goes through two
// callbacks that the owner installs. The view never holds the document's data
// itself, so a list's behaviour lives entirely in its callbacks.
#include "Controls.h"

#include <QTreeView>

using DataBrowserItemID = UInt32;
using DataBrowserPropertyID = UInt32;
using DataBrowserItemNotification = UInt32;
using DataBrowserItemState = UInt32;

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
enum : DataBrowserItemState { kDataBrowserItemIsSelected = 1 };
enum : DataBrowserItemID { kDataBrowserNoItem = 0 };
enum : OSStatus {
    errDataBrowserNotConfigured = -4970,
    errDataBrowserPropertyNotSupported = -4979,
};

// What a data callback answers for one cell.
struct DataBrowserItemData {
    QString text;
    bool hasText = false;
    bool booleanValue = false;
    bool hasBooleanValue = false;
};
using DataBrowserItemDataRef = DataBrowserItemData *;

using DataBrowserItemDataProcPtr = OSStatus (*)(ControlRef browser, DataBrowserItemID item,
                                                DataBrowserPropertyID property,
                                                DataBrowserItemDataRef itemData, bool setValue);
using DataBrowserItemNotificationProcPtr = void (*)(ControlRef browser, DataBrowserItemID item,
                                                    DataBrowserItemNotification message);

struct DataBrowserCallbacks {
    UInt32 version = 0;
    DataBrowserItemDataProcPtr itemDataCallback = nullptr;
    DataBrowserItemNotificationProcPtr itemNotificationCallback = nullptr;
};

OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks *callbacks);
OSStatus SetDataBrowserCallbacks(ControlRef browser, const DataBrowserCallbacks *callbacks);
OSStatus GetDataBrowserCallbacks(ControlRef browser, DataBrowserCallbacks *callbacks);
// Rows are appended in the order given; the list is flat, so the container
// must be kDataBrowserNoItem, and no sorting is done.
OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, UInt32 numItems,
                             const DataBrowserItemID *items, DataBrowserPropertyID preSortProperty);
OSStatus GetDataBrowserItemCount(ControlRef browser, DataBrowserItemID container, bool recurse,
                                 DataBrowserItemState state, UInt32 *numItems);
OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString &text);
OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, bool value);

class DataBrowserModel;

// The view placed in the forms. Selecting a row announces the deselected rows
// first, then the selected ones, each after the selection has changed, so
// that a callback counting the selected rows sees the new state.
class DataBrowser : public QTreeView {
    Q_OBJECT
    Q_PROPERTY(QString columnTitle READ columnTitle WRITE setColumnTitle)
public:
    explicit DataBrowser(QWidget *parent = nullptr);

    QString columnTitle() const;
    void setColumnTitle(const QString &title);

    DataBrowserCallbacks callbacks() const { return m_callbacks; }
    void setCallbacks(const DataBrowserCallbacks &callbacks) { m_callbacks = callbacks; }
    void addItem(DataBrowserItemID item);
    DataBrowserItemID itemAt(int row) const;

private:
    void announce(const QItemSelection &selected, const QItemSelection &deselected);

    DataBrowserModel *m_model;
    DataBrowserCallbacks m_callbacks;
};
