// parvane-cli: the command-line front end. It uses the core alone and never
// opens a window.
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFParse.h"
#include "tnef/TNEFText.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: parvane-cli COMMAND [OPTIONS] FILE...\n"
    "Shows what TNEF files (winmail.dat) hold and gets their attachments out.\n"
    "\n"
    "Commands:\n"
    "  list FILE...         one line per attachment: SIZE<TAB>NAME\n"
    "  trace FILE...        the parse trace of each file\n"
    "\n"
    "FILE may be \"-\" for standard input. With several files, each file's lines\n"
    "follow a line \"==> FILE <==\".\n"
    "\n"
    "Options:\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was handled, 1 when any failed, 2 for a usage error.\n";

void printError(const QString &file, const QString &what)
{
    std::fprintf(stderr, "parvane-cli: %s: %s\n", file.toLocal8Bit().constData(),
                 what.toLocal8Bit().constData());
}

int usageError(const QString &what)
{
    std::fprintf(stderr, "parvane-cli: %s\nTry 'parvane-cli --help' for more information.\n",
                 what.toLocal8Bit().constData());
    return kExitUsage;
}

QString describeParseFailure(SInt32 code)
{
    switch (code) {
    case -1: return QStringLiteral("not a TNEF file, or the file is truncated or damaged");
    case -7: return QStringLiteral("damaged TNEF file: an object has an invalid type");
    case -8: return QStringLiteral("the file's size cannot be read");
    case -3:
    case -4: return QStringLiteral("a read position cannot be read or set");
    default: return QStringLiteral("the file cannot be parsed");
    }
}

QString describeStatus(OSErr err)
{
    switch (err) {
    case fnfErr: return QStringLiteral("no such file");
    case dirNFErr: return QStringLiteral("a folder in the path does not exist");
    case permErr: return QStringLiteral("permission denied, or not a regular file");
    case tmfoErr: return QStringLiteral("too many files open");
    case memFullErr: return QStringLiteral("out of memory");
    default: return QStringLiteral("cannot be opened");
    }
}

// Standard input may be a pipe, and the parser moves back and forth in the
// file; it is copied to an anonymous temporary file first (never to memory).
OSErr openStandardInput(SInt16 *forkRefNum)
{
    const char *tmp = std::getenv("TMPDIR");
    QByteArray dir = tmp && *tmp ? QByteArray(tmp) : QByteArray("/tmp");
    int fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        QByteArray templ = dir + "/parvane-stdin.XXXXXX";
        fd = ::mkstemp(templ.data());
        if (fd < 0)
            return FSStatusFromErrno(errno);
        ::unlink(templ.constData());
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const OSErr err = FSStatusFromErrno(errno);
            ::close(fd);
            return err;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(fd, buffer + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                const OSErr err = FSStatusFromErrno(errno);
                ::close(fd);
                return err;
            }
            done += put;
        }
    }
    return FSOpenForkFromDescriptor(fd, forkRefNum);
}

// Opens FILE ("-" for standard input) as a document. Null after printing
// the reason when it cannot be opened.
TNEFFile *openDocument(const QString &file)
{
    OSErr err = noErr;
    TNEFFile *tnefFile = nullptr;
    if (file == QLatin1String("-")) {
        tnefFile = TNEFFileCreate();
        if (!tnefFile) {
            printError(file, describeStatus(memFullErr));
            return nullptr;
        }
        tnefFile->fileName = QStringLiteral("stdin");
        err = openStandardInput(&tnefFile->forkRefNum);
        if (err != noErr) {
            tnefFile->forkRefNum = 0;
            TNEFFileDestroy(tnefFile);
            tnefFile = nullptr;
        }
    } else {
        // The open failure is told on the one line below, not in the log.
        ParvaneSetErrorLogSink([](const std::string &) {});
        tnefFile = TNEFFileOpen(file, &err);
        ParvaneSetErrorLogSink(nullptr);
    }
    if (!tnefFile)
        printError(file, QStringLiteral("%1 (status %2)").arg(describeStatus(err)).arg(err));
    return tnefFile;
}

bool parseDocument(const QString &file, TNEFFile *tnefFile)
{
    const SInt32 code = TNEFParseFileList(tnefFile->forkRefNum, &tnefFile->fileList,
                                          &tnefFile->attributeList);
    if (code != 0) {
        std::fflush(stdout);
        printError(file, QStringLiteral("%1 (parser code %2)").arg(describeParseFailure(code)).arg(code));
        return false;
    }
    return true;
}

void printList(const TNEFFile *tnefFile)
{
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next)
        std::printf("%u\t%s\n", unsigned(item->dataLength),
                    TNEFFileItemDisplayName(item).toUtf8().constData());
}

using Command = std::function<bool(const QString &file)>;

int runOnFiles(const QStringList &files, const Command &command)
{
    if (files.isEmpty())
        return usageError(QStringLiteral("no FILE given"));
    bool allHandled = true;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (files.size() > 1) {
            std::printf("%s==> %s <==\n", i > 0 ? "\n" : "", files[i].toLocal8Bit().constData());
            std::fflush(stdout);
        }
        allHandled = command(files[i]) && allHandled;
        std::fflush(stdout);
    }
    return allHandled ? kExitOk : kExitFailed;
}

bool listCommand(const QString &file)
{
    TNEFFile *tnefFile = openDocument(file);
    if (!tnefFile)
        return false;
    const bool parsed = parseDocument(file, tnefFile);
    if (parsed)
        printList(tnefFile);
    TNEFFileDestroy(tnefFile);
    return parsed;
}

bool traceCommand(const QString &file)
{
    TNEFFile *tnefFile = openDocument(file);
    if (!tnefFile)
        return false;
    gTNEFParseTraceOn = true;
    gTNEFParseDebugFile = stdout;
    const bool parsed = parseDocument(file, tnefFile);
    gTNEFParseTraceOn = false;
    gTNEFParseDebugFile = nullptr;
    TNEFFileDestroy(tnefFile);
    return parsed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PARVANE_VERSION));

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError(QStringLiteral("no COMMAND given"));
    const QString command = args.takeFirst();
    if (command == QLatin1String("-h") || command == QLatin1String("--help")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == QLatin1String("-V") || command == QLatin1String("--version")) {
        std::printf("parvane-cli %s\n", PARVANE_VERSION);
        return kExitOk;
    }

    QStringList files;
    bool optionsEnded = false;
    for (const QString &arg : std::as_const(args)) {
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            return usageError(QStringLiteral("unknown option '%1'").arg(arg));
        } else {
            files << arg;
        }
    }

    if (command == QLatin1String("list"))
        return runOnFiles(files, listCommand);
    if (command == QLatin1String("trace"))
        return runOnFiles(files, traceCommand);
    return usageError(QStringLiteral("unknown command '%1'").arg(command));
}
