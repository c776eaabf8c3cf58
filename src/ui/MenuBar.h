#pragma once
// The menu bar. It is built once from the "MenuBar" form; each main and
// document window shows its own bar over the same actions, so that enabling
// an item or giving it a key holds in every window at once. Every item sends
// its command through the router.
#include "Controls.h"

class QAction;
class QMainWindow;
class QMenu;

// Builds the menu bar from its form: noErr, or paramErr when the form holds
// no menus.
OSStatus SetMenuBarFromNib();
// The menu of the given ID (129 File, 130 Edit, 131 Help), or null.
QMenu *GetMenuHandle(SInt16 menuID);
// Enables every item that carries the command.
void EnableMenuCommand(UInt32 commandID);
// The index-th item (from 1) that carries the command: noErr, or
// menuItemNotFoundErr.
enum : OSStatus { menuItemNotFoundErr = -5620 };
OSStatus GetIndMenuItemWithCommandID(UInt32 commandID, UInt16 index, QAction **outItem);
// Gives the item the key Ctrl plus `key`.
void SetItemCmd(QAction *item, char key);

// A window's own copies of the bar's menus; null before SetMenuBarFromNib.
struct MenuBarMenus {
    QMenu *file = nullptr;
    QMenu *edit = nullptr;
    QMenu *help = nullptr;
};
// Gives the window its own bar; nothing before SetMenuBarFromNib.
MenuBarMenus MenuBarAttach(QMainWindow *window);
// Makes the items' keys work in a window that shows no bar.
void MenuBarAddKeys(QWidget *window);
