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

// Failures show texts, not their UTF-16 units.
void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

constexpr qint64 kMorning = 1796641500;  // 2026-12-07 11:05 UTC
constexpr qint64 kMidnight = 1796687940;  // 2026-12-07 23:59 UTC

const GeoPosition kSantiago{-33.9, -70.65, 520};

// A record as the history hands it over: the computer's local time.
CurrentConditions at(qint64 utcSecs)
{
    CurrentConditions c;
    c.time = QDateTime::fromSecsSinceEpoch(utcSecs, Qt::UTC).toLocalTime();
    // Channel 1 has a sensor, but channel 2 is the outdoor one.
    c.channels[0] = {true, 30.0, 20, 5.0};
    return c;
}

// Frost at 100 %, wind from the north (0°), everything read.
CurrentConditions frostyNorth()
{
    CurrentConditions c = at(kMorning);
    c.channels[1] = {true, -5.25, 100, -6.0};
    c.indoorTemperatureC = 21.5;
    c.indoorHumidity = 45;
    c.indoorDewPointC = 9.1;
    c.windSpeedMph = 6.0;
    c.windGustMph = 12.0;
    c.windDirectionDeg = 0.0;
    c.windChillC = -9.0;
    c.pressureSeaLevelHpa = 1013.25;
    c.rainLastHourTips = 1;
    c.rainLast24hTips = 4;
    c.rainSinceMidnightTips = 6;
    c.uvIndex = 3.0;
    return c;
}

// Calm, a shade above zero, the vane written as 360°, late in the UTC day.
CurrentConditions calmAt360()
{
    CurrentConditions c = at(kMidnight);
    c.channels[1] = {true, 0.04, 57, std::nullopt};
    c.windSpeedMph = 0.0;
    c.windDirectionDeg = 360.0;
    c.rainSinceMidnightTips = 0;
    return c;
}

// Nothing read but the time (the outdoor channel has no sensor).
CurrentConditions nothingRead()
{
    return at(kMorning);
}

struct Made {
    IniSection section;
    QStringList problems;
    std::unique_ptr<HttpService> service;
};

std::unique_ptr<Made> make(ServiceFactory factory, const QString &name, const std::vector<IniEntry> &entries,
                           const QString &dataDir = {})
{
    auto made = std::make_unique<Made>();
    made->section = {name, 1, entries};
    SectionReader reader(made->section, QStringLiteral("/etc/nimbrel.ini"), name, &made->problems);
    DestinationContext context;
    context.dataDir = dataDir;
    context.softwareVersion = QStringLiteral("1.4.0");
    context.outdoorChannel = 2;
    made->service = factory(reader, context);
    return made;
}

std::unique_ptr<Made> awekas()
{
    return make(makeAwekasService, QStringLiteral("awekas"), {{"user", "anna", 2}, {"password", "s3cret", 3}});
}
std::unique_ptr<Made> weathercloud()
{
    return make(makeWeathercloudService, QStringLiteral("weathercloud"),
                {{"stationId", "wid1", 2}, {"key", "k3y", 3}, {"url", "http://127.0.0.1:9/v01/set/", 4}});
}
std::unique_ptr<Made> openWeatherMap(const QString &dataDir, const QString &key = QStringLiteral("K+1"),
                                     const QString &stationId = {})
{
    return make(makeOpenWeatherMapService, QStringLiteral("openweathermap"),
                {{"key", key, 2}, {"stationId", stationId, 3}}, dataDir);
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
    HttpAnswer a;
    a.status = status;
    a.body = body;
    a.error = error;
    return a;
}

