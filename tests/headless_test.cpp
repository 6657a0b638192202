// The background recorder as the service runs it, and windows started on its
// data folder taking the station over and giving it back, on the simulated
// station kept in a state file so that the processes see one station whose
// ring fills on while they change places. Every record the station took must
// be stored exactly once, with its own date.
#include "Decoding.h"
#include "HistoryStore.h"
#include "RecorderEvents.h"
#include "StationImage.h"
#include "support/MqttBroker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <csignal>
#include <memory>

using namespace nimbrel;

namespace {

// Five-minute records arriving ten times a wall second: a handover always
// has some of them to catch up. The ring starts with 20 records, so that
// none is written over before the first read.
constexpr int kPeriodSecs = 300;
constexpr int kSlotsAtStart = 20;
const QDateTime kNewestAtStart(QDate(2026, 6, 21), QTime(12, 0));
constexpr int kWaitMs = 30000;  // for any one event: far beyond what it takes

// A data folder holding the simulated station as its link library.
struct StationFolder {
    explicit StationFolder(const QByteArray &moreIni = "speed=3000\n")
    {
        QFile::copy(QStringLiteral(SIM_LINK_DIR "/libUSB.so"), dir.filePath(QStringLiteral("libUSB.so")));
        QFile ini(dir.filePath(QStringLiteral("stationsim.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[station]\nattached=true\nperiod=1\nslots=20\nstart=2026-06-21T12:00:00\n"
                  "advanceSeconds=300\nstateFile=station.state\nsaveImage=station.bin\n" + moreIni);
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    // Starts the program in the folder, for a user of its own so that no
    // other running copy meets it. A window gets the offscreen platform; the
    // recorder gets no display at all.
    void start(QProcess &p, const QStringList &arguments) const
    {
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (!arguments.contains(QStringLiteral("--headless")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("USER"), QStringLiteral("headless-test-%1").arg(QCoreApplication::applicationPid()));
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(NIMBREL_BINARY), arguments + QStringList{QStringLiteral("--data-dir"), dir.path()});
    }

    // The newest stored record's date; invalid while there is none.
    QDateTime newestStored() const
    {
        const std::unique_ptr<HistoryStore> store = HistoryStore::openForReading(path(QStringLiteral("datat")));
        HistoryRow row;
        return store && store->newest(row) ? row.Dat : QDateTime();
    }

    // Waits until a record newer than `than` is stored.
    bool waitForRecordAfter(const QDateTime &than) const
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < kWaitMs) {
            const QDateTime newest = newestStored();
            if (newest.isValid() && (!than.isValid() || newest > than))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    QTemporaryDir dir;
};

// The recorder's log, read line by line as it comes.
class RecorderLog {
public:
    explicit RecorderLog(QProcess &p) : p_(p) {}

    // The next line (after those already waited for) that matches; its
    // match, or an empty one when none came in time.
    QRegularExpressionMatch waitFor(const QString &pattern)
    {
        const QRegularExpression re(pattern);
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            while (p_.canReadLine()) {
                const QString line = QString::fromUtf8(p_.readLine()).trimmed();
                all_ << line;
                const QRegularExpressionMatch m = re.match(line);
                if (m.hasMatch())
                    return m;
            }
            if (waited.elapsed() > kWaitMs || p_.state() == QProcess::NotRunning)
                return {};
            p_.waitForReadyRead(200);
        }
    }
    QString all() const { return all_.join(QLatin1Char('\n')); }

private:
    QProcess &p_;
    QStringList all_;
};

// Runs the program in the folder to its end: its exit code and what it said.
std::pair<int, QByteArray> runToEnd(const StationFolder &folder, const QStringList &arguments)
{
    QProcess p;
    folder.start(p, arguments);
    if (!p.waitForFinished(kWaitMs))
        return {-1, {}};
    return {p.exitCode(), p.readAllStandardError()};
}

bool endsCleanly(QProcess &p, int signalNumber)
{
    ::kill(static_cast<pid_t>(p.processId()), signalNumber);
    return p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The station's newest record as it stood when the last program closed it.
QDateTime stationNewest(const StationFolder &folder)
{
    QFile file(folder.path(QStringLiteral("station.bin")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    StationImage image;
    file.read(reinterpret_cast<char *>(image.data()), kStationMemorySize);
    Measurement m;
    return decodeSlot(image, image.newestSlotPosition(), m) ? m.Dat : QDateTime();
}

// The stored history holds every record the station took, from the oldest of
// its first ring to the last one read, each once and with its own date:
// five-minute steps with nothing missing, doubled or moved. Records the
// station took after the last read wait in its ring for the next start.
void expectHistoryIsTheStations(const StationFolder &folder, qint64 spanAtLeastSecs = 0)
{
    const QDateTime stationNewestRecord = stationNewest(folder);
    ASSERT_TRUE(stationNewestRecord.isValid());
    const QDateTime oldest = kNewestAtStart.addSecs(-qint64(kSlotsAtStart - 1) * kPeriodSecs);
    const std::unique_ptr<HistoryStore> store = HistoryStore::openForReading(folder.path(QStringLiteral("datat")));
    ASSERT_TRUE(store);
    const std::vector<HistoryRow> rows =
        store->rowsBetween(oldest.addSecs(-365LL * 86400), stationNewestRecord.addSecs(365LL * 86400));
    ASSERT_FALSE(rows.empty());
    const QDateTime newest = rows.back().Dat;
    EXPECT_LE(newest, stationNewestRecord);
    EXPECT_GE(oldest.secsTo(newest), spanAtLeastSecs);
    QDateTime want = oldest;
    for (const HistoryRow &row : rows) {
        if (row.Dat.toString(Qt::ISODate) != want.toString(Qt::ISODate)) {
            ADD_FAILURE() << "expected a record of " << qPrintable(want.toString(Qt::ISODate)) << ", found "
                          << qPrintable(row.Dat.toString(Qt::ISODate));
            return;
        }
        want = want.addSecs(kPeriodSecs);
    }
}

// The recorder has taken the station back and read what it recorded
// meanwhile: returns how many records were new.
int takenBack(RecorderLog &log)
{
    if (!log.waitFor(QStringLiteral("nimbrel: station taken back$")).hasMatch())
        return -1;
    const QRegularExpressionMatch read = log.waitFor(
        QStringLiteral("nimbrel: (full read done|read carried on from the handover): .*?(\\d+) new"));
    return read.hasMatch() ? read.captured(2).toInt() : -1;
}

}  // namespace

TEST(BackgroundRecorder, HandsTheStationToEachWindowAndTakesItBackWithoutLosingARecord)
{
    StationFolder folder;
    QProcess recorder;
    recorder.setReadChannel(QProcess::StandardError);
    folder.start(recorder, {QStringLiteral("--headless")});
    RecorderLog log(recorder);
    ASSERT_TRUE(log.waitFor(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d nimbrel: started with data "
                                           "folder .* and link library .*libUSB\\.so$"))
                    .hasMatch())
        << qPrintable(log.all());
    ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: station connected$")).hasMatch()) << qPrintable(log.all());
    ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: full read done: \\d+ records taken over, \\d+ new")).hasMatch())
        << qPrintable(log.all());

    // No display, and no platform plugin loaded.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(recorder.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("/platforms/"));

    // A second recorder on the folder says so and ends.
    const auto [secondRecorder, recorderSaid] = runToEnd(folder, {QStringLiteral("--headless")});
    EXPECT_EQ(secondRecorder, 1);
    EXPECT_TRUE(recorderSaid.contains("already records the data folder"));

    // Ten windows one after another, ended the ways a session ends them.
    // The station records all the while: each window finds new records in
    // its first read. Giving the station back is quicker than a record
    // comes, so only some take-backs find new ones; all are checked below.
    const int endings[] = {SIGTERM, SIGHUP, SIGINT};
    int newAtTakeBack = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const QDateTime beforeWindow = folder.newestStored();
        QProcess window;
        folder.start(window, {});
        ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: station handed to the window$")).hasMatch())
            << qPrintable(log.all());
        // The window stores what the station recorded during the handover.
        ASSERT_TRUE(folder.waitForRecordAfter(beforeWindow));
        if (round == 0) {
            // A second window brings the first to the front and ends.
            const auto [secondWindow, windowSaid] = runToEnd(folder, {});
            EXPECT_EQ(secondWindow, 0);
            EXPECT_TRUE(windowSaid.contains("its window was brought to the front"));
        }
        ASSERT_TRUE(endsCleanly(window, endings[round % 3])) << qPrintable(window.readAllStandardError());
        const int taken = takenBack(log);
        ASSERT_GE(taken, 0) << qPrintable(log.all());
        newAtTakeBack += taken;
    }
    EXPECT_GE(newAtTakeBack, 1);

    EXPECT_TRUE(endsCleanly(recorder, SIGTERM));
    EXPECT_TRUE(log.waitFor(QStringLiteral("nimbrel: stopping$")).hasMatch());
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral(".nimbrel.lock"))));
    // The first ring and at least one record found by each window.
    expectHistoryIsTheStations(folder, qint64(kSlotsAtStart - 1 + 10) * kPeriodSecs);
}

