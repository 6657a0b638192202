// SPDX-License-Identifier: GPL-3.0-or-later
#include "Destinations.h"
#include "HistoryStore.h"
#include "Outbox.h"
#include "networks/CwopDestination.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

bool waitFor(const std::function<bool()> &done, int timeoutMs = 30000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

const GeoPosition kBerlin{52.52, 13.405, 34};
const GeoPosition kBuenosAires{-34.6037, -58.3816, 25};

// The weather report as the APRS weather format lays it out: every field
// its fixed width, dots where there is no reading.
const QRegularExpression kWeatherReport(QStringLiteral(
    R"(^([A-Z0-9-]{3,9})>APRS,TCPIP\*:@(\d{6})z(\d{4}\.\d\d[NS])/(\d{5}\.\d\d[EW])_(\d{3}|\.{3})/(\d{3}|\.{3}))"
    R"(g(\d{3}|\.{3})t(\d{3}|-\d\d|\.{3})r(\d{3}|\.{3})p(\d{3}|\.{3})P(\d{3}|\.{3})h(\d\d|\.\.)b(\d{5}|\.{5})(Nimbrel\S*)$)"));

CurrentConditions afternoon()
{
    CurrentConditions c;
    c.time = QDateTime(QDate(2026, 12, 7), QTime(14, 7), Qt::UTC).toLocalTime();
    c.channels[0] = {true, 25.0, 80, 21.3};
    c.pressureSeaLevelHpa = 1013.25;
    c.windSpeedMph = 10.4;
    c.windGustMph = 20;
    c.windDirectionDeg = 225;
    c.rainLastHourTips = 10;    // 0.271 inch
    c.rainLast24hTips = 37;     // 1.0027 inch
    c.rainSinceMidnightTips = 100;  // 2.71 inch
    return c;
}

}  // namespace

