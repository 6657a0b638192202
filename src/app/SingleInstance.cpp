#include "SingleInstance.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace nimbrel {

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance()
{
    endHandover();
}

bool SingleInstance::notifyRunning()
{
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (!socket.waitForConnected(500))
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
    client_->connectToServer(key_);
    if (!client_->waitForConnected(500)) {
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
                connect(peer, &QLocalSocket::disconnected, this, [this, peer] { forget(peer); });
                connect(peer, &QLocalSocket::readyRead, this, [this, peer] { readRequest(peer); });
                if (peer->canReadLine())
                    readRequest(peer);
            }
        });
    }
    if (!server_->listen(key_)) {
        // Nobody answered, so the socket is a leftover of a crashed
        // instance (or of a recorder that handed the folder over): remove
        // it and take the name.
        QLocalServer::removeServer(key_);
        if (!server_->listen(key_))
            return false;
    }
    return true;
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
