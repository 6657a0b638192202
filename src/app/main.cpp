// SPDX-License-Identifier: GPL-3.0-or-later
// Nimbrel: desktop companion of a USB home weather station.
#include "ActionRunner.h"
#include "AppContext.h"
#include "Clock.h"
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "HeadlessRun.h"
#include "PublishSettings.h"
#include "SafeFile.h"
#include "SingleInstance.h"
#include "StationEngine.h"
#include "StationHandover.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TerminationSignals.h"
#include "UiDump.h"
#include "WebFace.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QImageWriter>
#include <QJsonDocument>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <system_error>

using namespace nimbrel;

namespace {

struct Options {
    QDateTime clockStart;
    QString dumpUiFile;
    QString screenshotDir;
    QString dataDir;
    bool openHistory = false;
    bool headless = false;
    QList<Action> actions;
    bool diagnostic() const { return !dumpUiFile.isEmpty() || !screenshotDir.isEmpty(); }
};

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Parsed before the application object exists, so that a run without a
// display can choose the offscreen platform.
bool parseOptions(const QStringList &arguments, Options &options, QString &error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Desktop companion of a USB home weather station.\n\n"
        "Publishing (MQTT, the weather-network upload, the web page) is set in nimbrel.ini, read once at "
        "start from the data folder (see --data-dir); a nimbrel.ini in the folder started in is not read "
        "unless that is the data folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption clock(QStringLiteral("clock"),
                             QStringLiteral("Start the program's clock at this moment and let it run on."),
                             QStringLiteral("YYYY-MM-DDTHH:MM:SS"));
    QCommandLineOption dump(QStringLiteral("dump-ui"),
                            QStringLiteral("After the first display refresh, write every component of both "
                                           "windows as JSON to FILE and exit."),
                            QStringLiteral("FILE"));
    QCommandLineOption shot(QStringLiteral("screenshot"),
                            QStringLiteral("After the first display refresh, write main-window.png into DIR, "
                                           "print the current conditions and exit."),
                            QStringLiteral("DIR"));
    QCommandLineOption history(QStringLiteral("open-history"),
                               QStringLiteral("After the first display refresh, also open the history window "
                                              "(before any --action); with --screenshot, also write "
                                              "history-window.png."));
    QCommandLineOption action(QStringLiteral("action"),
                              QStringLiteral("After the first display refresh (before --dump-ui or --screenshot), "
                                             "act as the user would: select NAME INDEX, click NAME, type NAME TEXT, "
                                             "check NAME on|off, hover NAME X Y, wait SECONDS, answer yes|no (the question the click "
                                             "before it opened: click N1, answer yes clears the history). A name "
                                             "with the prefix Form3. is in the history window. Repeatable; runs in "
                                             "order; a run with any mistake does nothing."),
                              QStringLiteral("VERB NAME [ARG]"));
    QCommandLineOption dataDir(QStringLiteral("data-dir"),
                               QStringLiteral("Keep the history, settings and tables in DIR (created when "
                                              "missing). Without it: the folder started in when it already "
                                              "holds datat, datsum or libUSB.so, else $XDG_DATA_HOME/nimbrel."),
                               QStringLiteral("DIR"));
    QCommandLineOption headless(QStringLiteral("headless"),
                                QStringLiteral("Record with no window and no display, logging each event on "
                                               "stderr, until SIGTERM, SIGINT or SIGHUP. A window started on "
                                               "the same data folder takes the station over and hands it back "
                                               "when it ends. Takes only --data-dir and --clock."));
    parser.addOptions({clock, dump, shot, history, action, dataDir, headless});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().first());
        return false;
    }
    for (const QCommandLineOption *needsValue : {&dump, &shot, &dataDir}) {
        if (parser.values(*needsValue).contains(QString())) {
            error = QStringLiteral("--%1 needs a %2, not an empty text.")
                        .arg(needsValue->names().first(),
                             needsValue == &dump ? QStringLiteral("file name") : QStringLiteral("folder"));
            return false;
        }
    }
    for (const QString &text : parser.values(action)) {
        QString why;
        const std::optional<Action> parsed = parseAction(text, why);
        if (!parsed) {
            error = QStringLiteral("--action \"%1\": %2").arg(text, why);
            return false;
        }
        options.actions << *parsed;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // Before the application object exists the parser cannot know the
        // program's name.
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("nimbrel"))),
                   stdout);
        std::exit(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("nimbrel %s\n", NIMBREL_VERSION);
        std::exit(0);
    }
    if (parser.isSet(clock)) {
        options.clockStart = QDateTime::fromString(parser.value(clock), Qt::ISODate);
        if (!options.clockStart.isValid()) {
            error = QStringLiteral("--clock wants a date and time like 2026-12-07T14:30:00, not \"%1\".")
                        .arg(parser.value(clock));
            return false;
        }
    }
    options.headless = parser.isSet(headless);
    for (const QCommandLineOption *windowOnly : {&dump, &shot, &history, &action}) {
        if (options.headless && parser.isSet(*windowOnly)) {
            error = QStringLiteral("--headless runs without a window and cannot be combined with --%1.")
                        .arg(windowOnly->names().first());
            return false;
        }
    }
    options.dumpUiFile = parser.value(dump);
    options.screenshotDir = parser.value(shot);
    options.openHistory = parser.isSet(history);
    options.dataDir = parser.value(dataDir);
    return true;
}

