// parvane: the desktop application.
#include "AppEvents.h"
#include "TNEFAlert.h"
#include "TNEFApp.h"
#include "TNEFFileParse.h"
#include "platform/NativePath.h"
#include "platform/StandardStreams.h"
#include "prefs/TNEFPrefs.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"
#include "ui/TNEFWinMain.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "Usage: parvane [--trace] [FILE...]\n"
    "Opens TNEF files (winmail.dat) in windows that show the message, its\n"
    "attachments and its attributes, and saves the attachments. A mail (.eml)\n"
    "opens each of its TNEF attachments.\n"
    "\n"
    "Options:\n"
    "  --trace              write the parse trace of each file opened to standard output\n"
    "  --help               show this help and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "A running Parvane takes the files of a later start.\n";

// --help and --version answer without a display, before the application
// object would try to reach one. Answers whether the process is done.
bool answerInformationOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("parvane %s\n", PARVANE_VERSION);
            return true;
        }
    }
    return false;
}

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
    StandardStreamsOpenMissing();
    if (answerInformationOptions(argc, argv))
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    // Past a file-size limit a write should fail and be reported, not end
    // the application halfway through an attachment.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Parvane"));
    QApplication::setApplicationVersion(QStringLiteral(PARVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(PARVANE_APP_ID));
    app.setProperty("copyright", QStringLiteral(PARVANE_COPYRIGHT));

    // Another instance, or this one later, may read them from another folder.
    // The application object has taken its own options out of argv; what is
    // left keeps the bytes it was given, for names that are not UTF-8.
    QStringList files;
    bool trace = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--trace")
            trace = true;
        else
            files << FSPathAbsolute(FSPathFromNative(argument));
    }

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

    TNEFAlertInstall();
    if (TNEFAppInit() != 0) {
        TNEFAlertAppModal(QStringLiteral("An error occurred starting Parvane."),
                          QStringLiteral("The application could not start. Please consult the "
                                         "Readme file for error reporting information."));
        return 0;
    }
    // The trace holds the mail's names, addresses and subjects: it is written
    // only when asked for, not into every desktop session's log.
    gTNEFParseTraceOn = trace || gTNEFPrefDebug;

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
