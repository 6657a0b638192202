// The web interface over real HTTP on loopback: a server fed like the
// program feeds it, a generated history behind it, and raw requests so that
// the refused ones reach it exactly as a careless or hostile client sends
// them.
#include "CurrentConditions.h"
#include "HistorySource.h"
#include "HistoryStore.h"
#include "LangTable.h"
#include "PageWords.h"
#include "PublishSettings.h"
#include "StationSummary.h"
#include "SyntheticHistory.h"
#include "Units.h"
#include "WebServer.h"
#include "support/DevTools.h"
#include "support/LoopbackHttp.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nimbrel;
using namespace nimbrel::web;
using nimbrel::testing::fetch;
using nimbrel::testing::HttpAnswer;

namespace {

const QDateTime kEnd(QDate(2026, 6, 21), QTime(12, 0), Qt::UTC);

// Sixty days of five-minute records: long enough that month and "all"
// requests go through the daily summary.
struct Station {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store;
    Measurement newest;

    explicit Station(std::int64_t records = 60 * 288)
    {
        tool::SyntheticHistory h;
        h.end = kEnd;
        h.records = records;
        store = tool::generatedHistoryFile(dir.filePath(QStringLiteral("datat")), h);
        HistoryRow row;
        if (store && store->newest(row))
            loadMeasurement(row, newest);
    }

    WebSnapshot snapshot(bool connected = true) const
    {
        WebSnapshot s;
        s.hasConditions = true;
        s.conditions = currentConditions(newest, StationSummary{}, store.get());
        s.connected = connected;
        return s;
    }
};

// One history for every test: generating it is the slow part.
const Station &sharedStation()
{
    static const Station station;
    return station;
}

struct Served {
    const Station &station = sharedStation();
    std::unique_ptr<WebServer> server;

    Served()
    {
        WebSettings settings;
        settings.port = 0;  // any free port
        server = std::make_unique<WebServer>(settings, station.store.get());
        QString why;
        EXPECT_TRUE(server->start(&why)) << why.toStdString();
        server->update(station.snapshot());
    }
    HttpAnswer get(const QByteArray &target, const QByteArray &method = "GET") const
    {
        return fetch(server->port(), method, target);
    }
    QJsonObject json(const QByteArray &target) const { return QJsonDocument::fromJson(get(target).body).object(); }
};

}  // namespace

TEST(WebSettings, TheWebSectionIsReadWithSafeDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nimbrel.ini"));
    EXPECT_FALSE(loadPublishSettings(path).web.enabled) << "no file: no server";
    QFile ini(path);
    ini.open(QIODevice::WriteOnly);
    ini.write("[web]\nenabled=true\nport=99999\nbind=my.laptop\n[mqtt]\nhost=h\n");
    ini.close();
    const PublishSettings s = loadPublishSettings(path);
    EXPECT_TRUE(s.web.enabled);
    EXPECT_EQ(s.web.port, 8377) << "a bad port keeps the default";
    EXPECT_EQ(s.web.bind, QStringLiteral("127.0.0.1")) << "only this computer unless the user names an address";
    ASSERT_EQ(s.problems.size(), 2) << s.problems.join(u'\n').toStdString();
    EXPECT_TRUE(s.problems[0].startsWith(QStringLiteral("nimbrel.ini:3:")));
    EXPECT_TRUE(s.problems[1].startsWith(QStringLiteral("nimbrel.ini:4:")));
}

