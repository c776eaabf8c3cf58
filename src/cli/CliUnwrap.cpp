// GMime's headers first: Qt's keyword macros would break glib's.
#include "mail/MailTnefPart.h"
#include "mail/MailUnwrap.h"

#include "CliOutput.h"
#include "CliUnwrap.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"

#include <QDir>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sysexits.h>
#include <unistd.h>

namespace {

void say(const QString &path, const QString &what)
{
    std::fprintf(stderr, "parvane-cli: %s: %s\n", CliEscape(FSPathToNative(path), CliShow::Field, stderr).constData(),
                 what.toUtf8().constData());
}

// A new file under a hidden name in `folder`, given the name `target` only
// once it is complete and on disk: until then the old file, if any, stays
// as it was, whatever happens to this process or the disk.
class NewFile {
public:
    // False when the file cannot be made.
    bool create(const QString &folder, const QString &target, mode_t mode)
    {
        m_target = FSPathToNative(target);
        m_temporary = FSPathToNative(folder) + "/.parvane-unwrap-XXXXXX";
        m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
        if (m_fd >= 0)
            ::fchmod(m_fd, mode);
        return m_fd >= 0;
    }
    int fd() const { return m_fd; }
    // False, with the new file removed, when it could not be finished.
    bool commit()
    {
        const bool done = ::fsync(m_fd) == 0 && ::close(m_fd) == 0
            && ::rename(m_temporary.constData(), m_target.constData()) == 0;
        m_fd = -1;
        if (!done)
            ::unlink(m_temporary.constData());
        m_temporary.clear();
        return done;
    }
    ~NewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
    }

private:
    int m_fd = -1;
    QByteArray m_temporary, m_target;
};

// A stream over `fd` (taken) that can seek: a pipe is first copied to an
// unnamed temporary file, as TNEF files read from a pipe are.
GMimeStream *seekableStream(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        return g_mime_stream_fs_new(fd);
    SInt16 fork = 0;
    const OSErr err = FSOpenForkFromStream(fd, &fork);
    ::close(fd);
    if (err != noErr)
        return nullptr;
    const int copy = ::dup(FSGetForkDescriptor(fork));
    FSCloseFork(fork);
    return copy < 0 ? nullptr : g_mime_stream_fs_new_with_bounds(copy, 0, -1);
}

int exitStatus(MailUnwrapStatus status)
{
    switch (status) {
    case MailUnwrapStatus::Unchanged:
    case MailUnwrapStatus::Changed: return EX_OK;
    case MailUnwrapStatus::NotMail: return EX_DATAERR;
    // Deferred mail is delivered later; a mail lost is lost.
    case MailUnwrapStatus::ReadFailed:
    case MailUnwrapStatus::WriteFailed: return EX_TEMPFAIL;
    }
    return EX_SOFTWARE;
}

int unwrapMail(const CliUnwrapOptions &options)
{
    const bool fromStdin = options.input.isEmpty() || options.input == QLatin1String("-");
    const QString shown = fromStdin ? QStringLiteral("stdin") : options.input;
    const int in = fromStdin ? ::dup(STDIN_FILENO) : ::open(FSPathToNative(options.input).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || ::fstat(in, &info) != 0 || S_ISDIR(info.st_mode)) {
        say(shown, in < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("a folder, not a mail"));
        if (in >= 0)
            ::close(in);
        return EX_NOINPUT;
    }
    GMimeStream *input = seekableStream(in);
    if (!input) {
        say(shown, QStringLiteral("cannot be read into a temporary file"));
        return EX_TEMPFAIL;
    }
    NewFile file;
    if (!options.output.isEmpty()) {
        const QString target = FSPathAbsolute(options.output);
        struct stat old {};
        const mode_t mode = ::stat(FSPathToNative(target).constData(), &old) == 0 ? old.st_mode & 07777 : 0644 & ~[] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return mask;
        }();
        if (!file.create(FSPathParent(target), target, mode)) {
            say(options.output, QString::fromLocal8Bit(std::strerror(errno)));
            g_object_unref(input);
            return EX_CANTCREAT;
        }
    }
    GMimeStream *output = g_mime_stream_pipe_new(options.output.isEmpty() ? ::dup(STDOUT_FILENO) : ::dup(file.fd()));
    const MailUnwrapResult result = MailUnwrap(input, output);
    g_object_unref(output);
    g_object_unref(input);
    int status = exitStatus(result.status);
    if (status == EX_OK && !options.output.isEmpty() && !file.commit())
        status = EX_TEMPFAIL;
    if (result.status == MailUnwrapStatus::NotMail)
        say(shown, QStringLiteral("not a mail"));
    else if (result.status == MailUnwrapStatus::ReadFailed)
        say(shown, QStringLiteral("a TNEF part cannot be read into a temporary file"));
    else if (status != EX_OK)
        say(options.output.isEmpty() ? QStringLiteral("stdout") : options.output, QStringLiteral("write error"));
    for (const QString &note : result.notes)
        say(shown, note);
    return status;
}