TEST(Cwop, EachRecordBecomesTheExactWeatherReport)
{
    struct Row {
        const char *what;
        GeoPosition at;
        int outdoorChannel;
        std::function<void(CurrentConditions &)> change;
        const char *packet;
    };
    const Row rows[] = {
        {"a breezy afternoon north-east of the meridian", kBerlin, 1, [](CurrentConditions &) {},
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_225/010g020t077r027p100P271h80b10133Nimbrel-1.4.0"},
        {"a calm frosty night south-west, humidity 100 %", kBuenosAires, 1,
         [](CurrentConditions &c) {
             c.channels[0] = {true, -20.0, 100, -20.0};
             c.windSpeedMph = 0;
             c.windGustMph = 0;
             c.windDirectionDeg = 0;
             c.rainLastHourTips = c.rainLast24hTips = c.rainSinceMidnightTips = 0;
         },
         "CW1234>APRS,TCPIP*:@071407z3436.22S/05822.90W_000/000g000t-04r000p000P000h00b10133Nimbrel-1.4.0"},
        {"a north wind stored as 0 degrees", kBerlin, 1,
         [](CurrentConditions &c) {
             c.windDirectionDeg = 0;
             c.windSpeedMph = 5;
         },
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_360/005g020t077r027p100P271h80b10133Nimbrel-1.4.0"},
        {"a north wind stored as 360 degrees, a direction between points", kBerlin, 1,
         [](CurrentConditions &c) {
             c.windDirectionDeg = 360;
             c.windSpeedMph = 3;
             c.windGustMph = 22.5;
         },
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_360/003g023t077r027p100P271h80b10133Nimbrel-1.4.0"},
        {"no outdoor sensor, no anemometer, no rain gauge", kBerlin, 1,
         [](CurrentConditions &c) {
             c.channels[0].present = false;
             c.windSpeedMph.reset();
             c.windGustMph.reset();
             c.windDirectionDeg.reset();
             c.rainLastHourTips.reset();
             c.rainLast24hTips.reset();
             c.rainSinceMidnightTips.reset();
         },
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_.../...g...t...r...p...P...h..b10133Nimbrel-1.4.0"},
        {"direction without speed, no pressure, humidity 0 read", kBerlin, 1,
         [](CurrentConditions &c) {
             c.windSpeedMph.reset();
             c.windDirectionDeg = 22.5;
             c.pressureSeaLevelHpa.reset();
             c.channels[0].humidity = 0;
         },
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_023/...g020t077r027p100P271h..b.....Nimbrel-1.4.0"},
        {"outdoors is channel 3, just below freezing", kBerlin, 3,
         [](CurrentConditions &c) { c.channels[2] = {true, -1.0, 55, -9.0}; },
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_225/010g020t030r027p100P271h55b10133Nimbrel-1.4.0"},
        {"deep frost, and more rain in a day than three digits hold", kBerlin, 1,
         [](CurrentConditions &c) {
             c.channels[0].temperatureC = -40.0;
             c.rainLast24hTips = 400;  // 10.84 inch
             c.rainSinceMidnightTips = 150;  // 4.065 inch
         },
         "CW1234>APRS,TCPIP*:@071407z5231.20N/01324.30E_225/010g020t-40r027p...P407h80b10133Nimbrel-1.4.0"},
        {"minutes that round up to a whole degree, the year's first minutes", {49.99999, -0.5, 0}, 1,
         [](CurrentConditions &c) { c.time = QDateTime(QDate(2027, 1, 1), QTime(0, 3), Qt::UTC).toLocalTime(); },
         "CW1234>APRS,TCPIP*:@010003z5000.00N/00030.00W_225/010g020t077r027p100P271h80b10133Nimbrel-1.4.0"},
    };
    for (const Row &row : rows) {
        CwopSettings settings;
        settings.stationId = QStringLiteral("CW1234");
        settings.outdoorChannel = row.outdoorChannel;
        settings.softwareVersion = QStringLiteral("1.4.0");
        CurrentConditions c = afternoon();
        row.change(c);
        const QByteArray packet = cwopPacket(settings, c, row.at);
        EXPECT_EQ(packet, QByteArray(row.packet)) << row.what;
        EXPECT_TRUE(kWeatherReport.match(QString::fromLatin1(packet)).hasMatch()) << row.what;
    }
}

// Send times never fall on the five-minute boundaries and keep the interval.
TEST(Cwop, PacketsGoOutAtAFixedPointOfEachFiveMinuteSlot)
{
    constexpr qint64 kSlot = 300000;
    const qint64 hour = QDateTime(QDate(2026, 12, 7), QTime(14, 0), Qt::UTC).toMSecsSinceEpoch();
    const struct {
        qint64 earliest, offset, at;
    } rows[] = {
        {hour, 90000, hour + 90000},                     // before the point of the first slot
        {hour + 90000, 90000, hour + 90000},             // right on it
        {hour + 90001, 90000, hour + kSlot + 90000},     // just after: the next slot
        {hour + 90000 + 600000, 90000, hour + 690000},   // ten minutes after a packet
        {hour + 90000 + 420000, 90000, hour + 690000},   // seven minutes: the next point after
    };
    for (const auto &r : rows)
        EXPECT_EQ(cwopNextSlot(r.earliest, kSlot, r.offset), r.at) << (r.earliest - hour);
    for (const char *id : {"CW1234", "EW0005", "DL1ABC-13", "K1AAA"}) {
        const qint64 offset = cwopSlotOffsetMs(QLatin1String(id));
        EXPECT_TRUE(offset >= 60000 && offset < 240000) << id << " " << offset;
    }
}

// [cwop] as nimbrel.ini writes it: what is refused, and the defaults.
TEST(Cwop, TheSectionIsCheckedKeyByKey)
{
    const struct {
        std::vector<std::pair<const char *, const char *>> keys;
        const char *problem;  // nullptr: CWOP runs
    } rows[] = {
        {{{"stationId", "cw1234"}}, nullptr},
        {{{"stationId", "DL1ABC-13"}, {"passcode", "12345"}, {"server", "127.0.0.1"}, {"port", "23"}, {"interval", "5"}},
         nullptr},
        {{{"passcode", "-1"}}, "is enabled but has no stationId"},
        {{{"stationId", "CW 1234"}}, "stationId must be a callsign"},
        {{{"stationId", "CWOP"}}, "stationId must be a callsign"},
        {{{"stationId", "CW1234"}, {"interval", "2"}}, "interval must be a whole number from 5 to 1440"},
        {{{"stationId", "CW1234"}, {"passcode", "secret"}}, "passcode must be a whole number"},
        {{{"stationId", "CW1234"}, {"server", "cwop.aprs.net/x y"}}, "server must be a host name"},
        {{{"stationId", "CW1234"}, {"url", "http://example.org"}}, "unknown key \"url\""},
    };
    for (const auto &row : rows) {
        PublishSettings settings;
        settings.iniPath = QStringLiteral("/tmp/nimbrel.ini");
        IniSection section{QStringLiteral("cwop"), 3, {{QStringLiteral("enabled"), QStringLiteral("true"), 4}}};
        int line = 5;
        for (const auto &[key, value] : row.keys)
            section.entries.push_back({QLatin1String(key), QLatin1String(value), line++});
        settings.sections.push_back(section);
        QStringList problems;
        const auto made = makeDestinations(settings, {}, &problems);
        const QString said = problems.join(QLatin1Char(' '));
        if (!row.problem) {
            ASSERT_EQ(made.size(), 1u) << qPrintable(said);
            EXPECT_EQ(made[0]->name(), QLatin1String("cwop"));
            EXPECT_EQ(made[0]->reach().limitSecs, 15 * 60);
        } else {
            EXPECT_TRUE(made.empty());
            EXPECT_TRUE(said.contains(QLatin1String(row.problem)) && said.endsWith(QLatin1String("CWOP stays off.")))
                << qPrintable(said);
        }
    }
}

namespace {

// APRS-IS as far as a station that only sends sees it. Each connection
// follows the next script; once they run out, the last one again.
struct Script {
    QByteArray greeting = "# aprsc 2.1.19-g730c5c0\r\n";  // empty: says nothing at all
    QByteArray loginAnswer = "# logresp CW1234 unverified, server T2TEST\r\n";  // empty: no answer
    bool closeAfterGreeting = false;
};

class AprsIsServer : public QObject {
public:
    AprsIsServer()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                const Script script = scripts.size() > 1 ? takeScript() : scripts.front();
                ++connections;
                if (!script.greeting.isEmpty())
                    s->write(script.greeting);
                if (script.closeAfterGreeting)
                    s->disconnectFromHost();
                connect(s, &QTcpSocket::readyRead, s, [this, s, script] {
                    while (s->canReadLine()) {
                        const QByteArray line = s->readLine().trimmed();
                        if (line.startsWith("user ")) {
                            logins << line;
                            if (!script.loginAnswer.isEmpty())
                                s->write(script.loginAnswer);
                        } else {
                            packets << line;
                        }
                    }
                });
                connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    ++closed;
                    s->deleteLater();
                });
            }
        });
    }
    Script takeScript()
    {
        Script s = scripts.front();
        scripts.pop_front();
        return s;
    }
    CwopSettings settings(const char *id = "CW1234", int passcode = -1) const
    {
        CwopSettings s;
        s.stationId = QLatin1String(id);
        s.passcode = passcode;
        s.server = QStringLiteral("127.0.0.1");
        s.port = server.serverPort();
        s.softwareVersion = QStringLiteral("1.4.0");
        return s;
    }

    QTcpServer server;
    std::deque<Script> scripts{Script{}};
    int connections = 0;
    int closed = 0;
    QList<QByteArray> logins;
    QList<QByteArray> packets;
};

// A history holding one record a minute old, its outbox and the destination.
struct Station {
    explicit Station(const CwopSettings &settings, int stepTimeoutMs = 10000)
    {
        QDateTime t = QDateTime::currentDateTime();
        recordTime = QDateTime(t.date(), QTime(t.time().hour(), t.time().minute())).addSecs(-60);
        Measurement m;
        m.Dat = recordTime;
        store->append(m);
        auto made = std::make_unique<CwopDestination>(settings, nullptr);
        cwop = made.get();
        CwopTimings timings;
        timings.slotMs = 40;
        timings.offsetMs = 10;
        timings.intervalMs = 3600000;
        timings.stepTimeoutMs = stepTimeoutMs;
        timings.firstRetryMs = 1;
        timings.largestRetryMs = 4;
        cwop->setTimings(timings);
        outbox = std::make_unique<Outbox>(std::move(made), dir.filePath(QStringLiteral("outbox/cwop.cursor")));
        outbox->setHistory(store.get(), [](const HistoryRow &row) {
            CurrentConditions c = afternoon();
            c.time = row.Dat;
            return c;
        });
        QObject::connect(cwop, &Destination::statusChanged, [this] { said << cwop->sentence(); });
    }
    void start()
    {
        StationState state;
        state.position = kBerlin;
        cwop->setStationState(state);
        outbox->pump();
    }

    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store =
        HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime()).store;
    QDateTime recordTime;
    CwopDestination *cwop = nullptr;
    std::unique_ptr<Outbox> outbox;
    QStringList said;
};

}  // namespace

