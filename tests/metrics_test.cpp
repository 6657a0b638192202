// /metrics: the samples of a winter snapshot and of one with nothing
// readable, and the endpoint scraped by Debian's real Prometheus (skipped
// where it is not installed), whose parser is the judge of the format.
#include "CurrentConditions.h"
#include "MetricsText.h"
#include "WebServer.h"
#include "support/LoopbackHttp.h"

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
#include <gtest/gtest.h>
#include <limits>

using namespace nimbrel;
using namespace nimbrel::web;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(11, 5, 30));

// Negative temperatures, 100 % on channel 1, channel 2 in error, channel 3
// without a sensor, no station pressure, gust or UV; a rain count past the
// rain panel's plausibility limit; a failing destination whose name needs
// escaping.
WebSnapshot winter()
{
    WebSnapshot s;
    s.hasConditions = true;
    CurrentConditions &c = s.conditions;
    c.time = QDateTime(QDate(2026, 12, 7), QTime(11, 0));
    c.indoorTemperatureC = 19.5;
    c.indoorHumidity = 41;
    c.channels[0] = {true, -12.5, 100, -12.5};
    c.channels[1].present = true;
    c.pressureSeaLevelHpa = 1013.25;
    c.windSpeedMph = 10.0;
    c.windDirectionDeg = 0.0;
    c.windChillC = -20.1;
    c.rainCounterTips = 4000;
    c.batteriesKnown = true;
    c.batteryLow[1] = c.batteryLow[kBatteryFlagWind] = true;
    s.destinations = {{QStringLiteral("up\"load\\\n"), DestinationState::Failing, QString(), QDateTime()}};
    return s;
}

}  // namespace

