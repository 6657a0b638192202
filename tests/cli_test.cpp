// The program as a user starts it: diagnostics on the command line, the
// dump of every component, screenshots, bad arguments, one instance at a time.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include "HistoryStore.h"
#include "SettingsStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>
#include <csignal>
#include <functional>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// A working directory holding the simulated station as its link library.
struct Demo {
    explicit Demo(const QString &ini = QStringLiteral("[station]\nattached=true\n"))
    {
        QFile::copy(QStringLiteral(SIM_LINK_DIR "/libUSB.so"), dir.filePath(QStringLiteral("libUSB.so")));
        QFile file(dir.filePath(QStringLiteral("stationsim.ini")));
        file.open(QIODevice::WriteOnly);
        file.write(ini.toUtf8());
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    ProgramRun run(const QStringList &arguments, int timeoutMs = 90000) const
    {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(NIMBREL_BINARY), arguments);
        ProgramRun r;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    QTemporaryDir dir;
};

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// The program as a window (no diagnostics), in the demo folder, for a user of
// its own so that no other running copy takes the start over.
void startWindow(QProcess &p, const Demo &demo, const QString &user)
{
    p.setWorkingDirectory(demo.dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("USER"), user);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(NIMBREL_BINARY), {});
    ASSERT_TRUE(p.waitForStarted());
}

bool endBySignal(QProcess &p)
{
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Waits until the running program has written the file.
bool waitForFile(const QString &path)
{
    for (int i = 0; i < 300 && !QFile::exists(path); ++i)
        QThread::msleep(100);
    return QFile::exists(path);
}

}  // namespace

TEST(CommandLine, DumpUiDescribesBothWindowsAfterTheFirstRefresh)
{
    struct Row {
        const char *situation;
        const char *ini;
        const char *linkState;
        const char *clockNote;  // after the link state; "" when none
    };
    // A first start speaks English, the language box's default, from the
    // translation table shipped beside the program. The station's newest
    // record (2026-06-21 12:00) lies months ahead of the clock given.
    const Row rows[] = {
        {"station attached", "[station]\nattached=true\n", "Station connected",
         " \u2014 The station's clock is 112 d "},
        {"no station: stored data after the pause", "[station]\nattached=false\n", "Station disconnected", ""},
    };
    for (const Row &r : rows) {
        Demo demo(QString::fromUtf8(r.ini));
        const ProgramRun run = demo.run({QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json")),
                                  QStringLiteral("--clock"), QStringLiteral("2026-03-01T10:00:00")});
        ASSERT_EQ(run.exitCode, 0) << r.situation << qPrintable(run.err);
        const QJsonObject ui = readJson(demo.path(QStringLiteral("ui.json")));
        ASSERT_TRUE(ui.contains(QStringLiteral("TForm1"))) << r.situation;
        ASSERT_TRUE(ui.contains(QStringLiteral("TForm3"))) << r.situation;
        const QJsonObject form1 = ui[QStringLiteral("TForm1")].toObject();

        const QJsonObject bar = form1[QStringLiteral("sStatusBar1")].toObject();
        EXPECT_EQ(bar[QStringLiteral("kind")].toString(), QStringLiteral("TStatusBar"));
        EXPECT_EQ(bar[QStringLiteral("panels")].toArray().size(), 5);
        const QString panel = bar[QStringLiteral("panels")][0].toString();
        EXPECT_TRUE(panel.startsWith(QString::fromUtf8(r.linkState) + QString::fromUtf8(r.clockNote)))
            << r.situation << ": " << qPrintable(panel);
        EXPECT_EQ(panel.endsWith(QLatin1String(" ahead of the computer's")), *r.clockNote != 0) << r.situation;

        const QJsonObject led = form1[QStringLiteral("ObmenLed")].toObject();
        EXPECT_EQ(led[QStringLiteral("kind")].toString(), QStringLiteral("TVrBlinkLed"));
        EXPECT_EQ(led[QStringLiteral("color")].toInt(), 1);
        EXPECT_FALSE(led[QStringLiteral("blinking")].toBool());

        const QJsonObject hidden = form1[QStringLiteral("ErrorLoadDll")].toObject();
        EXPECT_EQ(hidden[QStringLiteral("kind")].toString(), QStringLiteral("TLabel"));
        EXPECT_EQ(hidden[QStringLiteral("text")].toString(), QStringLiteral("USB.dll cannot be loaded!"));
        EXPECT_FALSE(hidden[QStringLiteral("visible")].toBool());

        EXPECT_EQ(form1[QStringLiteral("LocalDate")][QStringLiteral("text")].toString().right(4),
                  QStringLiteral("2026"));
        EXPECT_EQ(form1[QStringLiteral("ProgressBar1")][QStringLiteral("kind")].toString(),
                  QStringLiteral("TProgressBar"));
        EXPECT_EQ(form1[QStringLiteral("N1")][QStringLiteral("text")].toString(),
                  QStringLiteral("Clear the stored history"));
        EXPECT_EQ(form1[QStringLiteral("PeriodBox")][QStringLiteral("items")].toArray().size(), 11);
    }
}

