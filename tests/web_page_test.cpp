// The page in headless Chromium against a day that a careless chart trips
// over: a little rain and a pressure that moves by tenths of a hectopascal,
// so the axes need more decimals than the values (0.005 in). Each
// unit the user can choose must draw every chart without a script error, and
// a page whose chart library is missing says so. Also the JSON interface for
// a channel that has no sensor.
#include "CurrentConditions.h"
#include "HistoryStore.h"
#include "PublishSettings.h"
#include "StationSummary.h"
#include "SyntheticHistory.h"
#include "Units.h"
#include "WebServer.h"
#include "support/DevTools.h"
#include "support/LoopbackHttp.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nimbrel;
using namespace nimbrel::web;
using nimbrel::testing::fetch;
using nimbrel::testing::HeadlessChromium;

namespace {

// The day up to 2026-06-20 00:00 of the simulated weather: two tips of rain
// (0.05 in) in the late morning, the pressure moving by tenths of a
// hectopascal; channel 5 has no sensor.
struct Day {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
    Measurement newest;

    Day()
    {
        tool::SyntheticHistory h;
        h.end = QDateTime(QDate(2026, 6, 20), QTime(0, 0), Qt::UTC);
        h.records = 288;
        store = tool::generatedHistoryFile(dir.filePath(QStringLiteral("datat")), h);
        HistoryRow row;
        if (store && store->newest(row))
            loadMeasurement(row, newest);
    }

    WebSnapshot snapshot(int rainUnit, int pressureUnit) const
    {
        WebSnapshot s;
        s.hasConditions = true;
        s.conditions = currentConditions(newest, StationSummary{}, store.get());
        s.connected = true;
        s.units.rain = rainUnit;
        s.units.pressure = pressureUnit;
        return s;
    }
};

const Day &quietDay()
{
    static const Day day;
    return day;
}

struct Served {
    std::unique_ptr<WebServer> server;

    explicit Served(const QString &chartScript = WebSettings().chartScript)
    {
        WebSettings settings;
        settings.port = 0;  // any free port
        settings.chartScript = chartScript;
        server = std::make_unique<WebServer>(settings, quietDay().store.get());
        QString why;
        EXPECT_TRUE(server->start(&why)) << why.toStdString();
        server->update(quietDay().snapshot(unitCode(RainUnit::Inch), unitCode(PressureUnit::Hpa)));
    }
    QJsonObject json(const QByteArray &target) const
    {
        return QJsonDocument::fromJson(fetch(server->port(), "GET", target).body).object();
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server->port()); }
};

// A browser with the page loaded; the script's faults are kept as they come.
struct Page {
    HeadlessChromium browser;
    bool started = false;

    Page()
    {
        started = browser.start();
        if (!started)
            return;
        browser.call(QStringLiteral("Page.enable"));
        browser.call(QStringLiteral("Runtime.enable"));
        browser.call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
                     {{QStringLiteral("width"), 1280}, {QStringLiteral("height"), 900},
                      {QStringLiteral("deviceScaleFactor"), 1}, {QStringLiteral("mobile"), false}});
    }

    void load(const QString &url)
    {
        browser.call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url}});
        browser.event(QStringLiteral("Page.loadEventFired"));
    }

    // Waits until the six charts have drawn or the page has put up a note,
    // and says what each chart holds: its points with a value and the
    // largest value.
    QJsonObject settled()
    {
        return browser
            .evaluate(QStringLiteral(R"(new Promise(done => {
  const note = document.getElementById('history-note');
  const ready = () => document.querySelectorAll('canvas[data-drawn]').length === 6 || !note.hidden;
  const report = () => done({
    charts: Array.from(document.querySelectorAll('canvas'), c => {
      const chart = typeof Chart === 'undefined' ? null : Chart.getChart(c);
      const ys = chart ? chart.data.datasets.flatMap(d => d.data.map(p => p.y)).filter(y => y !== null) : [];
      return { id: c.id, values: ys.length, largest: ys.length ? Math.max(...ys) : null };
    }),
    note: note.hidden ? '' : note.textContent,
    chartsShown: document.querySelector('.charts').offsetParent !== null,
    connection: document.getElementById('connection-text').textContent,
    headline: document.getElementById('indoor_temperature').textContent,
    headlineCaption: document.getElementById('headline-caption').textContent,
    firstChannel: document.querySelector('#channels td') ? document.querySelector('#channels td').textContent : '',
  });
  if (ready()) { report(); return; }
  new MutationObserver((changes, observer) => {
    if (ready()) { observer.disconnect(); report(); }
  }).observe(document.body, { subtree: true, attributes: true, attributeFilter: ['data-drawn', 'hidden'] });
}))"))
            .toObject();
    }

    // The exceptions thrown and errors logged since the last call.
    QStringList scriptFaults()
    {
        QStringList faults;
        for (const QJsonObject &e : browser.takeEvents(QStringLiteral("Runtime.exceptionThrown")))
            faults << e[QStringLiteral("params")][QStringLiteral("exceptionDetails")][QStringLiteral("exception")]
                          [QStringLiteral("description")]
                              .toString();
        for (const QJsonObject &e : browser.takeEvents(QStringLiteral("Runtime.consoleAPICalled"))) {
            const QJsonObject p = e[QStringLiteral("params")].toObject();
            if (p[QStringLiteral("type")] == QStringLiteral("error"))
                faults << QString::fromUtf8(QJsonDocument(p[QStringLiteral("args")].toArray()).toJson());
        }
        return faults;
    }
};

bool chartPrerequisites()
{
    return !HeadlessChromium::executable().isEmpty() && QFile::exists(WebSettings().chartScript);
}

}  // namespace

