#include "FileManager.h"

#include "NativePath.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads are served from a read-ahead window so that the parsers' small
// field reads cost no system call. The window only ever holds bytes that
// follow the mark in one run of reads: every position change drops it, so a
// read after a seek always sees the file as it is now.
constexpr size_t kReadAheadSize = 128 * 1024;
// The largest piece one kernel copy moves; between two pieces a signal gets
// its turn.
constexpr size_t kCopyChunk = 64u << 20;

//
// Writes are gathered in the same window and reach the file when it is full,
// when the mark moves elsewhere and at the latest when the fork is closed; a
// failure to write them is the answer of that write, seek or close.
struct Fork {
    int fd = -1;
    SInt64 mark = 0;
    // A fork may see only a stretch of its file: positions count from
    // `base`, and nothing at or past `limit` (when not negative) exists.
    SInt64 base = 0;
    SInt64 limit = -1;
    std::vector<char> window;  // allocated on first use
    SInt64 windowStart = 0;
    size_t windowLength = 0;
    bool dirty = false;  // the window holds written bytes not yet in the file

    void drop() { windowLength = 0; }
};

OSErr writeAll(int fd, const char *bytes, size_t count, SInt64 offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t put = ::pwrite(fd, bytes + done, count - done, offset + SInt64(done));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return FSStatusFromErrno(errno);
        }
        if (put == 0)
            return dskFulErr;
        done += size_t(put);
    }
    return noErr;
}

// Puts gathered writes into the file, or forgets read-ahead; either way the
// window is empty afterwards.
OSErr settle(Fork *fork)
{
    OSErr err = noErr;
    if (fork->dirty && fork->windowLength > 0)
        err = writeAll(fork->fd, fork->window.data(), fork->windowLength, fork->windowStart);
    fork->dirty = false;
    fork->drop();
    return err;
}

// Slot i holds fork reference number i + 1; 0 is never a valid number.
std::vector<Fork> gForks;
FSFileLayerHooks gHooks;

Fork *findFork(SInt16 ref)
{
    if (ref <= 0 || static_cast<size_t>(ref) > gForks.size())
        return nullptr;
    Fork &fork = gForks[ref - 1];
    return fork.fd >= 0 ? &fork : nullptr;
}

OSErr adopt(int fd, SInt16 *forkRefNum)
{
    for (size_t i = 0; i < gForks.size(); ++i) {
        if (gForks[i].fd < 0) {
            gForks[i].fd = fd;
            gForks[i].mark = 0;
            gForks[i].base = 0;
            gForks[i].limit = -1;
            gForks[i].dirty = false;
            gForks[i].drop();
            *forkRefNum = static_cast<SInt16>(i + 1);
            return noErr;
        }
    }
    if (gForks.size() >= 0x7FFF) {
        ::close(fd);
        return tmfoErr;
    }
    gForks.emplace_back();
    gForks.back().fd = fd;
    *forkRefNum = static_cast<SInt16>(gForks.size());
    return noErr;
}

QByteArray nativePath(const QString &path)
{
    return FSPathToNative(path);
}

// What is read may be reached through links: only what is written must not.
OSErr openForReading(const QByteArray &native, SInt16 *forkRefNum, const QByteArray &streamStart)
{
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return FSStatusFromErrno(errno);
    // Checked before opening: opening a device can block or act on it.
    if (S_ISDIR(st.st_mode))
        return notAFileErr;
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        return afpObjectTypeErr;
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FSStatusFromErrno(errno);
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? notAFileErr : afpObjectTypeErr;
    }
    if (S_ISFIFO(st.st_mode)) {
        const OSErr err = FSOpenForkFromStream(fd, forkRefNum, streamStart);
        ::close(fd);
        return err;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return adopt(fd, forkRefNum);
}

} // namespace

OSErr FSStatusFromErrno(int err)
{
    switch (err) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EEXIST: return dupFNErr;
    case EACCES:
    case EPERM: return permErr;
    case EROFS: return wPrErr;
    case ENOSPC:
    case EDQUOT: return dskFulErr;
    case EFBIG: return dskFulErr;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ: return bdNamErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case EBUSY:
    case ETXTBSY: return fBsyErr;
    case EISDIR: return permErr;
    case ELOOP: return permErr;
    case ENOMEM: return memFullErr;
    case EBADF: return rfNumErr;
    default: return ioErr;
    }
}

