// parvane-cli: the command-line front end. It uses the core alone and never
// opens a window.
#include "CliMessage.h"
#include "CliOutput.h"
#include "CliUnwrap.h"
#include "extract/TNEFAppOpen.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"
#include "platform/StandardStreams.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFMessageItems.h"
#include "tnef/TNEFParse.h"
#include "tnef/TNEFText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <functional>
#include <sysexits.h>
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
    "  list [-r] FILE...    one line per attachment: SIZE<TAB>NAME\n"
    "  attributes FILE...   one line per attribute: ID<TAB>NAME<TAB>SIZE TEXT<TAB>PREVIEW\n"
    "  trace FILE...        the parse trace of each file\n"
    "  extract [-C DIR] [--folder multi|always|never] [--body] [-r] FILE...\n"
    "                       write every attachment into DIR (default: the TNEF\n"
    "                       file's folder; for a pipe, the current folder),\n"
    "                       inside a new folder named after the TNEF file when\n"
    "                       it has several files to write (multi,\n"
    "                       the default), always, or never; with --body also the\n"
    "                       message: message.html, message.rtf, or message.txt\n"
    "                       when it has plain text only; names are made safe and\n"
    "                       unique, nothing existing is replaced; prints each path\n"
    "                       written\n"
    "  message FILE...      the message: Subject, From, To, Cc, Date and Class\n"
    "                       lines (those present), for a meeting When, Where,\n"
    "                       Organizer, Attendees and Repeats, for a task Start,\n"
    "                       Due and Status, a blank line, then its text\n"
    "  body [--rtf|--html|--text] FILE\n"
    "                       one body, exactly, on standard output: the RTF\n"
    "                       decompressed; the HTML as stored, or recovered from\n"
    "                       the RTF; the text (default: the HTML, else the RTF,\n"
    "                       else the text)\n"
    "  unwrap [-o OUT] [FILE]\n"
    "                       the mail FILE (default: standard input) with each\n"
    "                       winmail.dat part replaced by the body and files it\n"
    "                       holds, on standard output or in OUT (replaced only\n"
    "                       once complete); exit status from sysexits.h: 65 not\n"
    "                       a mail, 66 no FILE, 73 OUT cannot be made, 75 a\n"
    "                       write failed (try again later)\n"
    "  unwrap --mbox FILE | --maildir DIR\n"
    "                       the same for every mail of a mailbox, in place\n"
    "\n"
    "FILE may be \"-\" for standard input. With several files, each file's lines\n"
    "follow a line \"==> FILE <==\". On a terminal, control characters from the\n"
    "file are shown as \\xNN.\n"
    "\n"
    "Options:\n"
    "  -r, --recursive      list, extract: also the attachments of attached\n"
    "                       messages: listed as MESSAGE/NAME after the message,\n"
    "                       extracted into a new folder named after it\n"
    "  --json               list, attributes, message: one JSON document per file,\n"
    "                       one per line\n"
    "  -v, --verbose        also write the program's error log on standard error\n"
    "  -h, --help           show this help and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was handled, 1 when any failed, 2 for a usage error\n"
    "(unwrap: see above).\n";

// Names come from the sender: a control character in one must not reach the
// terminal, nor split a line that a script reads.
QByteArray printable(const QString &text, std::FILE *stream = stdout)
{
    return CliEscape(text.toUtf8(), CliShow::Field, stream);
}

// Paths are printed as the bytes the system gave, so that a script can use them.
QByteArray printablePath(const QString &path, std::FILE *stream = stdout)
{
    return CliEscape(FSPathToNative(path), CliShow::Field, stream);
}

void printError(const QString &file, const QString &what)
{
    std::fprintf(stderr, "parvane-cli: %s: %s\n", printablePath(file, stderr).constData(),
                 printable(what, stderr).constData());
}

// Running text from the file, exact unless on a terminal.
void printText(const QByteArray &text)
{
    const QByteArray shown = CliEscape(text, CliShow::Text, stdout);
    std::fwrite(shown.constData(), 1, size_t(shown.size()), stdout);
}