// One query item of a URL as the server decodes it from the wire.
QString wireItem(const QUrl &url, const QString &name)
{
    const QUrlQuery q(QString::fromLatin1(url.toEncoded(QUrl::RemoveFragment)).section(QLatin1Char('?'), 1));
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
        {"frost at 100 % with wind from 0°", frostyNorth(), true,
         "anna;MD5;07.12.2026;11:05;-5.3;100;1013.3;4.1;9.7;0;;;;en;;19.3;;3.0;;;;;NIMB_1.4;-70.6500;-33.9000",
         "wid/wid1/key/k3y/temp/-53/hum/100/dew/-60/chill/-90/tempin/215/humin/45/dewin/91/bar/10133/wspd/27/"
         "wspdhi/54/wdir/0/rain/41/uvi/30/date/20261207/time/1105",
         R"({"temperature":-5.3,"humidity":100,"dew_point":-6,"pressure":1013.3,"wind_speed":2.7,"wind_gust":5.4,)"
         R"("wind_deg":0,"rain_1h":0.69,"rain_24h":2.75})"},
        {"calm at 360° just above zero, no position", calmAt360(), false,
         "anna;MD5;07.12.2026;23:59;0.0;57;;0.0;0.0;0;;;;en;;;;;;;;;NIMB_1.4;;",
         "wid/wid1/key/k3y/temp/0/hum/57/wspd/0/wdir/0/rain/0/date/20261207/time/2359",
         R"({"temperature":0,"humidity":57,"wind_speed":0,"wind_deg":0})"},
        {"nothing read", nothingRead(), true, "anna;MD5;07.12.2026;11:05;;;;;;;;;;en;;;;;;;;;NIMB_1.4;-70.6500;-33.9000",
         "wid/wid1/key/k3y/date/20261207/time/1105", "{}"},
    };
    const auto aw = awekas();
    const auto wc = weathercloud();
    QTemporaryDir dir;
    const auto owm = openWeatherMap(dir.path(), QStringLiteral("K+1"), QStringLiteral("ST1"));
    ASSERT_TRUE(aw->service && wc->service && owm->service) << aw->problems.join(' ').toStdString()
                                                            << wc->problems.join(' ').toStdString();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.situation);
        const HttpCall a = callFor(*aw->service, c.record, c.withPosition);
        EXPECT_EQ(a.method, "GET");
        EXPECT_EQ(a.url.host(), QStringLiteral("data.awekas.at"));
        EXPECT_EQ(wireItem(a.url, QStringLiteral("val")), QString(c.awekas).replace(QStringLiteral("MD5"), md5));
        EXPECT_EQ(wireItem(a.url, QStringLiteral("val")).split(QLatin1Char(';')).size(), 25);

        const HttpCall w = callFor(*wc->service, c.record, c.withPosition);
        EXPECT_EQ(w.method, "GET");
        EXPECT_EQ(QString::fromLatin1(w.url.toEncoded()), QStringLiteral("http://127.0.0.1:9/v01/set/") + c.weathercloud);

        const HttpCall o = callFor(*owm->service, c.record, c.withPosition);
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
    const auto aw = awekas();
    const auto wc = weathercloud();
    const auto owm = openWeatherMap(dir.path(), QStringLiteral("K"), QStringLiteral("ST1"));
    const QByteArray registered = R"({"ID":"5836abc","external_id":"x"})";
    struct Case {
        const HttpService *service;  // null: an OpenWeatherMap registration
        HttpAnswer answer;
        Verdict verdict;
        const char *words;  // contained in the words; empty: none
    } cases[] = {
        {aw->service.get(), reply(200, "OK\n"), Verdict::Delivered, ""},
        {aw->service.get(), reply(200, "Benutzer/Passwort Fehler"), Verdict::Refused, "Benutzer/Passwort Fehler"},
        {aw->service.get(), reply(200, "<html>\x01maintenance</html>"), Verdict::Retry, "<html>?maintenance</html>"},
        {aw->service.get(), reply(503, ""), Verdict::Retry, "HTTP 503"},
        {aw->service.get(), reply(403, "forbidden"), Verdict::Refused, "HTTP 403: forbidden"},
        {aw->service.get(), reply(404, ""), Verdict::Rejected, "HTTP 404"},
        {aw->service.get(), reply(0, "", QStringLiteral("Connection refused")), Verdict::Retry, "Connection refused"},
        {wc->service.get(), reply(200, "200"), Verdict::Delivered, ""},
        {wc->service.get(), reply(200, "401"), Verdict::Refused, "401"},
        {wc->service.get(), reply(200, "429"), Verdict::Retry, "429"},
        {wc->service.get(), reply(200, "400"), Verdict::Rejected, "400"},
        {wc->service.get(), reply(200, "500\n"), Verdict::Retry, "500"},
        {wc->service.get(), reply(200, ""), Verdict::Retry, "an empty answer"},
        {wc->service.get(), reply(502, "Bad gateway"), Verdict::Retry, "HTTP 502: Bad gateway"},
        {owm->service.get(), reply(204, ""), Verdict::Delivered, ""},
        {owm->service.get(), reply(401, R"({"cod":401,"message":"Invalid API key."})"), Verdict::Refused,
         "HTTP 401: Invalid API key."},
        {owm->service.get(), reply(400, R"({"code":400002,"message":"dt is too old"})"), Verdict::Rejected,
         "HTTP 400: dt is too old"},
        {owm->service.get(), reply(404, R"({"message":"Station not found"})"), Verdict::Refused, "Station not found"},
        {owm->service.get(), reply(429, ""), Verdict::Retry, "HTTP 429"},
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
            got = openWeatherMap(fresh.path())->service->prepared(c.answer);
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
    HttpService &service = *first->service;
    // Before the header is read nothing can be registered.
    QString why;
    EXPECT_FALSE(service.preparation());
    EXPECT_FALSE(service.call(frostyNorth(), {}, &why));
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
        return QJsonDocument::fromJson(callFor(s, frostyNorth(), true).body).array().first()["station_id"].toString();
    };
    EXPECT_EQ(stationOf(service), QStringLiteral("5836abc"));

    // The next start with the same folder and key: no second registration.
    const auto again = openWeatherMap(dir.path());
    again->service->setStationState(state);
    EXPECT_FALSE(again->service->preparation());
    EXPECT_EQ(stationOf(*again->service), QStringLiteral("5836abc"));

    // Another account's key registers a station of its own.
    const auto other = openWeatherMap(dir.path(), QStringLiteral("K2"));
    other->service->setStationState(state);
    EXPECT_TRUE(other->service->preparation());
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
        const auto made = make(c.factory, QLatin1String(c.section), c.entries);
        EXPECT_FALSE(made->service) << c.section;
        EXPECT_TRUE(made->problems.join(' ').contains(QLatin1String(c.problem))) << made->problems.join(' ').toStdString();
    }
}