TEST(Metrics, SnapshotsGiveTheExactSamples)
{
    WebSnapshot broken;  // nothing readable, and the clocks apart: no age either
    broken.hasConditions = true;
    broken.conditions.time = kNow;
    broken.conditions.uvIndex = std::numeric_limits<double>::quiet_NaN();
    broken.conditions.windChillC = std::numeric_limits<double>::infinity();
    broken.clockAheadSecs = 3 * 3600;
    const QByteArray upload = "destination=\"up\\\"load\\\\\\n\"";
    const struct {
        const char *name;
        WebSnapshot snapshot;
        QByteArray samples;  // the lines that are not comments
    } cases[] = {
        {"winter", winter(),
         "nimbrel_temperature_celsius{sensor=\"indoor\"} 19.5\nnimbrel_temperature_celsius{sensor=\"channel1\"} -12.5\n"
         "nimbrel_humidity_percent{sensor=\"indoor\"} 41\nnimbrel_humidity_percent{sensor=\"channel1\"} 100\n"
         "nimbrel_dew_point_celsius{sensor=\"channel1\"} -12.5\nnimbrel_pressure_hpa{kind=\"sea_level\"} 1013.25\n"
         "nimbrel_wind_speed_meters_per_second 4.4704\nnimbrel_wind_direction_degrees 0\n"
         "nimbrel_wind_chill_celsius -20.1\nnimbrel_rain_millimeters_total 2750\n"
         "nimbrel_battery_low{sensor=\"channel1\"} 0\nnimbrel_battery_low{sensor=\"channel2\"} 1\n"
         "nimbrel_battery_low{sensor=\"channel3\"} 0\nnimbrel_battery_low{sensor=\"channel4\"} 0\n"
         "nimbrel_battery_low{sensor=\"channel5\"} 0\nnimbrel_battery_low{sensor=\"uv\"} 0\n"
         "nimbrel_battery_low{sensor=\"wind\"} 1\nnimbrel_battery_low{sensor=\"rain\"} 0\n"
         "nimbrel_newest_record_age_seconds 330\nnimbrel_station_connected 0\n"
         "nimbrel_destination_up{" + upload + "} 0\n"
         "nimbrel_destination_state{" + upload + ",state=\"ok\"} 0\n"
         "nimbrel_destination_state{" + upload + ",state=\"sending\"} 0\n"
         "nimbrel_destination_state{" + upload + ",state=\"waiting\"} 0\n"
         "nimbrel_destination_state{" + upload + ",state=\"failing\"} 1\n"
         "nimbrel_destination_state{" + upload + ",state=\"off\"} 0\n"},
        {"broken", broken, "nimbrel_station_connected 0\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray text = metricsText(c.snapshot, kNow);
        QByteArray samples;
        for (const QByteArray &line : text.split('\n'))
            samples += line.isEmpty() || line.startsWith('#') ? QByteArray() : line + '\n';
        EXPECT_EQ(samples.toStdString(), c.samples.toStdString());
    }
    EXPECT_TRUE(metricsText(winter(), kNow).contains("\n# TYPE nimbrel_rain_millimeters_total counter\n"));
}

// The endpoint's answer, then Prometheus scraping it every second until the
// channel's temperature is in, the target is up and so is a sending destination.
TEST(Metrics, PrometheusScrapesTheEndpoint)
{
    WebSettings settings;
    settings.port = 0;
    WebServer server(settings, nullptr);
    server.setClock([] { return kNow; });
    QString why;
    ASSERT_TRUE(server.start(&why)) << why.toStdString();
    WebSnapshot snapshot = winter();
    snapshot.destinations.push_back({QStringLiteral("mqtt"), DestinationState::Sending, QString(), QDateTime()});
    server.update(snapshot);
    const nimbrel::testing::HttpAnswer answer = nimbrel::testing::fetch(server.port(), "GET", "/metrics");
    EXPECT_EQ(answer.headers.value("content-type"), QByteArray(kMetricsContentType));
    EXPECT_EQ(answer.body, metricsText(snapshot, kNow));

    const QString prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (prometheus.isEmpty())
        GTEST_SKIP() << "prometheus is not installed";
    QTemporaryDir dir;
    QTcpServer probe;  // a free port, given back for Prometheus to take
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 apiPort = probe.serverPort();
    probe.close();
    QFile config(dir.filePath(QStringLiteral("prometheus.yml")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("global: {scrape_interval: 1s, scrape_timeout: 1s}\nscrape_configs:\n  - job_name: nimbrel\n"
                 "    static_configs: [{targets: ['127.0.0.1:" + QByteArray::number(server.port()) + "']}]\n");
    config.close();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(prometheus, {QStringLiteral("--config.file=") + config.fileName(),
                               QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data")),
                               QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(apiPort),
                               QStringLiteral("--log.level=warn")});

    // Each query is asked every quarter second until its value is in; the
    // loop ends when Prometheus exits, and after 480 questions.
    const std::pair<QString, QString> wanted[] = {
        {QStringLiteral("nimbrel_temperature_celsius{sensor=\"channel1\"}"), QStringLiteral("-12.5")},
        {QStringLiteral("up{job=\"nimbrel\"}"), QStringLiteral("1")},
        {QStringLiteral("nimbrel_destination_up{destination=\"mqtt\"}"), QStringLiteral("1")}};
    std::size_t found = 0;
    int questions = 0;
    bool asking = false;  // the loop never ends with a question under way
    bool exited = false;
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&process, &QProcess::finished, &loop, [&] { exited = true; });
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (asking)
            return;
        if (exited || found == std::size(wanted) || ++questions > 480)
            return loop.quit();
        asking = true;
        const QByteArray target = "/api/v1/query?query=" + QUrl::toPercentEncoding(wanted[found].first);
        new nimbrel::testing::HttpExchange(apiPort, "GET", target, [&](const nimbrel::testing::HttpAnswer &a) {
            const QJsonArray result =
                QJsonDocument::fromJson(a.body).object()[QStringLiteral("data")][QStringLiteral("result")].toArray();
            found += !result.isEmpty() && result[0][QStringLiteral("value")][1].toString() == wanted[found].second;
            asking = false;
        });
    });
    timer.start(250);
    loop.exec();
    EXPECT_EQ(found, std::size(wanted)) << process.readAll().toStdString();
    process.terminate();
    if (!process.waitForFinished(30000))
        process.kill();
}