// Every address the server knows, and the requests it must refuse: each
// answer carries its type, a cache rule and the security policy.
TEST(WebServer, EveryEndpointAndEveryRefusal)
{
    Served served;
    struct Case {
        const char *method;
        const char *target;
        int status;
        const char *type;  // start of Content-Type
    };
    const Case cases[] = {
        {"GET", "/", 200, "text/html"},
        {"GET", "/index.html", 200, "text/html"},
        {"GET", "/app.js", 200, "text/javascript"},
        {"GET", "/app.css", 200, "text/css"},
        {"GET", "/api/current", 200, "application/json"},
        {"GET", "/api/display", 200, "application/json"},
        {"GET", "/api/history", 200, "application/json"},
        {"GET", "/api/history?from=2026-06-20T00:00&to=2026-06-21&points=100", 200, "application/json"},
        {"GET", "/api/history?from=2026-06-20T00:00:00%2B02:00&points=5000&series=rain,uv_index", 200,
         "application/json"},
        {"GET", "/api/history?from=1900-01-01&units=display", 200, "application/json"},
        {"HEAD", "/api/current", 200, "application/json"},
        {"HEAD", "/", 200, "text/html"},
        // Refused methods.
        {"POST", "/api/current", 405, "application/json"},
        {"PUT", "/", 405, "application/json"},
        {"DELETE", "/api/history", 405, "application/json"},
        {"OPTIONS", "/", 405, "application/json"},
        // Unknown paths, and paths that try to leave the program's assets.
        {"GET", "/nothing", 404, "application/json"},
        {"GET", "/../../etc/passwd", 404, "application/json"},
        {"GET", "/%2e%2e/%2e%2e/etc/passwd", 404, "application/json"},
        {"GET", "/app.js/../../../etc/passwd", 404, "application/json"},
        {"GET", "/usr/share/javascript/chart.js/chart.min.js", 404, "application/json"},
        {"GET", "/api/current/", 404, "application/json"},
        // Bad ranges and sizes.
        {"GET", "/api/history?from=yesterday", 400, "application/json"},
        {"GET", "/api/history?from=2026-02-30", 400, "application/json"},
        {"GET", "/api/history?from=", 400, "application/json"},
        {"GET", "/api/history?from=2026-06-21&to=2026-06-20", 400, "application/json"},
        {"GET", "/api/history?from=2026-06-21T00:00&to=2026-06-21T00:00", 400, "application/json"},
        {"GET", "/api/history?points=5001", 400, "application/json"},
        {"GET", "/api/history?points=99999999999999999999", 400, "application/json"},
        {"GET", "/api/history?points=1", 400, "application/json"},
        {"GET", "/api/history?points=ten", 400, "application/json"},
        {"GET", "/api/history?from=2030-01-01&to=2031-01-01", 400, "application/json"},
        {"GET", "/api/history?from=1990-01-01&to=1991-01-01", 400, "application/json"},
        {"GET", "/api/history?from=0001-01-01", 400, "application/json"},
        {"GET", "/api/history?series=indoor_temperature,secrets", 400, "application/json"},
        {"GET", "/api/history?units=kelvin", 400, "application/json"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.target);
        const HttpAnswer a = served.get(c.target, c.method);
        ASSERT_TRUE(a.complete);
        EXPECT_EQ(a.status, c.status);
        EXPECT_TRUE(a.headers.value("content-type").startsWith(c.type)) << a.headers.value("content-type").data();
        EXPECT_FALSE(a.headers.value("cache-control").isEmpty());
        EXPECT_TRUE(a.headers.value("content-security-policy").startsWith("default-src 'none'"));
        EXPECT_EQ(a.headers.value("x-content-type-options"), "nosniff");
        if (QByteArray(c.method) == "HEAD") {
            EXPECT_TRUE(a.body.isEmpty()) << "HEAD has no body";
            EXPECT_GT(a.headers.value("content-length").toInt(), 0) << "but says how long it would be";
        }
        if (c.status == 405) {
            EXPECT_EQ(a.headers.value("allow"), "GET, HEAD");
        }
        if (c.status >= 400) {
            const QString sentence = QJsonDocument::fromJson(a.body).object().value(QStringLiteral("error")).toString();
            EXPECT_TRUE(sentence.endsWith(QLatin1Char('.'))) << "a JSON sentence: " << a.body.toStdString();
            EXPECT_FALSE(a.body.contains("root:")) << "no file outside the assets";
        }
    }
    // The page's script comes from the Debian package's folder, where installed.
    if (QFile::exists(WebSettings().chartScript)) {
        const HttpAnswer chart = served.get("/chart.js");
        EXPECT_EQ(chart.status, 200);
        EXPECT_TRUE(chart.body.contains("Chart"));
    }
}

