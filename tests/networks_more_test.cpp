// AWEKAS, Weathercloud and OpenWeatherMap: what a stored record becomes on
// the wire, read back as each service documents its format, and what their
// answers mean.
#include "HttpService.h"
#include "Networks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace nimbrel;

void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

constexpr qint64 kMorning = 1796641500;   // 2026-12-07 11:05 UTC
constexpr qint64 kMidnight = 1796687940;  // 2026-12-07 23:59 UTC
const GeoPosition kSantiago{-33.9, -70.65, 520};

// A record's time as the history hands it over: the computer's local time.
QDateTime local(qint64 utcSecs)
{
    return QDateTime::fromSecsSinceEpoch(utcSecs, Qt::UTC).toLocalTime();
}

// Channel 1 has a sensor, but channel 2 is the outdoor one.
const ChannelConditions kChannel1{true, 30.0, 20, 5.0};

// The records name only the values that matter to them; the others are missing.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// Frost at 100 %, wind from the north (0°), everything read.
const CurrentConditions kFrostyNorth{.time = local(kMorning), .indoorTemperatureC = 21.5, .indoorHumidity = 45,
                                     .indoorDewPointC = 9.1, .channels = {kChannel1, {true, -5.25, 100, -6.0}},
                                     .pressureSeaLevelHpa = 1013.25, .windSpeedMph = 6.0, .windGustMph = 12.0,
                                     .windDirectionDeg = 0.0, .windChillC = -9.0, .rainLastHourTips = 1,
                                     .rainLast24hTips = 4, .rainSinceMidnightTips = 6, .uvIndex = 3.0};
// Calm, a shade above zero, the vane written as 360°, late in the UTC day.
const CurrentConditions kCalmAt360{.time = local(kMidnight), .channels = {kChannel1, {true, 0.04, 57, std::nullopt}},
                                   .windSpeedMph = 0.0, .windDirectionDeg = 360.0, .rainSinceMidnightTips = 0};
// Nothing read but the time (the outdoor channel has no sensor).
const CurrentConditions kNothingRead{.time = local(kMorning), .channels = {kChannel1}};
#pragma GCC diagnostic pop

std::unique_ptr<HttpService> make(ServiceFactory factory, const char *name, const std::vector<IniEntry> &entries,
                                  const QString &dataDir = {}, QStringList *problems = nullptr)
{
    const IniSection section{QLatin1String(name), 1, entries};
    SectionReader reader(section, QStringLiteral("/etc/nimbrel.ini"), section.name, problems);
    DestinationContext context{dataDir, QStringLiteral("1.4.0"), {}, 2};
    return factory(reader, context);
}

std::unique_ptr<HttpService> openWeatherMap(const QString &dataDir, const QString &key = QStringLiteral("K+1"),
                                            const QString &stationId = {})
{
    return make(makeOpenWeatherMapService, "openweathermap", {{"key", key, 2}, {"stationId", stationId, 3}}, dataDir);
}

HttpCall callFor(const HttpService &service, const CurrentConditions &c, bool withPosition)
{
    StationState state;
    if (withPosition)
        state.position = kSantiago;
    QString why;
    const std::optional<HttpCall> call = service.call(c, state, &why);
    EXPECT_TRUE(call) << why.toStdString();
    return call.value_or(HttpCall{});
}

HttpAnswer reply(int status, const QByteArray &body = {}, const QString &error = {})
{
    return {status, body, error, -1};
}

// One query item of a URL as the server decodes it from the wire.
QString wireItem(const QUrl &url, const QString &name)
{
    const QUrlQuery q(QString::fromLatin1(url.toEncoded()).section(QLatin1Char('?'), 1));
    return q.queryItemValue(name, QUrl::FullyDecoded);
}

}  // namespace

