#include "FSFolder.h"

#include "FileManager.h"
#include "NativePath.h"

#include <QFile>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

bool validComponent(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// Hidden names are ours alone by their random part; the leading dot keeps
// them out of file listings.
QByteArray hiddenName()
{
    return QByteArray(".parvane-")
        + QByteArray::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0')
        + ".tmp";
}

// Removes `name` from the folder only while it still denotes the file
// (device, inode) recorded: a name that somebody has put another file under
// is left alone. Async-signal-safe.
void removeIfOurs(int folder, const char *name, dev_t device, ino_t inode)
{
    struct stat st;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == device
        && st.st_ino == inode)
        ::unlinkat(folder, name, 0);
}

// The hidden names that exist now, for the signal handler. A slot is filled
// before it is marked used and unmarked before it is reused.
struct CleanupSlot {
    volatile sig_atomic_t used = 0;
    int folder = -1;
    char name[64] = {};
    dev_t device = 0;
    ino_t inode = 0;
};
CleanupSlot gCleanup[8];

void cleanUpAndRaise(int signal)
{
    for (CleanupSlot &slot : gCleanup) {
        if (slot.used)
            removeIfOurs(slot.folder, slot.name, slot.device, slot.inode);
    }
    // The default action then ends the process as the signal meant to.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Only signals left at their default action are taken over: a program with
// its own handler ends in its own time, after the file is complete. Looked at
// for every hidden name, as programs may change their handlers at any time.
void watchSignals()
{
    const int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction action = {};
    action.sa_handler = cleanUpAndRaise;
    sigemptyset(&action.sa_mask);
    for (int signal : endingSignals)
        sigaddset(&action.sa_mask, signal);
    for (int signal : endingSignals) {
        struct sigaction old = {};
        if (::sigaction(signal, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO)
            && old.sa_handler == SIG_DFL)
            ::sigaction(signal, &action, nullptr);
    }
}

int registerCleanup(int folder, const QByteArray &name, UInt64 device, UInt64 inode)
{
    watchSignals();
    for (int i = 0; i < int(std::size(gCleanup)); ++i) {
        CleanupSlot &slot = gCleanup[i];
        if (slot.used || size_t(name.size()) >= sizeof slot.name)
            continue;
        slot.folder = folder;
        std::memcpy(slot.name, name.constData(), size_t(name.size()) + 1);
        slot.device = dev_t(device);
        slot.inode = ino_t(inode);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slot.used = 1;
        return i;
    }
    return -1;
}

void unregisterCleanup(int slot)
{
    if (slot >= 0)
        gCleanup[slot].used = 0;
}

// Unnamed files are linked through /proc/self/fd, which any user may do
// (linking by descriptor alone needs a privilege).
bool unnamedFilesPossible()
{
    static const bool possible = ::access("/proc/self/fd", X_OK) == 0;
    return possible && !FSGetFileLayerHooks().noUnnamedFiles;
}

QByteArray procPath(int fd)
{
    char path[40];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    return path;
}

} // namespace

// ---------------------------------------------------------------------------
// FSFolder

FSFolder::~FSFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FSFolder::FSFolder(FSFolder &&other) noexcept
{
    *this = std::move(other);
}

FSFolder &FSFolder::operator=(FSFolder &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_device = other.m_device;
        m_inode = other.m_inode;
    }
    return *this;
}

OSErr FSFolder::adopt(int fd, const QString &path)
{
    struct stat st;
    const OSErr err = ::fstat(fd, &st) != 0 ? FSStatusFromErrno(errno)
        : S_ISDIR(st.st_mode)                ? OSErr(noErr)
                                             : OSErr(dirNFErr);
    if (err != noErr) {
        ::close(fd);
        return err;
    }
    *this = FSFolder();
    m_fd = fd;
    m_path = path;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    return noErr;
}