// /api/current is the MQTT state message plus the connection, and follows
// every update; the event stream pushes the same updates to open pages.
TEST(WebServer, CurrentConditionsFollowEveryUpdateOverJsonAndEvents)
{
    Served served;
    WebSnapshot s = served.station.snapshot(false);
    served.server->update(s);
    QJsonObject expected = stateJson(s.conditions);
    expected[QStringLiteral("connected")] = false;
    EXPECT_EQ(served.json("/api/current"), expected);

    // An open page: the state at once, then the next update.
    std::optional<HttpAnswer> first;
    auto *stream = new nimbrel::testing::HttpExchange(served.server->port(), "GET", "/api/events",
                                                      [&](const HttpAnswer &a) { first = a; });
    stream->keepOpen();
    QEventLoop loop;
    QObject::connect(&stream->socket(), &QTcpSocket::readyRead, &loop, [&] {
        if (first)
            loop.quit();
    });
    loop.exec();
    ASSERT_TRUE(first && first->complete);
    EXPECT_TRUE(first->headers.value("content-type").startsWith("text/event-stream"));
    EXPECT_TRUE(first->body.contains("\"connected\":false"));
    EXPECT_EQ(served.server->stats().eventStreams, 1);

    s.connected = true;
    s.conditions.indoorTemperatureC = 23.45;
    s.units.temperature = unitCode(TemperatureUnit::Fahrenheit);
    s.language = 2;
    stream->data().clear();
    served.server->update(s);
    QObject::connect(&stream->socket(), &QTcpSocket::readyRead, &loop, [&] {
        stream->data() += stream->socket().readAll();
        if (stream->data().endsWith("\n\n"))
            loop.quit();
    });
    loop.exec();
    const QByteArray event = stream->data();
    ASSERT_TRUE(event.startsWith("event: display\ndata: ")) << event.toStdString();
    const QJsonObject shown = QJsonDocument::fromJson(event.mid(event.indexOf("{")).trimmed()).object();
    EXPECT_TRUE(shown[QStringLiteral("connected")].toBool());
    // 23.45 °C shows as the window shows it in °F; the words are German.
    EXPECT_EQ(shown[QStringLiteral("values")][QStringLiteral("indoor_temperature")].toString(), QStringLiteral("74.2"));
    EXPECT_EQ(shown[QStringLiteral("units")][QStringLiteral("temperature")].toString(), QStringLiteral("°F"));
    EXPECT_EQ(shown[QStringLiteral("words")][QStringLiteral("rain_today")].toString(), QStringLiteral("heute"));
    EXPECT_EQ(served.json("/api/current")[QStringLiteral("indoor_temperature")].toDouble(), 23.5)
        << "the API stays in base units";
    stream->socket().abort();
    stream->deleteLater();
}

// The words come from the translation table where it has them.
TEST(WebServer, PageWordsComeFromTheTranslationTable)
{
    QFile tsv(QStringLiteral(NIMBREL_SOURCE_DIR "/data/lang.tsv"));
    ASSERT_TRUE(tsv.open(QIODevice::ReadOnly));
    const LangTsv table = parseLangTsv(tsv.readAll());
    ASSERT_TRUE(table.ok());
    const QJsonObject french = pageWords(table.rows, 3);
    EXPECT_EQ(french[QStringLiteral("dew_point")].toString(), QStringLiteral("Point de rosée")) << "label colon dropped";
    EXPECT_EQ(french[QStringLiteral("connected")].toString(), QStringLiteral("Station connectée"));
    EXPECT_EQ(pageWords({}, 0)[QStringLiteral("range_week")].toString(), QStringLiteral("week"))
        << "a missing row falls back to English";
}

// The history: every series within `points`, labelled with its unit, and
// the rain of a long stretch read from the daily summary adds up to what the
// records say.
TEST(WebServer, HistoryIsReducedAndRainSumsAgreeWithTheRecords)
{
    Served served;
    const QJsonObject all = served.json("/api/history?from=1900-01-01&points=20");
    EXPECT_EQ(all[QStringLiteral("read")].toString(), QStringLiteral("days"));
    const QJsonObject day = served.json("/api/history?points=200");
    EXPECT_EQ(day[QStringLiteral("read")].toString(), QStringLiteral("records"));
    for (const QJsonObject &h : {all, day}) {
        const QJsonArray series = h[QStringLiteral("series")].toArray();
        ASSERT_EQ(series.size(), 16);
        for (const QJsonValue &v : series) {
            const QJsonObject s = v.toObject();
            EXPECT_FALSE(s[QStringLiteral("unit")].toString().isEmpty());
            EXPECT_LE(s[QStringLiteral("points")].toArray().size(), h == all ? 20 : 200);
            EXPECT_GT(s[QStringLiteral("points")].toArray().size(), 0) << s[QStringLiteral("key")].toString().toStdString();
        }
    }

    // Rain over everything, summed by the server from the summaries, against
    // the counter's rises record by record.
    std::int64_t tips = 0;
    std::optional<int> previous;
    served.station.store->forEachBetween(QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC), kEnd.addDays(1),
                                         RowOrder::OldestFirst, [&](const HistoryRow &r) {
                                             if (previous && r.RainCount > *previous)
                                                 tips += r.RainCount - *previous;
                                             previous = r.RainCount;
                                             return true;
                                         });
    ASSERT_GT(tips, 0) << "the synthetic weather rains";
    auto rainTotal = [&](const QByteArray &target) {
        double mm = 0;
        const QJsonObject h = served.json(target);
        for (const QJsonValue &v : h[QStringLiteral("series")].toArray()) {
            if (v[QStringLiteral("key")] == QStringLiteral("rain"))
                for (const QJsonValue &p : v[QStringLiteral("points")].toArray())
                    mm += p.toArray()[1].toDouble();
        }
        return mm;
    };
    const double expectedMm = tips * rainTipFactor(unitCode(RainUnit::Mm));
    // Each interval is rounded to 0.1 mm.
    EXPECT_NEAR(rainTotal("/api/history?from=1900-01-01&points=30&series=rain"), expectedMm, 30 * 0.05);
    EXPECT_NEAR(rainTotal("/api/history?from=1900-01-01&points=1000&series=rain"), expectedMm, 1000 * 0.05);
}

