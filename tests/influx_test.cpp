// SPDX-License-Identifier: GPL-3.0-or-later
// Runs with TZ=UTC (influx.cmake): a record's wall-clock time is its UTC time.
#include "Destinations.h"
#include "HistoryStore.h"
#include "Outbox.h"
#include "networks/InfluxDestination.h"
#include "support/InfluxServer.h"

#include <QFile>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <deque>

using namespace nimbrel;

namespace {

const QDateTime kAt(QDate(2026, 12, 7), QTime(8, 5));  // 1796630700 s

void frostyMorning(CurrentConditions &c)
{
    c.indoorTemperatureC = 21.5, c.indoorHumidity = 45, c.indoorDewPointC = 9.4;
    c.channels[0] = {true, -3.2, 100, -3.2};
    c.channels[1] = {false, 0.0, 0, 0.0};  // an empty channel's zeros
    c.pressureSeaLevelHpa = 1013.25, c.pressureStationHpa = 987.0;
    c.windSpeedMph = 5.0, c.windGustMph = 10.0, c.windDirectionDeg = 0.0, c.windDirectionPoint = QStringLiteral("N");
    c.windChillC = -5.04;
    c.rainLastHourTips = 1, c.rainLast24hTips = 3, c.rainSinceMidnightTips = 0, c.rainTotalTips = 123;
    c.rainCounterTips = 2500;  // past the panels' 2000-tip rule, in earnest
    c.uvIndex = 0.0;
}

CurrentConditions record(void (*fill)(CurrentConditions &), const QDateTime &at = kAt)
{
    CurrentConditions c;
    c.time = at;
    fill(c);
    return c;
}

}  // namespace

