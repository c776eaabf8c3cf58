// parvane: the desktop application. For now it opens the files named on its
// command line, each in its own document window.
#include "TNEFAlert.h"
#include "TNEFFileParse.h"
#include "tnef/TNEFParse.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvane"));
    QApplication::setApplicationVersion(QStringLiteral(PARVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(PARVANE_APP_ID));

    const QStringList files = QApplication::arguments().mid(1);
    if (files.isEmpty()) {
        std::fprintf(stderr, "Usage: parvane FILE...\n");
        return 2;
    }
    TNEFAlertInstall();
    gTNEFParseTraceOn = true;
    gTNEFParseDebugFile = stdout;
    int shown = 0;
    for (const QString &file : files) {
        const SInt32 status = TNEFFileOpenDocument(file, true);
        if (status == 0)
            ++shown;
        else
            std::fprintf(stderr, "parvane: %s: cannot be opened (status %d)\n",
                         file.toLocal8Bit().constData(), int(status));
    }
    if (shown == 0)
        return 1;
    return QApplication::exec();
}
