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
#include <gtest/gtest.h>

using namespace nimbrel;
using C = CurrentConditions;

namespace {

bool waitFor(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(30000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

const GeoPosition kBerlin{52.52, 13.405, 34};

// The weather report as the APRS weather format lays it out: every field
// its fixed width, dots where there is no reading.
const QRegularExpression kWeatherReport(QStringLiteral(
    R"(^([A-Z0-9-]{3,9})>APRS,TCPIP\*:@(\d{6})z(\d{4}\.\d\d[NS])/(\d{5}\.\d\d[EW])_(\d{3}|\.{3})/(\d{3}|\.{3}))"
    R"(g(\d{3}|\.{3})t(\d{3}|-\d\d|\.{3})r(\d{3}|\.{3})p(\d{3}|\.{3})P(\d{3}|\.{3})h(\d\d|\.\.)b(\d{5}|\.{5})(Nimbrel\S*)$)"));

C afternoon()
{
    C c;
    c.time = QDateTime(QDate(2026, 12, 7), QTime(14, 7), Qt::UTC).toLocalTime();
    c.channels[0] = {true, 25.0, 80, 21.3};
    c.pressureSeaLevelHpa = 1013.25;
    c.windSpeedMph = 10.4, c.windGustMph = 20, c.windDirectionDeg = 225;
    // 0.271, 1.0027 and 2.71 inch
    c.rainLastHourTips = 10, c.rainLast24hTips = 37, c.rainSinceMidnightTips = 100;
    return c;
}

}  // namespace

// Each row changes the afternoon record; the packet is given from the
// record's time on (the station's ID and "@" before it are the same).
TEST(Cwop, EachRecordBecomesTheExactWeatherReport)
{
    const struct {
        const char *what;
        GeoPosition at;
        int outdoorChannel;
        std::function<void(C &)> change;
        const char *packet;
    } rows[] = {
        {"a breezy afternoon north-east of the meridian", kBerlin, 1, [](C &) {},
         "071407z5231.20N/01324.30E_225/010g020t077r027p100P271h80b10133Nimbrel-1.4.0"},
        {"a calm frosty night south-west, humidity 100 %", {-34.6037, -58.3816, 25}, 1,
         [](C &c) {
             c.channels[0] = {true, -20.0, 100, -20.0};
             c.windSpeedMph = c.windGustMph = c.windDirectionDeg = 0;
             c.rainLastHourTips = c.rainLast24hTips = c.rainSinceMidnightTips = 0;
         },
         "071407z3436.22S/05822.90W_000/000g000t-04r000p000P000h00b10133Nimbrel-1.4.0"},
        {"a north wind stored as 0 degrees", kBerlin, 1, [](C &c) { c.windDirectionDeg = 0, c.windSpeedMph = 5; },
         "071407z5231.20N/01324.30E_360/005g020t077r027p100P271h80b10133Nimbrel-1.4.0"},
        {"a north wind stored as 360 degrees, a gust of 22.5 mph", kBerlin, 1,
         [](C &c) { c.windDirectionDeg = 360, c.windSpeedMph = 3, c.windGustMph = 22.5; },
         "071407z5231.20N/01324.30E_360/003g023t077r027p100P271h80b10133Nimbrel-1.4.0"},
        {"no outdoor sensor, no anemometer, no rain gauge", kBerlin, 1,
         [](C &c) {
             c.channels[0].present = false;
             c.windSpeedMph = c.windGustMph = c.windDirectionDeg = std::nullopt;
             c.rainLastHourTips = c.rainLast24hTips = c.rainSinceMidnightTips = std::nullopt;
         },
         "071407z5231.20N/01324.30E_.../...g...t...r...p...P...h..b10133Nimbrel-1.4.0"},
        {"a direction without speed, no pressure, humidity 0 read", kBerlin, 1,
         [](C &c) {
             c.windSpeedMph = c.pressureSeaLevelHpa = std::nullopt;
             c.windDirectionDeg = 22.5, c.channels[0].humidity = 0;
         },
         "071407z5231.20N/01324.30E_023/...g020t077r027p100P271h..b.....Nimbrel-1.4.0"},
        {"outdoors is channel 3, just below freezing", kBerlin, 3, [](C &c) { c.channels[2] = {true, -1.0, 55, -9.0}; },
         "071407z5231.20N/01324.30E_225/010g020t030r027p100P271h55b10133Nimbrel-1.4.0"},
        {"deep frost, and more rain in a day than three digits hold", kBerlin, 1,
         [](C &c) { c.channels[0].temperatureC = -40.0, c.rainLast24hTips = 400, c.rainSinceMidnightTips = 150; },
         "071407z5231.20N/01324.30E_225/010g020t-40r027p...P407h80b10133Nimbrel-1.4.0"},
        {"minutes that round up to a whole degree, the year's first minutes", {49.99999, -0.5, 0}, 1,
         [](C &c) { c.time = QDateTime(QDate(2027, 1, 1), QTime(0, 3), Qt::UTC).toLocalTime(); },
         "010003z5000.00N/00030.00W_225/010g020t077r027p100P271h80b10133Nimbrel-1.4.0"},
    };
    for (const auto &row : rows) {
        C c = afternoon();
        row.change(c);
        const CwopSettings settings{QStringLiteral("cw1234"), -1, {}, 0, 10, row.outdoorChannel,
                                    QStringLiteral("1.4.0")};
        const QByteArray packet = cwopPacket(settings, c, row.at);
        EXPECT_EQ(packet, "CW1234>APRS,TCPIP*:@" + QByteArray(row.packet)) << row.what;
        EXPECT_TRUE(kWeatherReport.match(QString::fromLatin1(packet)).hasMatch()) << row.what;
    }
}

// Send times keep the interval and never fall on the five-minute boundaries.
TEST(Cwop, PacketsGoOutAtAFixedPointOfEachFiveMinuteSlot)
{
    const qint64 h = QDateTime(QDate(2026, 12, 7), QTime(14, 0), Qt::UTC).toMSecsSinceEpoch();
    // earliest → send time, 90 s into each slot: before, on and just after
    // the point; ten and seven minutes after a packet.
    const std::pair<qint64, qint64> rows[] = {
        {h, h + 90000},          {h + 90000, h + 90000},  {h + 90001, h + 390000},
        {h + 690000, h + 690000}, {h + 510000, h + 690000}};
    for (const auto &[earliest, at] : rows)
        EXPECT_EQ(cwopNextSlot(earliest, 300000, 90000), at) << (earliest - h);
    for (const char *id : {"CW1234", "EW0005", "DL1ABC-13", "K1AAA"})
        EXPECT_TRUE(cwopSlotOffsetMs(QLatin1String(id)) >= 60000 && cwopSlotOffsetMs(QLatin1String(id)) < 240000) << id;
}

// [cwop] as nimbrel.ini writes it.
TEST(Cwop, TheSectionIsCheckedKeyByKey)
{
    const std::pair<std::vector<std::pair<const char *, const char *>>, const char *> rows[] = {
        {{{"stationId", "cw1234"}}, nullptr},
        {{{"stationId", "DL1ABC-13"}, {"passcode", "12345"}, {"server", "127.0.0.1"}, {"port", "23"},
          {"interval", "5"}},
         nullptr},
        {{{"passcode", "-1"}}, "is enabled but has no stationId"},
        {{{"stationId", "CW 1234"}}, "stationId must be a callsign"},
        {{{"stationId", "CW1234"}, {"interval", "2"}}, "interval must be a whole number from 5 to 1440"},
        {{{"stationId", "CW1234"}, {"server", "cwop.aprs.net/x y"}}, "server must be a host name"},
    };
    for (const auto &[keys, problem] : rows) {
        PublishSettings settings;
        settings.iniPath = QStringLiteral("/tmp/nimbrel.ini");
        IniSection section{QStringLiteral("cwop"), 3, {{QStringLiteral("enabled"), QStringLiteral("true"), 4}}};
        for (const auto &[key, value] : keys)
            section.entries.push_back({QLatin1String(key), QLatin1String(value), 5});
        settings.sections.push_back(section);
        QStringList problems;
        const auto made = makeDestinations(settings, {}, &problems);
        const QString said = problems.join(QLatin1Char(' '));
        // Refused: none made, or one listed as off.
        const bool running = made.size() == 1 && made[0]->state() != DestinationState::Off;
        EXPECT_EQ(running, !problem) << qPrintable(said);
        EXPECT_TRUE(problem ? said.contains(QLatin1String(problem)) && said.endsWith(QLatin1String("CWOP stays off."))
                            : said.isEmpty())
            << qPrintable(said);
    }
}

namespace {

// APRS-IS as a station that only sends sees it: the first connection as
// the test says, every later one well.
struct Script {
    QByteArray greeting = "# aprsc 2.1.19-g730c5c0\r\n";  // empty: says nothing at all
    QByteArray loginAnswer = "# logresp CW1234 unverified, server T2TEST\r\n";  // empty: no answer
    bool closeAfterGreeting = false;
};

struct AprsIsServer : QObject {
    explicit AprsIsServer(const Script &first)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this, first] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                const Script script = connections++ == 0 ? first : Script{};
                s->write(script.greeting);
                if (script.closeAfterGreeting)
                    s->disconnectFromHost();
                connect(s, &QTcpSocket::readyRead, s, [this, s, script] {
                    while (s->canReadLine()) {
                        const QByteArray line = s->readLine().trimmed();
                        if (!line.startsWith("user "))
                            packets << line;
                        else if (logins << line; !script.loginAnswer.isEmpty())
                            s->write(script.loginAnswer);
                    }
                });
                connect(s, &QTcpSocket::disconnected, s, [this, s] { ++closed, s->deleteLater(); });
            }
        });
    }
    QTcpServer server;
    int connections = 0;
    int closed = 0;
    QList<QByteArray> logins;
    QList<QByteArray> packets;
};

