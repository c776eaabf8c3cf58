#include "TNEFWinMain.h"

#include "MenuBar.h"
#include "ui_TNEFWinMain.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>

namespace {

QStringList droppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data)
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

class TNEFWinMainWindow : public QMainWindow {
public:
    explicit TNEFWinMainWindow(std::function<void(const QStringList &)> openDropped)
        : m_openDropped(std::move(openDropped))
    {
        m_form.setupUi(this);
        setAcceptDrops(true);
        m_form.icon_128->setPixmap(GetApplicationIcon().pixmap(96, 96));
    }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (!droppedFiles(event->mimeData()).isEmpty())
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent *event) override
    {
        const QStringList files = droppedFiles(event->mimeData());
        if (files.isEmpty())
            return;
        event->acceptProposedAction();
        if (m_openDropped)
            m_openDropped(files);
    }

private:
    Ui::MainWindow m_form;
    std::function<void(const QStringList &)> m_openDropped;
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
