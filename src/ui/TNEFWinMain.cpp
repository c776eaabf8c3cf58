#include "TNEFWinMain.h"

#include "MenuBar.h"
#include "app/AppEvents.h"
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
    TNEFWinMainWindow()
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
        // Opening may raise an alert; the program that dragged the files
        // must not wait for it to be dismissed.
        AEPostEvent(AppEvent{kAEOpenDocuments, files});
    }

private:
    Ui::MainWindow m_form;
};

} // namespace

WindowRef TNEFWinMainCreate()
{
    auto *window = new TNEFWinMainWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    MenuBarAttach(window);
    SelectWindow(window);
    return window;
}