// A history holding one record a minute old, its outbox, and the
// destination sending to `server` in a window every 40 ms.
struct Station {
    Station(const AprsIsServer &server, const char *id, int passcode, int stepTimeoutMs)
    {
        const QDateTime t = QDateTime::currentDateTime();
        recordTime = QDateTime(t.date(), QTime(t.time().hour(), t.time().minute())).addSecs(-60);
        Measurement m;
        m.Dat = recordTime;
        store->append(m);
        auto made = std::make_unique<CwopDestination>(
            CwopSettings{QLatin1String(id), passcode, QStringLiteral("127.0.0.1"), server.server.serverPort(), 10, 1,
                         QStringLiteral("1.4.0")},
            nullptr);
        cwop = made.get();
        cwop->setTimings({40, 10, 3600000, stepTimeoutMs, 1, 4});
        QObject::connect(cwop, &Destination::statusChanged, [this] { said << cwop->sentence(); });
        outbox = std::make_unique<Outbox>(std::move(made), dir.filePath(QStringLiteral("outbox/cwop.cursor")));
        outbox->setHistory(store.get(), [](const HistoryRow &row) {
            C c = afternoon();
            c.time = row.Dat;
            return c;
        });
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
// the destination logs in, sends the packet and closes, and the cursor
// moves. A refused login stops every try; anything else that is not a
// clean exchange is tried again, and the record then delivered once.
TEST(Cwop, TheNewestRecordReachesTheServerUnlessTheLoginIsRefused)
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
        {"a CWOP station without a passcode", "CW1234", -1, {}, Delivered, nullptr},
        {"a verified callsign", "DL1ABC-13", 12345, {.loginAnswer = "# logresp DL1ABC-13 verified, server T2\r\n"},
         Delivered, nullptr},
        {"unverified although a passcode was given: a wrong passcode", "DL1ABC", 12345,
         {.loginAnswer = "# logresp DL1ABC unverified, server T2TEST\r\n"}, Refused,
         "the server refused the login: \"# logresp DL1ABC unverified, server T2TEST\""},
        {"a login answer that is neither", "CW1234", -1, {.loginAnswer = "# logresp CW1234 invalid, server T2\r\n"},
         Refused, "invalid"},
        {"the server hangs up after the greeting", "CW1234", -1,
         {.greeting = "# server full, try another\r\n", .loginAnswer = "", .closeAfterGreeting = true},
         RetriedThenDelivered, "before answering the login; it said \"# server full, try another\"; next try in 1 s"},
        {"a server that never says a word", "CW1234", -1, {.greeting = ""}, RetriedThenDelivered,
         "the server sent no greeting within 1 s", 1000},
        {"no answer to the login", "CW1234", -1, {.loginAnswer = ""}, RetriedThenDelivered,
         "the server did not answer the login within 1 s", 1000},
        {"a greeting without an end", "CW1234", -1, {.greeting = QByteArray(2000, 'x')}, RetriedThenDelivered,
         "the server sent a line longer than 512 bytes"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        AprsIsServer server(row.first);
        Station station(server, row.id, row.passcode, row.stepTimeoutMs);
        station.outbox->pump();
        EXPECT_TRUE(!station.cwop->ready() && station.cwop->sentence().contains(QLatin1String("location")));
        StationState state;
        state.position = kBerlin;
        station.cwop->setStationState(state);
        EXPECT_TRUE(waitFor([&] {
            return row.outcome == Refused ? station.cwop->state() == DestinationState::Failing
                                          : station.outbox->cursor() == station.recordTime;
        }));
        const QString failure = station.said.filter(QStringLiteral("failing")).join(QLatin1Char('\n'));
        EXPECT_TRUE(row.words ? failure.contains(QLatin1String(row.words)) : failure.isEmpty()) << qPrintable(failure);
        if (row.outcome == Refused) {
            EXPECT_FALSE(station.cwop->nextAttempt().isValid() || station.cwop->ready()) << "tried again";
            EXPECT_TRUE(server.packets.isEmpty() && !station.outbox->cursor().isValid());
            continue;
        }
        ASSERT_TRUE(waitFor([&] { return server.closed == server.connections; }));
        EXPECT_EQ(server.connections, row.outcome == Delivered ? 1 : 2);
        EXPECT_EQ(server.logins.last(),
                  QStringLiteral("user %1 pass %2 vers nimbrel 1.4.0").arg(row.id).arg(row.passcode));
        ASSERT_EQ(server.packets.size(), 1);
        const QRegularExpressionMatch m = kWeatherReport.match(QString::fromLatin1(server.packets[0]));
        const QDateTime utc = QDateTime(station.recordTime.date(), station.recordTime.time()).toUTC();
        EXPECT_EQ(m.captured(1) + m.captured(2), QLatin1String(row.id) + utc.toString(QStringLiteral("ddHHmm")))
            << server.packets[0].constData();
        EXPECT_EQ(station.cwop->line(),
                  QStringLiteral("CWOP: sent %1").arg(station.recordTime.toString(QStringLiteral("HH:mm"))));
        EXPECT_EQ(station.cwop->state(), DestinationState::Ok);
    }
}
