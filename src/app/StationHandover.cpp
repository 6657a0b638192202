#include "StationHandover.h"

#include "DataFolderLock.h"
#include "StationEngine.h"

#include <QDir>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace nimbrel {

namespace {

// How often a recorder without the station looks whether the window that has
// it has ended (its lock is gone, or left by a process that died).
constexpr int kLockRetryMs = 1000;

}  // namespace

bool recorderWaits(const QString &folder)
{
    const DataFolderLock recorderLock(folder, DataFolderLock::recorderFileName());
    const qint64 pid = recorderLock.holderPid();
    if (pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Two windows started together may both be told "handed": the one that
// loses the lock asks again and finds the other's window.
SingleInstance::Answer askOwnerForStation(SingleInstance &socket, DataFolderLock &lock)
{
    SingleInstance::Answer answer = SingleInstance::Answer::NoAnswer;
    for (int tries = 0; tries < 10; ++tries) {
        if (tries > 0)
            QThread::msleep(200);
        // A recorder answers once its running read has ended: a full read
        // of a real station takes a few seconds.
        answer = socket.askForStation(8000);
        if (answer == SingleInstance::Answer::Window)
            return answer;
        // Handed over, or the owner ended meanwhile: the lock is free. The
        // recorder unlocks before it answers.
        for (int wait = 0; wait < 5 && lock.tryLock() != DataFolderLock::State::Held; ++wait) {
            if (answer != SingleInstance::Answer::Handed)
                break;
            QThread::msleep(100);
        }
        socket.endHandover();
        if (lock.held())
            return SingleInstance::Answer::Handed;
    }
    return answer == SingleInstance::Answer::Window ? answer : SingleInstance::Answer::NoAnswer;
}

RecorderHandover::RecorderHandover(StationEngine &engine, DataFolderLock &lock, SingleInstance &socket,
                                   QObject *parent)
    : QObject(parent), engine_(engine), lock_(lock), socket_(socket)
{
    socket_.setOwner(SingleInstance::Owner::Recorder);
    retry_.setInterval(kLockRetryMs);
    connect(&retry_, &QTimer::timeout, this, &RecorderHandover::tryToTake);
    // A window that ends removes its lock file: the station is taken back
    // at once. One that died leaves it, and the retry finds it stale.
    connect(&lockWatch_, &QFileSystemWatcher::fileChanged, this, &RecorderHandover::tryToTake);
    connect(&socket_, &SingleInstance::stationRequested, this, &RecorderHandover::handOver);
    connect(&socket_, &SingleInstance::handoverFinished, this, [this] {
        handing_ = false;
        tryToTake();
        if (!lock_.held())
            retry_.start();
    });
}

void RecorderHandover::begin()
{
    tryToTake();
    if (!lock_.held()) {
        Q_EMIT said(QStringLiteral("%1 The station is taken once it ends.").arg(lock_.errorString()));
        retry_.start();
    }
}

void RecorderHandover::tryToTake()
{
    if (lock_.held() || handing_)
        return;
    if (lock_.tryLock() != DataFolderLock::State::Held) {
        // Watched again: a removed file leaves the watch.
        const QString lockFile = QDir(lock_.folder()).filePath(DataFolderLock::fileName());
        if (!lockWatch_.files().contains(lockFile))
            lockWatch_.addPath(lockFile);
        return;
    }
    retry_.stop();
    if (!lockWatch_.files().isEmpty())
        lockWatch_.removePaths(lockWatch_.files());
    if (!socket_.listen())
        Q_EMIT said(QStringLiteral("the folder's socket cannot be opened: a window started on this folder "
                                   "cannot ask for the station"));
    if (!started_) {
        started_ = true;
        engine_.openTables();
        engine_.openStation();
        engine_.start();
    } else {
        engine_.takeStation();
        Q_EMIT said(QStringLiteral("station taken back"));
    }
    Q_EMIT stationTaken();
}

void RecorderHandover::handOver()
{
    if (!lock_.held() || handing_)
        return;
    handing_ = true;
    Q_EMIT handingOver();
    engine_.releaseStation([this] {
        Q_EMIT said(QStringLiteral("station handed to the window"));
        socket_.close();
        lock_.unlock();
        socket_.stationHanded();
    });
}

}  // namespace nimbrel
