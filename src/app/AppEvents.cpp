#include "AppEvents.h"

#include "platform/ErrorLog.h"
#include "ui/UtilProc.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileOpenEvent>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Installed {
    AEEventHandlerProcPtr handler;
    long refCon;
};
QHash<quint64, Installed> gHandlers;

quint64 key(UInt32 eventClass, UInt32 eventID)
{
    return quint64(eventClass) << 32 | eventID;
}

// What a later launch sends: a mark, the event and its files; the instance
// answers one byte once it has taken them.
constexpr quint32 kHandOverMark = 0x50617276;  // "Parv"
constexpr char kHandOverTaken = 'k';
constexpr int kConnectTimeoutMs = 2000;
constexpr int kAnswerTimeoutMs = 30000;

QLocalServer *gServer = nullptr;

// The folder that holds the socket, held open once found: -1 when there is
// no folder that only this user can enter, -2 before it was looked for.
int gSocketFolder = -2;

// Opens `path` as a folder of this user's own that nobody else may enter,
// judged through the descriptor itself: a link at its place, another owner
// or a wider mode refuse it (-1), since whoever can put a socket of theirs
// in it would receive the names of the files handed over.
int openPrivateFolder(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 07777) != 0700) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The runtime folder when it is a private one, else a folder of our own in
// the temporary folder, made for it. A folder found wanting is not repaired:
// somebody may have left a socket in it while it stood open.
int socketFolder()
{
    if (gSocketFolder != -2)
        return gSocketFolder;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    gSocketFolder = QDir::isAbsolutePath(runtime) ? openPrivateFolder(QFile::encodeName(runtime)) : -1;
    if (gSocketFolder < 0) {
        const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/parvane-" + QByteArray::number(::getuid());
        if (::mkdir(own.constData(), 0700) == 0 || errno == EEXIST)
            gSocketFolder = openPrivateFolder(own);
    }
    if (gSocketFolder < 0)
        TNEF_LOG_ERROR("    open() found no folder that only this user can enter for the instance socket.\n");
    return gSocketFolder;
}

// Whether the other end of a local socket runs as this user: a second check
// that neither side talks to another user's process.
bool peerIsThisUser(qintptr descriptor)
{
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

QList<AppEvent> gPosted;
constexpr int kModalRetryMs = 250;

// An alert or a folder dialog that holds the whole application waits for
// the user; files arriving meanwhile open once it is dismissed, not in the
// middle of what asked for it.
void deliverPosted()
{
    const QWidget *modal = QApplication::activeModalWidget();
    if (modal && modal->windowModality() == Qt::ApplicationModal) {
        QTimer::singleShot(kModalRetryMs, qApp, deliverPosted);
        return;
    }
    while (!gPosted.isEmpty())
        AESendEvent(gPosted.takeFirst());
}

void readHandOver(QLocalSocket *socket)
{
    QDataStream in(socket);
    in.startTransaction();
    quint32 mark = 0;
    AppEvent event;
    in >> mark >> event.eventID >> event.files;
    if (!in.commitTransaction())
        return;
    if (mark != kHandOverMark ||
        (event.eventID != kAEOpenDocuments && event.eventID != kAEReopenApplication)) {
        socket->abort();
        return;
    }
    socket->write(&kHandOverTaken, 1);
    socket->flush();
    socket->disconnectFromServer();
    AEPostEvent(event);
    // The desktop brings an application forward when it is launched again.
    QMetaObject::invokeMethod(qApp, [] { UtilProcSetFront(); }, Qt::QueuedConnection);
}

void acceptHandOvers()
{
    while (QLocalSocket *socket = gServer->nextPendingConnection()) {
        if (!peerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] { readHandOver(socket); });
        if (socket->bytesAvailable() > 0)
            readHandOver(socket);
    }
}

int gSignalPipe[2] = {-1, -1};

void noteSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

void sendQuit()
{
    AESendEvent(AppEvent{kAEQuitApplication, {}});
}

class FileOpenFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FileOpen) {
            const QString file = static_cast<QFileOpenEvent *>(event)->file();
            if (!file.isEmpty())
                AEPostEvent(AppEvent{kAEOpenDocuments, {QFileInfo(file).absoluteFilePath()}});
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

OSErr AEInstallEventHandler(UInt32 eventClass, UInt32 eventID, AEEventHandlerProcPtr handler, long refCon)
{
    if (!handler)
        return paramErr;
    gHandlers.insert(key(eventClass, eventID), Installed{handler, refCon});
    return noErr;
}

OSErr AESendEvent(const AppEvent &event)
{
    const auto found = gHandlers.constFind(key(event.eventClass, event.eventID));
    if (found == gHandlers.constEnd())
        return errAEEventNotHandled;
    AppEvent reply;
    return found->handler(&event, &reply, found->refCon);
}

void AEPostEvent(const AppEvent &event)
{
    gPosted.append(event);
    QMetaObject::invokeMethod(qApp, deliverPosted, Qt::QueuedConnection);
}

QString AEInstanceSocketName()
{
    const int folder = socketFolder();
    if (folder < 0)
        return QString();
    // Through the descriptor held, never through the folder's path again:
    // what stands at that path later is not what was checked.
    return QStringLiteral("/proc/self/fd/%1/" PARVANE_APP_ID "-%2").arg(folder).arg(::getuid());
}

AEHandOver AEHandOverToRunningInstance(const QStringList &files)
{
    const QString name = AEInstanceSocketName();
    if (name.isNull())
        return AEHandOver::NoInstance;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return AEHandOver::NoInstance;
    if (!peerIsThisUser(socket.socketDescriptor())) {
        TNEF_LOG_ERROR("    getsockopt() found the instance socket held by another user.\n");
        return AEHandOver::NoInstance;
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << kHandOverMark << UInt32(files.isEmpty() ? kAEReopenApplication : kAEOpenDocuments) << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(kAnswerTimeoutMs))
        return AEHandOver::Failed;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerTimeoutMs))
            return AEHandOver::Failed;
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kHandOverTaken ? AEHandOver::Done : AEHandOver::Failed;
}

OSStatus AEListenForLaterLaunches()
{
    if (gServer)
        return noErr;
    const QString name = AEInstanceSocketName();
    if (name.isNull())
        return permErr;
    // The folder keeps everybody else out; the socket needs no mode of its own.
    auto *server = new QLocalServer(qApp);
    // Nobody answered there a moment ago: what is left is a socket of an
    // instance that ended without removing it.
    if (!server->listen(name) && server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name);
        server->listen(name);
    }
    if (!server->isListening()) {
        TNEF_LOG_ERROR("    QLocalServer::listen() returned false.\n");
        delete server;
        return ioErr;
    }
    gServer = server;
    QObject::connect(server, &QLocalServer::newConnection, server, acceptHandOvers);
    return noErr;
}

void AEStopListening()
{
    if (!gServer)
        return;
    gServer->close();
    delete gServer;
    gServer = nullptr;
}

void AEWatchSystemEvents()
{
    static bool watching = false;
    if (watching)
        return;
    watching = true;

    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        auto *notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            char bytes[16];
            while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
            }
            sendQuit();
        });
        struct sigaction action = {};
        action.sa_handler = noteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    } else {
        TNEF_LOG_ERROR("    pipe2() returned %d.\n", errno);
    }

#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp, [](QSessionManager &) { sendQuit(); });
#endif
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, sendQuit);
    qApp->installEventFilter(new FileOpenFilter(qApp));
}