int usageError(const QString &what)
{
    std::fprintf(stderr, "parvane-cli: %s\nTry 'parvane-cli --help' for more information.\n",
                 printablePath(what, stderr).constData());
    return kExitUsage;
}

QString describeParseFailure(SInt32 code, bool hasSignature)
{
    switch (code) {
    case -1:
        return hasSignature ? QStringLiteral("truncated or damaged TNEF file") : QStringLiteral("not a TNEF file");
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
    case notAFileErr: return QStringLiteral("a folder, not a file");
    case afpObjectTypeErr: return QStringLiteral("a device, not a file");
    case permErr: return QStringLiteral("permission denied, or not a regular file");
    case tmfoErr: return QStringLiteral("too many files open");
    case memFullErr: return QStringLiteral("out of memory");
    case dskFulErr: return QStringLiteral("the disk is full or the file is too large");
    case wPrErr: return QStringLiteral("the file system is read-only");
    case eofErr: return QStringLiteral("the TNEF file is shorter than it was when read");
    case dupFNErr: return QStringLiteral("the name is taken");
    case bdNamErr: return QStringLiteral("the name is not valid here");
    case -1: return QStringLiteral("no free name is left");
    default: return QStringLiteral("input/output error");
    }
}

// Opens FILE ("-" for standard input) as a document. Null after printing
// the reason when it cannot be opened.
TNEFFile *openDocument(const QString &file)
{
    OSErr err = noErr;
    TNEFFile *tnefFile = nullptr;
    if (file == QLatin1String("-")) {
        tnefFile = TNEFFileOpenStream(STDIN_FILENO, QStringLiteral("stdin"), &err);
        // The process began without it (see StandardStreamsOpenMissing).
        if (err == rfNumErr) {
            printError(file, QStringLiteral("standard input is closed"));
            return nullptr;
        }
    } else {
        tnefFile = TNEFFileOpen(file, &err);
    }
    if (!tnefFile)
        printError(file, QStringLiteral("%1 (status %2)").arg(describeStatus(err)).arg(err));
    return tnefFile;
}

// Listing and extracting need the attachments only: without the attribute
// list, a file of many attributes costs no memory for them.
bool parseDocument(const QString &file, TNEFFile *tnefFile, bool withAttributes = false)
{
    const SInt32 code = TNEFParseFileList(tnefFile->forkRefNum, &tnefFile->fileList,
                                          withAttributes ? &tnefFile->attributeList : nullptr,
                                          &tnefFile->messagePlaces);
    if (code != 0) {
        if (gTNEFParseDebugFile)
            std::fflush(gTNEFParseDebugFile);
        std::fflush(stdout);
        const QString what = describeParseFailure(code, TNEFParseHasSignature(tnefFile->forkRefNum));
        printError(file, QStringLiteral("%1 (parser code %2)").arg(what).arg(code));
        return false;
    }
    TNEFFileAddVirtualItems(tnefFile);
    return true;
}

// `member`, when given, is one more member, made as JSON already.
void printJson(const QString &file, QJsonObject json, const QByteArray &member = {})
{
    // JSON holds text: bytes of the name that are not UTF-8 show as U+FFFD.
    json.insert(QStringLiteral("file"), FSPathForDisplay(file));
    QByteArray document = QJsonDocument(json).toJson(QJsonDocument::Compact);
    // The member (tens of megabytes, perhaps) is escaped in its own piece
    // rather than copied into the document first.
    if (!member.isEmpty()) {
        document.chop(1);
        document += ',';
    }
    CliEscaper escaper(CliShow::Json, CliIsTerminal(stdout));
    const auto put = [](const QByteArray &bytes) { std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout); };
    put(escaper.feed(document.constData(), size_t(document.size())));
    if (!member.isEmpty()) {
        put(escaper.feed(member.constData(), size_t(member.size())));
        put(escaper.feed("}", 1));
    }
    put(escaper.finish() + '\n');
}