// The screenshot folder, created with its parents when missing. False, with
// the reason on stderr, when it cannot be.
bool makeFolder(const QString &path)
{
    const std::filesystem::path folder(QFile::encodeName(path).toStdString());
    std::error_code error;
    if (std::filesystem::exists(folder, error) && !std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "nimbrel: cannot write screenshots into %s: it is a file, not a folder\n",
                     qPrintable(path));
        return false;
    }
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "nimbrel: cannot create the folder %s: %s\n", qPrintable(path), error.message().c_str());
        return false;
    }
    return true;
}

// Writes the window's picture as PNG, replacing the file (or a link of that
// name, never what it points to) only once the whole picture is on disk.
// False, with the reason on stderr, when it cannot.
bool savePicture(QWidget &window, const QString &path)
{
    const QImage picture = window.grab().toImage();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    QString why;
    if (!writer.write(picture))
        why = writer.errorString();
    else if (writeFileAtomically(path, buffer.data(), &why))
        return true;
    std::fprintf(stderr, "nimbrel: cannot write %s: %s\n", qPrintable(path), qPrintable(why));
    return false;
}

// Says why the program cannot go on, on stderr and, for a window started
// from the desktop, in a message box.
void tellStartFailure(const Options &options, const QString &sentence)
{
    std::fprintf(stderr, "nimbrel: %s\n", qPrintable(sentence));
    if (!options.diagnostic() && QGuiApplication::platformName() != QLatin1String("offscreen"))
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), sentence);
}

int finishDiagnostics(const Options &options, const StationEngine &engine, TForm1 &form1, TForm3 &form3)
{
    int status = 0;
    if (!options.screenshotDir.isEmpty()) {
        if (!makeFolder(options.screenshotDir))
            return 1;
        const QDir dir(options.screenshotDir);
        if (!savePicture(form1, dir.filePath(QStringLiteral("main-window.png"))))
            status = 1;
        if (options.openHistory) {
            form3.show();
            if (!savePicture(form3, dir.filePath(QStringLiteral("history-window.png"))))
                status = 1;
        }
        std::fputs(qPrintable(engine.conditionsSummary()), stdout);
        std::fflush(stdout);
    }
    if (!options.dumpUiFile.isEmpty()) {
        setDumpTiming(QStringLiteral("refreshDisplayMs"), form1.lastRefreshMs());
        if (options.openHistory) {
            setDumpTiming(QStringLiteral("historyOpenMs"), form3.openMs());
            setDumpTiming(QStringLiteral("historySwitchMs"), form3.measureIntervalSwitches());
        }
        QString error;
        const QJsonObject dump = dumpWindows({&form1, &form3});
        if (!writeFileAtomically(options.dumpUiFile, QJsonDocument(dump).toJson(QJsonDocument::Indented), &error)) {
            std::fprintf(stderr, "nimbrel: cannot write the dump: %s\n", qPrintable(error));
            return 1;
        }
    }
    return status;
}

