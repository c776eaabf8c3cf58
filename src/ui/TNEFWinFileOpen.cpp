#include "TNEFWinFileOpen.h"

#include "Controls.h"
#include "TNEFWinFile.h"
#include "TNEFWinFileList.h"
#include "TNEFWinFileSave.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies are kept this long for the applications that opened them.
constexpr qint64 kCopyLifetimeSeconds = 24 * 60 * 60;

// Makes `path` a folder that only the user can enter, refusing anything
// that is not a folder of the user's own (a link put there, say).
bool makePrivate(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        TNEF_LOG_ERROR("    mkdir() returned %d.\n", FSStatusFromErrno(errno));
        return false;
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        TNEF_LOG_ERROR("    lstat() returned %d.\n", FSStatusFromErrno(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        TNEF_LOG_ERROR("    lstat() found no folder of the user's own.\n");
        return false;
    }
    return (info.st_mode & 0777) == 0700 || ::chmod(native.constData(), 0700) == 0;
}

// Once a run: what earlier days left behind goes.
void clearOldCopies(const QString &root)
{
    static bool cleared = false;
    if (cleared)
        return;
    cleared = true;
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addSecs(-kCopyLifetimeSeconds);
    const QFileInfoList folders = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &folder : folders) {
        if (folder.lastModified().toUTC() < oldest)
            QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

} // namespace

QString TNEFWinFilePrivateFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString root;
    if (QDir::isAbsolutePath(runtime) && FSIsFolder(runtime)) {
        root = FSPathAppendingComponent(runtime, QStringLiteral(PARVANE_APP_ID));
    } else {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        if (cache.isEmpty() || !QDir().mkpath(cache))
            return QString();
        root = FSPathAppendingComponent(cache, QStringLiteral(PARVANE_APP_ID));
    }
    return makePrivate(root) ? root : QString();
}

QStringList TNEFWinFileWriteCopies(TNEFFile *tnefFile, const std::vector<UInt32> &fileIDs)
{
    const QString root = TNEFWinFilePrivateFolder();
    if (root.isNull())
        return {};
    clearOldCopies(root);
    // A folder of its own for each set of copies: their names stay the
    // attachments' names, and nobody else can add to it.
    QByteArray pattern = QFile::encodeName(root + QStringLiteral("/XXXXXX"));
    if (!::mkdtemp(pattern.data())) {
        TNEF_LOG_ERROR("    mkdtemp() returned NULL.\n");
        return {};
    }
    const QStringList copies = TNEFWinFileSaveItems(tnefFile, fileIDs, QFile::decodeName(pattern));
    for (const QString &copy : copies) {
        // A copy is a view of the attachment, not a document to edit.
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadUser);
    }
    return copies;
}

OSStatus TNEFWinFileOpenAttachments(TNEFWinFile *winFile, const std::vector<UInt32> &fileIDs)
{
    TNEFFile *tnefFile = winFile->document();
    OSStatus status = noErr;
    std::vector<UInt32> files;
    for (UInt32 fileID : fileIDs) {
        const TNEFFileItem *item = TNEFFileFindItem(tnefFile, fileID);
        if (item && item->isTNEF == -1) {
            if (const SInt32 err = TNEFWinFileOpenAttached(winFile, fileID))
                status = OSStatus(err);
        } else if (item) {
            files.push_back(fileID);
        }
    }
    if (files.empty())
        return status;
    const QStringList copies = TNEFWinFileWriteCopies(tnefFile, files);
    if (copies.size() != int(files.size())) {
        status = ioErr;
        TNEFWinFileShowStatus(winFile, QCoreApplication::translate(
            "TNEFWinFile", "The attachment could not be copied for opening."));
    }
    for (const QString &copy : copies) {
        if (!DesktopOpenURL(DesktopFileURL(copy))) {
            status = fnfErr;
            const QString name = FSPathLastComponent(copy);
            TNEFWinFileShowStatus(
                winFile, QCoreApplication::translate("TNEFWinFile", "No application opens “%1”.").arg(name), name);
        }
    }
    return status;
}

SInt32 TNEFWinFileOpenAttached(TNEFWinFile *winFile, UInt32 fileID)
{
    // Opened again from this window, the message comes forward in the window
    // it already has; it is not read a second time.
    const QByteArray opened = "parvane.attachedWindow." + QByteArray::number(fileID);
    if (const auto shown = winFile->property(opened).value<QPointer<QWidget>>(); shown && shown->isVisible()) {
        SelectWindow(shown);
        return 0;
    }
    OSErr err = noErr;
    TNEFFile *attached = TNEFFileOpenAttached(winFile->document(), fileID, &err);
    if (!attached) {
        TNEF_LOG_ERROR("    TNEFFileOpenAttached() returned %d.\n", err);
        return err;
    }
    const SInt32 status = TNEFWinFileShowDocument(attached);
    if (status != 0)
        TNEFFileDestroy(attached);
    else
        winFile->setProperty(opened, QVariant::fromValue(QPointer<QWidget>(attached->winFile)));
    return status;
}