// The service starts while a window is open and waits for it to end; a
// later window is killed, leaving its lock file and socket behind and its
// station unclosed, and the recorder still takes the station back. A line
// of nimbrel.ini it cannot use is told once, not again at each take-back.
TEST(BackgroundRecorder, WaitsForAWindowAndTakesTheStationBackFromOneThatWasKilled)
{
    StationFolder folder;
    QFile ini(folder.path(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("no equals sign\n");
    ini.close();
    QProcess first;
    folder.start(first, {});
    ASSERT_TRUE(folder.waitForRecordAfter({}));
    QProcess recorder;
    recorder.setReadChannel(QProcess::StandardError);
    folder.start(recorder, {QStringLiteral("--headless")});
    RecorderLog log(recorder);
    ASSERT_TRUE(log.waitFor(QStringLiteral("is using the data folder .* The station is taken once it ends\\.$"))
                    .hasMatch())
        << qPrintable(log.all());
    ASSERT_TRUE(endsCleanly(first, SIGTERM));
    ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: full read done")).hasMatch()) << qPrintable(log.all());

    const QDateTime beforeWindow = folder.newestStored();
    QProcess killed;
    folder.start(killed, {});
    ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: station handed to the window$")).hasMatch());
    ASSERT_TRUE(folder.waitForRecordAfter(beforeWindow));
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(kWaitMs));
    EXPECT_GE(takenBack(log), 0) << qPrintable(log.all());

    EXPECT_TRUE(endsCleanly(recorder, SIGINT));
    EXPECT_TRUE(log.waitFor(QStringLiteral("nimbrel: stopping$")).hasMatch());
    EXPECT_EQ(log.all().count(QStringLiteral("nimbrel.ini:1:")), 1) << qPrintable(log.all());
    expectHistoryIsTheStations(folder);
}

TEST(BackgroundRecorder, RefusesWhatItCannotDo)
{
    struct Case {
        const char *situation;
        QStringList arguments;
        bool withLibrary;
        int exitCode;
        const char *says;
    };
    const Case cases[] = {
        {"with a window's option", {"--headless", "--dump-ui", "ui.json"}, true, 2, "cannot be combined with --dump-ui"},
        {"with the history window", {"--headless", "--open-history"}, true, 2, "cannot be combined with --open-history"},
        {"no link library", {"--headless"}, false, 1, "nothing can be recorded"},
    };
    for (const Case &c : cases) {
        StationFolder folder;
        if (!c.withLibrary)
            QFile::remove(folder.path(QStringLiteral("libUSB.so")));
        const auto [exitCode, err] = runToEnd(folder, c.arguments);
        EXPECT_EQ(exitCode, c.exitCode) << c.situation;
        EXPECT_TRUE(err.contains(c.says)) << c.situation << ": " << err.constData();
        EXPECT_EQ(err.count('\n'), 1) << c.situation << ": " << err.constData();
    }
}

// The log of a recorder left alone for hours: a station that is missing at
// start, an upload refused and a broker down for over an hour, a station
// whose clock runs ahead. Each is told when it starts, at most once an hour
// while it lasts (by the program's clock), and when it ends.
TEST(RecorderEvents, LastingFailuresAreToldAtTheStartHourlyAndAtTheEnd)
{
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    QDateTime now = start;
    QStringList said;
    RecorderEvents events([&now] { return now; }, [&said](const QString &line) { said << line; });
    const QString refused = QStringLiteral(
        "Upload failed: the service answered \"INVALID PASSWORDID|Password or key and/or id are incorrect\"; next try in 30 s");
    using State = DestinationState;
    const std::vector<DestinationStatus> failing = {
        {QStringLiteral("mqtt"), State::Failing, QStringLiteral("MQTT: cannot reach broker:1883: Connection refused"), {}},
        {QStringLiteral("upload"), State::Failing, refused, {}}};
    const std::vector<DestinationStatus> working = {
        {QStringLiteral("mqtt"), State::Ok, QStringLiteral("MQTT: connected"), {}},
        {QStringLiteral("upload"), State::Ok, QStringLiteral("Uploaded 09:10"), {}}};
    const QString mqttOffline = QStringLiteral("mqtt: MQTT: cannot reach broker:1883: Connection refused");
    const QString uploadRefused = QStringLiteral("upload: ") + refused;
    struct Step {
        int minute;
        SnapshotChange change;
        bool connected;
        std::vector<DestinationStatus> destinations;
        qint64 clockAheadSecs;
        QStringList says;
    };
    const Step steps[] = {
        {0, SnapshotChange::Connection, false, {}, 0,
         {"no station found; it is recorded as soon as it is plugged in"}},
        {1, SnapshotChange::Connection, true, {}, 0, {"station connected"}},
        {2, SnapshotChange::Connection, false, {}, 0, {"station disconnected"}},
        {3, SnapshotChange::Connection, true, {}, 0, {"station connected"}},
        {4, SnapshotChange::Publishing, true, failing, 0, {mqttOffline, uploadRefused}},
        {30, SnapshotChange::Publishing, true, failing, 0, {}},
        {63, SnapshotChange::Publishing, true, failing, 0, {}},
        {64, SnapshotChange::Publishing, true, failing, 0, {mqttOffline, uploadRefused}},
        {70, SnapshotChange::Publishing, true, working, 0,
         {"mqtt: recovered (MQTT: connected)", "upload: recovered (Uploaded 09:10)"}},
        {71, SnapshotChange::Publishing, true, working, 0, {}},
        {72, SnapshotChange::Record, true, working, 3 * 3600 + 300,
         {"The station's clock is 3 h 05 min ahead of the computer's; its records are stored but not uploaded as current"}},
        {100, SnapshotChange::Repaint, true, working, 3 * 3600, {}},
        {132, SnapshotChange::Repaint, true, working, 3 * 3600,
         {"The station's clock is 3 h 00 min ahead of the computer's; its records are stored but not uploaded as current"}},
        {133, SnapshotChange::Repaint, true, working, 0, {"the station's clock and the computer's agree again"}},
    };
    for (const Step &step : steps) {
        now = start.addSecs(step.minute * 60);
        StationSnapshot s;
        s.change = step.change;
        s.connected = step.connected;
        s.destinations = step.destinations;
        s.clockAheadSecs = step.clockAheadSecs;
        said.clear();
        events.show(s);
        EXPECT_EQ(said, step.says) << "minute " << step.minute << ": " << qPrintable(said.join(QLatin1Char('|')));
    }
}

// Each destination has its own hour: one failing does not hold back or
// repeat another's line; waiting between tries neither starts a failure nor
// ends one; after a handover every failure still there is told afresh.
TEST(RecorderEvents, EachDestinationIsToldOnItsOwn)
{
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    QDateTime now = start;
    QStringList said;
    RecorderEvents events([&now] { return now; }, [&said](const QString &line) { said << line; });
    using State = DestinationState;
    const QString offline = QStringLiteral("MQTT: cannot reach broker:1883: Connection refused");
    const QString refused = QStringLiteral("Upload failed: the service answered 401; next try in 30 s");
    auto mqtt = [](State state, const QString &sentence) { return DestinationStatus{QStringLiteral("mqtt"), state, sentence, {}}; };
    auto upload = [](State state, const QString &sentence) { return DestinationStatus{QStringLiteral("upload"), state, sentence, {}}; };
    const DestinationStatus uploadFails = upload(State::Failing, refused);
    struct Step {
        int minute;
        SnapshotChange change;
        bool held;
        std::vector<DestinationStatus> destinations;
        QStringList says;
    };
    const Step steps[] = {
        {0, SnapshotChange::Publishing, true, {mqtt(State::Waiting, "MQTT: connecting to broker:1883"), upload(State::Waiting, "")}, {}},
        {1, SnapshotChange::Publishing, true, {mqtt(State::Failing, offline), upload(State::Ok, "Uploaded 08:01")}, {"mqtt: " + offline}},
        {40, SnapshotChange::Publishing, true, {mqtt(State::Failing, offline), uploadFails}, {"upload: " + refused}},
        {61, SnapshotChange::Publishing, true, {mqtt(State::Failing, offline), uploadFails}, {"mqtt: " + offline}},
        {90, SnapshotChange::Publishing, true, {mqtt(State::Waiting, "MQTT: connecting to broker:1883"), uploadFails}, {}},
        {100, SnapshotChange::Publishing, true, {mqtt(State::Sending, "MQTT: connected"), uploadFails},
         {"mqtt: recovered (MQTT: connected)", "upload: " + refused}},
        {101, SnapshotChange::Handover, false, {}, {}},
        {102, SnapshotChange::Publishing, true, {uploadFails}, {"upload: " + refused}},
        {103, SnapshotChange::Publishing, true, {upload(State::Ok, "Uploaded 09:43")}, {"upload: recovered (Uploaded 09:43)"}},
    };
    for (const Step &step : steps) {
        now = start.addSecs(step.minute * 60);
        StationSnapshot s;
        s.change = step.change;
        s.stationHeld = step.held;
        s.connected = step.held;
        s.destinations = step.destinations;
        said.clear();
        events.show(s);
        EXPECT_EQ(said, step.says) << "minute " << step.minute << ": " << qPrintable(said.join(QLatin1Char('|')));
    }
}

namespace {

// The station's commands as the simulated station logged them (exchangeLog).
struct StationCommands {
    int reads = 0;
    int headerReads = 0;  // reads of address 0: one per header read
    int indexPolls = 0;   // reads of the index block alone (a poll that found nothing new)
    int slotReads = 0;    // reads past the header
};

StationCommands commandsIn(const QString &logFile, int fromLine)
{
    QFile file(logFile);
    StationCommands c;
    if (!file.open(QIODevice::ReadOnly))
        return c;
    const QList<QByteArray> lines = file.readAll().split('\n');
    int previous = -1;
    for (int i = fromLine; i < lines.size(); ++i) {
        const QList<QByteArray> words = lines[i].split(' ');
        if (words.size() < 3 || words[1] != "read")
            continue;
        const int address = words[2].toInt();
        ++c.reads;
        c.headerReads += address == 0;
        c.slotReads += address >= kHeaderSize;
        // The index block read on its own, not as the last of a header's eight.
        c.indexPolls += address == kIndexBlock && previous != kIndexBlock - kBlockSize;
        previous = address;
    }
    return c;
}

int lineCount(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

}  // namespace

// A window opening and closing over the background recorder, the station
// recording nothing meanwhile: each handover reads the station's header and
// nothing more (the program handing over leaves its mirror), every record is
// stored once, and Home Assistant, on a real broker, sees the station and
// the program stay online, gets the current conditions from each new owner
// and no config a second time.
TEST(BackgroundRecorder, HandsTheStationOverInEightBlockReadsAndStaysOnlineInHomeAssistant)
{
    NEEDS_MOSQUITTO();
    test::Broker broker;
    ASSERT_TRUE(broker.start());
    test::Subscriber homeAssistant(broker.port);
    StationFolder folder("speed=1\nexchangeLog=exchange.log\n");
    QFile ini(folder.path(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[mqtt]\nenabled=true\nhost=127.0.0.1\nport=%1\n").arg(broker.port).toUtf8());
    ini.close();
    const QString exchangeLog = folder.path(QStringLiteral("exchange.log"));
    // The program's clock a minute after the station's newest record: the
    // station counts as online.
    const QStringList clock{QStringLiteral("--clock"), QStringLiteral("2026-06-21T12:01:00")};

    QProcess recorder;
    recorder.setReadChannel(QProcess::StandardError);
    folder.start(recorder, QStringList{QStringLiteral("--headless")} + clock);
    RecorderLog log(recorder);
    ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: full read done: 20 records taken over, 20 new")).hasMatch())
        << qPrintable(log.all());
    ASSERT_TRUE(homeAssistant.waitFor(QStringLiteral("nimbrel/station"), [](const std::string &p) {
        return p == "online";
    }));
    const QString config = QStringLiteral("homeassistant/sensor/nimbrel/indoor_temperature/config");
    ASSERT_TRUE(homeAssistant.waitFor(config));
    const int configs = homeAssistant.count(config);
    const int states = homeAssistant.count(QStringLiteral("nimbrel/state"));

    constexpr int kWindows = 2;
    const int fromLine = lineCount(exchangeLog);
    for (int round = 0; round < kWindows; ++round) {
        SCOPED_TRACE(round);
        // The recorder's state from taking the station back, then the window's.
        const int statesBefore = states + 2 * round;
        ASSERT_TRUE(test::pumpUntil(
            [&] { return homeAssistant.count(QStringLiteral("nimbrel/state")) >= statesBefore; }, kWaitMs));
        QProcess window;
        folder.start(window, clock);
        ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: station handed to the window$")).hasMatch())
            << qPrintable(log.all());
        const int commandsBefore = lineCount(exchangeLog);
        // The window sends the current conditions once it has read the header
        // (its eight block reads); a state alone may be the recorder's.
        ASSERT_TRUE(test::pumpUntil(
            [&] {
                return lineCount(exchangeLog) >= commandsBefore + 8 &&
                       homeAssistant.count(QStringLiteral("nimbrel/state")) > statesBefore;
            },
            kWaitMs));
        ASSERT_TRUE(endsCleanly(window, SIGTERM)) << qPrintable(window.readAllStandardError());
        ASSERT_TRUE(log.waitFor(QStringLiteral("nimbrel: read carried on from the handover: 0 new")).hasMatch())
            << qPrintable(log.all());
    }
    // Both owners' state for each handover's newest record reached the broker.
    ASSERT_TRUE(test::pumpUntil(
        [&] { return homeAssistant.count(QStringLiteral("nimbrel/state")) >= states + 2 * kWindows; }, kWaitMs));

    const StationCommands c = commandsIn(exchangeLog, fromLine);
    EXPECT_EQ(c.headerReads, 2 * kWindows);
    EXPECT_EQ(c.slotReads, 0);
    const int handoverReads = c.reads - c.indexPolls;
    EXPECT_LE(handoverReads, 8 * 2 * kWindows) << c.reads << " reads, " << c.indexPolls << " polls";
    EXPECT_EQ(homeAssistant.count(config), configs);
    // From the recorder's first "online" on (before its first read the
    // station is not yet known).
    for (const char *topic : {"nimbrel/station", "nimbrel/availability"}) {
        const std::vector<std::string> said = homeAssistant.payloads(QString::fromLatin1(topic));
        const auto online = std::find(said.begin(), said.end(), "online");
        EXPECT_EQ(std::count(online, said.end(), "offline"), 0) << topic << " " << said.size();
    }

    // A window's progress panel, shown while it waits for a full read, goes
    // once it has carried on from the mirror instead.
    const auto [dumped, said] = runToEnd(folder, clock + QStringList{QStringLiteral("--dump-ui"), QStringLiteral("ui.json")});
    ASSERT_EQ(dumped, 0) << said.constData();
    QFile dump(folder.path(QStringLiteral("ui.json")));
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    const QJsonObject panel = QJsonDocument::fromJson(dump.readAll())["TForm1"]["TempPanel"].toObject();
    EXPECT_EQ(panel["visible"], QJsonValue(false));
    EXPECT_TRUE(log.waitFor(QStringLiteral("nimbrel: read carried on from the handover: 0 new")).hasMatch());

    EXPECT_TRUE(endsCleanly(recorder, SIGTERM));
    // The end of the last owner says so.
    EXPECT_TRUE(homeAssistant.waitFor(QStringLiteral("nimbrel/station"), [](const std::string &p) {
        return p == "offline";
    }));
    expectHistoryIsTheStations(folder);
}
