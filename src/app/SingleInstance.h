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
//
// The socket lies where only the user can create it: the user's runtime
// folder (XDG_RUNTIME_DIR, when it is a folder of the user's that nobody
// else may write), else the data folder. An answer is trusted, and a
// request heard, only from a process of the same user (the peer's
// credentials of the socket): a socket of another user's is never taken
// for the folder's owner.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

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

    // key: DataFolderLock::socketName; dataFolder: where the socket lies
    // when the runtime folder cannot be used.
    explicit SingleInstance(const QString &key, const QString &dataFolder = QString(), QObject *parent = nullptr);
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

    // The socket's paths, the one listened on first; a later start tries
    // each in turn.
    QStringList socketPaths() const { return paths_; }
    // The user id of the process at the other end of a connected local
    // socket; -1 when it cannot be told.
    static long long peerUid(qintptr descriptor);

Q_SIGNALS:
    void activationRequested();
    // A window asks a recorder owner for the station.
    void stationRequested();
    // Every window told "handed" has let go of the connection: it holds the
    // folder's lock, or it ended.
    void handoverFinished();

private:
    // Connects `socket` to the first path where a process of this user
    // listens; false when there is none.
    bool connectToOwner(QLocalSocket &socket);
    void readRequest(QLocalSocket *peer);
    void forget(QLocalSocket *peer);

    QStringList paths_;
    Owner owner_ = Owner::Window;
    QLocalServer *server_ = nullptr;
    QLocalSocket *client_ = nullptr;
    QList<QPointer<QLocalSocket>> asking_;  // waiting for "handed"
    QList<QPointer<QLocalSocket>> handed_;  // told, not yet gone
};

}  // namespace nimbrel