bool copyRange(GMimeStream *from, gint64 begin, gint64 end, GMimeStream *to)
{
    if (begin >= end)
        return true;
    GMimeStream *range = g_mime_stream_substream(from, begin, end);
    const bool copied = g_mime_stream_write_to_stream(range, to) == end - begin;
    g_object_unref(range);
    return copied;
}

// Ends what was written to `fd` through `output` with a blank line.
bool endBlankLine(int fd, GMimeStream *output)
{
    char tail[2] = {};
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 2 || ::pread(fd, tail, 2, size - 2) != 2)
        return false;
    const int missing = tail[1] != '\n' ? 2 : tail[0] != '\n' ? 1 : 0;
    return g_mime_stream_write(output, "\n\n", size_t(missing)) == missing;
}

// The mbox is read once, front to back: every byte between the messages'
// headers (the "From " lines, the blank lines before them) is copied as it
// was, and each message goes through MailUnwrap, which copies an unchanged
// one byte for byte. Quoted ">From " lines stay as they were; the parts
// made anew are base64 and hold none.
int unwrapMbox(const CliUnwrapOptions &options)
{
    const QByteArray path = FSPathToNative(options.input);
    const int in = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (in < 0 || ::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        say(options.input, in < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("not a file"));
        if (in >= 0)
            ::close(in);
        return EX_NOINPUT;
    }
    // Mail delivered while the mailbox is rewritten would be lost by the
    // rename: deliveries that lock wait, and a mailbox that grew anyway is
    // left as it is.
    ::flock(in, LOCK_EX);
    GMimeStream *input = g_mime_stream_fs_new(in);
    NewFile file;
    const QString target = FSPathAbsolute(options.input);
    if (!file.create(FSPathParent(target), target, info.st_mode & 07777)) {
        say(options.input, QStringLiteral("no new mailbox can be made beside it: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        g_object_unref(input);
        return EX_CANTCREAT;
    }
    MailInit();
    GMimeStream *output = g_mime_stream_pipe_new(::dup(file.fd()));
    GMimeParser *parser = g_mime_parser_new_with_stream(input);
    g_mime_parser_set_format(parser, GMIME_FORMAT_MBOX);
    g_mime_parser_set_persist_stream(parser, TRUE);
    int fixed = 0, mails = 0, status = EX_OK;
    gint64 copied = 0;
    while (status == EX_OK && !g_mime_parser_eos(parser)) {
        GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
        if (!message)
            break;
        g_object_unref(message);
        // The parser goes back to where it stopped by itself: what is read
        // in between goes through the same descriptor.
        const gint64 begin = g_mime_parser_get_headers_begin(parser);
        const gint64 end = g_mime_parser_tell(parser);
        GMimeStream *mail = g_mime_stream_substream(input, begin, end);
        if (!copyRange(input, copied, begin, output))
            status = EX_TEMPFAIL;
        const MailUnwrapResult result = status == EX_OK ? MailUnwrap(mail, output) : MailUnwrapResult{};
        g_object_unref(mail);
        ++mails;
        if (result.status == MailUnwrapStatus::Changed)
            ++fixed;
        else if (result.status != MailUnwrapStatus::Unchanged && result.status != MailUnwrapStatus::NotMail)
            status = EX_TEMPFAIL;
        // The blank line before the next "From " line was the replaced
        // part's last line: one is put back.
        if (result.status == MailUnwrapStatus::Changed && !endBlankLine(file.fd(), output))
            status = EX_TEMPFAIL;
        copied = end;
    }
    g_object_unref(parser);
    if (status == EX_OK && !copyRange(input, copied, g_mime_stream_length(input), output))
        status = EX_TEMPFAIL;
    g_object_unref(output);
    struct stat now {};
    if (status == EX_OK && (::fstat(in, &now) != 0 || now.st_size != info.st_size)) {
        say(options.input, QStringLiteral("the mailbox changed while it was read; left as it was"));
        status = EX_TEMPFAIL;
    }
    if (status == EX_OK && mails == 0 && info.st_size > 0)
        status = EX_DATAERR;
    if (status == EX_OK && fixed > 0 && !file.commit())
        status = EX_TEMPFAIL;
    g_object_unref(input);
    if (status == EX_TEMPFAIL)
        say(options.input, QStringLiteral("write error; the mailbox is left as it was"));
    else if (status == EX_DATAERR)
        say(options.input, QStringLiteral("not an mbox mailbox"));
    else if (options.verbose)
        say(options.input, QStringLiteral("%1 of %2 mails fixed").arg(fixed).arg(mails));
    return status;
}

// Each message is written anew in tmp/ and renamed over its old name, so
// that its flags stay; a message that does not change is not touched.
int unwrapMaildir(const CliUnwrapOptions &options)
{
    const QDir maildir(options.input);
    if (!maildir.exists(QStringLiteral("cur")) || !maildir.exists(QStringLiteral("new")) || !maildir.exists(QStringLiteral("tmp"))) {
        say(options.input, QStringLiteral("not a maildir (no cur, new and tmp folders)"));
        return EX_NOINPUT;
    }
    const QString tmp = FSPathAbsolute(maildir.filePath(QStringLiteral("tmp")));
    int fixed = 0, mails = 0, status = EX_OK;
    for (const QString &sub : {QStringLiteral("new"), QStringLiteral("cur")}) {
        const QDir folder(maildir.filePath(sub));
        for (const QString &name : folder.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString path = FSPathAbsolute(folder.filePath(name));
            const int in = ::open(FSPathToNative(path).constData(), O_RDONLY | O_CLOEXEC);
            if (in < 0)
                continue;  // taken by a reader meanwhile
            struct stat info {};
            ::fstat(in, &info);
            NewFile file;
            if (!file.create(tmp, path, info.st_mode & 07777)) {
                ::close(in);
                say(options.input, QStringLiteral("nothing can be written in tmp/: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
                return EX_CANTCREAT;
            }
            GMimeStream *input = g_mime_stream_fs_new(in);
            GMimeStream *output = g_mime_stream_pipe_new(::dup(file.fd()));
            const MailUnwrapResult result = MailUnwrap(input, output);
            g_object_unref(output);
            g_object_unref(input);
            ++mails;
            if (result.status == MailUnwrapStatus::Changed) {
                if (!file.commit()) {
                    status = EX_TEMPFAIL;
                    break;
                }
                ++fixed;
            } else if (result.status == MailUnwrapStatus::ReadFailed || result.status == MailUnwrapStatus::WriteFailed) {
                status = EX_TEMPFAIL;
                break;
            }
        }
    }
    if (status != EX_OK)
        say(options.input, QStringLiteral("write error; the mails not yet fixed are left as they were"));
    else if (options.verbose)
        say(options.input, QStringLiteral("%1 of %2 mails fixed").arg(fixed).arg(mails));
    return status;
}

} // namespace

QString CliUnwrapParse(const QStringList &args, CliUnwrapOptions *options)
{
    bool optionsEnded = false;
    QStringList inputs;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("-o") || arg == QLatin1String("--mbox") || arg == QLatin1String("--maildir");
        if (!optionsEnded && takesValue) {
            if (i + 1 >= args.size())
                return QStringLiteral("option '%1' needs a value").arg(arg);
            const QString value = args[++i];
            if (arg == QLatin1String("-o")) {
                options->output = value;
            } else {
                inputs << value;
                options->mode = arg == QLatin1String("--mbox") ? CliUnwrapOptions::Mbox : CliUnwrapOptions::Maildir;
            }
        } else if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == QLatin1String("-v") || arg == QLatin1String("--verbose"))) {
            options->verbose = true;
        } else if (!optionsEnded && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            options->help = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            return QStringLiteral("unknown option '%1'").arg(arg);
        } else {
            inputs << arg;
        }
    }
    if (inputs.size() > 1)
        return QStringLiteral("unwrap takes one mail, mbox or maildir");
    if (options->mode != CliUnwrapOptions::Mail && !options->output.isEmpty())
        return QStringLiteral("--mbox and --maildir fix the mailbox in place: no -o");
    options->input = inputs.value(0);
    return {};
}

int CliUnwrapRun(const CliUnwrapOptions &options)
{
    // A reader that goes away is a failed write, told by its status.
    std::signal(SIGPIPE, SIG_IGN);
    MailInit();
    switch (options.mode) {
    case CliUnwrapOptions::Mbox: return unwrapMbox(options);
    case CliUnwrapOptions::Maildir: return unwrapMaildir(options);
    case CliUnwrapOptions::Mail: break;
    }
    return unwrapMail(options);
}