// Every rain unit with every pressure unit, one page load each.
TEST(WebPage, EveryChartDrawsInEveryRainAndPressureUnit)
{
    if (!chartPrerequisites())
        GTEST_SKIP() << "chromium or libjs-chart.js is not installed";
    Served served;
    Page page;
    ASSERT_TRUE(page.started);
    const QString lost = QStringLiteral("cannot be reached");
    for (const RainUnit rain : {RainUnit::Inch, RainUnit::Mm}) {
        for (const PressureUnit pressure : {PressureUnit::Hpa, PressureUnit::MBar, PressureUnit::MmHg,
                                            PressureUnit::InchHg}) {
            SCOPED_TRACE(QStringLiteral("rain in %1, pressure in %2")
                             .arg(rainUnitName(unitCode(rain)), pressureUnitName(unitCode(pressure)))
                             .toStdString());
            // Channel 1, named, is outdoors: it heads the page.
            WebSnapshot snapshot = quietDay().snapshot(unitCode(rain), unitCode(pressure));
            snapshot.channelNames[0] = QStringLiteral("Garden");
            snapshot.headlineChannel = 1;
            served.server->update(snapshot);
            page.load(served.url());
            const QJsonObject shown = page.settled();
            const QJsonObject outdoor =
                served.json("/api/display")[QStringLiteral("values")][QStringLiteral("channels")][0].toObject();
            EXPECT_EQ(shown[QStringLiteral("headline")].toString().toStdString(),
                      outdoor[QStringLiteral("temperature")].toString().toStdString());
            EXPECT_EQ(shown[QStringLiteral("headlineCaption")].toString().toStdString(),
                      QStringLiteral("Garden, %1 %").arg(outdoor[QStringLiteral("humidity")].toString()).toStdString());
            EXPECT_EQ(shown[QStringLiteral("firstChannel")].toString().toStdString(), "Garden");
            EXPECT_EQ(shown[QStringLiteral("note")].toString().toStdString(), "");
            EXPECT_FALSE(shown[QStringLiteral("connection")].toString().contains(lost));
            EXPECT_EQ(page.scriptFaults().join(u'\n').toStdString(), "");
            const QJsonArray charts = shown[QStringLiteral("charts")].toArray();
            ASSERT_EQ(charts.size(), 6);
            for (const QJsonValue &c : charts) {
                EXPECT_GT(c[QStringLiteral("values")].toInt(), 0) << c[QStringLiteral("id")].toString().toStdString();
                if (c[QStringLiteral("id")] == QStringLiteral("chart-rain")) {
                    EXPECT_GT(c[QStringLiteral("largest")].toDouble(), 0.0) << "the day's rain shows";
                }
            }
        }
    }
}

// Without the library the page names what is missing instead of showing
// six empty frames, and that is no script error either.
TEST(WebPage, AMissingChartLibraryIsNamed)
{
    if (HeadlessChromium::executable().isEmpty())
        GTEST_SKIP() << "chromium is not installed";
    QTemporaryDir nowhere;
    Served served(nowhere.filePath(QStringLiteral("chart.min.js")));
    Page page;
    ASSERT_TRUE(page.started);
    page.load(served.url());
    const QJsonObject shown = page.settled();
    EXPECT_TRUE(shown[QStringLiteral("note")].toString().contains(QStringLiteral("libjs-chart.js")))
        << shown[QStringLiteral("note")].toString().toStdString();
    EXPECT_FALSE(shown[QStringLiteral("chartsShown")].toBool());
    EXPECT_TRUE(page.browser.takeEvents(QStringLiteral("Runtime.exceptionThrown")).isEmpty());
}

// A channel without a sensor (stored as 0.0 °C and 0 %) is null, never zero,
// in /api/current and in every point of /api/history, whichever of its
// series is asked for; the outdoor channel keeps its numbers.
TEST(WebApi, AChannelWithoutASensorIsNullNotZero)
{
    Served served;
    WebSnapshot fahrenheit = quietDay().snapshot(unitCode(RainUnit::Mm), unitCode(PressureUnit::Hpa));
    fahrenheit.units.temperature = unitCode(TemperatureUnit::Fahrenheit);  // 0 °C is 32 °F
    served.server->update(fahrenheit);
    const QJsonObject current = served.json("/api/current");
    EXPECT_TRUE(current[QStringLiteral("channel1_temperature")].isDouble());
    for (const char *key : {"channel5_temperature", "channel5_humidity", "channel5_dew_point"})
        EXPECT_TRUE(current.contains(QLatin1String(key)) && current[QLatin1String(key)].isNull()) << key;

    const QByteArray targets[] = {
        "/api/history?series=channel1_temperature,channel5_temperature,channel5_humidity",
        "/api/history?series=channel5_temperature,channel1_humidity&units=display",
        "/api/history?series=channel5_humidity,channel1_temperature&from=2026-06-19T12:30:00&points=4",
    };
    for (const QByteArray &target : targets) {
        SCOPED_TRACE(target.toStdString());
        const QJsonObject h = served.json(target);
        const QJsonArray series = h[QStringLiteral("series")].toArray();
        ASSERT_EQ(series.size(), target.count(',') + 1);
        for (const QJsonValue &s : series) {
            const bool unused = s[QStringLiteral("key")].toString().startsWith(QLatin1String("channel5"));
            const QJsonArray points = s[QStringLiteral("points")].toArray();
            ASSERT_FALSE(points.isEmpty());
            for (const QJsonValue &p : points)
                ASSERT_EQ(p.toArray()[1].isNull(), unused) << s[QStringLiteral("key")].toString().toStdString();
        }
    }
}