TEST(WebServer, APortInUseIsOneSentenceAndTheFirstServerRunsOn)
{
    Served served;
    WebSettings same;
    same.port = served.server->port();
    WebServer second(same, nullptr);
    QString why;
    EXPECT_FALSE(second.start(&why));
    EXPECT_TRUE(why.contains(QStringLiteral("in use"))) << why.toStdString();
    EXPECT_TRUE(why.endsWith(QLatin1Char('.')) && !why.contains(QStringLiteral(". "))) << why.toStdString();
    EXPECT_EQ(served.get("/api/current").status, 200);
}

// 2,000 requests, 50 at a time, over the endpoints a page and a script use:
// every one is answered.
TEST(WebServer, BoundedLoadIsAnsweredInFull)
{
    Served served;
    const QByteArray targets[] = {"/api/current", "/api/history", "/api/history?from=1900-01-01&points=1000",
                                  "/api/display", "/", "/api/history?from=2026-06-01&points=500&units=display"};
    const int ok = nimbrel::testing::loadRun(served.server->port(), 2000, 50,
                                             [&](int i) { return targets[i % std::size(targets)]; });
    EXPECT_EQ(ok, 2000);
    EXPECT_EQ(served.server->stats().requests, 2000);
}

// The page in a real browser: the indoor temperature it shows is the one
// /api/current gives, every chart drew, and an update reaches the open page
// without a reload. With NIMBREL_WEB_SCREENSHOTS set to a folder it also
// photographs the page at a phone's and a desktop's width.
TEST(WebPage, HeadlessChromiumShowsTheCurrentValuesDrawsTheChartsAndFollowsUpdates)
{
    using nimbrel::testing::HeadlessChromium;
    if (HeadlessChromium::executable().isEmpty())
        GTEST_SKIP() << "chromium is not installed";
    if (!QFile::exists(WebSettings().chartScript))
        GTEST_SKIP() << "libjs-chart.js is not installed";
    Served served;
    // Two destinations, one failing, its sentence with markup that must stay text.
    WebSnapshot sending = served.station.snapshot();
    sending.destinations = {
        {QStringLiteral("mqtt"), DestinationState::Ok, QStringLiteral("MQTT: connected"), QDateTime()},
        {QStringLiteral("upload"), DestinationState::Failing, QStringLiteral("Upload failed: <b>HTTP 500</b>"),
         QDateTime()}};
    served.server->update(sending);
    HeadlessChromium browser;
    ASSERT_TRUE(browser.start());
    browser.call(QStringLiteral("Page.enable"));
    // The destinations' list once it shows `count` lines (0: once it is
    // hidden), a line as name|state|sentence.
    auto destinations = [&](int count) {
        return browser
            .evaluate(QStringLiteral("new Promise(done => { const look = () => {"
                                     "  const box = document.getElementById('destinations');"
                                     "  const rows = box.querySelectorAll('li');"
                                     "  if (%1 === 0 ? box.hidden : !box.hidden && rows.length === %1)"
                                     "    done(Array.from(rows, r => Array.from(r.children, c => c.textContent)"
                                     "      .join('|')).join('\\n'));"
                                     "  else setTimeout(look, 20); }; look(); })")
                          .arg(count))
            .toString();
    };
    auto viewport = [&](int width, int height, bool phone) {
        browser.call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
                     {{QStringLiteral("width"), width}, {QStringLiteral("height"), height},
                      {QStringLiteral("deviceScaleFactor"), 1}, {QStringLiteral("mobile"), phone}});
    };
    viewport(1280, 900, false);
    browser.call(QStringLiteral("Page.navigate"),
                 {{QStringLiteral("url"), QStringLiteral("http://127.0.0.1:%1/").arg(served.server->port())}});
    browser.event(QStringLiteral("Page.loadEventFired"));

    // The page says when its values are in and its six charts have drawn.
    const QJsonObject shown = browser
                                  .evaluate(QStringLiteral(
                                      "new Promise(done => { const look = () => {"
                                      "  const drawn = document.querySelectorAll('canvas[data-drawn]');"
                                      "  const t = document.getElementById('indoor_temperature').textContent;"
                                      "  if (drawn.length === 6 && t !== '–') done({ temperature: t,"
                                      "    drawn: Array.from(drawn, c => Number(c.dataset.drawn)),"
                                      "    connected: document.getElementById('connection').dataset.connected });"
                                      "  else setTimeout(look, 20); }; look(); })"))
                                  .toObject();
    const double api = served.json("/api/current")[QStringLiteral("indoor_temperature")].toDouble();
    EXPECT_EQ(shown[QStringLiteral("temperature")].toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(),
              api);
    EXPECT_EQ(shown[QStringLiteral("connected")].toString(), QStringLiteral("true"));
    const QJsonArray drawn = shown[QStringLiteral("drawn")].toArray();
    ASSERT_EQ(drawn.size(), 6);
    for (const QJsonValue &points : drawn)
        EXPECT_GT(points.toInt(), 0) << "every chart drew points";
    EXPECT_EQ(destinations(2).toStdString(), "mqtt|ok|MQTT: connected\nupload|failing|Upload failed: <b>HTTP 500</b>");

    // A new record reaches the open page through the event stream.
    WebSnapshot next = served.station.snapshot();
    next.conditions.indoorTemperatureC = 30.1;
    served.server->update(next);
    EXPECT_EQ(browser
                  .evaluate(QStringLiteral("new Promise(done => { const look = () => {"
                                           "  const t = document.getElementById('indoor_temperature').textContent;"
                                           "  if (t.replace(',', '.') === '30.1') done(t); else setTimeout(look, 20); };"
                                           "  look(); })"))
                  .toString()
                  .replace(QLatin1Char(','), QLatin1Char('.')),
              QStringLiteral("30.1"));
    EXPECT_EQ(destinations(0).toStdString(), "") << "nothing configured: no list";
    served.server->update(sending);
    destinations(2);

    const QString shots = qEnvironmentVariable("NIMBREL_WEB_SCREENSHOTS");
    if (shots.isEmpty())
        return;
    const QString settle = QStringLiteral(
        "new Promise(done => requestAnimationFrame(() => requestAnimationFrame(() => "
        "done(document.documentElement.scrollHeight))))");
    for (const auto &[name, width, phone] : {std::tuple{"web-phone.png", 390, true}, std::tuple{"web-desktop.png", 1280, false}}) {
        viewport(width, 900, phone);
        const int height = browser.evaluate(settle).toInt();
        viewport(width, height, phone);
        browser.evaluate(settle);
        const QJsonObject shot = browser.call(QStringLiteral("Page.captureScreenshot"), {{QStringLiteral("format"), QStringLiteral("png")}});
        QFile png(QDir(shots).filePath(QLatin1String(name)));
        ASSERT_TRUE(png.open(QIODevice::WriteOnly));
        png.write(QByteArray::fromBase64(shot[QStringLiteral("data")].toString().toLatin1()));
    }
}