TEST(Influx, ARecordIsOnePointOfItsValuesInBaseUnits)
{
    const InfluxNaming home{QStringLiteral("weather"), QStringLiteral("home")};
    const struct {
        const char *what;
        void (*fill)(CurrentConditions &);
        InfluxNaming naming;
        QByteArray expected;  // without the timestamp
    } cases[] = {
        {"a frosty morning", frostyMorning, home,
         "weather,station=home indoor_temperature_c=21.5,indoor_humidity_pct=45,indoor_dew_point_c=9.4,"
         "channel1_temperature_c=-3.2,channel1_humidity_pct=100,channel1_dew_point_c=-3.2,"
         "pressure_sea_level_hpa=1013.3,pressure_station_hpa=987,wind_speed_ms=2.24,wind_gust_ms=4.47,"
         "wind_direction_deg=0,wind_direction_point=\"N\",wind_chill_c=-5,rain_last_hour_mm=0.6875,"
         "rain_24h_mm=2.0625,rain_today_mm=0,rain_total_mm=84.5625,rain_counter_mm=1718.75,uv_index=0"},
        {"calm, wind from 360° is north",
         [](CurrentConditions &c) { c.windSpeedMph = 0.0, c.windDirectionDeg = 360.0, c.windDirectionPoint = QStringLiteral("N"); },
         home, "weather,station=home wind_speed_ms=0,wind_direction_deg=0,wind_direction_point=\"N\""},
        {"failed sensors are left out, never 0",
         [](CurrentConditions &c) {
             c.channels[2].present = c.channels[3].present = true;  // channel 4 without a reading
             c.channels[2].temperatureC = -0.04;
         },
         home, "weather,station=home channel3_temperature_c=0"},
        {"names and texts escaped",
         [](CurrentConditions &c) { c.windDirectionDeg = 22.5, c.windDirectionPoint = QStringLiteral("N\"\\\nE"); },
         {QStringLiteral("my weather,x"), QStringLiteral("back yard=1,a")},
         "my\\ weather\\,x,station=back\\ yard\\=1\\,a wind_direction_deg=22.5,"
         "wind_direction_point=\"N\\\"\\\\ E\""},
        {"nothing read: no point", [](CurrentConditions &) {}, home, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(influxLine(record(c.fill), c.naming), c.expected.isEmpty() ? "" : c.expected + " 1796630700");
    }
    InfluxSettings v1;  // the 1.x write: its database and Basic credentials
    v1.url = QUrl(QStringLiteral("http://db.lan:8086/"));
    v1.database = QStringLiteral("my+db"), v1.user = QStringLiteral("nimbrel"), v1.password = QStringLiteral("p:w");
    const HttpCall call = influxWrite(v1, "l 1");
    EXPECT_EQ(call.url.toString(QUrl::FullyEncoded), QStringLiteral("http://db.lan:8086/write?db=my%2Bdb&precision=s"));
    EXPECT_TRUE(call.headers.contains(qMakePair(QByteArray("Authorization"), QByteArray("Basic bmltYnJlbDpwOnc="))));
}

// [influxdb] as written: a destination, or one sentence saying what to correct.
TEST(Influx, TheSectionTakesOneOfDatabaseOrBucketWithMatchingCredentials)
{
    const struct {
        const char *what;
        std::vector<std::pair<const char *, const char *>> keys;
        const char *problem;  // empty: made
    } cases[] = {
        {"1.x with a user", {{"database", "w"}, {"user", "u"}, {"password", "p"}}, ""},
        {"2.x with a token", {{"org", "o"}, {"bucket", "w"}, {"token", "t"}}, ""},
        {"a bucket without a token", {{"bucket", "w"}}, "has neither token nor tokenFile"},
        {"both kinds", {{"database", "w"}, {"bucket", "w"}, {"token", "t"}}, "has both database"},
        {"neither kind", {{"user", "u"}, {"password", "p"}}, "neither database"},
        {"a user for a bucket", {{"bucket", "w"}, {"token", "t"}, {"user", "u"}, {"password", "p"}}, "go with database"},
        {"a password without a user", {{"database", "w"}, {"password", "p"}}, "has a password but no user"},
        {"a reserved measurement", {{"database", "w"}, {"measurement", "_x"}}, "measurement must be"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        PublishSettings settings;
        settings.iniPath = QStringLiteral("/nonexistent/nimbrel.ini");
        IniSection section{QStringLiteral("influxdb"), 1, {{QStringLiteral("enabled"), QStringLiteral("true"), 2}}};
        for (const auto &[key, value] : c.keys)
            section.entries.push_back({QString::fromLatin1(key), QString::fromLatin1(value), 3});
        settings.sections.push_back(section);
        QStringList problems;
        const auto made = makeDestinations(settings, {QStringLiteral("/tmp/home"), QStringLiteral("9.9"), {}}, &problems);
        ASSERT_EQ(made.size(), 1u);  // a refused section is listed as off
        EXPECT_EQ(made[0]->state() == DestinationState::Off, *c.problem != 0);
        EXPECT_EQ(problems.size(), *c.problem ? 1 : 0);
        if (*c.problem) {
            EXPECT_TRUE(problems.value(0).contains(QLatin1String(c.problem))) << problems.value(0).toStdString();
        }
    }
}

namespace {

// A server that answers each write with the next scripted answer (204 once
// they are used up); an empty one closes the connection unanswered, kHold
// keeps it open without a word.
const QByteArray kHold = "hold";
struct ScriptedInflux {
    explicit ScriptedInflux(std::deque<QByteArray> script) : answers(std::move(script))
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket *s = server.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                const QByteArray data = s->peek(1 << 20);
                const qsizetype end = data.indexOf("\r\n\r\n");
                const qsizetype at = data.toLower().indexOf("content-length:");
                if (end < 0 || data.size() < end + 4 + data.mid(at + 15, 12).split('\r').value(0).trimmed().toInt())
                    return;
                s->readAll();
                requests << data;
                const QByteArray a = answers.empty() ? "HTTP/1.1 204 No Content\r\n\r\n" : answers.front();
                if (!answers.empty())
                    answers.pop_front();
                if (a.isEmpty())
                    s->abort();
                else if (a != kHold)
                    s->write(a);
            });
        });
    }
    QTcpServer server;
    std::deque<QByteArray> answers;
    QByteArrayList requests;
};

