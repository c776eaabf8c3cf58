#include "TNEFFileParse.h"

#include "TNEFAlert.h"
#include "mail/MailOpen.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "platform/NativePath.h"
#include "platform/UserNotify.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFMessageItems.h"
#include "tnef/TNEFParse.h"
#include "ui/TNEFWinFile.h"

#include <QMimeDatabase>
#include <sys/stat.h>

namespace {

// The window property that names the file a document window shows.
const char kShownFile[] = "parvane.shownFile";

// What makes two paths, links among them, the same file: its device and
// inode. Empty for anything but a regular file: a pipe is read into a copy
// of its own at each open.
QByteArray fileIdentity(const struct stat &info)
{
    if (!S_ISREG(info.st_mode))
        return QByteArray();
    return QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino));
}

QByteArray pathIdentity(const QString &path)
{
    struct stat info {};
    return ::stat(FSPathToNative(path).constData(), &info) == 0 ? fileIdentity(info) : QByteArray();
}

// The identity of the file the document's fork reads, when that is the file
// at `path` itself (not the copy of a pipe); else empty.
QByteArray openedIdentity(const TNEFFile *tnefFile, const QString &path)
{
    struct stat info {};
    const int fd = FSGetForkDescriptor(tnefFile->forkRefNum);
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return QByteArray();
    const QByteArray identity = fileIdentity(info);
    return identity == pathIdentity(path) ? identity : QByteArray();
}

// Marks the document's window with the file it shows: the file itself, or
// the mail it came out of.
void markShownFile(const TNEFFile *tnefFile, const QByteArray &identity)
{
    if (!identity.isEmpty())
        tnefFile->winFile->setProperty(kShownFile, identity);
}

const char kOpenFailed[] = "An error occurred opening this file.";
const char kSeeReadme[] = " Please consult the Readme file for error reporting information.";

QString quotedName(const QString &path)
{
    return QStringLiteral("\u201C%1\u201D").arg(FSPathForDisplay(FSPathLastComponent(path)));
}

// The file's name and why it did not parse. A document out of another file
// (an attached message, a mail's part) is named with the file around it.
QString parseFailureExplanation(const TNEFFile *tnefFile, SInt32 code)
{
    QString name = quotedName(tnefFile->fileRef);
    if (FSPathLastComponent(tnefFile->fileRef) != tnefFile->fileName)
        name = QStringLiteral("\u201C%1\u201D in %2").arg(FSPathForDisplay(tnefFile->fileName), name);
    if (!TNEFParseHasSignature(tnefFile->forkRefNum))
        return QStringLiteral("%1 is not a TNEF file.").arg(name);
    return QStringLiteral("%1 is a damaged TNEF file (parser code %2).").arg(name).arg(code)
        + QLatin1String(kSeeReadme);
}

// The file's name and why the open refused it.
QString openFailureExplanation(const QString &path, OSErr status)
{
    const QString name = quotedName(path);
    switch (status) {
    case fnfErr:
    case dirNFErr: return QStringLiteral("%1 does not exist.").arg(name);
    case notAFileErr: return QStringLiteral("%1 is a folder, not a file.").arg(name);
    case afpObjectTypeErr: return QStringLiteral("%1 is a device, not a file.").arg(name);
    case permErr:
    case afpAccessDenied: return QStringLiteral("%1 cannot be read: you are not allowed to read it.").arg(name);
    default: return QStringLiteral("%1 cannot be read (status %2).").arg(name).arg(status);
    }
}

// Why a file taken for a mail gave no document.
QString mailFailureExplanation(const QString &path, SInt32 status)
{
    const QString name = quotedName(path);
    switch (status) {
    case kMailOpenNotMail: return QStringLiteral("%1 is neither a mail nor a TNEF file.").arg(name);
    case kMailOpenNoTnef: return QStringLiteral("%1 holds no TNEF attachment.").arg(name);
    default: return openFailureExplanation(path, OSErr(status));
    }
}

// A name or type that says mail: the content decides, but such a file is
// not told off as "not a TNEF file" when it is not a mail either.
bool namedAsMail(const QString &path)
{
    return QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).inherits(QStringLiteral("message/rfc822"));
}

// The alert, or only the beep while extraction runs by itself.
void tellFailure(bool alert, const QString &explanation)
{
    if (alert)
        TNEFAlertAppModal(QString::fromLatin1(kOpenFailed), explanation);
    else
        SysBeep(1);
}

} // namespace