TEST(MoreNetworks, EachRecordBecomesTheRequestItsServiceDocuments)
{
    const QString md5 = QStringLiteral("33e1b232a4e6fa0028a6670753749a17");  // of "s3cret"
    struct Case {
        const char *situation;
        CurrentConditions record;
        bool withPosition;
        QString awekas;        // the `val` fields
        QString weathercloud;  // the path after /v01/set/
        QString owm;           // the measurement, station_id and dt left out
    } cases[] = {
        {"frost at 100 % with wind from 0°", kFrostyNorth, true,
         "anna;MD5;07.12.2026;11:05;-5.3;100;1013.3;4.1;9.7;0;;;;en;;19.3;;3.0;;;;;NIMB_1.4;-70.6500;-33.9000",
         "wid/wid1/key/k3y/temp/-53/hum/100/dew/-60/chill/-90/tempin/215/humin/45/dewin/91/bar/10133/wspd/27/"
         "wspdhi/54/wdir/0/rain/41/uvi/30/date/20261207/time/1105",
         R"({"temperature":-5.3,"humidity":100,"dew_point":-6,"pressure":1013.3,"wind_speed":2.7,"wind_gust":5.4,)"
         R"("wind_deg":0,"rain_1h":0.69,"rain_24h":2.75})"},
        {"calm at 360° just above zero, no position", kCalmAt360, false,
         "anna;MD5;07.12.2026;23:59;0.0;57;;0.0;0.0;0;;;;en;;;;;;;;;NIMB_1.4;;",
         "wid/wid1/key/k3y/temp/0/hum/57/wspd/0/wdir/0/rain/0/date/20261207/time/2359",
         R"({"temperature":0,"humidity":57,"wind_speed":0,"wind_deg":0})"},
        {"nothing read", kNothingRead, true,
         "anna;MD5;07.12.2026;11:05;;;;;;;;;;en;;;;;;;;;NIMB_1.4;-70.6500;-33.9000",
         "wid/wid1/key/k3y/date/20261207/time/1105", "{}"},
    };
    QTemporaryDir dir;
    const auto aw = make(makeAwekasService, "awekas", {{"user", "anna", 2}, {"password", "s3cret", 3}});
    const auto wc = make(makeWeathercloudService, "weathercloud",
                         {{"stationId", "wid1", 2}, {"key", "k3y", 3}, {"url", "http://127.0.0.1:9/v01/set/", 4}});
    const auto owm = openWeatherMap(dir.path(), QStringLiteral("K+1"), QStringLiteral("ST1"));
    ASSERT_TRUE(aw && wc && owm);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.situation);
        const HttpCall a = callFor(*aw, c.record, c.withPosition);
        EXPECT_EQ(a.method, "GET");
        EXPECT_EQ(a.url.host(), QStringLiteral("data.awekas.at"));
        EXPECT_EQ(wireItem(a.url, QStringLiteral("val")), QString(c.awekas).replace(QStringLiteral("MD5"), md5));

        const HttpCall w = callFor(*wc, c.record, c.withPosition);
        EXPECT_EQ(w.method, "GET");
        EXPECT_EQ(QString::fromLatin1(w.url.toEncoded()),
                  QStringLiteral("http://127.0.0.1:9/v01/set/") + c.weathercloud);

        const HttpCall o = callFor(*owm, c.record, c.withPosition);
        EXPECT_EQ(o.method, "POST");
        EXPECT_EQ(o.url.path(), QStringLiteral("/data/3.0/measurements"));
        EXPECT_EQ(wireItem(o.url, QStringLiteral("appid")), QStringLiteral("K+1"));
        const QJsonArray sent = QJsonDocument::fromJson(o.body).array();
        ASSERT_EQ(sent.size(), 1);
        QJsonObject m = sent.first().toObject();
        EXPECT_EQ(m.take(QStringLiteral("station_id")).toString(), QStringLiteral("ST1"));
        EXPECT_EQ(m.take(QStringLiteral("dt")).toInteger(), c.record.time.toSecsSinceEpoch());
        EXPECT_EQ(m, QJsonDocument::fromJson(c.owm.toUtf8()).object())
            << QJsonDocument(m).toJson(QJsonDocument::Compact).toStdString();
    }
}

TEST(MoreNetworks, OnlyTheServicesWordOfSuccessDeliversAndRefusedLoginsStop)
{
    QTemporaryDir dir;
    const auto aw = make(makeAwekasService, "awekas", {{"user", "anna", 2}, {"password", "s3cret", 3}});
    const auto wc = make(makeWeathercloudService, "weathercloud", {{"stationId", "wid1", 2}, {"key", "k3y", 3}});
    const auto owm = openWeatherMap(dir.path(), QStringLiteral("K"), QStringLiteral("ST1"));
    const QByteArray registered = R"({"ID":"5836abc","external_id":"x"})";
    struct Case {
        const HttpService *service;  // null: an OpenWeatherMap registration
        HttpAnswer answer;
        Verdict verdict;
        const char *words;  // contained in the words; empty: none
    } cases[] = {
        {aw.get(), reply(200, "OK\n"), Verdict::Delivered, ""},
        {aw.get(), reply(200, "Benutzer/Passwort Fehler"), Verdict::Refused, "Benutzer/Passwort Fehler"},
        {aw.get(), reply(200, "<html>\x01maintenance</html>"), Verdict::Retry, "<html>?maintenance</html>"},
        {aw.get(), reply(403, "forbidden"), Verdict::Refused, "HTTP 403: forbidden"},
        {aw.get(), reply(0, "", QStringLiteral("Connection refused")), Verdict::Retry, "Connection refused"},
        {wc.get(), reply(200, "200"), Verdict::Delivered, ""},
        {wc.get(), reply(200, "401"), Verdict::Refused, "401"},
        {wc.get(), reply(200, "429"), Verdict::Retry, "429"},
        {wc.get(), reply(200, "400"), Verdict::Rejected, "400"},
        {wc.get(), reply(200, "500\n"), Verdict::Retry, "500"},
        {wc.get(), reply(200, ""), Verdict::Retry, "an empty answer"},
        {wc.get(), reply(502, "Bad gateway"), Verdict::Retry, "HTTP 502: Bad gateway"},
        {owm.get(), reply(204, ""), Verdict::Delivered, ""},
        {owm.get(), reply(401, R"({"cod":401,"message":"Invalid API key."})"), Verdict::Refused,
         "HTTP 401: Invalid API key."},
        {owm.get(), reply(400, R"({"code":400002,"message":"dt is too old"})"), Verdict::Rejected,
         "HTTP 400: dt is too old"},
        {owm.get(), reply(404, R"({"message":"Station not found"})"), Verdict::Refused, "Station not found"},
        {owm.get(), reply(429, ""), Verdict::Retry, "HTTP 429"},
        {nullptr, reply(201, registered), Verdict::Delivered, ""},
        {nullptr, reply(201, "{}"), Verdict::Retry, "no station ID"},
        {nullptr, reply(201, R"({"ID":"../../etc"})"), Verdict::Retry, "no station ID"},
        {nullptr, reply(400, R"({"message":"latitude is required"})"), Verdict::Refused, "latitude is required"},
        {nullptr, reply(500, ""), Verdict::Retry, "HTTP 500"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.answer.status) + " " + c.answer.body.toStdString());
        Answer got;
        if (c.service) {
            got = c.service->answer(c.answer);
        } else {
            QTemporaryDir fresh;
            got = openWeatherMap(fresh.path())->prepared(c.answer);
        }
        EXPECT_EQ(got.verdict, c.verdict) << got.words.toStdString();
        EXPECT_TRUE(got.words.contains(QLatin1String(c.words))) << got.words.toStdString();
        EXPECT_EQ(got.words.isEmpty(), c.verdict == Verdict::Delivered) << got.words.toStdString();
    }
}

