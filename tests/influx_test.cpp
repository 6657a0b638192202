// SPDX-License-Identifier: GPL-3.0-or-later
// Runs with TZ=UTC (influx.cmake): a record's wall-clock time is its UTC time.
#include "Destinations.h"
#include "HistoryStore.h"
#include "Outbox.h"
#include "networks/InfluxDestination.h"
#include "support/InfluxServer.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>
#include <deque>
#include <map>

using namespace nimbrel;

namespace {

const QDateTime kAt(QDate(2026, 12, 7), QTime(8, 5));  // 1796630700
constexpr char kAtSecs[] = " 1796630700";

CurrentConditions winterMorning()
{
    CurrentConditions c;
    c.time = kAt;
    c.indoorTemperatureC = 21.5;
    c.indoorHumidity = 45;
    c.indoorDewPointC = 9.4;
    c.channels[0] = {true, -3.2, 100, -3.2};
    c.channels[1] = {false, 0.0, 0, 0.0};  // an empty channel's zeros
    c.pressureSeaLevelHpa = 1013.25;
    c.pressureStationHpa = 987.0;
    c.windSpeedMph = 5.0;
    c.windGustMph = 10.0;
    c.windDirectionDeg = 0.0;
    c.windDirectionPoint = QStringLiteral("N");
    c.windChillC = -5.04;
    c.rainLastHourTips = 1;
    c.rainLast24hTips = 3;
    c.rainSinceMidnightTips = 0;
    c.rainTotalTips = 123;
    c.rainCounterTips = 2500;
    c.uvIndex = 0.0;
    return c;
}

}  // namespace