// Why an attached message's attachments are not shown or written.
QString describeUnreadMessage(const QString &name, const TNEFAttachedMessage &why)
{
    QString what;
    if (why.tooDeep)
        what = QStringLiteral("attached messages nested more than %1 deep are not opened").arg(kTNEFAttachedMaxDepth);
    else if (why.openStatus != noErr)
        what = QStringLiteral("%1 (status %2)").arg(describeStatus(why.openStatus)).arg(why.openStatus);
    else
        what = QStringLiteral("%1 (parser code %2)").arg(describeParseFailure(why.parseCode, true)).arg(why.parseCode);
    return QStringLiteral("attached message \"%1\": %2").arg(name, what);
}

// With -r, the attachments of each attached message, opened one at a time,
// follow its own line or entry.
struct Lister {
    QString file;
    bool recursive = false;
    bool handled = true;

    // Null, after telling why, when the message cannot be read.
    TNEFFile *openAttached(const TNEFFile *tnefFile, const TNEFFileItem *item, int depth)
    {
        const TNEFAttachedMessage attached = TNEFAttachedMessageOpen(tnefFile, item->fileID, depth);
        if (!attached.file) {
            printError(file, describeUnreadMessage(TNEFFileItemTitle(item), attached));
            handled = false;
        }
        return attached.file;
    }

    // SIZE<TAB>NAME lines; an attached message's attachments are named by
    // the titles of the messages down to them and their own, joined by "/"
    // (a "/" within a title shows as \x2f).
    void printLines(const TNEFFile *tnefFile, const QString &path = {}, int depth = 0)
    {
        for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next) {
            QString name = TNEFFileItemDisplayName(item);
            if (recursive)
                name.replace(QLatin1Char('/'), QLatin1String("\\x2f"));
            std::printf("%u\t%s\n", unsigned(item->dataLength), printable(path + name).constData());
            if (!recursive || item->isTNEF != -1)
                continue;
            if (TNEFFile *attached = openAttached(tnefFile, item, depth + 1)) {
                const QString title = TNEFFileItemTitle(item).replace(QLatin1Char('/'), QLatin1String("\\x2f"));
                printLines(attached, path + title + QLatin1Char('/'), depth + 1);
                TNEFFileDestroy(attached);
            }
        }
    }

    // An attached message's entry holds its attachments as the document does.
    QJsonObject json(const TNEFFile *tnefFile, int depth = 0)
    {
        return CliListJson(tnefFile, [&](const TNEFFileItem *item, QJsonObject *entry) {
            if (!recursive || item->isTNEF != -1)
                return;
            if (TNEFFile *attached = openAttached(tnefFile, item, depth + 1)) {
                entry->insert(QStringLiteral("attachments"), json(attached, depth + 1).value(QStringLiteral("attachments")));
                TNEFFileDestroy(attached);
            }
        });
    }
};

using Command = std::function<bool(const QString &file)>;

// JSON output has no file headers (`headers` false): each file's document
// is one line.
int runOnFiles(const QStringList &files, const Command &command, bool headers = true)
{
    if (files.isEmpty())
        return usageError(QStringLiteral("no FILE given"));
    bool allHandled = true;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (files.size() > 1 && headers) {
            std::printf("%s==> %s <==\n", i > 0 ? "\n" : "", printablePath(files[i]).constData());
            std::fflush(stdout);
        }
        allHandled = command(files[i]) && allHandled;
        std::fflush(stdout);
    }
    return allHandled ? kExitOk : kExitFailed;
}

bool listCommand(const QString &file, bool json, bool recursive)
{
    TNEFFile *tnefFile = openDocument(file);
    if (!tnefFile)
        return false;
    const bool parsed = parseDocument(file, tnefFile);
    Lister lister{file, recursive};
    if (parsed && json)
        printJson(file, lister.json(tnefFile));
    else if (parsed)
        lister.printLines(tnefFile);
    TNEFFileDestroy(tnefFile);
    return parsed && lister.handled;
}

