#include "HeadlessRun.h"

#include "AppContext.h"
#include "Clock.h"
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "SingleInstance.h"
#include "StationEngine.h"
#include "TerminationSignals.h"
#include "WebFace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace nimbrel {

namespace {

// How often a recorder without the station looks whether the window that has
// it has ended (its lock is gone, or left by a process that died).
constexpr int kLockRetryMs = 1000;
// How long a window's request is answered at the latest: the running
// exchange ends first, and a full read runs for a second or so.
constexpr int kHandoverWaitMs = 2500;

// One line per event on standard error, dated by the program's clock.
class EventLog {
public:
    explicit EventLog(const Clock &clock) : clock_(clock) {}
    void say(const QString &sentence) const
    {
        std::fprintf(stderr, "%s nimbrel: %s\n",
                     qPrintable(clock_.now().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))),
                     qPrintable(sentence));
        std::fflush(stderr);
    }

private:
    const Clock &clock_;
};

QString recordText(const QDateTime &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString recordsText(long long count)
{
    return count == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(count);
}

// Turns the engine's snapshots into the log's sentences. Only changes are
// told: the connection, the end of a full read, records stored by a poll,
// a failing history, MQTT coming and going, and the station handed over.
class SnapshotLog {
public:
    explicit SnapshotLog(const EventLog &log) : log_(log) {}

    void show(const StationSnapshot &s)
    {
        switch (s.change) {
        case SnapshotChange::Connection:
            if (s.stationHeld && s.connected != connected_) {
                connected_ = s.connected;
                log_.say(connected_ ? QStringLiteral("station connected") : QStringLiteral("station disconnected"));
            }
            break;
        case SnapshotChange::FullRead:
            if (s.fullReadActive) {
                readStart_ = s;
            } else if (s.slotsTakenOver > readStart_.slotsTakenOver) {
                log_.say(QStringLiteral("full read done: %1 taken over, %2 new, the newest of %3")
                             .arg(recordsText(s.slotsTakenOver - readStart_.slotsTakenOver))
                             .arg(s.recordsStored - readStart_.recordsStored)
                             .arg(recordText(s.record.Dat)));
                stored_ = s.recordsStored;
            } else if (s.connected && s.stationHeld) {
                log_.say(QStringLiteral("full read stopped before its end; it is tried again"));
            }
            break;
        case SnapshotChange::Record:
            // A full read's records are told at its end.
            if (!s.fullReadActive && s.recordsStored > stored_) {
                const long long count = s.recordsStored - stored_;
                log_.say(count == 1 ? QStringLiteral("record of %1 stored").arg(recordText(s.record.Dat))
                                    : QStringLiteral("%1 stored, the newest of %2")
                                          .arg(recordsText(count), recordText(s.record.Dat)));
                stored_ = s.recordsStored;
            }
            break;
        case SnapshotChange::StoreFailed:
            log_.say(QStringLiteral("the history cannot be written (%1); records are kept in memory and stored "
                                    "once it can")
                         .arg(s.storeError));
            break;
        case SnapshotChange::HistoryRebuilt: log_.say(s.tableNotice); break;
        case SnapshotChange::Publishing: showMqtt(s.publishLines); break;
        case SnapshotChange::Handover:
            if (!s.stationHeld) {
                connected_ = false;
                mqtt_.clear();
            }
            break;
        default: break;
        }
    }

private:
    void showMqtt(const QStringList &lines)
    {
        QString mqtt;
        for (const QString &line : lines)
            if (line.startsWith(QLatin1String("MQTT: ")))
                mqtt = line.mid(6);
        if (mqtt.isEmpty() || mqtt == mqtt_)
            return;
        mqtt_ = mqtt;
        log_.say(mqtt == QLatin1String("connected") ? QStringLiteral("MQTT connected")
                                                     : QStringLiteral("MQTT offline: %1").arg(mqtt));
    }

    const EventLog &log_;
    bool connected_ = false;
    StationSnapshot readStart_;
    long long stored_ = 0;
    QString mqtt_;
};

// Who has the station of the data folder: this recorder, or a window it
// handed the station to. The folder's lock says it between processes.
class StationOwnership : public QObject {
public:
    StationOwnership(StationEngine &engine, DataFolderLock &lock, SingleInstance &socket, const EventLog &log)
        : engine_(engine), lock_(lock), socket_(socket), log_(log)
    {
        socket_.setOwner(SingleInstance::Owner::Recorder);
        retry_.setInterval(kLockRetryMs);
        connect(&retry_, &QTimer::timeout, this, &StationOwnership::tryToTake);
        // A window that ends removes its lock file: the station is taken
        // back at once. One that died leaves it, and the retry finds it stale.
        connect(&lockWatch_, &QFileSystemWatcher::fileChanged, this, &StationOwnership::tryToTake);
        connect(&socket_, &SingleInstance::stationRequested, this, &StationOwnership::handOver);
        connect(&socket_, &SingleInstance::handoverFinished, this, [this] {
            handing_ = false;
            tryToTake();
            if (!lock_.held())
                retry_.start();
        });
    }

    // The first try; a window that has the folder is waited for.
    void begin()
    {
        tryToTake();
        if (!lock_.held()) {
            log_.say(QStringLiteral("%1 The station is taken once it ends.").arg(lock_.errorString()));
            retry_.start();
        }
    }

private:
    void tryToTake()
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
            log_.say(QStringLiteral("the folder's socket cannot be opened: a window started on this folder "
                                    "cannot ask for the station"));
        if (!started_) {
            started_ = true;
            engine_.openTables();
            engine_.openStation();
            engine_.start();
        } else {
            engine_.takeStation();
            log_.say(QStringLiteral("station taken back"));
        }
        // The web page is served by whoever has the station: its history is
        // the one the engine has just opened.
        web_ = std::make_unique<WebFace>(engine_, [this](const QString &sentence) { log_.say(sentence); });
        // A table file found damaged (and set aside), at start or after a window.
        if (!engine_.tableProblems().isEmpty())
            log_.say(engine_.tableProblems());
    }

    void handOver()
    {
        if (!lock_.held() || handing_)
            return;
        handing_ = true;
        // The window serves the page from now on, on the same port.
        web_.reset();
        engine_.releaseStation([this] {
            log_.say(QStringLiteral("station handed to the window"));
            socket_.close();
            lock_.unlock();
            socket_.stationHanded();
        });
    }

    StationEngine &engine_;
    DataFolderLock &lock_;
    SingleInstance &socket_;
    const EventLog &log_;
    QTimer retry_;
    QFileSystemWatcher lockWatch_;
    std::unique_ptr<WebFace> web_;
    bool started_ = false;
    bool handing_ = false;
};

}  // namespace