OSErr FSFolder::open(const QString &path)
{
    if (path.isEmpty())
        return paramErr;
    // O_PATH: a folder that may be written but not listed opens too.
    const int fd = ::open(FSPathToNative(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return FSStatusFromErrno(errno);
    return adopt(fd, path);
}

bool FSFolder::contains(const QString &name) const
{
    struct stat st;
    return ::fstatat(m_fd, FSPathToNative(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

QString FSFolder::path() const
{
    struct stat st;
    if (::stat(FSPathToNative(m_path).constData(), &st) == 0 && st.st_dev == m_device
        && st.st_ino == m_inode)
        return m_path;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(procPath(m_fd).constData(), target, sizeof target);
    return n > 0 && n < ssize_t(sizeof target) ? FSPathFromNative(QByteArray(target, n)) : m_path;
}

QString FSFolder::pathOf(const QString &name) const
{
    return FSPathAppendingComponent(path(), name);
}

OSErr FSCreateDirectoryUnicode(const FSFolder &parent, const QString &name, FSFolder *created)
{
    if (!validComponent(name) || !parent.isOpen())
        return bdNamErr;
    const QByteArray native = FSPathToNative(name);
    if (::mkdirat(parent.descriptor(), native.constData(), 0777) != 0)
        return FSStatusFromErrno(errno);
    if (!created)
        return noErr;
    const int fd = ::openat(parent.descriptor(), native.constData(),
                            O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return FSStatusFromErrno(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) {
        ::close(fd);
        return permErr;
    }
    return created->adopt(fd, parent.pathOf(name));
}

// ---------------------------------------------------------------------------
// FSNewFile

FSNewFile::~FSNewFile()
{
    dropHiddenName();
    if (m_fd >= 0)
        ::close(m_fd);
}

void FSNewFile::forgetHiddenName()
{
    unregisterCleanup(m_cleanupSlot);
    m_cleanupSlot = -1;
    m_hidden.clear();
}

void FSNewFile::dropHiddenName()
{
    if (m_hidden.isEmpty())
        return;
    removeIfOurs(m_folder->descriptor(), m_hidden.constData(), dev_t(m_device), ino_t(m_inode));
    forgetHiddenName();
}

OSErr FSNewFile::namable(const QString &name) const
{
    return m_fd < 0 ? paramErr : validComponent(name) ? noErr : bdNamErr;
}

OSErr FSNewFile::create(const FSFolder &folder, SInt16 *forkRefNum)
{
    if (m_fd >= 0 || !folder.isOpen() || !forkRefNum)
        return paramErr;
    m_folder = &folder;
    int fd = -1;
    if (unnamedFilesPossible()) {
        fd = ::openat(folder.descriptor(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        // Other answers than these say that no file can be made here at all.
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            return FSStatusFromErrno(errno);
    }
    QByteArray hidden;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        hidden = hiddenName();
        fd = ::openat(folder.descriptor(), hidden.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return FSStatusFromErrno(errno);
    }
    if (fd < 0)
        return dupFNErr;
    m_fd = fd;
    if (!hidden.isEmpty()) {
        if (const OSErr err = keepHiddenName(hidden))
            return err;
    }
    // The fork writes through a descriptor of its own, so that closing it
    // leaves this one to name the file with.
    const int forkFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (forkFd < 0)
        return FSStatusFromErrno(errno);
    return FSOpenForkFromDescriptor(forkFd, forkRefNum);
}

OSErr FSNewFile::setAttribute(const char *key, const QByteArray &value)
{
    if (::fsetxattr(m_fd, key, value.constData(), size_t(value.size()), 0) != 0)
        return FSStatusFromErrno(errno);
    return noErr;
}

OSErr FSNewFile::keepHiddenName(const QByteArray &hidden)
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return FSStatusFromErrno(errno);
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_hidden = hidden;
    m_cleanupSlot = registerCleanup(m_folder->descriptor(), hidden, m_device, m_inode);
    return noErr;
}

OSErr FSNewFile::takeHiddenName()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray hidden = hiddenName();
        if (::linkat(AT_FDCWD, procPath(m_fd).constData(), m_folder->descriptor(), hidden.constData(),
                     AT_SYMLINK_FOLLOW)
            == 0)
            return keepHiddenName(hidden);
        if (errno != EEXIST)
            return FSStatusFromErrno(errno);
    }
    return dupFNErr;
}

OSErr FSNewFile::link(const QString &name)
{
    if (const OSErr err = namable(name))
        return err;
    const int folder = m_folder->descriptor();
    const QByteArray native = FSPathToNative(name);
    if (m_hidden.isEmpty()) {
        if (::linkat(AT_FDCWD, procPath(m_fd).constData(), folder, native.constData(), AT_SYMLINK_FOLLOW)
            != 0)
            return FSStatusFromErrno(errno);
        return noErr;
    }
    if (::renameat2(folder, m_hidden.constData(), folder, native.constData(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL)
            return FSStatusFromErrno(errno);
        // A file system without the exclusive rename: an exclusive link,
        // then the hidden name goes.
        if (::linkat(folder, m_hidden.constData(), folder, native.constData(), 0) != 0)
            return FSStatusFromErrno(errno);
        dropHiddenName();
        return noErr;
    }
    forgetHiddenName();
    return noErr;
}

OSErr FSNewFile::replace(const QString &name)
{
    if (const OSErr err = namable(name))
        return err;
    if (m_hidden.isEmpty()) {
        if (OSErr err = takeHiddenName())
            return err;
    }
    const int folder = m_folder->descriptor();
    if (::renameat(folder, m_hidden.constData(), folder, FSPathToNative(name).constData()) != 0)
        return FSStatusFromErrno(errno);
    forgetHiddenName();
    return noErr;
}