TEST(Influx, ARecordIsOnePointOfItsValuesInBaseUnits)
{
    struct Case {
        const char *what;
        std::function<void(CurrentConditions &)> change;
        InfluxNaming naming;
        QByteArray expected;  // without the timestamp
    };
    const InfluxNaming home{QStringLiteral("weather"), QStringLiteral("home")};
    auto onlyWindFrom = [](double deg) {
        return [deg](CurrentConditions &c) {
            c = {};
            c.time = kAt;
            c.windSpeedMph = 0.0;
            c.windDirectionDeg = deg;
            c.windDirectionPoint = QStringLiteral("N");
        };
    };
    const Case cases[] = {
        {"a frosty morning, a full outdoor channel and a counter past 2000 tips", [](CurrentConditions &) {}, home,
         "weather,station=home indoor_temperature_c=21.5,indoor_humidity_pct=45,indoor_dew_point_c=9.4,"
         "channel1_temperature_c=-3.2,channel1_humidity_pct=100,channel1_dew_point_c=-3.2,"
         "pressure_sea_level_hpa=1013.3,pressure_station_hpa=987,wind_speed_ms=2.24,wind_gust_ms=4.47,"
         "wind_direction_deg=0,wind_direction_point=\"N\",wind_chill_c=-5,rain_last_hour_mm=0.6875,"
         "rain_24h_mm=2.0625,rain_today_mm=0,rain_total_mm=84.5625,rain_counter_mm=1718.75,uv_index=0"},
        {"wind from 0°", onlyWindFrom(0), home,
         "weather,station=home wind_speed_ms=0,wind_direction_deg=0,wind_direction_point=\"N\""},
        {"wind from 360° is north too", onlyWindFrom(360), home,
         "weather,station=home wind_speed_ms=0,wind_direction_deg=0,wind_direction_point=\"N\""},
        {"failed sensors are left out, never 0",
         [](CurrentConditions &c) {
             c = {};
             c.time = kAt;
             c.channels[2].present = true;
             c.channels[2].temperatureC = -0.04;
             c.channels[3].present = true;  // a sensor without a reading
         },
         home, "weather,station=home channel3_temperature_c=0"},
        {"names and texts escaped as line protocol asks",
         [](CurrentConditions &c) {
             c = {};
             c.time = kAt;
             c.windDirectionDeg = 22.5;
             c.windDirectionPoint = QStringLiteral("N\"\\\nE");
         },
         {QStringLiteral("my weather,x"), QStringLiteral("back yard=1,a")},
         "my\\ weather\\,x,station=back\\ yard\\=1\\,a wind_direction_deg=22.5,"
         "wind_direction_point=\"N\\\"\\\\ E\""},
        {"nothing read: no point", [](CurrentConditions &c) {
             c = {};
             c.time = kAt;
         }, home, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CurrentConditions record = winterMorning();
        c.change(record);
        EXPECT_EQ(influxLine(record, c.naming), c.expected.isEmpty() ? QByteArray() : c.expected + kAtSecs);
    }
}

TEST(Influx, TheWriteNamesItsDatabaseOrBucketAndItsCredentials)
{
    struct Case {
        const char *what;
        InfluxSettings settings;
        const char *url;
        QByteArray authorization;
    };
    auto with = [](const char *url, const char *db, const char *org, const char *bucket, const char *user,
                   const char *password, const char *token) {
        InfluxSettings s;
        s.url = QUrl(QString::fromUtf8(url));
        s.database = QString::fromUtf8(db);
        s.org = QString::fromUtf8(org);
        s.bucket = QString::fromUtf8(bucket);
        s.user = QString::fromUtf8(user);
        s.password = QString::fromUtf8(password);
        s.token = QString::fromUtf8(token);
        return s;
    };
    const Case cases[] = {
        {"1.x with a user", with("http://db.lan:8086", "my db", "", "", "nimbrel", "p:w", ""),
         "http://db.lan:8086/write?db=my%20db&precision=s", "Basic bmltYnJlbDpwOnc="},
        {"1.x without authentication", with("http://db.lan:8086/", "weather", "", "", "", "", ""),
         "http://db.lan:8086/write?db=weather&precision=s", ""},
        {"2.x behind a proxy path, names with & and +",
         with("https://h/influx/?x=1", "", "a&b", "w+x", "", "", "t0k"),
         "https://h/influx/api/v2/write?x=1&org=a%26b&bucket=w%2Bx&precision=s", "Token t0k"},
        {"3.x needs no org", with("http://h:8181", "", "", "home", "", "", "apiv3_x"),
         "http://h:8181/api/v2/write?bucket=home&precision=s", "Token apiv3_x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const HttpCall call = influxWrite(c.settings, "l 1");
        EXPECT_EQ(call.method, "POST");
        EXPECT_EQ(call.url.toString(QUrl::FullyEncoded), QString::fromLatin1(c.url));
        QByteArray authorization;
        for (const auto &[name, value] : call.headers)
            if (name == "Authorization")
                authorization = value;
        EXPECT_EQ(authorization, c.authorization);
    }
}

// [influxdb] as written in nimbrel.ini: a destination, or one sentence
// saying what to correct.
TEST(Influx, TheSectionTakesOneOfDatabaseOrBucketWithMatchingCredentials)
{
    struct Case {
        const char *what;
        std::vector<std::pair<const char *, const char *>> keys;
        const char *problem;  // empty: the destination is made
    };
    const Case cases[] = {
        {"1.x with a user", {{"database", "w"}, {"user", "u"}, {"password", "p"}}, ""},
        {"2.x with a token", {{"org", "o"}, {"bucket", "w"}, {"token", "t"}, {"measurement", "wx"}}, ""},
        {"a bucket without a token", {{"bucket", "w"}}, "has neither token nor tokenFile"},
        {"both kinds", {{"database", "w"}, {"bucket", "w"}, {"token", "t"}}, "has both database"},
        {"neither kind", {{"user", "u"}, {"password", "p"}}, "neither database"},
        {"a user for a bucket", {{"bucket", "w"}, {"token", "t"}, {"user", "u"}, {"password", "p"}},
         "user and password go with database"},
        {"a password without a user", {{"database", "w"}, {"password", "p"}}, "has a password but no user"},
        {"a reserved measurement", {{"database", "w"}, {"measurement", "_x"}}, "measurement must be"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PublishSettings settings;
        settings.iniPath = QStringLiteral("/nonexistent/nimbrel.ini");
        IniSection section{QStringLiteral("influxdb"), 1, {{QStringLiteral("enabled"), QStringLiteral("true"), 2}}};
        for (const auto &[key, value] : c.keys)
            section.entries.push_back({QString::fromLatin1(key), QString::fromLatin1(value), 3});
        settings.sections.push_back(section);
        QStringList problems;
        const auto made = makeDestinations(settings, {QStringLiteral("/tmp/home"), QStringLiteral("9.9"), {}}, &problems);
        if (*c.problem == '\0') {
            ASSERT_EQ(made.size(), 1u) << problems.join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(made.front()->name(), QStringLiteral("influxdb"));
        } else {
            EXPECT_TRUE(made.empty());
            ASSERT_EQ(problems.size(), 1) << problems.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(problems.front().contains(QLatin1String(c.problem))) << problems.front().toStdString();
        }
    }
}

namespace {

// A server that answers each write with the next scripted answer (204 once
// they are used up); an empty answer closes the connection unanswered,
// kHold keeps it open without a word.
const QByteArray kHold = "hold";

class ScriptedInflux {
public:
    explicit ScriptedInflux(std::deque<QByteArray> answers) : answers_(std::move(answers))
    {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket *s = server_.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
        });
    }
    quint16 port() const { return server_.serverPort(); }
    std::vector<QByteArray> heads;   // request line and headers
    std::vector<QByteArray> bodies;

private:
    void read(QTcpSocket *s)
    {
        QByteArray &data = buffers_[s];
        data += s->readAll();
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = data.left(end);
        const qsizetype at = head.toLower().indexOf("content-length:");
        const qsizetype length = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (data.size() < end + 4 + length)
            return;
        heads.push_back(head);
        bodies.push_back(data.mid(end + 4, length));
        data.clear();
        const QByteArray answer = answers_.empty() ? QByteArray("HTTP/1.1 204 No Content\r\n\r\n") : answers_.front();
        if (!answers_.empty())
            answers_.pop_front();
        if (answer.isEmpty()) {
            s->abort();
            return;
        }
        if (answer == kHold)
            return;
        s->write(answer);
    }

    QTcpServer server_;
    std::deque<QByteArray> answers_;
    std::map<QTcpSocket *, QByteArray> buffers_;
};

QByteArray answer(int status, const QByteArray &body, const QByteArray &extra = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\n" + extra +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

// What InfluxDB 2.x answers to a write of two records, and what the
// destination makes of it: acknowledged, passed over, stopped, or tried
// again until it is taken.
TEST(Influx, EachAnswerMeansWhatInfluxDbSays)
{
    enum Outcome { Acknowledged, Released, Stopped };
    struct Case {
        const char *what;
        std::deque<QByteArray> answers;
        Outcome outcome;
        int requests;  // 0: more than one (Qt itself sends again on a connection closed unanswered)
        const char *said;  // in a status sentence on the way
    };
    const QByteArray huge(kInfluxAnswerLimit + 10, 'x');
    const Case cases[] = {
        {"written", {answer(204, "")}, Acknowledged, 1, "InfluxDB: delivered 08:06"},
        {"written, 200", {answer(200, "")}, Acknowledged, 1, "InfluxDB: delivered 08:06"},
        {"a line it cannot parse",
         {answer(400, R"({"code":"invalid","message":"unable to parse 'x': missing fields"})")}, Released, 1,
         "InfluxDB: failing: 2 records rejected: HTTP 400: unable to parse 'x': missing fields"},
        {"outside the retention period", {answer(422, R"({"code":"unprocessable entity","message":"too old"})")},
         Released, 1, "too old"},
        {"a wrong token", {answer(401, R"({"code":"unauthorized","message":"unauthorized access"})")}, Stopped, 1,
         "InfluxDB: failing: HTTP 401: unauthorized access; no more tries until the settings change"},
        {"a token without write permission", {answer(403, R"({"error":"insufficient permissions"})")}, Stopped, 1,
         "insufficient permissions"},
        {"no such bucket", {answer(404, R"({"code":"not found","message":"bucket \"w\" not found"})")}, Stopped, 1,
         "bucket \"w\" not found"},
        {"a server error, then written", {answer(503, "Service Unavailable")}, Acknowledged, 2,
         "InfluxDB: failing: HTTP 503: Service Unavailable; next try in 1 s"},
        {"too many requests, with Retry-After", {answer(429, "", "Retry-After: 1\r\n")}, Acknowledged, 2,
         "HTTP 429; next try in 1 s"},
        {"no answer at all", {QByteArray(), QByteArray(), QByteArray(), QByteArray()}, Acknowledged, 0, "next try in 1 s"},
        {"no answer in time", {kHold}, Acknowledged, 2, "InfluxDB: failing: no answer within 1 s; next try in 1 s"},
        {"an answer without end", {answer(200, huge)}, Acknowledged, 2, "longer than"},
        {"a batch too large is halved", {answer(413, R"({"error":"too large"})")}, Acknowledged, 3, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedInflux server(c.answers);
        InfluxSettings settings;
        settings.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.port()));
        settings.org = QStringLiteral("home");
        settings.bucket = QStringLiteral("weather");
        settings.token = QStringLiteral("s3cret");
        settings.naming.station = QStringLiteral("garden");
        InfluxDestination d(settings, QStringLiteral("Nimbrel test"));
        d.setRetryDelays(1, 1);
        if (c.answers.front() == kHold)
            d.setTimeout(100);
        std::optional<Outcome> outcome;
        QDateTime answered;
        QStringList sentences;
        QObject::connect(&d, &Destination::acknowledged, [&](const QDateTime &t) { outcome = Acknowledged, answered = t; });
        QObject::connect(&d, &Destination::released, [&](const QDateTime &t) { outcome = Released, answered = t; });
        QObject::connect(&d, &Destination::readyChanged, [&](bool ready) {
            if (!ready)
                outcome = Stopped;
        });
        QObject::connect(&d, &Destination::statusChanged, [&] { sentences << d.sentence(); });
        CurrentConditions first = winterMorning();
        CurrentConditions second = first;
        second.time = kAt.addSecs(60);
        d.take(first);
        d.take(second);
        ASSERT_TRUE(test::waitUntil(
            [&] { return outcome.has_value() && (*outcome != Acknowledged || answered == second.time); }));
        EXPECT_EQ(*outcome, c.outcome);
        if (c.outcome != Stopped) {
            EXPECT_EQ(answered, second.time);
        }
        EXPECT_EQ(d.state(), c.outcome == Acknowledged ? DestinationState::Ok : DestinationState::Failing);
        EXPECT_EQ(d.ready(), c.outcome != Stopped);
        EXPECT_TRUE(sentences.filter(QString::fromUtf8(c.said)).size() > 0) << sentences.join(QLatin1Char('\n')).toStdString();
        if (c.requests > 0) {
            ASSERT_EQ(static_cast<int>(server.heads.size()), c.requests);
        } else {
            ASSERT_GT(server.heads.size(), 1u);
        }
        const QByteArray head = server.heads.front();
        EXPECT_TRUE(head.startsWith("POST /api/v2/write?org=home&bucket=weather&precision=s HTTP/1.1\r\n")) << head.data();
        EXPECT_TRUE(head.contains("\r\nAuthorization: Token s3cret")) << head.data();
        // Both records in one write (or, halved, one in each of the last two).
        QByteArrayList lines;
        for (std::size_t i = c.requests == 3 ? 1 : server.bodies.size() - 1; i < server.bodies.size(); ++i)
            lines += server.bodies[i].split('\n');
        ASSERT_EQ(lines.size(), 2);
        EXPECT_TRUE(lines[0].startsWith("weather,station=garden indoor_temperature_c=21.5,"));
        EXPECT_TRUE(lines[1].endsWith(" 1796630760"));
    }
}

namespace {

const QDateTime kFirst(QDate(2026, 12, 7), QTime(8, 0));

QDateTime recordTime(int i)
{
    return kFirst.addSecs(qint64(i) * 300);
}

}  // namespace

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
    int stored = 0;
    auto add = [&](int n) {
        for (int i = 0; i < n; ++i, ++stored) {
            Measurement m;
            m.Dat = recordTime(stored);
            m.TempDoor = -10 + stored * 0.1;
            store->append(m);
        }
    };
    const QString cursorPath = dir.filePath(QStringLiteral("outbox/influxdb.cursor"));
    QDir(dir.path()).mkpath(QStringLiteral("outbox"));
    QFile cursor(cursorPath);  // before the first record: the whole history is due
    ASSERT_TRUE(cursor.open(QIODevice::WriteOnly));
    cursor.write(HistoryStore::dateText(recordTime(-1)).toLatin1() + '\n');
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

    add(200);
    outbox.pump();
    ASSERT_TRUE(test::waitUntil([&] { return outbox.cursor() == recordTime(199); }));
    EXPECT_EQ(server.count(QStringLiteral("nimbrel"), QStringLiteral("weather"), QStringLiteral("indoor_temperature_c")), 200);

    server.stop();
    add(1);
    outbox.pump();
    ASSERT_TRUE(test::waitUntil([&] { return outbox.status().state == DestinationState::Failing; }));
    for (int i = 0; i < 99; ++i) {
        add(1);
        outbox.pump();
    }
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(test::waitUntil([&] { return outbox.cursor() == recordTime(299); }));
    EXPECT_EQ(server.count(QStringLiteral("nimbrel"), QStringLiteral("weather"), QStringLiteral("indoor_temperature_c")), 300);
    EXPECT_EQ(outbox.status().sentence, QStringLiteral("InfluxDB: delivered 08:55"));  // 08:00 + 299 × 5 min, next day
}
