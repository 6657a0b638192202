// The weather networks over HTTP: what each service makes of a record on
// the wire and of each answer, the destination that drives them against a
// local HTTP server, and their sections of nimbrel.ini.
#include "Destinations.h"
#include "HttpNetwork.h"
#include "HttpService.h"
#include "Networks.h"
#include "PublishSettings.h"
#include "SectionReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

// Failures show texts, not bytes.
void PrintTo(const QString &s, std::ostream *os) { *os << s.toStdString(); }

using namespace nimbrel;

namespace {

// Runs the event loop until `done`; the guard is only the net under a
// stalled machine, every wait ends at its event.
bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer guard;
    guard.start();
    while (!done() && guard.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

const QDateTime kWhen = QDateTime(QDate(2026, 1, 15), QTime(8, 5), Qt::UTC).toLocalTime();

// `minutes` after kWhen, with no reading at all.
CurrentConditions empty(int minutes = 0)
{
    CurrentConditions c;
    c.time = kWhen.addSecs(minutes * 60);
    return c;
}

// Every reading: a frost with fog, wind from the north; channel 2 is outdoors.
CurrentConditions frost(int minutes = 0)
{
    CurrentConditions c = empty(minutes);
    c.channels[0] = {true, 21.0, 40, 7.0};  // not outdoors: never sent
    c.channels[1] = {true, -3.5, 100, -3.5};
    c.pressureSeaLevelHpa = 1013.25;
    c.windSpeedMph = 10;
    c.windGustMph = 20;
    c.windDirectionDeg = 0;
    c.rainLastHourTips = 10;
    c.rainSinceMidnightTips = 100;
    c.uvIndex = 2.5;
    return c;
}

// Sensors without readings (lost, out of range): only the wind, from 360°.
CurrentConditions gaps()
{
    CurrentConditions c = empty();
    c.channels[1].present = true;
    c.windGustMph = 0;
    c.windDirectionDeg = 360;
    return c;
}

// A minute after the records' time.
// A minute after the records' time.
const DestinationContext kContext{QStringLiteral("/nowhere"), QStringLiteral("9.9"), [] { return kWhen.addSecs(60); },
                                  2};

// The service as its section makes it: id, secret and address as written.
std::unique_ptr<HttpService> service(ServiceFactory make, const char *idKey, const char *secretKey)
{
    const IniSection section{QStringLiteral("test"),
                             1,
                             {{QStringLiteral("enabled"), QStringLiteral("true"), 2},
                              {QLatin1String(idKey), QStringLiteral("7"), 3},
                              {QLatin1String(secretKey), QStringLiteral("k+y&1"), 4},
                              {QStringLiteral("url"), QStringLiteral("http://127.0.0.1:9/up?x=1"), 5}}};
    QStringList problems;
    SectionReader reader(section, QStringLiteral("/nowhere/nimbrel.ini"), QStringLiteral("Test"), &problems);
    reader.enabled();
    std::unique_ptr<HttpService> s = make(reader, kContext);
    EXPECT_TRUE(reader.finish()) << qPrintable(problems.join(QLatin1Char('|')));
    return s;
}

// The query as the server reads it, "k=v|k=v", decoded.
QString decoded(const QUrl &url)
{
    QStringList items;
    for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        items << key + QLatin1Char('=') + value;
    return items.join(QLatin1Char('|'));
}

}  // namespace

// Each service's request for a record, parsed back from the wire (units,
// rounding, names, what is left out, what is not sent at all), and what
// each of its answers means.
TEST(Networks, EachServiceSendsARecordInItsOwnNamesAndUnitsAndOnlyItsSuccessIsSuccess)
{
    const auto wow = service(makeWowService, "siteId", "key");
    const auto pws = service(makePwsweatherService, "stationId", "key");
    const auto windy = service(makeWindyService, "stationId", "password");
    ASSERT_TRUE(wow && pws && windy);
    const QString wowHead = QStringLiteral("x=1|siteid=7|siteAuthenticationKey=k+y&1|dateutc=2026-01-15 08:05:00|");
    const QString pwsHead = QStringLiteral("x=1|ID=7|PASSWORD=k+y&1|action=updateraw|dateutc=2026-01-15 08:05:00|");
    const QString windyHead = QStringLiteral("x=1|id=7|time=2026-01-15T08:05:00Z|");
    const struct {
        HttpService *service;
        CurrentConditions record;
        QString query;  // empty: not sent
    } rows[] = {
        {wow.get(), frost(),
         wowHead + "tempf=25.7|humidity=100|dewptf=25.7|windspeedmph=10|windgustmph=20|winddir=0|rainin=0.27|"
                   "dailyrainin=2.71|baromin=29.92|softwaretype=Nimbrel 9.9"},
        {wow.get(), gaps(), wowHead + "windgustmph=0|winddir=360|softwaretype=Nimbrel 9.9"},
        {wow.get(), empty(), {}},
        {pws.get(), frost(),
         pwsHead + "tempf=25.7|humidity=100|dewptf=25.7|windspeedmph=10|windgustmph=20|winddir=0|rainin=0.27|"
                   "dailyrainin=2.71|baromin=29.92|UV=2.5|softwaretype=Nimbrel 9.9"},
        {pws.get(), gaps(), pwsHead + "windgustmph=0|winddir=360|softwaretype=Nimbrel 9.9"},
        {windy.get(), frost(),
         windyHead + "temp=-3.5|rh=100|dewpoint=-3.5|wind=4.5|gust=9|winddir=0|pressure=101325|precip=6.9|uv=2.5"},
        {windy.get(), gaps(), windyHead + "gust=0|winddir=0"},
        {windy.get(), empty(), {}},
    };
    for (const auto &row : rows) {
        const QString title = row.service->title();
        QString why;
        const std::optional<HttpCall> call = row.service->call(row.record, {}, &why);
        ASSERT_EQ(call.has_value(), !row.query.isEmpty()) << qPrintable(title + QLatin1Char(' ') + row.query);
        if (!call) {
            EXPECT_FALSE(why.isEmpty()) << qPrintable(title);
            continue;
        }
        EXPECT_EQ(call->method, "GET");
        EXPECT_EQ(call->url.toString(QUrl::RemoveQuery), QStringLiteral("http://127.0.0.1:9/up"));
        EXPECT_EQ(decoded(call->url), row.query) << qPrintable(title);
        // Windy's password goes as a bearer token, never in the address.
        const bool bearer = row.service == windy.get();
        EXPECT_EQ(call->headers.value(0).second, bearer ? QByteArray("Bearer k+y&1") : QByteArray());
    }
    EXPECT_EQ(windy->intervalSecs(), 300);

    // What each answer means, and the words the status shows.
    const struct {
        HttpService *service;
        HttpAnswer answer;
        Verdict verdict;
        const char *words;
    } answers[] = {
        {wow.get(), {200, "{}", {}, -1}, Verdict::Delivered, ""},
        {wow.get(), {403, "Forbidden\nmore", {}, -1}, Verdict::Refused, "HTTP 403: Forbidden"},
        {wow.get(), {400, "Invalid value for tempf", {}, -1}, Verdict::Rejected, "HTTP 400: Invalid value for tempf"},
        {wow.get(), {503, "busy\x1b[2J", {}, -1}, Verdict::Retry, "HTTP 503: busy?[2J"},
        {pws.get(), {200, "success\n", {}, -1}, Verdict::Delivered, ""},
        {pws.get(), {200, R"({"success":true,"error":null})", {}, -1}, Verdict::Delivered, ""},
        {pws.get(), {200, "Data Logged and posted in METAR mirror.", {}, -1}, Verdict::Delivered, ""},
        {pws.get(), {200, R"({"success":false,"error":{"code":"invalid_station","description":"Unknown"}})", {}, -1},
         Verdict::Refused, "Unknown"},
        {pws.get(), {200, "ERROR: Not a valid Station ID", {}, -1}, Verdict::Refused, "Not a valid Station ID"},
        {pws.get(), {400, "Invalid password", {}, -1}, Verdict::Refused, "HTTP 400: Invalid password"},
        {pws.get(), {200, "unsuccessful: bad tempf", {}, -1}, Verdict::Rejected, "bad tempf"},
        {pws.get(), {502, "Bad Gateway", {}, -1}, Verdict::Retry, "HTTP 502: Bad Gateway"},
        {windy.get(), {401, R"({"message":"Invalid station password"})", {}, -1}, Verdict::Refused, "Invalid station"},
        {windy.get(), {400, "Time is in the future", {}, -1}, Verdict::Rejected, "in the future"},
        {windy.get(), {429, "Too many requests", {}, 300}, Verdict::Retry, "HTTP 429: Too many requests"},
    };
    for (const auto &row : answers) {
        const Answer a = row.service->answer(row.answer);
        EXPECT_EQ(a.verdict, row.verdict) << qPrintable(row.service->title()) << row.answer.body.constData();
        EXPECT_TRUE(a.words.contains(QLatin1String(row.words))) << qPrintable(a.words);
    }
}

namespace {

// A network's endpoint on loopback: keeps each request (one a connection) and answers with the
// next of `answers` (200 "{}" once they are used up); a silent one never answers.
struct NetworkServer {
    explicit NetworkServer(QList<QPair<int, QByteArray>> answers = {}, bool silent = false) : answers(answers)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this, silent] {
            QTcpSocket *s = server.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, silent] {
                if (!(buffer[s] += s->readAll()).contains("\r\n\r\n") || silent)
                    return;
                const auto [status, body] = this->answers.isEmpty() ? qMakePair(200, QByteArray("{}"))
                                                                    : this->answers.takeFirst();
                s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " +
                         QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
                s->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/automaticreading").arg(server.serverPort()); }
    QTcpServer server;
    QMap<QTcpSocket *, QByteArray> buffer;
    QList<QPair<int, QByteArray>> answers;
};

struct Heard {
    explicit Heard(Destination &d)
    {
        QObject::connect(&d, &Destination::acknowledged, [this](const QDateTime &t) { acknowledged << t; });
        QObject::connect(&d, &Destination::released, [this](const QDateTime &t) { released << t; });
        QObject::connect(&d, &Destination::readyChanged, [this](bool r) { ready = r; });
        QObject::connect(&d, &Destination::statusChanged, [this, &d] { sentences += d.sentence() + '|'; });
    }
    QList<QDateTime> acknowledged, released;
    bool ready = true;
    QString sentences;
};

}  // namespace

// Through the real destination, made from its section, against a local
// server: what each way a server can answer leaves behind.
TEST(Networks, TheDestinationRetriesServerErrorsStopsOnARefusedLoginAndGivesUpOnASilentServer)
{
    const struct {
        HttpNetworkPauses pauses;  // a retry of 60 s never comes within the test
        QList<QPair<int, QByteArray>> answers;
        bool silent;
        int requests;
        bool delivered, readyAfter;
        const char *said;  // on the way
        const char *last;
    } rows[] = {
        {{20, 80, 30000, 0}, {{500, "Internal Server Error"}}, false, 2, true, true,
         "WOW: failing: HTTP 500: Internal Server Error; next try in 1 s", "WOW: delivered "},
        {{20, 80, 30000, 0}, {{403, "Forbidden"}}, false, 1, false, false, "", "WOW: failing: HTTP 403: Forbidden; check"},
        {{60000, 60000, 300, 0}, {}, true, 1, false, true, "", "WOW: failing: no answer within 1 s; next try in 60 s"},
        {{60000, 60000, 30000, 0}, {{200, QByteArray(64 * 1024, 'x')}}, false, 1, false, true, "",
         "WOW: failing: the answer is longer than 16384 bytes; next try in 60 s"},
    };
    for (const auto &row : rows) {
        setHttpNetworkPauses(row.pauses);
        NetworkServer server(row.answers, row.silent);
        PublishSettings settings;
        settings.sections.push_back({QStringLiteral("wow"), 1, {{QStringLiteral("enabled"), QStringLiteral("yes"), 2},
                                                                {QStringLiteral("siteId"), QStringLiteral("42"), 3},
                                                                {QStringLiteral("key"), QStringLiteral("1"), 4},
                                                                {QStringLiteral("url"), server.url(), 5}}});
        auto list = makeDestinations(settings, kContext);
        ASSERT_EQ(list.size(), 1u);
        Destination &wow = *list.front();
        EXPECT_EQ(wow.state(), DestinationState::Waiting);
        Heard heard(wow);
        wow.take(frost());
        ASSERT_TRUE(waitFor([&] { return wow.sentence().contains(QLatin1String(row.last)); })) << row.last;
        ASSERT_TRUE(waitFor([&] { return server.buffer.size() >= row.requests; })) << row.last;
        EXPECT_EQ(server.buffer.size(), row.requests) << row.last;
        EXPECT_TRUE(server.buffer.first().contains("\r\nUser-Agent: Nimbrel 9.9\r\n"));
        EXPECT_EQ(heard.acknowledged, row.delivered ? QList<QDateTime>{kWhen} : QList<QDateTime>{}) << row.last;
        EXPECT_EQ(heard.ready, row.readyAfter) << row.last;
        EXPECT_TRUE(heard.sentences.contains(QLatin1String(row.said))) << qPrintable(heard.sentences);
        EXPECT_EQ(wow.state(), row.delivered ? DestinationState::Ok : DestinationState::Failing) << row.last;
        EXPECT_EQ(wow.line(), row.delivered ? QStringLiteral("WOW: delivered ") + kWhen.toString(QStringLiteral("HH:mm"))
                                            : wow.sentence());
        // Refused: no more tries, a newer record is passed over at once.
        wow.take(frost(10));
        EXPECT_EQ(heard.released, row.readyAfter ? QList<QDateTime>{} : QList<QDateTime>{frost(10).time});
        EXPECT_EQ(server.buffer.size(), row.requests) << row.last;
    }
    setHttpNetworkPauses({});
}

namespace {

// A service that takes one record per 300 s, only the present or the past.
struct PacedService final : HttpService {
    PacedService(QString url, bool past) : url(url), past(past) {}
    QString title() const override { return QStringLiteral("Paced"); }
    Reach reach() const override { return {past, 0}; }
    int intervalSecs() const override { return 300; }
    std::optional<HttpCall> call(const CurrentConditions &, const StationState &, QString *) const override
    {
        return HttpCall{"GET", QUrl(url), {}, {}};
    }
    Answer answer(const HttpAnswer &a) const override { return commonAnswer(a, true); }
    QString url;
    bool past;
};

}  // namespace

// Within the interval a present-only service's waiting record gives way to
// a newer one; one that takes the past passes over records dated within its
// interval of the last one sent, so that it never falls behind for good.
TEST(Networks, RecordsThatComeWithinTheIntervalAreReplacedOrPassedOver)
{
    for (const bool past : {false, true}) {
        NetworkServer server;
        auto d = makeHttpNetwork(QStringLiteral("paced"), std::make_unique<PacedService>(server.url(), past), kContext);
        Heard heard(*d);
        d->take(frost(0));
        ASSERT_TRUE(waitFor([&] { return !heard.acknowledged.isEmpty(); })) << past;
        d->take(frost(1));
        if (!past)
            d->take(frost(2));
        EXPECT_EQ(heard.released, QList<QDateTime>{frost(1).time}) << past;
        EXPECT_EQ(d->state(), past ? DestinationState::Ok : DestinationState::Sending) << past;
        EXPECT_EQ(server.buffer.size(), 1) << "the interval holds the next request back";
    }
}

// Bad lines of the networks' sections: one sentence each naming the line;
// those are listed as off with it and the others run.
TEST(Networks, EachUnusableSectionIsNamedByItsLineAndLeftOffWhileTheOthersRun)
{
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[upload]\nenabled = true\nurl = http://127.0.0.1:9/up\nstationId = A\nkey = B\n"
              "[windy]\nenabled = true\nstationId = f0a1\npassword = x\ncolour = red\n"
              "[pwsweather]\nenabled = true\nstationId = MY STATION\nkey = k\n"
              "[wow]\nenabled = true\nsiteId = 42\nkeyFile = wow.key\n");
    ini.close();
    QStringList problems;
    const auto list = makeDestinations(loadPublishSettings(ini.fileName()), kContext, &problems);
    const QStringList expected{
        QStringLiteral("nimbrel.ini:10: [windy] unknown key \"colour\"; Windy stays off."),
        QStringLiteral("nimbrel.ini:13: [pwsweather] stationId must be the station's ID of letters and digits such as "
                       "MYSTATION1, not \"MY STATION\"; PWSweather stays off."),
        QStringLiteral("nimbrel.ini:18: [wow] keyFile %1 cannot be read (no such file); WOW stays off.")
            .arg(dir.filePath(QStringLiteral("wow.key")))};
    EXPECT_EQ(problems, expected);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_NE(list[0]->state(), DestinationState::Off);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(list[i]->state(), DestinationState::Off);
        EXPECT_EQ(list[i]->sentence(), expected.value(i - 1));
    }
}