SInt32 TNEFFileParse(TNEFFile *tnefFile, bool alert)
{
    const SInt32 status =
        TNEFParseFileList(tnefFile->forkRefNum, &tnefFile->fileList, &tnefFile->attributeList,
                          &tnefFile->messagePlaces);
    if (status != 0) {
        if (alert)
            TNEF_LOG_ERROR("    TNEFParseFileList() returned %ld.\n", long(status));
        tellFailure(alert, parseFailureExplanation(tnefFile, status));
        return status;
    }
    TNEFFileAddVirtualItems(tnefFile);
    tnefFile->winFile = TNEFWinFileCreate(tnefFile);
    if (!tnefFile->winFile) {
        TNEF_LOG_ERROR("    TNEFWinFileCreate() returned NULL.\n");
        return -1;
    }
    const OSStatus err = TNEFWinFileSetTitle(tnefFile->winFile, tnefFile->fileName);
    if (err != noErr)
        TNEF_LOG_ERROR("    TNEFWinFileSetTitle() returned %ld.\n", long(err));
    TNEFWinFileShow(tnefFile->winFile);
    return 0;
}

namespace {

// Shows each TNEF part of the mail at `path` (`identity`, read as
// `mailStatus` said) as a document of its own.
SInt32 openMailDocuments(const QString &path, const QByteArray &identity, SInt32 mailStatus,
                         const std::vector<MailTnefDocument> &documents, bool alert, QList<TNEFFile *> *outShown)
{
    if (mailStatus != noErr) {
        TNEF_REPORT_STATUS_TEXT("myStatus", mailStatus);
        tellFailure(alert, mailFailureExplanation(path, mailStatus));
        return mailStatus;
    }
    SInt32 result = 0;
    for (const MailTnefDocument &document : documents) {
        OSErr openStatus = noErr;
        TNEFFile *tnefFile = TNEFFileOpenDescriptor(document.fd, path, document.name, &openStatus);
        if (!tnefFile) {
            TNEF_REPORT_STATUS_TEXT("myErr", openStatus);
            tellFailure(alert, openFailureExplanation(path, openStatus));
            result = openStatus;
            continue;
        }
        tnefFile->messagePlaces.mail = document.headers;
        const SInt32 parseStatus = TNEFFileParse(tnefFile, alert);
        if (parseStatus != 0) {
            TNEF_REPORT_STATUS_TEXT("myStatus", parseStatus);
            TNEFFileDestroy(tnefFile);
            result = parseStatus;
            continue;
        }
        markShownFile(tnefFile, identity);
        if (outShown)
            outShown->append(tnefFile);
    }
    return result;
}

} // namespace

SInt32 TNEFFileOpenDocument(const QString &path, bool alert, QList<TNEFFile *> *outShown)
{
    if (outShown)
        outShown->clear();
    OSErr openStatus = noErr;
    TNEFFile *tnefFile = TNEFFileOpen(path, &openStatus);
    if (!tnefFile) {
        TNEF_REPORT_STATUS_TEXT("myErr", openStatus);
        tellFailure(alert, openFailureExplanation(path, openStatus));
        return openStatus;
    }
    const QByteArray identity = openedIdentity(tnefFile, path);
    // Anything but a TNEF stream may be a mail that carries some. Only a file
    // is read as one: of a pipe, no more than its first bytes were kept.
    if (!identity.isEmpty() && !TNEFParseHasSignature(tnefFile->forkRefNum)) {
        std::vector<MailTnefDocument> documents;
        const SInt32 mailStatus = MailOpenTnefParts(FSGetForkDescriptor(tnefFile->forkRefNum), &documents);
        if (mailStatus != kMailOpenNotMail || namedAsMail(path)) {
            TNEFFileDestroy(tnefFile);
            return openMailDocuments(path, identity, mailStatus, documents, alert, outShown);
        }
    }
    const SInt32 parseStatus = TNEFFileParse(tnefFile, alert);
    if (parseStatus != 0) {
        TNEF_REPORT_STATUS_TEXT("myStatus", parseStatus);
        TNEFFileDestroy(tnefFile);
        return parseStatus;
    }
    markShownFile(tnefFile, identity);
    if (outShown)
        outShown->append(tnefFile);
    return 0;
}

TNEFFile *TNEFFileFindShown(const QString &path)
{
    const QByteArray identity = pathIdentity(path);
    if (identity.isEmpty())
        return nullptr;
    for (TNEFFile *f = gTNEFFileList; f; f = f->next) {
        if (f->winFile && f->winFile->property(kShownFile).toByteArray() == identity)
            return f;
    }
    return nullptr;
}
