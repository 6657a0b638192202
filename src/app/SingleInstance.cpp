#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace nimbrel {

namespace {

// A folder only this user can create files in: the user's own, with no
// write access for the group or others.
bool privateFolder(const QString &path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    return !path.isEmpty() && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A socket path must fit the address structure (108 bytes on Linux).
bool fitsAddress(const QString &path)
{
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

QStringList placesFor(const QString &key, const QString &dataFolder)
{
    QStringList paths;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (privateFolder(runtime))
        paths << QDir(runtime).filePath(key);
    if (!dataFolder.isEmpty())
        paths << QDir(dataFolder).filePath(QLatin1Char('.') + key);
    paths.removeIf([](const QString &p) { return !fitsAddress(p); });
    // Neither can be used: the shared temporary folder, where the peer's
    // credentials alone keep a squatter out.
    if (paths.isEmpty())
        paths << QDir(QDir::tempPath()).filePath(key);
    return paths;
}

bool sameUser(const QLocalSocket &socket)
{
    return SingleInstance::peerUid(socket.socketDescriptor()) == static_cast<long long>(::geteuid());
}

}  // namespace

SingleInstance::SingleInstance(const QString &key, const QString &dataFolder, QObject *parent)
    : QObject(parent), paths_(placesFor(key, dataFolder))
{
}

long long SingleInstance::peerUid(qintptr descriptor)
{
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (descriptor < 0 ||
        ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials)
        return -1;
    return credentials.uid;
}

bool SingleInstance::connectToOwner(QLocalSocket &socket)
{
    for (const QString &path : std::as_const(paths_)) {
        socket.connectToServer(path);
        if (socket.waitForConnected(500) && sameUser(socket))
            return true;
        socket.abort();
    }
    return false;
}

SingleInstance::~SingleInstance()
{
    endHandover();
}

bool SingleInstance::notifyRunning()
{
    QLocalSocket socket;
    if (!connectToOwner(socket))
        return false;
    socket.write("raise\n");
    socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
    return true;
}

SingleInstance::Answer SingleInstance::askForStation(int waitMs)
{
    endHandover();
    client_ = new QLocalSocket(this);
    if (!connectToOwner(*client_)) {
        endHandover();
        return Answer::NoAnswer;
    }
    client_->write("station\n");
    client_->waitForBytesWritten(500);
    // Blocking: the program has no event loop yet. The recorder answers
    // once its running exchange has ended, within a second or two.
    QElapsedTimer waited;
    waited.start();
    while (!client_->canReadLine() && client_->state() == QLocalSocket::ConnectedState &&
           waited.elapsed() < waitMs)
        client_->waitForReadyRead(int(qMax<qint64>(1, waitMs - waited.elapsed())));
    const QByteArray answer = client_->canReadLine() ? client_->readLine().trimmed() : QByteArray();
    if (answer == "handed")
        return Answer::Handed;
    endHandover();
    return answer == "window" ? Answer::Window : Answer::NoAnswer;
}

void SingleInstance::endHandover()
{
    if (!client_)
        return;
    client_->abort();
    delete client_;
    client_ = nullptr;
}

bool SingleInstance::listen()
{
    if (server_ && server_->isListening())
        return true;
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *peer = server_->nextPendingConnection()) {
                if (!sameUser(*peer)) {
                    peer->abort();
                    peer->deleteLater();
                    continue;
                }
                connect(peer, &QLocalSocket::disconnected, this, [this, peer] { forget(peer); });
                connect(peer, &QLocalSocket::readyRead, this, [this, peer] { readRequest(peer); });
                if (peer->canReadLine())
                    readRequest(peer);
            }
        });
    }
    // Only the folder's owner listens: a socket found in a place is a
    // leftover of a crashed instance (or of a recorder that handed the
    // folder over), removed and taken. A place where that fails (a
    // squatter's socket in the shared temporary folder) is passed by.
    for (const QString &path : std::as_const(paths_)) {
        if (server_->listen(path))
            return true;
        QLocalServer::removeServer(path);
        if (server_->listen(path))
            return true;
    }
    return false;
}

void SingleInstance::close()
{
    if (server_)
        server_->close();
}

void SingleInstance::readRequest(QLocalSocket *peer)
{
    while (peer->canReadLine()) {
        const QByteArray request = peer->readLine().trimmed();
        if (request == "raise") {
            if (owner_ == Owner::Window)
                Q_EMIT activationRequested();
        } else if (request == "station") {
            if (owner_ == Owner::Window) {
                peer->write("window\n");
            } else {
                asking_ << peer;
                Q_EMIT stationRequested();
            }
        }
    }
}

void SingleInstance::stationHanded()
{
    for (const QPointer<QLocalSocket> &peer : std::as_const(asking_)) {
        if (!peer || peer->state() != QLocalSocket::ConnectedState)
            continue;
        peer->write("handed\n");
        peer->flush();
        handed_ << peer;
    }
    asking_.clear();
    // Nobody waits for the folder any more: whoever released it may take it
    // back (from the event loop, after the caller is done).
    if (handed_.isEmpty())
        QTimer::singleShot(0, this, &SingleInstance::handoverFinished);
}

void SingleInstance::forget(QLocalSocket *peer)
{
    asking_.removeAll(peer);
    const bool wasHanded = handed_.removeAll(peer) > 0;
    handed_.removeAll(nullptr);
    peer->deleteLater();
    if (wasHanded && handed_.isEmpty())
        Q_EMIT handoverFinished();
}

}  // namespace nimbrel