TEST(CommandLine, DumpUiWithAClockShowsTheSkyForTheStationAndForAChosenCity)
{
    struct Row {
        const char *situation;
        int userCityCode;  // -1: the station's own location (Moscow)
        const char *clock;
        const char *city;
        const char *sunrise;
        const char *sunset;
    };
    const Row rows[] = {
        {"station's location", -1, "2024-06-21T12:00:00", "Moscow", "3:44", "21:18"},
        {"the user's city", 204, "2024-03-15T12:00:00", "New York", "6:06", "18:03"},
    };
    for (const Row &r : rows) {
        Demo demo;
        if (r.userCityCode >= 0) {
            auto opened = nimbrel::SettingsStore::open(demo.path(QStringLiteral("datsum")), QDateTime());
            nimbrel::Settings settings;
            settings.UserCoord = 1;
            settings.CityCode = r.userCityCode;
            ASSERT_TRUE(opened.store && opened.store->save(settings));
        }
        const ProgramRun run = demo.run({QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json")),
                                         QStringLiteral("--clock"), QString::fromLatin1(r.clock)});
        ASSERT_EQ(run.exitCode, 0) << r.situation << qPrintable(run.err);
        const QJsonObject form1 = readJson(demo.path(QStringLiteral("ui.json")))[QStringLiteral("TForm1")].toObject();
        auto text = [&](const char *name) { return form1[QLatin1String(name)][QStringLiteral("text")].toString(); };
        EXPECT_EQ(text("CityBox"), QString::fromLatin1(r.city)) << r.situation;
        EXPECT_EQ(text("VoshodL"), QString::fromLatin1(r.sunrise)) << r.situation;
        EXPECT_EQ(text("ZahodL"), QString::fromLatin1(r.sunset)) << r.situation;
        EXPECT_FALSE(text("VoshodMoonL").isEmpty()) << r.situation;
        EXPECT_EQ(text("LocalDate").right(4), QString::fromLatin1(r.clock).left(4)) << r.situation;
    }
}

TEST(CommandLine, ScreenshotWritesTheWindowsAndPrintsTheConditions)
{
    Demo demo;
    const QString shots = demo.path(QStringLiteral("shots"));
    const ProgramRun run = demo.run({QStringLiteral("--screenshot"), shots, QStringLiteral("--open-history")});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_TRUE(QFile::exists(shots + QStringLiteral("/main-window.png")));
    EXPECT_TRUE(QFile::exists(shots + QStringLiteral("/history-window.png")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Indoor:"))) << qPrintable(run.out);
    EXPECT_TRUE(QFile::exists(demo.path(QStringLiteral("sumlocal.bin"))));
}

TEST(CommandLine, BadArgumentsAreRefusedWithAReason)
{
    Demo demo;
    QFile file(demo.path(QStringLiteral("afile")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Row {
        QStringList arguments;
        const char *says;
    };
    const Row rows[] = {
        {{QStringLiteral("--clock"), QStringLiteral("yesterday")}, "--clock"},
        {{QStringLiteral("--no-such-option")}, "no-such-option"},
        {{QStringLiteral("stray")}, "unexpected argument \"stray\""},
        {{QStringLiteral("--dump-ui"), QString()}, "--dump-ui needs a file name"},
        {{QStringLiteral("--screenshot"), QString()}, "--screenshot needs a folder"},
        {{QStringLiteral("--action"), QStringLiteral("press TempEdBox 1")}, "unknown verb \"press\""},
        {{QStringLiteral("--action"), QStringLiteral("click")}, "write it as: click NAME"},
        {{QStringLiteral("--action"), QStringLiteral("select TempEdBox one")}, "item number"},
        {{QStringLiteral("--action"), QStringLiteral("check IsUserCity yes")}, "on or off"},
        {{QStringLiteral("--action"), QStringLiteral("wait -1")}, "seconds"},
        {{QStringLiteral("--action"), QStringLiteral("type PressLevel \"12")}, "closing quote"},
        {{QStringLiteral("--action"), QStringLiteral("click Form3.")}, "name is empty"},
        {{QStringLiteral("--data-dir"), demo.path(QStringLiteral("afile"))}, "afile is a file, not a folder."},
        {{QStringLiteral("--data-dir"), demo.path(QStringLiteral("afile/data"))}, "cannot create the folder"},
    };
    for (const Row &r : rows) {
        // Refused before anything starts: no dump, no tables.
        const ProgramRun run = demo.run(r.arguments + QStringList{QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))},
                                        20000);
        EXPECT_EQ(run.exitCode, 2) << qPrintable(r.arguments.join(' '));
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(r.says))) << qPrintable(run.err);
        EXPECT_FALSE(QFile::exists(demo.path(QStringLiteral("ui.json"))));
        EXPECT_FALSE(QFile::exists(demo.path(QStringLiteral("datsum"))));
    }
}