// The same name, size text and preview as the document window's attribute
// list and fields.
bool attributesCommand(const QString &file, bool json)
{
    TNEFFile *tnefFile = openDocument(file);
    if (!tnefFile)
        return false;
    bool handled = parseDocument(file, tnefFile, true);
    QJsonArray entries;
    for (const TNEFAttributeItem *item = tnefFile->attributeList; handled && item; item = item->next) {
        const char *name = TNEFTextGetAttributeName(item->attribute);
        QString preview;
        if (TNEFTextCreateValuePreview(item, tnefFile->forkRefNum, &preview) != noErr) {
            printError(file, QStringLiteral("the data of attribute %1 cannot be read").arg(item->objectID));
            handled = false;
            break;
        }
        const QByteArray shownName = name ? QByteArray(name) : "0x" + QByteArray::number(item->attribute, 16).rightJustified(8, '0');
        if (json) {
            entries.append(CliAttributeJson(item, QString::fromLatin1(shownName), preview));
            continue;
        }
        std::printf("%u\t%s\t%s\t%s\n", unsigned(item->objectID), shownName.constData(),
                    TNEFTextCreateSizeText(item->length).toUtf8().constData(),
                    printable(preview).constData());
    }
    if (handled && json)
        printJson(file, QJsonObject{{QStringLiteral("attributes"), entries}});
    TNEFFileDestroy(tnefFile);
    return handled;
}

// The trace echoes names and values from the file: on a terminal it goes
// through the escaping of running text, piece by piece as the parser writes.
struct TerminalFilter {
    CliEscaper escaper{CliShow::Text, true};

