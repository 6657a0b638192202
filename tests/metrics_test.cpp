// /metrics: the exact exposition text of a few snapshots, and the endpoint
// scraped by Debian's real Prometheus (skipped where it is not installed).
#include "CurrentConditions.h"
#include "MetricsText.h"
#include "PublishSettings.h"
#include "WebServer.h"
#include "support/LoopbackHttp.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace nimbrel;
using namespace nimbrel::web;

namespace {

const QDateTime kRecord(QDate(2026, 12, 7), QTime(11, 0), Qt::LocalTime);
const QDateTime kNow(QDate(2026, 12, 7), QTime(11, 5, 30), Qt::LocalTime);

// A winter morning: negative temperatures, 100 % on channel 1, channel 2's
// temperature in error (humidity and dew point unknown with it), channel 3
// without a sensor, no station pressure, no gust, no UV reading.
WebSnapshot winter()
{
    WebSnapshot s;
    s.hasConditions = true;
    CurrentConditions &c = s.conditions;
    c.time = kRecord;
    c.indoorTemperatureC = 19.5;
    c.indoorHumidity = 41;
    c.indoorDewPointC = 5.8;
    c.channels[0] = {true, -12.5, 100, -12.5};
    c.channels[1] = {true, std::nullopt, std::nullopt, std::nullopt};
    c.channels[2] = {false, 0.0, 0, 0.0};
    c.pressureSeaLevelHpa = 1013.25;
    c.windSpeedMph = 10.0;
    c.windDirectionDeg = 0.0;
    c.windChillC = -20.1;
    c.rainCounterTips = 4000;  // past the rain panel's plausibility limit
    c.batteriesKnown = true;
    c.batteryLow[1] = true;
    c.batteryLow[kBatteryFlagWind] = true;
    s.destinations = {{QStringLiteral("mqtt"), DestinationState::Sending, QString(), QDateTime()},
                      {QStringLiteral("up\"load\\\n"), DestinationState::Failing, QString(), QDateTime()}};
    return s;
}

struct MetricsCase {
    const char *name;
    WebSnapshot snapshot;
    QByteArray expected;
};

std::vector<MetricsCase> metricsCases()
{
    WebSnapshot nothing;  // before the first record: only the connection
    nothing.connected = true;
    WebSnapshot broken;  // every reading missing or not a number; the clocks differ
    broken.hasConditions = true;
    broken.conditions.time = kRecord;
    broken.conditions.uvIndex = std::numeric_limits<double>::quiet_NaN();
    broken.conditions.windChillC = std::numeric_limits<double>::infinity();
    broken.clockAheadSecs = 3 * 3600;
    return {
        {"winter", winter(),
         "# HELP nimbrel_temperature_celsius Air temperature of a sensor in degrees Celsius.\n"
         "# TYPE nimbrel_temperature_celsius gauge\n"
         "nimbrel_temperature_celsius{sensor=\"indoor\"} 19.5\n"
         "nimbrel_temperature_celsius{sensor=\"channel1\"} -12.5\n"
         "# HELP nimbrel_humidity_percent Relative humidity of a sensor in percent.\n"
         "# TYPE nimbrel_humidity_percent gauge\n"
         "nimbrel_humidity_percent{sensor=\"indoor\"} 41\n"
         "nimbrel_humidity_percent{sensor=\"channel1\"} 100\n"
         "# HELP nimbrel_dew_point_celsius Dew point at a sensor in degrees Celsius.\n"
         "# TYPE nimbrel_dew_point_celsius gauge\n"
         "nimbrel_dew_point_celsius{sensor=\"indoor\"} 5.8\n"
         "nimbrel_dew_point_celsius{sensor=\"channel1\"} -12.5\n"
         "# HELP nimbrel_pressure_hpa Air pressure in hectopascals, reduced to sea level or at the station's "
         "altitude.\n"
         "# TYPE nimbrel_pressure_hpa gauge\n"
         "nimbrel_pressure_hpa{kind=\"sea_level\"} 1013.25\n"
         "# HELP nimbrel_wind_speed_meters_per_second Average wind speed in metres per second.\n"
         "# TYPE nimbrel_wind_speed_meters_per_second gauge\n"
         "nimbrel_wind_speed_meters_per_second 4.4704\n"
         "# HELP nimbrel_wind_direction_degrees Direction the wind blows from in degrees clockwise from north.\n"
         "# TYPE nimbrel_wind_direction_degrees gauge\n"
         "nimbrel_wind_direction_degrees 0\n"
         "# HELP nimbrel_wind_chill_celsius Wind chill temperature in degrees Celsius.\n"
         "# TYPE nimbrel_wind_chill_celsius gauge\n"
         "nimbrel_wind_chill_celsius -20.1\n"
         "# HELP nimbrel_rain_millimeters_total Rain counted by the station's rain gauge in millimetres since its "
         "counter last started.\n"
         "# TYPE nimbrel_rain_millimeters_total counter\n"
         "nimbrel_rain_millimeters_total 2750\n"
         "# HELP nimbrel_battery_low 1 when a sensor reports a low battery.\n"
         "# TYPE nimbrel_battery_low gauge\n"
         "nimbrel_battery_low{sensor=\"channel1\"} 0\n"
         "nimbrel_battery_low{sensor=\"channel2\"} 1\n"
         "nimbrel_battery_low{sensor=\"channel3\"} 0\n"
         "nimbrel_battery_low{sensor=\"channel4\"} 0\n"
         "nimbrel_battery_low{sensor=\"channel5\"} 0\n"
         "nimbrel_battery_low{sensor=\"uv\"} 0\n"
         "nimbrel_battery_low{sensor=\"wind\"} 1\n"
         "nimbrel_battery_low{sensor=\"rain\"} 0\n"
         "# HELP nimbrel_newest_record_age_seconds Age of the newest record taken from the station in seconds.\n"
         "# TYPE nimbrel_newest_record_age_seconds gauge\n"
         "nimbrel_newest_record_age_seconds 330\n"
         "# HELP nimbrel_station_connected 1 while the station is connected.\n"
         "# TYPE nimbrel_station_connected gauge\n"
         "nimbrel_station_connected 0\n"
         "# HELP nimbrel_destination_up 1 while a destination delivers records (ok or sending).\n"
         "# TYPE nimbrel_destination_up gauge\n"
         "nimbrel_destination_up{destination=\"mqtt\"} 1\n"
         "nimbrel_destination_up{destination=\"up\\\"load\\\\\\n\"} 0\n"
         "# HELP nimbrel_destination_state 1 for the state a destination is in.\n"
         "# TYPE nimbrel_destination_state gauge\n"
         "nimbrel_destination_state{destination=\"mqtt\",state=\"ok\"} 0\n"
         "nimbrel_destination_state{destination=\"mqtt\",state=\"sending\"} 1\n"
         "nimbrel_destination_state{destination=\"mqtt\",state=\"waiting\"} 0\n"
         "nimbrel_destination_state{destination=\"mqtt\",state=\"failing\"} 0\n"
         "nimbrel_destination_state{destination=\"mqtt\",state=\"off\"} 0\n"
         "nimbrel_destination_state{destination=\"up\\\"load\\\\\\n\",state=\"ok\"} 0\n"
         "nimbrel_destination_state{destination=\"up\\\"load\\\\\\n\",state=\"sending\"} 0\n"
         "nimbrel_destination_state{destination=\"up\\\"load\\\\\\n\",state=\"waiting\"} 0\n"
         "nimbrel_destination_state{destination=\"up\\\"load\\\\\\n\",state=\"failing\"} 1\n"
         "nimbrel_destination_state{destination=\"up\\\"load\\\\\\n\",state=\"off\"} 0\n"},
        {"no record yet", nothing,
         "# HELP nimbrel_station_connected 1 while the station is connected.\n"
         "# TYPE nimbrel_station_connected gauge\n"
         "nimbrel_station_connected 1\n"},
        {"nothing readable, clocks apart", broken,
         "# HELP nimbrel_station_connected 1 while the station is connected.\n"
         "# TYPE nimbrel_station_connected gauge\n"
         "nimbrel_station_connected 0\n"},
    };
}

TEST(Metrics, SnapshotsGiveTheExactExpositionText)
{
    for (const MetricsCase &c : metricsCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(metricsText(c.snapshot, kNow).toStdString(), c.expected.toStdString());
    }
}

// Runs until `done` says so or `gone` fires, asking `ask` every quarter
// second; at most `tries` times, so a broken setup fails instead of hanging.
template <class Ask>
bool pollUntil(QProcess &gone, int tries, Ask ask)
{
    QEventLoop loop;
    QTimer timer;
    bool done = false;
    bool asking = false;
    QObject::connect(&gone, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (asking)
            return;
        if (tries-- <= 0) {
            loop.quit();
            return;
        }
        asking = true;
        ask([&](bool finished) {
            asking = false;
            if (finished) {
                done = true;
                loop.quit();
            }
        });
    });
    timer.start(250);
    loop.exec();
    return done;
}

