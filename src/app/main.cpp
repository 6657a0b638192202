// Nimbrel: desktop companion of a USB home weather station.
#include "AppContext.h"
#include "Clock.h"
#include "SafeFile.h"
#include "SingleInstance.h"
#include "TForm1.h"
#include "TForm3.h"
#include "UiDump.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QJsonDocument>
#include <QScreen>
#include <QTimer>
#include <cstdio>

using namespace nimbrel;

namespace {

struct Options {
    QDateTime clockStart;
    QString dumpUiFile;
    QString screenshotDir;
    bool openHistory = false;
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
    parser.setApplicationDescription(QStringLiteral("Desktop companion of a USB home weather station."));
    parser.addHelpOption();
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
                               QStringLiteral("With --screenshot, also open the history window and write "
                                              "history-window.png."));
    parser.addOptions({clock, dump, shot, history});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
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
    options.dumpUiFile = parser.value(dump);
    options.screenshotDir = parser.value(shot);
    options.openHistory = parser.isSet(history);
    return true;
}

int finishDiagnostics(const Options &options, TForm1 &form1, TForm3 &form3)
{
    int status = 0;
    if (!options.screenshotDir.isEmpty()) {
        QDir().mkpath(options.screenshotDir);
        const QDir dir(options.screenshotDir);
        if (!form1.grab().save(dir.filePath(QStringLiteral("main-window.png"))))
            status = 1;
        if (options.openHistory) {
            form3.show();
            if (!form3.grab().save(dir.filePath(QStringLiteral("history-window.png"))))
                status = 1;
        }
        std::fputs(qPrintable(form1.conditionsSummary()), stdout);
        std::fflush(stdout);
    }
    if (!options.dumpUiFile.isEmpty()) {
        QString error;
        if (!writeFileAtomically(options.dumpUiFile,
                                 QJsonDocument(dumpWindows({&form1, &form3})).toJson(QJsonDocument::Indented),
                                 &error)) {
            std::fprintf(stderr, "nimbrel: cannot write the dump: %s\n", qPrintable(error));
            return 1;
        }
    }
    return status;
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
    if (!hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nimbrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nimbrel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon-256.png")));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    SingleInstance instance(QStringLiteral("nimbrel-") + qEnvironmentVariable("USER", QStringLiteral("user")));
    if (!options.diagnostic()) {
        if (instance.notifyRunning())
            return 0;
        instance.listen();
    }

    const Clock clock = options.clockStart.isValid() ? Clock(options.clockStart) : Clock();
    AppContext context;
    context.workDir = QDir::currentPath();
    context.libraryFolders = {QDir::currentPath(), QCoreApplication::applicationDirPath()};
    context.clock = &clock;
    context.defaultCityTable = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("citycodes"));
    context.quietMessages = options.diagnostic() || QGuiApplication::platformName() == QLatin1String("offscreen");

    TForm1 form1(context);
    if (!form1.FormCreate())
        return 1;
    TForm3 form3;

    QObject::connect(&instance, &SingleInstance::activationRequested, &form1, [&form1] {
        form1.showNormal();
        form1.raise();
        form1.activateWindow();
    });

    if (options.diagnostic()) {
        QObject::connect(&form1, &TForm1::displayRefreshed, &app, [&] {
            // Let the refresh's own repaint settle before grabbing.
            QTimer::singleShot(0, &app, [&] { QCoreApplication::exit(finishDiagnostics(options, form1, form3)); });
        }, Qt::SingleShotConnection);
        QTimer::singleShot(60000, &app, [] {
            std::fprintf(stderr, "nimbrel: no display refresh within 60 s\n");
            QCoreApplication::exit(3);
        });
    }

    // The window opens centred on the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form1.move(screen->availableGeometry().center() - form1.rect().center());
    form1.show();
    const int status = app.exec();
    form1.FormDestroy();
    return status;
}
