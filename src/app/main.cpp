// parvane: the desktop application.
#include "AppEvents.h"
#include "TNEFAlert.h"
#include "TNEFApp.h"
#include "TNEFFileParse.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinMain.h"

#include <QApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>

namespace {

bool documentShown()
{
    for (const TNEFFile *f = gTNEFFileList; f; f = f->next) {
        if (f->winFile)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // Past a file-size limit a write should fail and be reported, not end
    // the application halfway through an attachment.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvane"));
    QApplication::setApplicationVersion(QStringLiteral(PARVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(PARVANE_APP_ID));
    app.setProperty("copyright", QStringLiteral(PARVANE_COPYRIGHT));

    // Another instance, or this one later, may read them from another folder.
    QStringList files;
    const QStringList arguments = QApplication::arguments().mid(1);
    for (const QString &argument : arguments)
        files << QFileInfo(argument).absoluteFilePath();

    // Before anyone can find this instance, so that a quit request is never
    // missed; it is only acted on from the event loop, after start-up.
    AEWatchSystemEvents();
    switch (AEHandOverToRunningInstance(files)) {
    case AEHandOver::Done:
        return 0;
    case AEHandOver::Failed:
        std::fprintf(stderr, "parvane: the running Parvane did not take the files.\n");
        return 1;
    case AEHandOver::NoInstance:
        AEListenForLaterLaunches();
        break;
    }

    gTNEFParseTraceOn = true;
    TNEFAlertInstall();
    if (TNEFAppInit() != 0) {
        TNEFAlertAppModal(QStringLiteral("An error occurred starting Parvane."),
                          QStringLiteral("The application could not start. Please consult the "
                                         "Readme file for error reporting information."));
        return 0;
    }

    // Files dropped on a window are posted, not opened at once: opening may
    // raise an alert, and the program that dragged them must not wait for
    // it to be dismissed.
    const auto openDropped = [](const QStringList &dropped) { AEPostEvent(AppEvent{kAEOpenDocuments, dropped}); };
    TNEFWinFileSetOpeners({openDropped, [](TNEFFile *tnefFile) { return TNEFFileParse(tnefFile, true); }});
    QMetaObject::invokeMethod(
        &app,
        [files, openDropped] {
            AESendEvent(AppEvent{files.isEmpty() ? kAEOpenApplication : kAEOpenDocuments, files});
            if (!documentShown())
                TNEFWinMainCreate(openDropped);
        },
        Qt::QueuedConnection);
    app.exec();
    return 0;
}