TEST(CommandLine, ActionsReachTheHandlersBeforeTheDump)
{
    using Check = std::function<void(const QJsonObject &form1)>;
    auto field = [](const QJsonObject &form1, const char *name, const char *key) {
        return form1[QLatin1String(name)][QLatin1String(key)];
    };
    struct Row {
        const char *situation;
        QStringList actions;
        Check check;
    };
    const Row rows[] = {
        {"a unit chosen, an edit typed into, a wait, a chart hovered",
         {"select TempEdBox 1", "type PressLevel -12", "wait 1", "hover PressureChart 100 50"},
         [&](const QJsonObject &f) {
             EXPECT_EQ(field(f, "TempEdBox", "index").toInt(), 1);
             EXPECT_EQ(field(f, "PressLevel", "text").toString(), QStringLiteral("-12"));
         }},
        // "check on" twice leaves it on; the location edits follow a click
        // of the check box only, with "User Defined" chosen in between.
        {"a hand-edited location",
         {"check IsUserCity on", "check IsUserCity on", "select CityBox 220", "check IsUserCity off",
          "check IsUserCity on", "type LatitudeLM 50"},
         [&](const QJsonObject &f) {
             ASSERT_EQ(field(f, "CityBox", "items")[220].toString(), QStringLiteral("User Defined"));
             EXPECT_TRUE(field(f, "IsUserCity", "checked").toBool());
             EXPECT_TRUE(field(f, "LatitudeLM", "enabled").toBool());
             EXPECT_TRUE(field(f, "CityBox", "enabled").toBool());
         }},
    };
    for (const Row &r : rows) {
        Demo demo;
        QStringList arguments{QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))};
        for (const QString &action : r.actions)
            arguments << QStringLiteral("--action") << action;
        const ProgramRun run = demo.run(arguments);
        ASSERT_EQ(run.exitCode, 0) << r.situation << qPrintable(run.err);
        SCOPED_TRACE(r.situation);
        r.check(readJson(demo.path(QStringLiteral("ui.json")))[QStringLiteral("TForm1")].toObject());
    }
}

TEST(CommandLine, ActionsAUserCouldNotDoAreRefused)
{
    struct Row {
        const char *action;
        const char *says;
    };
    const Row rows[] = {
        {"type LatitudeLM 50", "LatitudeLM (TEdit) is disabled"},
        {"click NoSuchButton", "the main window has no component named NoSuchButton"},
        {"select TempEdBox 2", "its items are 0 to 1"},
        {"Form3.select IntervalBox 99", "IntervalBox (TComboBox) has no item 99; its items are 0 to 4"},
        {"Form3.click NoSuchChart", "the history window (Form3) has no component named NoSuchChart"},
    };
    Demo demo;
    for (const Row &r : rows) {
        const ProgramRun run = demo.run({QStringLiteral("--action"), QStringLiteral("select TempEdBox 1"),
                                         QStringLiteral("--action"), QString::fromLatin1(r.action),
                                         QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))});
        EXPECT_EQ(run.exitCode, 2) << r.action;
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(r.says))) << qPrintable(run.err);
        EXPECT_FALSE(QFile::exists(demo.path(QStringLiteral("ui.json")))) << r.action;
        // Nor are the choices the actions before it made.
        auto opened = nimbrel::SettingsStore::open(demo.path(QStringLiteral("datsum")), QDateTime());
        ASSERT_TRUE(opened.store);
        EXPECT_FALSE(opened.store->load().has_value()) << r.action;
    }
}