TEST(MoreNetworks, OpenWeatherMapRegistersOnceAndKeepsTheStationAcrossARestart)
{
    QTemporaryDir dir;
    const auto first = openWeatherMap(dir.path());
    HttpService &service = *first;
    // Before the header is read nothing can be registered.
    QString why;
    EXPECT_FALSE(service.preparation());
    EXPECT_FALSE(service.call(kFrostyNorth, {}, &why));
    EXPECT_TRUE(why.contains(QLatin1String("position"))) << why.toStdString();

    StationState state;
    state.position = kSantiago;
    service.setStationState(state);
    const std::optional<HttpCall> registration = service.preparation();
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration->method, "POST");
    EXPECT_EQ(registration->url.path(), QStringLiteral("/data/3.0/stations"));
    EXPECT_EQ(wireItem(registration->url, QStringLiteral("appid")), QStringLiteral("K+1"));
    QJsonObject station = QJsonDocument::fromJson(registration->body).object();
    EXPECT_TRUE(station.take(QStringLiteral("external_id")).toString().startsWith(QLatin1String("nimbrel-")));
    EXPECT_FALSE(station.take(QStringLiteral("name")).toString().isEmpty());
    EXPECT_EQ(station, QJsonDocument::fromJson(R"({"latitude":-33.9,"longitude":-70.65,"altitude":520})").object());

    EXPECT_EQ(service.prepared(reply(201, R"({"ID":"5836abc","name":"x"})")).verdict, Verdict::Delivered);
    const auto stationOf = [](const HttpService &s) {
        return QJsonDocument::fromJson(callFor(s, kFrostyNorth, true).body).array().first()["station_id"].toString();
    };
    EXPECT_EQ(stationOf(service), QStringLiteral("5836abc"));

    // The next start with the same folder and key: no second registration.
    const auto again = openWeatherMap(dir.path());
    again->setStationState(state);
    EXPECT_FALSE(again->preparation());
    EXPECT_EQ(stationOf(*again), QStringLiteral("5836abc"));

    // Another account's key registers a station of its own.
    const auto other = openWeatherMap(dir.path(), QStringLiteral("K2"));
    other->setStationState(state);
    EXPECT_TRUE(other->preparation());
}

TEST(MoreNetworks, ValuesThatWouldBreakTheWireFormatLeaveTheServiceOff)
{
    struct Case {
        ServiceFactory factory;
        const char *section;
        std::vector<IniEntry> entries;
        const char *problem;
    } cases[] = {
        {makeAwekasService, "awekas", {{"user", "an;na", 2}, {"password", "p", 3}}, "user must be"},
        {makeWeathercloudService, "weathercloud", {{"stationId", "w1", 2}, {"key", "a/b", 3}}, "key must be"},
        {makeOpenWeatherMapService, "openweathermap", {{"key", "k", 2}, {"stationId", "../x", 3}}, "stationId must be"},
    };
    for (const Case &c : cases) {
        QStringList problems;
        EXPECT_FALSE(make(c.factory, c.section, c.entries, {}, &problems)) << c.section;
        EXPECT_TRUE(problems.join(' ').contains(QLatin1String(c.problem))) << problems.join(' ').toStdString();
    }
}