// Stops the recorder's timers and running exchange, so that an event loop
// left for good returns at once rather than when a read would have ended;
// messages of the shut-down go to stderr instead of windows that would wait
// for a click.
void stopEverything(StationEngine &engine, TForm1 &form1)
{
    engine.recorder().shutDown();
    form1.setMessageSink([](const QString &text) { std::fprintf(stderr, "nimbrel: %s\n", qPrintable(text)); });
}

}  // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Options options;
    QString error;
    if (!parseOptions(arguments, options, error)) {
        std::fprintf(stderr, "nimbrel: %s\n", qPrintable(error));
        return 2;
    }
    // The background recorder: no window, no display, no GUI plugin.
    if (options.headless)
        return runHeadless(argc, argv, {options.dataDir, options.clockStart});
    if (!hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nimbrel"));
    QApplication::setApplicationVersion(QStringLiteral(NIMBREL_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon-256.png")));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    // Every table is opened in the data folder, created here on first start.
    const QString startFolder = QDir::currentPath();
    const QString dataFolder = chooseDataFolder(options.dataDir, startFolder);
    if (!prepareDataFolder(dataFolder, &error)) {
        tellStartFailure(options, error + QLatin1Char('.'));
        return 2;
    }

    // One program per data folder, decided before the station or a table is
    // opened. A second window on the folder brings the first to the front.
    DataFolderLock folderLock(dataFolder);
    SingleInstance instance(
        DataFolderLock::socketName(dataFolder, qEnvironmentVariable("USER", QStringLiteral("user"))), dataFolder);
    switch (folderLock.tryLock()) {
    case DataFolderLock::State::Held:
        // Only the folder's owner gets here: a socket of that name is a
        // leftover of one that died, and listen() may take it.
        if (!options.diagnostic())
            instance.listen();
        break;
    case DataFolderLock::State::HeldByOther: {
        // A background recorder gives the station to the window; a window
        // comes to the front instead of a second one.
        const SingleInstance::Answer answer = askOwnerForStation(instance, folderLock);
        if (answer == SingleInstance::Answer::Handed) {
            if (!options.diagnostic())
                instance.listen();
            break;
        }
        if (answer == SingleInstance::Answer::Window && !options.diagnostic() && instance.notifyRunning()) {
            std::fprintf(stderr, "nimbrel: Nimbrel is already running on the data folder %s; its window was "
                                 "brought to the front\n",
                         qPrintable(QDir::toNativeSeparators(dataFolder)));
            if (!options.actions.isEmpty())
                std::fputs("nimbrel: Nimbrel is already running; the actions were not carried out\n", stderr);
            return 0;
        }
        tellStartFailure(options, folderLock.errorString() + QStringLiteral(" This one ends."));
        return 1;
    }
    case DataFolderLock::State::Unavailable:
        // A read-only folder: nothing in it can be written, and it is shown
        // read-only; the window still comes forward for a second start.
        std::fprintf(stderr, "nimbrel: %s\n", qPrintable(folderLock.errorString()));
        if (!options.diagnostic()) {
            if (instance.notifyRunning())
                return 0;
            instance.listen();
        }
        break;
    }

    std::fprintf(stderr, "nimbrel: data folder %s\n", qPrintable(QDir::toNativeSeparators(dataFolder)));
    // Settings put where they are not looked for are named, not silently ignored.
    const QString strayIni = QDir(startFolder).filePath(QLatin1String(kPublishSettingsFile));
    if (QDir(startFolder) != QDir(dataFolder) && QFileInfo::exists(strayIni))
        std::fprintf(stderr, "nimbrel: %s is not read; MQTT and upload settings belong in %s\n",
                     qPrintable(QDir::toNativeSeparators(strayIni)),
                     qPrintable(QDir::toNativeSeparators(QDir(dataFolder).filePath(QLatin1String(kPublishSettingsFile)))));

    const Clock clock = options.clockStart.isValid() ? Clock(options.clockStart) : Clock();
    AppContext context = programContext(dataFolder, startFolder, QCoreApplication::applicationDirPath(), &clock);
    context.quietMessages = options.diagnostic() || QGuiApplication::platformName() == QLatin1String("offscreen");

    // The program itself; the windows are its faces.
    StationEngine engine(context);
    // Closing the window hands the station to a background recorder that waits for it.
    engine.setStationWanted([&dataFolder] { return recorderWaits(dataFolder); });
    TForm1 form1(engine);
    // From here on, kill, Ctrl+C and logging out end the program the way
    // closing the window does, so FormDestroy below saves and closes.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&engine, &form1] {
        stopEverything(engine, form1);
        form1.close();
        // Ends every event loop, a modal window's too, even if a window
        // would rather stay open.
        QCoreApplication::exit(0);
    });
    if (!form1.FormCreate())
        return 1;
    // The web page, as [web] of nimbrel.ini asks.
    WebFace web(engine, [](const QString &sentence) { std::fprintf(stderr, "nimbrel: %s\n", qPrintable(sentence)); });
    TForm3 form3;
    form3.connectTo(engine);
    form3.setToday([&clock] { return clock.now().date(); });
    QObject::connect(&form1, &TForm1::historyRequested, &form3, &TForm3::HistoryTempClick);

    QObject::connect(&instance, &SingleInstance::activationRequested, &form1, [&form1] {
        form1.showNormal();
        form1.raise();
        form1.activateWindow();
    });

    // After the first refresh: the actions in order, then the diagnostics.
    // The runner reports one event-loop turn after the last action, which
    // lets the refresh's own repaint settle before grabbing.
    ActionRunner actions(options.actions, &form1, &form3);
    actions.setReadyCheck([&engine] { return !engine.recorder().busy(); });
    QTimer watchdog;
    QTimer idle;
    if (options.diagnostic() || !options.actions.isEmpty()) {
        // The first refresh can come inside a running exchange (a full read
        // refreshes before its closing poll): the actions and the dump wait
        // until the station is left alone, as a user's input would.
        idle.setInterval(20);
        QObject::connect(&idle, &QTimer::timeout, &app, [&] {
            if (engine.recorder().busy())
                return;
            idle.stop();
            if (options.openHistory)
                form3.HistoryTempClick();
            actions.start();
        });
        QObject::connect(&form1, &TForm1::displayRefreshed, &app, [&] {
            watchdog.stop();
            idle.start();
        }, Qt::SingleShotConnection);
        QObject::connect(&actions, &ActionRunner::finished, &app, [&] {
            if (options.diagnostic())
                QCoreApplication::exit(finishDiagnostics(options, engine, form1, form3));
        });
        QObject::connect(&actions, &ActionRunner::failed, &app, [&engine](const QString &message) {
            std::fprintf(stderr, "nimbrel: %s\n", qPrintable(message));
            // A refused run leaves no trace: the choices made by the actions
            // before it are not saved either.
            engine.keepStoredSettings();
            QCoreApplication::exit(2);
        });
    }
    if (options.diagnostic()) {
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &app, [&engine, &form1] {
            std::fprintf(stderr, "nimbrel: no display refresh within 60 s\n");
            // Ends now, not when the running read would have ended.
            stopEverything(engine, form1);
            QCoreApplication::exit(3);
        });
        watchdog.start(60000);
    }

    // The window opens centred on the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form1.move(screen->availableGeometry().center() - form1.rect().center());
    form1.show();
    // A signal that came while FormCreate pumped events has already asked to stop.
    const int status = termination.hasReceived() ? 0 : app.exec();
    form1.FormDestroy();
    return status;
}
