// One program at a time on a data folder, and the station handed between
// two. The folder's owner listens on a local socket (DataFolderLock::
// socketName); a later start connects and sends one line:
//
//   "raise"    a window owner comes to the front; nothing is answered.
//   "station"  a window owner answers "window" (the later start then sends
//              "raise", or ends). A background recorder answers "handed"
//              once it has closed the station and released the folder's
//              lock; the asking window keeps the connection open until it
//              has taken the lock (or given up), and the recorder waits
//              for that before it tries the lock again.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace nimbrel {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Owner { Window, Recorder };
    enum class Answer {
        NoAnswer,  // nobody listens, or the owner ended before answering
        Window,    // a window owns the folder
        Handed,    // a background recorder released the station and the lock
    };

    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // ---- A later start -----------------------------------------------------
    // True when another instance answered (and was asked to come forward).
    bool notifyRunning();
    // Asks the owner for the station, waiting up to waitMs for its answer.
    // After Handed the connection stays open until endHandover().
    Answer askForStation(int waitMs);
    void endHandover();

    // ---- The owner -----------------------------------------------------------
    void setOwner(Owner owner) { owner_ = owner; }
    // Starts listening for later starts; false when the name cannot be taken.
    bool listen();
    // Stops listening (the station was handed over); connections already
    // made stay open.
    void close();
    // A recorder owner has released the station: every window that asked is
    // told so.
    void stationHanded();

Q_SIGNALS:
    void activationRequested();
    // A window asks a recorder owner for the station.
    void stationRequested();
    // Every window told "handed" has let go of the connection: it holds the
    // folder's lock, or it ended.
    void handoverFinished();

private:
    void readRequest(QLocalSocket *peer);
    void forget(QLocalSocket *peer);

    QString key_;
    Owner owner_ = Owner::Window;
    QLocalServer *server_ = nullptr;
    QLocalSocket *client_ = nullptr;
    QList<QPointer<QLocalSocket>> asking_;  // waiting for "handed"
    QList<QPointer<QLocalSocket>> handed_;  // told, not yet gone
};

}  // namespace nimbrel
