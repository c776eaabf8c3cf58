#include "Controls.h"

#include "platform/NativePath.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

namespace {

DesktopOpenHook gDesktopOpenHook;

QStringList droppedFiles(const QDropEvent *event)
{
    QStringList files;
    if (event->source() || !event->mimeData())
        return files;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

class FileDropFilter : public QObject {
public:
    FileDropFilter(QWidget *window, std::function<void(const QStringList &)> openDropped)
        : QObject(window), m_openDropped(std::move(openDropped))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!droppedFiles(drag).isEmpty()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QStringList files = droppedFiles(drop);
            if (!files.isEmpty()) {
                drop->acceptProposedAction();
                if (m_openDropped)
                    m_openDropped(files);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(const QStringList &)> m_openDropped;
};

} // namespace

UInt32 FourCharCodeFromText(const QString &text)
{
    if (text.size() != 4)
        return 0;
    UInt32 code = 0;
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return 0;
        code = (code << 8) | c.unicode();
    }
    return code;
}

void SelectWindow(WindowRef window)
{
    if (!window)
        return;
    window->show();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

QIcon GetApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/TNEFIconApp/parvane-%1.png").arg(size), QSize(size, size));
    return icon;
}

void CloseWithEscapeAndButton(WindowRef window, QDialogButtonBox *buttons)
{
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

void SetDesktopOpenHook(DesktopOpenHook hook)
{
    gDesktopOpenHook = std::move(hook);
}

bool DesktopOpenURL(const QUrl &url)
{
    return gDesktopOpenHook ? gDesktopOpenHook(url) : QDesktopServices::openUrl(url);
}

QUrl DesktopFileURL(const QString &path)
{
    return QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(FSPathToNative(path), "/"));
}

void AcceptFileDrops(WindowRef window, std::function<void(const QStringList &files)> openDropped)
{
    window->setAcceptDrops(true);
    window->installEventFilter(new FileDropFilter(window, std::move(openDropped)));
}
