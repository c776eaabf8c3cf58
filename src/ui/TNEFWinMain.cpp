#include "TNEFWinMain.h"

#include "MenuBar.h"
#include "ui_TNEFWinMain.h"

#include <QMainWindow>

namespace {

class TNEFWinMainWindow : public QMainWindow {
public:
    explicit TNEFWinMainWindow(std::function<void(const QStringList &)> openDropped)
    {
        m_form.setupUi(this);
        AcceptFileDrops(this, std::move(openDropped));
        m_form.icon_128->setPixmap(GetApplicationIcon().pixmap(96, 96));
        // The invitation stands out; the way to the Open dialog reads in the
        // ordinary text colour of the theme, readable on its background.
        QFont heading = m_form.dropText->font();
        heading.setPointSizeF(heading.pointSizeF() * 1.2);
        heading.setBold(true);
        m_form.dropText->setFont(heading);
        m_form.openText->setForegroundRole(QPalette::WindowText);
    }

private:
    Ui::MainWindow m_form;
};

} // namespace

WindowRef TNEFWinMainCreate(std::function<void(const QStringList &files)> openDropped)
{
    auto *window = new TNEFWinMainWindow(std::move(openDropped));
    window->setAttribute(Qt::WA_DeleteOnClose);
    MenuBarAttach(window);
    SelectWindow(window);
    return window;
}