QByteArray answer(int status, const QByteArray &body, const QByteArray &extra = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\n" + extra +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

// InfluxDB 2.x answers a write of two records; the destination acknowledges
// them, passes them over, stops, or tries again until they are taken.
TEST(Influx, EachAnswerMeansWhatInfluxDbSays)
{
    enum Outcome { Acknowledged, Released, Stopped };
    const struct {
        const char *what;
        std::deque<QByteArray> script;
        Outcome outcome;
        int requests;  // 0: more than one (Qt sends once more itself on a connection closed unanswered)
        const char *said;  // in a status sentence on the way
    } cases[] = {
        {"written", {answer(204, "")}, Acknowledged, 1, "InfluxDB: delivered 08:06"},
        {"written, 200", {answer(200, "")}, Acknowledged, 1, "InfluxDB: delivered 08:06"},
        {"a line it cannot parse", {answer(400, R"({"code":"invalid","message":"unable to parse 'x'"})")}, Released, 1,
         "InfluxDB: failing: 2 records rejected: HTTP 400: unable to parse 'x'"},
        {"beyond the retention", {answer(422, R"({"message":"too old"})")}, Released, 1, "HTTP 422: too old"},
        {"a wrong token", {answer(401, R"({"code":"unauthorized","message":"unauthorized access"})")}, Stopped, 1,
         "InfluxDB: failing: HTTP 401: unauthorized access; no more tries until the settings change"},
        {"no write permission", {answer(403, R"({"error":"insufficient permissions"})")}, Stopped, 1, "insufficient"},
        {"no such bucket", {answer(404, R"({"message":"bucket \"w\" not found"})")}, Stopped, 1, "bucket \"w\" not"},
        {"a server error", {answer(503, "Service Unavailable")}, Acknowledged, 2,
         "InfluxDB: failing: HTTP 503: Service Unavailable; next try in 1 s"},
        {"too many requests", {answer(429, "", "Retry-After: 1\r\n")}, Acknowledged, 2, "HTTP 429; next try in 1 s"},
        {"no answer", {"", "", "", ""}, Acknowledged, 0, "; next try in 1 s"},
        {"no answer in time", {kHold}, Acknowledged, 2, "InfluxDB: failing: no answer within 1 s; next try in 1 s"},
        {"an answer without end", {answer(200, QByteArray(kInfluxAnswerLimit + 1, 'x'))}, Acknowledged, 2,
         "longer than"},
        {"a batch too large is halved", {answer(413, R"({"error":"too large"})")}, Acknowledged, 3, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedInflux server(c.script);
        InfluxSettings settings;
        settings.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.server.serverPort()));
        settings.org = QStringLiteral("home"), settings.bucket = QStringLiteral("weather");
        settings.token = QStringLiteral("s3cret"), settings.naming.station = QStringLiteral("garden");
        InfluxDestination d(settings, QStringLiteral("Nimbrel test"));
        d.setRetryDelays(1, 1);
        if (c.script.front() == kHold)
            d.setTimeout(100);
        std::optional<Outcome> outcome;
        QDateTime answered;
        QStringList sentences;
        QObject::connect(&d, &Destination::acknowledged, [&](const QDateTime &t) { outcome = Acknowledged, answered = t; });
        QObject::connect(&d, &Destination::released, [&](const QDateTime &t) { outcome = Released, answered = t; });
        QObject::connect(&d, &Destination::readyChanged, [&](bool ready) { outcome = ready ? outcome : Stopped; });
        QObject::connect(&d, &Destination::statusChanged, [&] { sentences << d.sentence(); });
        const QDateTime second = kAt.addSecs(60);
        d.take(record(frostyMorning));
        d.take(record(frostyMorning, second));
        ASSERT_TRUE(test::waitUntil([&] { return outcome && (*outcome != Acknowledged || answered == second); }));
        EXPECT_EQ(*outcome, c.outcome);
        EXPECT_EQ(answered, c.outcome == Stopped ? QDateTime() : second);
        EXPECT_EQ(d.state(), c.outcome == Acknowledged ? DestinationState::Ok : DestinationState::Failing);
        EXPECT_EQ(d.ready(), c.outcome != Stopped);
        EXPECT_FALSE(sentences.filter(QString::fromUtf8(c.said)).isEmpty()) << sentences.join(QLatin1Char('\n')).toStdString();
        if (c.requests > 0) {
            ASSERT_EQ(server.requests.size(), c.requests);
        }
        ASSERT_GT(server.requests.size(), 0);
        EXPECT_TRUE(server.requests[0].startsWith("POST /api/v2/write?org=home&bucket=weather&precision=s HTTP/1.1"));
        EXPECT_TRUE(server.requests[0].contains("\r\nAuthorization: Token s3cret\r\n"));
        // Both records in the last write, or, halved, one in each of the last two.
        const QByteArray body = c.requests == 3 ? server.requests[1] + server.requests[2] : server.requests.last();
        EXPECT_TRUE(body.contains("\r\n\r\nweather,station=garden indoor_temperature_c=21.5,"));
        EXPECT_EQ(body.count(" 1796630700"), 1);
        EXPECT_EQ(body.count(" 1796630760"), 1);
    }
}