// The whole way of a stored record: the outbox hands it in a send window,
// the destination logs in and sends the packet, the server's close makes
// it delivered, and the cursor moves.
TEST(Cwop, TheNewestRecordReachesTheServerAndIsAcknowledged)
{
    AprsIsServer server;
    Station station(server.settings());
    EXPECT_FALSE(station.cwop->ready());
    EXPECT_TRUE(station.cwop->sentence().contains(QLatin1String("location"))) << qPrintable(station.cwop->sentence());
    station.start();
    ASSERT_TRUE(waitFor([&] { return station.outbox->cursor() == station.recordTime; }))
        << qPrintable(station.said.join(QLatin1Char('\n')));
    ASSERT_TRUE(waitFor([&] { return server.closed == 1; }));
    EXPECT_EQ(server.logins, QList<QByteArray>{"user CW1234 pass -1 vers nimbrel 1.4.0"});
    ASSERT_EQ(server.packets.size(), 1);
    const QRegularExpressionMatch m = kWeatherReport.match(QString::fromLatin1(server.packets[0]));
    ASSERT_TRUE(m.hasMatch()) << server.packets[0].constData();
    const QDateTime utc = QDateTime(station.recordTime.date(), station.recordTime.time()).toUTC();
    EXPECT_EQ(m.captured(2), utc.toString(QStringLiteral("ddHHmm")));
    EXPECT_EQ(m.captured(3) + QLatin1Char('/') + m.captured(4), QLatin1String("5231.20N/01324.30E"));
    EXPECT_EQ(m.captured(8), QLatin1String("077"));
    EXPECT_EQ(station.cwop->state(), DestinationState::Ok);
    EXPECT_EQ(station.cwop->line(),
              QStringLiteral("CWOP: sent %1").arg(station.recordTime.toString(QStringLiteral("HH:mm"))));
    EXPECT_TRUE(station.cwop->nextAttempt().isValid());
    EXPECT_EQ(server.connections, 1) << "one record, one packet";
}

