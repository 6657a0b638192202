#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace nimbrel {

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent), key_(key) {}

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

bool SingleInstance::listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) {
        // Nobody answered notifyRunning, so the socket is a leftover of a
        // crashed instance: remove it and take the name.
        QLocalServer::removeServer(key_);
        if (!server_->listen(key_))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            Q_EMIT activationRequested();
        }
    });
    return true;
}

}  // namespace nimbrel