    static ssize_t write(void *cookie, const char *bytes, size_t size)
    {
        const QByteArray out = static_cast<TerminalFilter *>(cookie)->escaper.feed(bytes, size);
        const bool written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
        return written ? ssize_t(size) : -1;
    }
    static int close(void *cookie)
    {
        const QByteArray out = static_cast<TerminalFilter *>(cookie)->escaper.finish();
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
};

bool traceCommand(const QString &file)
{
    TNEFFile *tnefFile = openDocument(file);
    if (!tnefFile)
        return false;
    TerminalFilter filter;
    FILE *terminal = nullptr;
    if (CliIsTerminal(stdout)) {
        const cookie_io_functions_t io{nullptr, TerminalFilter::write, nullptr, TerminalFilter::close};
        terminal = ::fopencookie(&filter, "w", io);
    }
    gTNEFParseTraceOn = true;
    gTNEFParseDebugFile = terminal ? terminal : stdout;
    const bool parsed = parseDocument(file, tnefFile, true);
    gTNEFParseTraceOn = false;
    gTNEFParseDebugFile = nullptr;
    if (terminal)
        std::fclose(terminal);
    TNEFFileDestroy(tnefFile);
    return parsed;
}

// Opens and parses FILE and reads its message's headers. Null after telling
// why not.
TNEFFile *openMessage(const QString &file, TNEFMessage *message)
{
    TNEFFile *tnefFile = openDocument(file);
    if (tnefFile && !parseDocument(file, tnefFile)) {
        TNEFFileDestroy(tnefFile);
        return nullptr;
    }
    if (tnefFile && TNEFMessageRead(tnefFile->forkRefNum, tnefFile->messagePlaces, message) != noErr) {
        printError(file, QStringLiteral("the message cannot be read"));
        TNEFFileDestroy(tnefFile);
        return nullptr;
    }
    return tnefFile;
}

// The message's headers, then its text; or its JSON document.
bool messageCommand(const QString &file, bool json)
{
    TNEFMessage message;
    TNEFFile *tnefFile = openMessage(file, &message);
    if (!tnefFile)
        return false;
    QString warning;
    const TNEFCalendarSummary item = TNEFCalendarSummaryRead(tnefFile, message);
    if (json) {
        QJsonObject document = CliMessageJson(tnefFile->forkRefNum, message);
        CliMessageItemJson(item, &document);
        printJson(file, document, CliMessageJsonText(tnefFile->forkRefNum, message, &warning));
    } else {
        for (const QString &line : CliMessageHeaderLines(message) + CliMessageItemLines(item))
            std::printf("%s\n", printable(line).constData());
        TNEFBody body;
        QByteArray text;
        if (TNEFMessageGetText(tnefFile->forkRefNum, message, &body) == noErr) {
            warning = CliMessageBodyWarning(body.rtf);
            text = CliMessageTerminalText(std::move(body.bytes));
        }
        std::printf("\n");
        printText(text);
    }
    if (!warning.isEmpty())
        printError(file, warning);
    TNEFFileDestroy(tnefFile);
    return true;
}

// One body, byte for byte.
bool bodyCommand(const QString &file, CliBodyChoice choice)
{
    TNEFMessage message;
    TNEFFile *tnefFile = openMessage(file, &message);
    if (!tnefFile)
        return false;
    TNEFBody body;
    bool handled = true;
    if (const SInt32 code = CliMessageGetBody(tnefFile->forkRefNum, message, choice, &body)) {
        printError(file, CliMessageBodyError(choice, code));
        handled = false;
    } else {
        if (const QString warning = CliMessageBodyWarning(body.rtf); !warning.isEmpty())
            printError(file, warning);
        // A write that fails is told once, at the end, as any output's.
        printText(body.bytes);
    }
    TNEFFileDestroy(tnefFile);
    return handled;
}

// Extraction is the application's own, with the options of the command
// line: the user's preferences are neither read nor written.
// A process substitution (/dev/fd/63) and the other names of open
// descriptors (/dev/stdin, /proc/self/fd/0) have no folder to write into.
// Standard input ("-") is named after the current folder already.
bool isDescriptorName(const QString &file)
{
    const QString path = FSPathAbsolute(file);
    return path.startsWith(QLatin1String("/dev/")) || path.startsWith(QLatin1String("/proc/"));
}

bool extractCommand(const QString &file, TNEFExtractOptions options)
{
    TNEFFile *tnefFile = openDocument(file);
    if (!tnefFile)
        return false;
    bool handled = parseDocument(file, tnefFile);
    if (handled && options.destination.isEmpty())
        options.destination = isDescriptorName(file) ? FSPathAbsolute(QStringLiteral(".")) : TNEFExtractSourceFolder(tnefFile);
    if (handled) {
        options.events.written = [](const QString &path) {
            std::printf("%s\n", printablePath(path).constData());
        };
        options.events.bodyDamaged = [&](const QString &name, const TNEFRtfReport &report) {
            printError(file, QStringLiteral("\"%1\": %2").arg(name, CliMessageBodyWarning(report)));
        };
        options.events.failed = [&](UInt32 fileID, const QString &name, SInt32 status) {
            handled = false;
            // A body that could not be read says why in the body's words.
            const bool unreadBody = fileID == 0
                && (status == kTNEFMessageErrTooLarge || (status <= kTNEFRtfErrHeader && status >= kTNEFRtfErrTooLarge));
            if (unreadBody)
                printError(file, QStringLiteral("cannot write \"%1\": %2").arg(name, CliMessageBodyError(CliBodyChoice::Preferred, status)));
            else
                printError(file, QStringLiteral("cannot write \"%1\": %2 (status %3)")
                                     .arg(name, describeStatus(OSErr(status)))
                                     .arg(status));
        };
        options.events.unreadMessage = [&](const QString &name, const TNEFAttachedMessage &why) {
            handled = false;
            printError(file, describeUnreadMessage(name, why));
        };
        TNEFExtractAll(tnefFile, options);
    }
    TNEFFileDestroy(tnefFile);
    return handled;
}

// Every failure is told on its own line; the program's error log and its
// reports of ignored errors are for those who ask.
void quietUnless(bool verbose)
{
    if (!verbose) {
        ParvaneSetErrorLogSink([](const std::string &) {});
        DebugAssertSetHook([](const DebugAssertReport &) {});
    }
}

// Its own options and sysexits.h statuses: a mail filter's caller reads them.
int unwrapCommand(const QStringList &args)
{
    CliUnwrapOptions options;
    if (const QString error = CliUnwrapParse(args, &options); !error.isEmpty()) {
        usageError(error);
        return EX_USAGE;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    quietUnless(options.verbose);
    return CliUnwrapRun(options);
}

int run(int argc, char **argv)
{
    // No application object: nothing here needs an event loop, and a short
    // run should not pay for one. Arguments keep the bytes they were given.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << FSPathFromNative(QByteArray(argv[i]));
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

    if (command == QLatin1String("unwrap"))
        return unwrapCommand(args);
    const bool extracting = command == QLatin1String("extract");
    const bool jsonCapable = command == QLatin1String("list") || command == QLatin1String("attributes")
        || command == QLatin1String("message");
    const bool choosingBody = command == QLatin1String("body");
    bool json = false;
    CliBodyChoice bodyChoice = CliBodyChoice::Preferred;
    bool verbose = false;
    bool recursive = false;
    TNEFExtractOptions extractOptions;
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (extracting && !optionsEnded
            && (arg == QLatin1String("-C") || arg == QLatin1String("--folder"))) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("option '%1' needs a value").arg(arg));
            const QString value = args[++i];
            if (arg == QLatin1String("-C")) {
                if (!FSIsFolder(value))
                    return usageError(QStringLiteral("'%1' is not an existing folder").arg(value));
                extractOptions.destination = FSPathAbsolute(value);
            } else if (value == QLatin1String("multi")) {
                extractOptions.folderMode = 1;
            } else if (value == QLatin1String("always")) {
                extractOptions.folderMode = 3;
            } else if (value == QLatin1String("never")) {
                extractOptions.folderMode = 2;
            } else {
                return usageError(QStringLiteral("--folder takes multi, always or never, not '%1'").arg(value));
            }
        } else if (!optionsEnded && extracting && arg == QLatin1String("--body")) {
            extractOptions.body = true;
        } else if (!optionsEnded && (extracting || command == QLatin1String("list"))
                   && (arg == QLatin1String("-r") || arg == QLatin1String("--recursive"))) {
            recursive = true;
        } else if (!optionsEnded && jsonCapable && arg == QLatin1String("--json")) {
            json = true;
        } else if (!optionsEnded && choosingBody
                   && (arg == QLatin1String("--rtf") || arg == QLatin1String("--html") || arg == QLatin1String("--text"))) {
            bodyChoice = arg == QLatin1String("--rtf") ? CliBodyChoice::Rtf
                : arg == QLatin1String("--html")        ? CliBodyChoice::Html
                                                        : CliBodyChoice::Text;
        } else if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == QLatin1String("-v") || arg == QLatin1String("--verbose"))) {
            verbose = true;
        } else if (!optionsEnded && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            std::fputs(kUsage, stdout);
            return kExitOk;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            return usageError(QStringLiteral("unknown option '%1'").arg(arg));
        } else {
            files << arg;
        }
    }

    quietUnless(verbose);
    if (command == QLatin1String("list"))
        return runOnFiles(files, [json, recursive](const QString &f) { return listCommand(f, json, recursive); }, !json);
    if (command == QLatin1String("trace"))
        return runOnFiles(files, traceCommand);
    if (command == QLatin1String("attributes"))
        return runOnFiles(files, [json](const QString &f) { return attributesCommand(f, json); }, !json);
    if (command == QLatin1String("message"))
        return runOnFiles(files, [json](const QString &f) { return messageCommand(f, json); }, !json);
    if (choosingBody) {
        // Bodies go out byte for byte: one file at a time.
        if (files.size() > 1)
            return usageError(QStringLiteral("body takes one FILE"));
        return runOnFiles(files, [bodyChoice](const QString &f) { return bodyCommand(f, bodyChoice); });
    }
    if (extracting) {
        extractOptions.recursive = recursive;
        return runOnFiles(files, [&extractOptions](const QString &f) { return extractCommand(f, extractOptions); });
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(command));
}

} // namespace

int main(int argc, char **argv)
{
    StandardStreamsOpenMissing();
    // Past a file-size limit a write should fail and be reported, not end
    // the process halfway through an attachment.
    std::signal(SIGXFSZ, SIG_IGN);
    const int status = run(argc, argv);
    // Output that did not arrive (a full disk, a closed standard output) is
    // a failure like any other.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("parvane-cli: write error\n", stderr);
        return kExitFailed;
    }
    return status;
}