TEST(CommandLine, ScreenshotIntoAFolderThatCannotBeMadeSaysWhy)
{
    Demo demo;
    QFile file(demo.path(QStringLiteral("afile")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const struct {
        const char *folder;
        const char *says;
    } rows[] = {{"afile", "not a folder"}, {"afile/shots", "Not a directory"}};
    for (const auto &r : rows) {
        const ProgramRun run = demo.run({QStringLiteral("--screenshot"), demo.path(QString::fromLatin1(r.folder))});
        EXPECT_EQ(run.exitCode, 1) << r.folder;
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(r.says))) << qPrintable(run.err);
    }
}

TEST(CommandLine, EndingSignalsCloseTheProgramLikeTheWindow)
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        Demo demo;
        QProcess p;
        startWindow(p, demo, QStringLiteral("cli-test-%1").arg(QCoreApplication::applicationPid()));
        // The station's memory copy is written once the first full read is in.
        ASSERT_TRUE(waitForFile(demo.path(QStringLiteral("sumlocal.bin"))));
        QThread::msleep(300);
        ::kill(static_cast<pid_t>(p.processId()), signalNumber);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
        // The settings row is written only by the ordinary shut-down.
        auto opened = nimbrel::SettingsStore::open(demo.path(QStringLiteral("datsum")), QDateTime());
        ASSERT_TRUE(opened.store);
        EXPECT_TRUE(opened.store->load().has_value());
    }
}

TEST(CommandLine, NoLinkLibraryEndsWithItsMessage)
{
    QTemporaryDir empty;
    QProcess p;
    p.setWorkingDirectory(empty.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A folder without the program's files: the data go to the user's data folder.
    env.insert(QStringLiteral("XDG_DATA_HOME"), empty.filePath(QStringLiteral("share")));
    p.setProcessEnvironment(env);
    // Copied away from its build folder, so there is no library (and no
    // translation table: the message keeps its designed text) beside it.
    const QString binary = empty.filePath(QStringLiteral("nimbrel"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(NIMBREL_BINARY), binary));
    p.start(binary, {QStringLiteral("--dump-ui"), empty.filePath(QStringLiteral("ui.json"))});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("Ошибка загрузки USB.dll!!!")));
}

// The two station settings, set from the command line as a user would, reach
// the station: the simulated station saves its memory after each write.
TEST(CommandLine, StationSettingsReachTheStationsMemory)
{
    Demo demo(QStringLiteral("[station]\nattached=true\nadvanceSeconds=2\nsaveImage=station.img\n"));
    const ProgramRun run = demo.run({QStringLiteral("--action"), QStringLiteral("type PressLevel -12"),
                                     QStringLiteral("--action"), QStringLiteral("click SpeedButton1"),
                                     QStringLiteral("--action"), QStringLiteral("select PeriodBox 10"),
                                     QStringLiteral("--action"), QStringLiteral("wait 3.5"),
                                     QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    QFile image(demo.path(QStringLiteral("station.img")));
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const QByteArray memory = image.readAll();
    ASSERT_EQ(memory.size(), 8192);
    EXPECT_EQ(std::uint8_t(memory[90]), 12);
    EXPECT_EQ(std::uint8_t(memory[91]), 0);
    EXPECT_EQ(std::uint8_t(memory[92]), 8);
    EXPECT_EQ(std::uint8_t(memory[254]), 11);

    const QJsonObject form1 = readJson(demo.path(QStringLiteral("ui.json")))[QStringLiteral("TForm1")].toObject();
    EXPECT_EQ(form1[QStringLiteral("PressLevel")][QStringLiteral("text")].toString(), QStringLiteral("-12"));

    // The station's next record comes a day after the one before (the image
    // is saved again when the program closes the link).
    auto bcd = [&](int at) { return (std::uint8_t(memory[at]) >> 4) * 10 + (std::uint8_t(memory[at]) & 15); };
    auto recordTime = [&](int slot) {
        const int p = 219 + 38 * slot;
        return QDateTime(QDate(2000 + bcd(4), memory[p] & 15, bcd(p + 1)), QTime(bcd(p + 2), bcd(p + 3)));
    };
    const int newest = std::uint8_t(memory[255]);
    EXPECT_EQ(recordTime((newest + 208) % 209).secsTo(recordTime(newest)), 86400);
}

// A run with a mistake in it writes nothing to the station, even what the
// actions before the mistake asked for; clearing the history wants its
// question answered yes, and keeps the rows as a dated copy.
TEST(CommandLine, ARefusedRunChangesNothingAndClearingWantsAYes)
{
    Demo demo(QStringLiteral("[station]\nattached=true\nperiod=5\nsaveImage=station.img\n"));
    auto copies = [&] { return QDir(demo.dir.path()).entryList({QStringLiteral("datat.cleared-*")}); };
    const struct {
        QStringList actions;
        int exitCode;
        int copies;
    } rows[] = {
        {{"select PeriodBox 3", "click NoSuchComponent"}, 2, 0},
        {{"click N1"}, 0, 0},
        {{"click N1", "answer yes"}, 0, 1},
    };
    for (const auto &r : rows) {
        QStringList arguments{QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))};
        for (const QString &a : r.actions)
            arguments << QStringLiteral("--action") << a;
        const ProgramRun run = demo.run(arguments);
        const QString situation = r.actions.join(QStringLiteral(" | "));
        ASSERT_EQ(run.exitCode, r.exitCode) << qPrintable(situation) << qPrintable(run.err);
        EXPECT_EQ(copies().size(), r.copies) << qPrintable(situation);
    }
    QFile image(demo.path(QStringLiteral("station.img")));
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    EXPECT_EQ(std::uint8_t(image.readAll().at(254)), 5) << "the 30-minute interval stays";
    const auto copy = nimbrel::HistoryStore::openForReading(demo.path(copies().value(0)));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->count(), 209);
}

