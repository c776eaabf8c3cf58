#include "MenuBar.h"

#include "Commands.h"
#include "ui_MenuBar.h"

#include <QMainWindow>
#include <QMenuBar>

namespace {

// The bar built from the form. It is never shown: it owns the menus and
// actions that the windows' bars show.
QMenuBar *gMenuBar = nullptr;
Ui::MenuBar gMenuForm;

QList<QAction *> allItems()
{
    QList<QAction *> items;
    if (!gMenuBar)
        return items;
    for (QAction *top : gMenuBar->actions()) {
        if (top->menu())
            items << top->menu()->actions();
    }
    return items;
}

} // namespace

OSStatus SetMenuBarFromNib()
{
    if (gMenuBar)
        return noErr;
    auto *bar = new QMenuBar;
    gMenuForm.setupUi(bar);
    if (bar->actions().isEmpty()) {
        delete bar;
        return paramErr;
    }
    gMenuBar = bar;
    for (QAction *item : allItems()) {
        const UInt32 command = FourCharCodeFromText(item->property("command").toString());
        if (command != 0)
            QObject::connect(item, &QAction::triggered, item, [command] { ProcessHICommand(command); });
    }
    return noErr;
}

QMenu *GetMenuHandle(SInt16 menuID)
{
    if (!gMenuBar)
        return nullptr;
    switch (menuID) {
    case 129: return gMenuForm.fileMenu_129;
    case 130: return gMenuForm.editMenu_130;
    case 131: return gMenuForm.helpMenu_131;
    default: return nullptr;
    }
}

void EnableMenuCommand(UInt32 commandID)
{
    for (QAction *item : allItems()) {
        if (FourCharCodeFromText(item->property("command").toString()) == commandID)
            item->setEnabled(true);
    }
}

OSStatus GetIndMenuItemWithCommandID(UInt32 commandID, UInt16 index, QAction **outItem)
{
    *outItem = nullptr;
    UInt16 seen = 0;
    for (QAction *item : allItems()) {
        if (FourCharCodeFromText(item->property("command").toString()) == commandID && ++seen == index) {
            *outItem = item;
            return noErr;
        }
    }
    return menuItemNotFoundErr;
}

void SetItemCmd(QAction *item, char key)
{
    item->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QLatin1Char(key)));
}

MenuBarMenus MenuBarAttach(QMainWindow *window)
{
    MenuBarMenus menus;
    if (!gMenuBar)
        return menus;
    auto *bar = new QMenuBar(window);
    for (QAction *top : gMenuBar->actions()) {
        QMenu *shared = top->menu();
        if (!shared)
            continue;
        QMenu *menu = bar->addMenu(shared->title());
        menu->setObjectName(shared->objectName());
        menu->addActions(shared->actions());
        if (shared == gMenuForm.fileMenu_129)
            menus.file = menu;
        else if (shared == gMenuForm.editMenu_130)
            menus.edit = menu;
        else if (shared == gMenuForm.helpMenu_131)
            menus.help = menu;
    }
    window->setMenuBar(bar);
    return menus;
}

void MenuBarAddKeys(QWidget *window)
{
    window->addActions(allItems());
}
