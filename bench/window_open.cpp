// Opens a TNEF file as the application does, parse and document window, and
// reports how long it took until the window was shown.
//
//   QT_QPA_PLATFORM=offscreen parvane-bench-window FILE
#include "app/TNEFFileParse.h"
#include "tnef/TNEFFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QElapsedTimer timer;
    timer.start();
    const SInt32 status = TNEFFileOpenDocument(path, false);
    QApplication::processEvents();
    const qint64 nanoseconds = timer.nsecsElapsed();
    bool shown = false;
    for (QWidget *widget : QApplication::topLevelWidgets())
        shown = shown || widget->isVisible();
    if (status != 0 || !shown) {
        std::fprintf(stderr, "%s: not shown (status %d)\n", argv[1], int(status));
        return 1;
    }
    int attachments = 0;
    for (const TNEFFileItem *item = gTNEFFileList ? gTNEFFileList->fileList.head : nullptr; item; item = item->next)
        ++attachments;
    std::printf("window with %d attachments shown %.1f ms after the open began\n", attachments,
                double(nanoseconds) / 1e6);
    return 0;
}