// ---- The data folder ------------------------------------------------------------

// Two windows started at the same moment on one data folder: one runs, the
// other brings it forward and ends; a diagnostic run meanwhile is told the
// folder is in use.
TEST(CommandLine, OneDataFolderHasOneProgram)
{
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Demo demo;
        const QString user = QStringLiteral("cli-pair-%1-%2").arg(QCoreApplication::applicationPid()).arg(round);
        QProcess first, second;
        startWindow(first, demo, user);
        startWindow(second, demo, user);
        QProcess *ended = nullptr;
        // The patience is only a net under a stalled machine: the loop ends when one ends.
        for (int i = 0; i < 1200 && !ended; ++i) {
            if (first.waitForFinished(50))
                ended = &first;
            else if (second.waitForFinished(50))
                ended = &second;
        }
        ASSERT_TRUE(ended) << "both run";
        QProcess &running = ended == &first ? second : first;
        EXPECT_EQ(ended->exitCode(), 0) << ended->readAllStandardError().constData();
        EXPECT_EQ(running.state(), QProcess::Running);

        const ProgramRun diagnostic = demo.run({QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))});
        EXPECT_EQ(diagnostic.exitCode, 1);
        EXPECT_TRUE(diagnostic.err.contains(QStringLiteral("is using the data folder %1").arg(demo.dir.path())))
            << qPrintable(diagnostic.err);
        // Signals are taken once the window is up: after its first full read.
        EXPECT_TRUE(waitForFile(demo.path(QStringLiteral("sumlocal.bin"))));
        EXPECT_TRUE(endBySignal(running));
    }
}

// Another program holds the history locked: the full read no longer waits
// for it record by record, so an ending signal is acted on at once.
TEST(CommandLine, ASignalEndsTheProgramWhileTheHistoryIsLocked)
{
    Demo demo;
    const QString datat = demo.path(QStringLiteral("datat"));
    ASSERT_TRUE(nimbrel::HistoryStore::open(datat, QDateTime::currentDateTime()).store);
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(datat);
        ASSERT_TRUE(holder.open());
        ASSERT_TRUE(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        QProcess p;
        startWindow(p, demo, QStringLiteral("cli-locked-%1").arg(QCoreApplication::applicationPid()));
        QString err;  // told, in English or the designed Russian, once the full read stores
        while (!err.contains(QStringLiteral("not being saved")) && !err.contains(QStringLiteral("не сохраняется")) &&
               p.waitForReadyRead(30000))
            err += QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(endBySignal(p)) << qPrintable(err);
        holder.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
}

// The watchdog ends a run whose first refresh does not come within a minute
// then, not when the running read ends: here every block answers only at its
// fourth try, so the full read alone would take some thirteen minutes.
TEST(CommandLine, NoRefreshWithinAMinuteEndsTheRunThen)
{
    QStringList late;
    for (int address = 0; address < 8192; address += 32)
        late << QStringLiteral("%1*3").arg(address);
    Demo demo(QStringLiteral("[station]\nattached=true\n[faults]\nnoanswer=%1\n").arg(late.join(QLatin1Char(','))));
    const ProgramRun run = demo.run({QStringLiteral("--dump-ui"), demo.path(QStringLiteral("ui.json"))}, 120000);
    EXPECT_EQ(run.exitCode, 3) << qPrintable(run.err);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no display refresh within 60 s"))) << qPrintable(run.err);
    EXPECT_FALSE(QFile::exists(demo.path(QStringLiteral("ui.json"))));
}