// A real InfluxDB 1.x gets a few hundred stored records through the outbox,
// goes away while more arrive, comes back: every record is there once.
TEST(Influx, EveryRecordReachesARealInfluxDbOnceThroughAnOutage)
{
    NEEDS_INFLUXD();
    test::InfluxServer server;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.query(QStringLiteral("CREATE DATABASE nimbrel")));
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store =
        HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime()).store;
    ASSERT_TRUE(store);
    auto at = [](int i) { return QDateTime(QDate(2026, 12, 7), QTime(8, 0)).addSecs(qint64(i) * 300); };
    int stored = 0;
    auto add = [&](int n, Outbox *outbox = nullptr) {
        for (int i = 0; i < n; ++i, ++stored) {
            Measurement m;
            m.Dat = at(stored);
            m.TempDoor = -10 + stored * 0.1;
            store->append(m);
            if (outbox)
                outbox->pump();
        }
    };
    const QString cursorPath = dir.filePath(QStringLiteral("influxdb.cursor"));
    QFile cursor(cursorPath);  // before the first record: the whole history is due
    ASSERT_TRUE(cursor.open(QIODevice::WriteOnly));
    cursor.write(HistoryStore::dateText(at(-1)).toLatin1() + '\n');
    cursor.close();
    InfluxSettings settings;
    settings.url = server.url();
    settings.database = QStringLiteral("nimbrel");
    settings.naming.station = QStringLiteral("test");
    auto destination = std::make_unique<InfluxDestination>(settings, QStringLiteral("Nimbrel test"));
    destination->setRetryDelays(20, 200);
    Outbox outbox(std::move(destination), cursorPath);
    outbox.setHistory(store.get(), [](const HistoryRow &row) {
        CurrentConditions c;
        c.time = row.Dat;
        c.indoorTemperatureC = row.TempDoor;
        return c;
    });
    auto points = [&] { return server.count(QStringLiteral("nimbrel"), QStringLiteral("weather"), QStringLiteral("indoor_temperature_c")); };

    add(200, &outbox);
    ASSERT_TRUE(test::waitUntil([&] { return outbox.cursor() == at(199); }));
    EXPECT_EQ(points(), 200);
    server.stop();
    add(1, &outbox);
    ASSERT_TRUE(test::waitUntil([&] { return outbox.status().state == DestinationState::Failing; }));
    add(99, &outbox);
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(test::waitUntil([&] { return outbox.cursor() == at(299); }));
    EXPECT_EQ(points(), 300);
    EXPECT_EQ(outbox.status().sentence, QStringLiteral("InfluxDB: delivered 08:55"));  // the next day
}