// The server's answers: a refused login stops every try, anything else that
// is not a clean exchange is tried again and the record then delivered.
TEST(Cwop, ServerAnswersThatMeanFailure)
{
    enum Outcome { Delivered, Refused, RetriedThenDelivered };
    const struct Row {
        const char *what;
        const char *id;
        int passcode;
        Script first;
        Outcome outcome;
        const char *words;
        int stepTimeoutMs = 10000;
    } rows[] = {
        {"a verified callsign", "DL1ABC-13", 12345,
         {.loginAnswer = "# logresp DL1ABC-13 verified, server T2TEST\r\n"}, Delivered, nullptr},
        {"unverified although a passcode was given: a wrong passcode", "DL1ABC", 12345,
         {.loginAnswer = "# logresp DL1ABC unverified, server T2TEST\r\n"}, Refused,
         "the server refused the login: \"# logresp DL1ABC unverified, server T2TEST\""},
        {"a login answer that is neither", "CW1234", -1, {.loginAnswer = "# logresp CW1234 invalid, server T2\r\n"},
         Refused, "invalid"},
        {"the server hangs up after the greeting", "CW1234", -1,
         {.greeting = "# server full, try another\r\n", .loginAnswer = "", .closeAfterGreeting = true}, RetriedThenDelivered,
         "before answering the login; it said \"# server full, try another\"; next try in 1 s"},
        {"a server that never says a word", "CW1234", -1, {.greeting = ""}, RetriedThenDelivered,
         "the server sent no greeting within 1 s", 1000},
        {"no answer to the login", "CW1234", -1, {.loginAnswer = ""}, RetriedThenDelivered,
         "the server did not answer the login within 1 s", 1000},
        {"a greeting without an end", "CW1234", -1, {.greeting = QByteArray(2000, 'x')}, RetriedThenDelivered,
         "the server sent a line longer than 512 bytes"},
    };
    for (const Row &row : rows) {
        AprsIsServer server;
        server.scripts = {row.first, Script{}};
        Station station(server.settings(row.id, row.passcode), row.stepTimeoutMs);
        station.start();
        if (row.outcome == Refused) {
            ASSERT_TRUE(waitFor([&] { return station.cwop->state() == DestinationState::Failing; })) << row.what;
            EXPECT_FALSE(station.cwop->nextAttempt().isValid()) << row.what << ": no try is planned";
            EXPECT_FALSE(station.cwop->ready()) << row.what;
            EXPECT_TRUE(server.packets.isEmpty()) << row.what;
            EXPECT_FALSE(station.outbox->cursor().isValid()) << row.what;
        } else {
            ASSERT_TRUE(waitFor([&] { return station.outbox->cursor() == station.recordTime; }))
                << row.what << qPrintable(station.said.join(QLatin1Char('\n')));
            EXPECT_EQ(server.connections, row.outcome == Delivered ? 1 : 2) << row.what;
            EXPECT_EQ(server.packets.size(), 1) << row.what;
            EXPECT_EQ(station.cwop->state(), DestinationState::Ok) << row.what;
        }
        const QString failure = station.said.filter(QStringLiteral("failing")).join(QLatin1Char('\n'));
        EXPECT_EQ(failure.isEmpty(), !row.words) << row.what << qPrintable(failure);
        if (row.words) {
            EXPECT_TRUE(failure.contains(QLatin1String(row.words))) << row.what << ": " << qPrintable(failure);
        }
    }
}