// The first sample's value of a Prometheus instant query answer, or "".
QString firstValue(const QByteArray &body)
{
    const QJsonArray result =
        QJsonDocument::fromJson(body).object()[QStringLiteral("data")][QStringLiteral("result")].toArray();
    return result.isEmpty() ? QString() : result.at(0)[QStringLiteral("value")].toArray().at(1).toString();
}

// The endpoint over HTTP, then Prometheus scraping it every second: the
// indoor temperature arrives as sent and the target is up.
TEST(Metrics, PrometheusScrapesTheEndpoint)
{
    WebSettings settings;
    settings.port = 0;
    WebServer server(settings, nullptr);
    server.setClock([] { return kNow; });
    QString why;
    ASSERT_TRUE(server.start(&why)) << why.toStdString();
    WebSnapshot s = winter();
    s.conditions.indoorTemperatureC = -7.25;
    server.update(s);

    const nimbrel::testing::HttpAnswer answer = nimbrel::testing::fetch(server.port(), "GET", "/metrics");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.headers.value("content-type"), QByteArray(kMetricsContentType));
    EXPECT_EQ(answer.body.toStdString(), metricsText(s, kNow).toStdString());
    EXPECT_EQ(nimbrel::testing::fetch(server.port(), "POST", "/metrics").status, 405);

    const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (prometheus.isEmpty())
        GTEST_SKIP() << "prometheus is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    quint16 apiPort = 0;
    {
        QTcpServer probe;  // a free port, given back for Prometheus to take
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        apiPort = probe.serverPort();
    }
    QFile config(dir.filePath(QStringLiteral("prometheus.yml")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                 "scrape_configs:\n  - job_name: nimbrel\n    static_configs:\n      - targets: ['127.0.0.1:" +
                 QByteArray::number(server.port()) + "']\n");
    config.close();

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(prometheus, {QStringLiteral("--config.file=") + config.fileName(),
                               QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data")),
                               QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(apiPort),
                               QStringLiteral("--log.level=warn")});
    ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();

    auto query = [&](const QString &expression, const QString &wanted) {
        return [apiPort, expression, wanted](const std::function<void(bool)> &answered) {
            const QByteArray target = "/api/v1/query?query=" + QUrl::toPercentEncoding(expression);
            new nimbrel::testing::HttpExchange(apiPort, "GET", target, [answered, wanted](const auto &a) {
                answered(a.status == 200 && firstValue(a.body) == wanted);
            });
        };
    };
    const bool scraped =
        pollUntil(process, 480, query(QStringLiteral("nimbrel_temperature_celsius{sensor=\"indoor\"}"),
                                      QStringLiteral("-7.25")));
    EXPECT_TRUE(scraped) << process.readAll().toStdString();
    if (scraped) {
        EXPECT_TRUE(pollUntil(process, 40, query(QStringLiteral("up{job=\"nimbrel\"}"), QStringLiteral("1"))));
        EXPECT_TRUE(pollUntil(process, 40,
                              query(QStringLiteral("nimbrel_destination_state{destination=\"mqtt\",state=\"sending\"}"),
                                    QStringLiteral("1"))));
    }
    process.terminate();
    if (!process.waitForFinished(30000))
        process.kill();
    process.waitForFinished();
}

}  // namespace