OSErr FSOpenFork(const QString &path, SInt8 permission, SInt16 *forkRefNum, const QByteArray &streamStart)
{
    if (!forkRefNum || path.isEmpty())
        return paramErr;
    if (permission == fsRdPerm)
        return openForReading(nativePath(path), forkRefNum, streamStart);
    int flags = O_CLOEXEC | O_NOFOLLOW;
    if (permission == fsWrPerm)
        flags |= O_WRONLY;
    else
        return paramErr;
    int fd;
    do {
        fd = ::open(nativePath(path).constData(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FSStatusFromErrno(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return permErr;
    }
    return adopt(fd, forkRefNum);
}

OSErr FSOpenForkFromDescriptor(int fd, SInt16 *forkRefNum)
{
    if (fd < 0 || !forkRefNum)
        return paramErr;
    return adopt(fd, forkRefNum);
}

int FSCreateTemporaryFile()
{
    const char *tmp = std::getenv("TMPDIR");
    const QByteArray dir = tmp && *tmp ? QByteArray(tmp) : QByteArray("/tmp");
    int fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        QByteArray templ = dir + "/parvane-stream.XXXXXX";
        fd = ::mkostemp(templ.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(templ.constData());
    }
    return fd;
}

OSErr FSOpenForkFromStream(int fd, SInt16 *forkRefNum, const QByteArray &start)
{
    if (fd < 0 || !forkRefNum)
        return paramErr;
    // The first bytes are looked at before anything is written: a stream
    // of something else (a runaway `yes`, a film) costs no disk.
    char buffer[65536];
    size_t head = 0;
    bool differs = false;
    while (head < size_t(start.size()) && !differs) {
        const ssize_t got = ::read(fd, buffer + head, size_t(start.size()) - head);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FSStatusFromErrno(errno);
        head += size_t(got);
        differs = got == 0 || std::memcmp(buffer, start.constData(), head) != 0;
    }
    if (differs) {
        // What was read is all the fork holds, enough for a reader to tell
        // what the stream is not.
        const int shown = ::memfd_create("parvane-stream", MFD_CLOEXEC);
        if (shown < 0)
            return FSStatusFromErrno(errno);
        if (const OSErr err = writeAll(shown, buffer, head, 0)) {
            ::close(shown);
            return err;
        }
        return adopt(shown, forkRefNum);
    }
    const int copy = FSCreateTemporaryFile();
    if (copy < 0)
        return FSStatusFromErrno(errno);
    // The bytes looked at first are the copy's first.
    SInt64 copied = 0;
    size_t pending = head;
    for (;;) {
        if (const OSErr err = writeAll(copy, buffer, pending, copied)) {
            ::close(copy);
            return err;
        }
        copied += SInt64(pending);
        ssize_t got;
        do {
            got = ::read(fd, buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        if (got == 0)
            return adopt(copy, forkRefNum);
        if (got < 0) {
            const OSErr err = FSStatusFromErrno(errno);
            ::close(copy);
            return err;
        }
        pending = size_t(got);
    }
}

OSErr FSCloseFork(SInt16 forkRefNum)
{
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    const OSErr flushErr = settle(fork);
    int fd = fork->fd;
    fork->fd = -1;
    std::vector<char>().swap(fork->window);
    const OSErr closeErr = ::close(fd) == 0 ? OSErr(noErr) : FSStatusFromErrno(errno);
    return flushErr != noErr ? flushErr : closeErr;
}

OSErr FSReadFork(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                 UInt32 requestCount, void *buffer, UInt32 *actualCount)
{
    Fork *fork = findFork(forkRefNum);
    // The common case of the parsers: a small read at the mark that the
    // read-ahead window holds whole.
    if (fork && positionMode == fsAtMark && !gHooks.beforeRead && fork->windowLength > 0
        && !fork->dirty) {
        const SInt64 offset = fork->mark - fork->windowStart;
        if (offset >= 0 && UInt64(offset) + requestCount <= fork->windowLength) {
            const char *from = fork->window.data() + offset;
            if (requestCount <= 8) {
                // Field-sized reads: a call into the C library costs more
                // than the copy.
                for (UInt32 i = 0; i < requestCount; ++i)
                    static_cast<char *>(buffer)[i] = from[i];
            } else {
                std::memcpy(buffer, from, requestCount);
            }
            fork->mark += requestCount;
            if (actualCount)
                *actualCount = requestCount;
            return noErr;
        }
    }
    if (actualCount)
        *actualCount = 0;
    if (!fork)
        return rfNumErr;
    if (fork->dirty) {
        if (OSErr err = settle(fork))
            return err;
    }
    if (positionMode == fsFromStart) {
        if (positionOffset < 0)
            return posErr;
        fork->mark = positionOffset;
        fork->drop();
    } else if (positionMode != fsAtMark) {
        return paramErr;
    }
    if (gHooks.beforeRead) {
        if (OSErr err = gHooks.beforeRead(forkRefNum, requestCount))
            return err;
    }
    auto *out = static_cast<char *>(buffer);
    UInt32 done = 0;
    UInt32 wanted = requestCount;
    if (fork->limit >= 0)
        wanted = UInt32(std::clamp<SInt64>(fork->limit - fork->mark, 0, requestCount));
    // Whatever the window holds at the mark first.
    if (fork->windowLength > 0 && fork->mark >= fork->windowStart
        && fork->mark < fork->windowStart + SInt64(fork->windowLength)) {
        const size_t offset = size_t(fork->mark - fork->windowStart);
        const size_t take = std::min<size_t>(fork->windowLength - offset, wanted);
        std::memcpy(out, fork->window.data() + offset, take);
        done += UInt32(take);
        fork->mark += SInt64(take);
    }
    while (done < wanted) {
        const UInt32 rest = wanted - done;
        if (rest >= kReadAheadSize / 2) {
            // Large reads go straight into the caller's buffer.
            ssize_t got = ::pread(fork->fd, out + done, rest, fork->base + fork->mark);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                if (actualCount)
                    *actualCount = done;
                return FSStatusFromErrno(errno);
            }
            if (got == 0)
                break;
            done += UInt32(got);
            fork->mark += got;
            continue;
        }
        if (fork->window.empty())
            fork->window.resize(kReadAheadSize);
        const size_t ahead = fork->limit >= 0
            ? size_t(std::min<SInt64>(fork->limit - fork->mark, SInt64(kReadAheadSize))) : kReadAheadSize;
        ssize_t got = ::pread(fork->fd, fork->window.data(), ahead, fork->base + fork->mark);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fork->drop();
            if (actualCount)
                *actualCount = done;
            return FSStatusFromErrno(errno);
        }
        fork->windowStart = fork->mark;
        fork->windowLength = size_t(got);
        if (got == 0)
            break;
        const UInt32 take = std::min<UInt32>(rest, UInt32(got));
        std::memcpy(out + done, fork->window.data(), take);
        done += take;
        fork->mark += take;
    }
    if (actualCount)
        *actualCount = done;
    return done == requestCount ? noErr : eofErr;
}

OSErr FSReadForkAt(SInt16 forkRefNum, SInt64 offset, UInt32 requestCount, void *buffer,
                   UInt32 *actualCount)
{
    if (actualCount)
        *actualCount = 0;
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    if (offset < 0)
        return posErr;
    if (fork->dirty) {
        if (OSErr err = settle(fork))
            return err;
    }
    if (gHooks.beforeRead) {
        if (OSErr err = gHooks.beforeRead(forkRefNum, requestCount))
            return err;
    }
    // Nothing past the stretch a range fork sees is there for it to read.
    UInt32 wanted = requestCount;
    if (fork->limit >= 0)
        wanted = UInt32(std::clamp<SInt64>(fork->limit - offset, 0, requestCount));
    auto *out = static_cast<char *>(buffer);
    UInt32 done = 0;
    while (done < wanted) {
        const ssize_t got = ::pread(fork->fd, out + done, wanted - done, fork->base + offset + SInt64(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            if (actualCount)
                *actualCount = done;
            return FSStatusFromErrno(errno);
        }
        if (got == 0)
            break;
        done += UInt32(got);
    }
    if (actualCount)
        *actualCount = done;
    return done == requestCount ? noErr : eofErr;
}

OSErr FSWriteFork(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                  UInt32 requestCount, const void *buffer, UInt32 *actualCount)
{
    if (actualCount)
        *actualCount = 0;
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    if (fork->limit >= 0)
        return wrPermErr;
    if (positionMode == fsFromStart) {
        if (positionOffset < 0)
            return posErr;
        fork->mark = positionOffset;
    } else if (positionMode != fsAtMark) {
        return paramErr;
    }
    if (gHooks.beforeWrite) {
        if (OSErr err = gHooks.beforeWrite(forkRefNum, requestCount))
            return err;
    }
    const auto *in = static_cast<const char *>(buffer);
    // Writes that continue the gathered ones join them; anything else first
    // puts what is gathered into the file.
    const bool continues = fork->dirty && fork->mark == fork->windowStart + SInt64(fork->windowLength);
    if (!continues || fork->windowLength + requestCount > kReadAheadSize) {
        if (OSErr err = settle(fork))
            return err;
    }
    if (requestCount >= kReadAheadSize / 2) {
        if (OSErr err = writeAll(fork->fd, in, requestCount, fork->mark))
            return err;
    } else {
        if (fork->window.empty())
            fork->window.resize(kReadAheadSize);
        if (!fork->dirty) {
            fork->dirty = true;
            fork->windowStart = fork->mark;
            fork->windowLength = 0;
        }
        std::memcpy(fork->window.data() + fork->windowLength, in, requestCount);
        fork->windowLength += requestCount;
    }
    fork->mark += requestCount;
    if (actualCount)
        *actualCount = requestCount;
    return noErr;
}

OSErr FSGetForkPosition(SInt16 forkRefNum, SInt64 *position)
{
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    if (!position)
        return paramErr;
    *position = fork->mark;
    return noErr;
}

OSErr FSSetForkPosition(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset)
{
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    SInt64 target;
    if (positionMode == fsFromStart)
        target = positionOffset;
    else if (positionMode == fsAtMark)
        target = fork->mark + positionOffset;
    else
        return paramErr;
    if (target < 0)
        return posErr;
    // Moving the mark to where it is changes nothing: the run of reads goes on.
    if (target == fork->mark && !fork->dirty)
        return noErr;
    if (OSErr err = settle(fork))
        return err;
    fork->mark = target;
    return noErr;
}

OSErr FSFlushFork(SInt16 forkRefNum)
{
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    return fork->dirty ? settle(fork) : OSErr(noErr);
}

namespace {
// What copy_file_range answers where it cannot copy between the two files
// at all (other file systems, kernels without it, special files); reads and
// writes still can.
bool kernelCopyRefused(int err)
{
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP
        || err == EBADF;
}

// Where the source starts at another place in its page than the target,
// copy_file_range goes through a pipe of 16 pages and pays for the shift on
// every trip: a copy out of a TNEF file, whose attachments start anywhere,
// took a quarter to a third longer than a cp of the file. Through a pipe of
// our own, 16 times as large, it takes about as long as cp. Copies smaller than the kernel's pipe gain
// nothing from it.
constexpr int kPipeSize = 1 << 20;
constexpr UInt64 kPipeWorthIt = 64 * 1024;

class CopyPipe {
public:
    CopyPipe()
    {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            return;
        // Refused above the user's pipe allowance; the pipe then keeps its
        // default size and still works.
        ::fcntl(m_fds[1], F_SETPIPE_SZ, kPipeSize);
        m_size = ::fcntl(m_fds[1], F_GETPIPE_SZ);
    }
    ~CopyPipe()
    {
        for (int fd : m_fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    CopyPipe(const CopyPipe &) = delete;
    CopyPipe &operator=(const CopyPipe &) = delete;

    bool usable() const { return m_size > 0; }
    size_t size() const { return size_t(m_size); }

    // Moves up to `count` bytes from `from` at *in to `to` at *out; the
    // number that reached `to`, 0 at the end of `from`, or -1 with errno.
    // After -1 the pipe may hold bytes and must not be used again, unless
    // errno is EINTR: then nothing was moved.
    ssize_t move(int from, loff_t *in, int to, loff_t *out, size_t count)
    {
        const ssize_t filled = ::splice(from, in, m_fds[1], nullptr, count, SPLICE_F_MOVE);
        if (filled <= 0)
            return filled;
        ssize_t drained = 0;
        while (drained < filled) {
            const ssize_t moved = ::splice(m_fds[0], nullptr, to, out, size_t(filled - drained), SPLICE_F_MOVE);
            if (moved < 0 && errno == EINTR)
                continue;
            if (moved <= 0) {
                if (moved == 0)
                    errno = EINVAL;
                return -1;
            }
            drained += moved;
        }
        return drained;
    }

private:
    int m_fds[2] = {-1, -1};
    int m_size = 0;
};
} // namespace

OSErr FSCopyFork(SInt16 source, SInt64 sourceOffset, SInt16 target, UInt64 count, UInt64 *copied)
{
    if (copied)
        *copied = 0;
    Fork *from = findFork(source);
    Fork *to = findFork(target);
    if (!from || !to)
        return rfNumErr;
    if (sourceOffset < 0)
        return posErr;
    if (OSErr err = settle(from))
        return err;
    if (OSErr err = settle(to))
        return err;
    // A range fork's positions count from its base, and its stretch ends at
    // its limit: a copy past it copies what is there and answers eofErr.
    bool cut = false;
    if (from->limit >= 0 && UInt64(std::max<SInt64>(from->limit - sourceOffset, 0)) < count) {
        count = UInt64(std::max<SInt64>(from->limit - sourceOffset, 0));
        cut = true;
    }
    const SInt64 sourceStart = from->base + sourceOffset;
    const loff_t pageSize = ::sysconf(_SC_PAGESIZE);
    std::optional<CopyPipe> pipe;
    if (count >= kPipeWorthIt && (sourceStart - to->mark) % pageSize != 0) {
        pipe.emplace();
        if (!pipe->usable())
            pipe.reset();
    }
    UInt64 done = 0;
    OSErr err = noErr;
    while (done < count) {
        // Counted from what reached the target, so that a pipe given up
        // half-way leaves nothing out.
        loff_t in = sourceStart + loff_t(done);
        loff_t out = to->mark + loff_t(done);
        const size_t chunk = size_t(std::min<UInt64>(count - done, pipe ? pipe->size() : kCopyChunk));
        const int refusal = gHooks.beforeCopy ? gHooks.beforeCopy(chunk) : 0;
        ssize_t moved = -1;
        if (refusal != 0)
            errno = refusal;
        else if (pipe)
            moved = pipe->move(from->fd, &in, to->fd, &out, chunk);
        else
            moved = ::copy_file_range(from->fd, &in, to->fd, &out, chunk, 0);
        if (moved < 0) {
            // An interrupted move leaves the pipe empty.
            if (errno == EINTR)
                continue;
            // Whatever a pipe could not do is left to copy_file_range.
            if (pipe && kernelCopyRefused(errno)) {
                pipe.reset();
                continue;
            }
            err = kernelCopyRefused(errno) ? OSErr(unimpErr) : FSStatusFromErrno(errno);
            break;
        }
        if (moved == 0) {
            // Some file systems answer 0 for files whose size they do not
            // know (those under /proc): a copy that has not begun is left to
            // reads, which tell the end of the file for certain.
            err = done == 0 ? OSErr(unimpErr) : OSErr(eofErr);
            break;
        }
        done += UInt64(moved);
    }
    if (err == noErr && cut)
        err = eofErr;
    from->mark = sourceOffset + SInt64(done);
    to->mark += SInt64(done);
    if (copied)
        *copied = done;
    return err;
}

int FSGetForkDescriptor(SInt16 forkRefNum)
{
    const Fork *fork = findFork(forkRefNum);
    return fork ? fork->fd : -1;
}

OSErr FSGetForkSize(SInt16 forkRefNum, SInt64 *forkSize)
{
    Fork *fork = findFork(forkRefNum);
    if (!fork)
        return rfNumErr;
    if (!forkSize)
        return paramErr;
    if (fork->dirty) {
        if (OSErr err = settle(fork))
            return err;
    }
    struct stat st;
    if (::fstat(fork->fd, &st) != 0)
        return FSStatusFromErrno(errno);
    *forkSize = std::max<SInt64>(st.st_size - fork->base, 0);
    if (fork->limit >= 0)
        *forkSize = std::min(*forkSize, fork->limit);
    return noErr;
}

OSErr FSOpenForkRange(SInt16 parentRefNum, SInt64 offset, SInt64 length, SInt16 *forkRefNum)
{
    Fork *parent = findFork(parentRefNum);
    if (!parent)
        return rfNumErr;
    if (!forkRefNum || offset < 0 || length < 0)
        return paramErr;
    if (OSErr err = settle(parent))
        return err;
    // A stretch of a stretch stays inside the outer one.
    SInt64 limit = length;
    if (parent->limit >= 0)
        limit = std::clamp<SInt64>(parent->limit - offset, 0, length);
    const SInt64 base = parent->base + offset;
    const int fd = ::fcntl(parent->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return FSStatusFromErrno(errno);
    if (OSErr err = adopt(fd, forkRefNum))
        return err;
    // `parent` may have moved when the table grew.
    gForks[size_t(*forkRefNum) - 1].base = base;
    gForks[size_t(*forkRefNum) - 1].limit = limit;
    return noErr;
}

bool FSObjectExists(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(nativePath(path).constData(), &st) == 0;
}

bool FSIsFolder(const QString &path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString FSPathAppendingComponent(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString FSPathParent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return p.left(slash);
}

QString FSPathLastComponent(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? p : p.mid(slash + 1);
}

void FSSetFileLayerHooks(const FSFileLayerHooks &hooks)
{
    gHooks = hooks;
}

const FSFileLayerHooks &FSGetFileLayerHooks()
{
    return gHooks;
}

void FSClearFileLayerHooks()
{
    gHooks = FSFileLayerHooks{};
}

int FSOpenForkCount()
{
    int count = 0;
    for (const Fork &fork : gForks)
        count += fork.fd >= 0 ? 1 : 0;
    return count;
}
