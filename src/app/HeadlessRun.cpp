#include "HeadlessRun.h"

#include "AppContext.h"
#include "Clock.h"
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "RecorderEvents.h"
#include "SingleInstance.h"
#include "StationEngine.h"
#include "StationHandover.h"
#include "TerminationSignals.h"
#include "WebFace.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <memory>

namespace nimbrel {

namespace {

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

    RecorderEvents snapshots([&clock] { return clock.now(); }, [&log](const QString &sentence) { log.say(sentence); });
    QObject::connect(&engine, &StationEngine::changed, &app,
                     [&snapshots](const SnapshotPtr &snapshot) { snapshots.show(*snapshot); });

    DataFolderLock folderLock(dataFolder);
    SingleInstance socket(
        DataFolderLock::socketName(dataFolder, qEnvironmentVariable("USER", QStringLiteral("user"))), dataFolder);
    RecorderHandover handover(engine, folderLock, socket);
    QObject::connect(&handover, &RecorderHandover::said, &app, [&log](const QString &sentence) { log.say(sentence); });
    // The web page is served by whoever has the station: its history is the
    // one the engine has just opened. The window serves it from the handover
    // on, on the same port.
    std::unique_ptr<WebFace> web;
    QObject::connect(&handover, &RecorderHandover::stationTaken, &app, [&] {
        web = std::make_unique<WebFace>(engine, [&log](const QString &sentence) { log.say(sentence); });
        // A table file found damaged (and set aside), at start or after a window.
        if (!engine.tableProblems().isEmpty())
            log.say(engine.tableProblems());
    });
    QObject::connect(&handover, &RecorderHandover::handingOver, &app, [&web] { web.reset(); });

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&engine] {
        // Ends a running exchange's wait at once; the loop below returns.
        engine.recorder().shutDown();
        QCoreApplication::exit(0);
    });
    handover.begin();
    const int status = termination.hasReceived() ? 0 : app.exec();
    log.say(QStringLiteral("stopping"));
    web.reset();  // it reads the history the shut-down closes
    engine.shutDown();
    for (const QString &problem : engine.shutDownProblems())
        log.say(problem);
    socket.close();
    folderLock.unlock();
    return status;
}

}  // namespace nimbrel