int runHeadless(int argc, char *argv[], const HeadlessOptions &options)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NIMBREL_VERSION));

    const Clock clock = options.clockStart.isValid() ? Clock(options.clockStart) : Clock();
    const EventLog log(clock);
    const QString startFolder = QDir::currentPath();
    const QString dataFolder = chooseDataFolder(options.dataDir, startFolder);
    QString error;
    if (!prepareDataFolder(dataFolder, &error)) {
        log.say(error + QLatin1Char('.'));
        return 2;
    }
    const QString shownFolder = QDir::toNativeSeparators(dataFolder);

    // One background recorder per folder, whoever has the station.
    DataFolderLock recorderLock(dataFolder, DataFolderLock::recorderFileName());
    switch (recorderLock.tryLock()) {
    case DataFolderLock::State::Held: break;
    case DataFolderLock::State::HeldByOther: {
        const qint64 pid = recorderLock.holderPid();
        log.say(QStringLiteral("a background recorder%1 already records the data folder %2; this one ends.")
                    .arg(pid > 0 ? QStringLiteral(" (process %1)").arg(pid) : QString(), shownFolder));
        return 1;
    }
    case DataFolderLock::State::Unavailable:
        log.say(QStringLiteral("nothing can be recorded: %1.").arg(recorderLock.errorString()));
        return 1;
    }

    AppContext context = programContext(dataFolder, startFolder, QCoreApplication::applicationDirPath(), &clock);
    context.quietMessages = true;

    StationEngine engine(context);
    const LinkLoadError loaded = engine.loadLink();
    if (loaded != LinkLoadError::None) {
        const QString why = engine.linkLoadProblem();
        log.say(QStringLiteral("%1%2; nothing can be recorded.")
                    .arg(toString(loaded), why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
        return 1;
    }
    log.say(QStringLiteral("started with data folder %1 and link library %2")
                .arg(shownFolder, engine.linkLibraryName()));

    SnapshotLog snapshots(log);
    QObject::connect(&engine, &StationEngine::changed, &app,
                     [&snapshots](const SnapshotPtr &snapshot) { snapshots.show(*snapshot); });

    DataFolderLock folderLock(dataFolder);
    SingleInstance socket(
        DataFolderLock::socketName(dataFolder, qEnvironmentVariable("USER", QStringLiteral("user"))));
    StationOwnership ownership(engine, folderLock, socket, log);

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&engine] {
        // Ends a running exchange's wait at once; the loop below returns.
        engine.recorder().shutDown();
        QCoreApplication::exit(0);
    });
    ownership.begin();
    const int status = termination.hasReceived() ? 0 : app.exec();
    log.say(QStringLiteral("stopping"));
    engine.shutDown();
    for (const QString &problem : engine.shutDownProblems())
        log.say(problem);
    socket.close();
    folderLock.unlock();
    return status;
}

}  // namespace nimbrel