// /api/status: one entry per destination with its word, its sentence and
// the newest record it delivered (null before the first).
TEST(WebServer, StatusListsEachDestinationWithItsWordAndNewestDelivered)
{
    Served served;
    WebSnapshot s = served.station.snapshot(true);
    const QDateTime delivered(QDate(2026, 12, 7), QTime(11, 5));
    s.destinations = {{QStringLiteral("mqtt"), DestinationState::Ok, QStringLiteral("MQTT: connected"), delivered},
                      {QStringLiteral("upload"), DestinationState::Failing, QStringLiteral("Upload failed: HTTP 500"),
                       QDateTime()}};
    served.server->update(s);
    const QJsonArray list = served.json("/api/status").value(QStringLiteral("destinations")).toArray();
    ASSERT_EQ(list.size(), 2);
    const QJsonObject mqtt = list.at(0).toObject();
    EXPECT_EQ(mqtt.value(QStringLiteral("name")).toString(), QLatin1String("mqtt"));
    EXPECT_EQ(mqtt.value(QStringLiteral("state")).toString(), QLatin1String("ok"));
    EXPECT_EQ(mqtt.value(QStringLiteral("delivered")).toString(), isoWithOffset(delivered));
    const QJsonObject upload = list.at(1).toObject();
    EXPECT_EQ(upload.value(QStringLiteral("state")).toString(), QLatin1String("failing"));
    EXPECT_EQ(upload.value(QStringLiteral("sentence")).toString(), QLatin1String("Upload failed: HTTP 500"));
    EXPECT_TRUE(upload.value(QStringLiteral("delivered")).isNull());
}
