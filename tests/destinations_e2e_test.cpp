// Every destination through a long outage: the station keeps storing
// records for hours while the broker, the weather network and the database
// are away, the program is restarted and a window takes the station over
// meanwhile. When they come back, every record reaches every destination
// that takes past records, exactly once, and none reaches a destination
// older than it takes.
#include "Clock.h"
#include "HistoryStore.h"
#include "StationEngine.h"
#include "support/InfluxServer.h"
#include "support/MqttBroker.h"
#include "support/SimLink.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace nimbrel;
using test::pumpUntil;

namespace {

constexpr qint64 kPeriodMs = 5 * 60 * 1000;

// A weather network: the record each request carries (UTC), with the
// program's clock when it came, answered as the service answers success.
class Network : public QObject {
public:
    using RecordOf = std::function<QDateTime(const QByteArray &target)>;
    Network(const Clock &clock, RecordOf recordOf, QByteArray success)
        : clock_(clock), recordOf_(std::move(recordOf)), success_(std::move(success))
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    buffer_[s] += s->readAll();
                    if (!buffer_[s].contains("\r\n\r\n"))
                        return;
                    received.push_back({recordOf_(buffer_[s].split(' ').value(1)), clock_.now()});
                    buffer_.erase(s);
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(success_.size()) +
                             "\r\nConnection: close\r\n\r\n" + success_);
                    s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool open() { return server_.listen(QHostAddress::LocalHost, port_); }
    void close() { server_.close(); }
    int port() const { return port_; }

    struct Request {
        QDateTime record;  // UTC
        QDateTime at;      // the program's clock
    };
    std::vector<Request> received;

private:
    const Clock &clock_;
    RecordOf recordOf_;
    QByteArray success_;
    int port_ = test::freePort();
    QTcpServer server_;
    std::map<QTcpSocket *, QByteArray> buffer_;
};

QDateTime utc(const QString &text, const QString &format)
{
    QDateTime t = QDateTime::fromString(text, format);
    t.setTimeZone(QTimeZone::utc());
    return t;
}

// The PWS protocol dates a record by dateutc.
QDateTime pwsRecord(const QByteArray &target)
{
    const QUrlQuery query(QUrl::fromEncoded(target).query());
    return utc(query.queryItemValue(QStringLiteral("dateutc"), QUrl::FullyDecoded), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Weathercloud's path holds .../date/yyyyMMdd/time/HHmm in UTC.
QDateTime weathercloudRecord(const QByteArray &target)
{
    const QStringList parts = QString::fromLatin1(target).split(QLatin1Char('/'));
    const auto after = [&](const char *key) { return parts.value(parts.indexOf(QLatin1String(key)) + 1); };
    return utc(after("date") + after("time"), QStringLiteral("yyyyMMddHHmm"));
}

// The station engine as the background recorder or a window runs it.
std::unique_ptr<StationEngine> startEngine(const AppContext &context, test::SimLink &link)
{
    auto engine = std::make_unique<StationEngine>(context);
    engine->useLink(link.api());
    engine->findChild<QTimer *>(QStringLiteral("Form2Timer1"))->setInterval(10);
    engine->openTables();
    EXPECT_EQ(engine->openStation(), LinkLoadError::None);
    engine->start();
    return engine;
}

QDateTime cursorOf(const QTemporaryDir &dir, const char *name)
{
    QFile f(QDir(dir.path()).filePath(QStringLiteral("outbox/%1.cursor").arg(QLatin1String(name))));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QDateTime::fromString(QString::fromUtf8(f.readLine()).trimmed(), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

}  // namespace

TEST(Outbox, EveryRecordReachesEveryDestinationThroughAnOutageARestartAndAHandover)
{
    NEEDS_MOSQUITTO();
    NEEDS_INFLUXD();
    test::SimLink link;  // its newest record: 2026-06-21 12:00, five-minute period
    const QDateTime firstNewest(QDate(2026, 6, 21), QTime(12, 0));
    Clock clock(firstNewest.addSecs(30));
    test::Broker broker;
    ASSERT_TRUE(broker.start());
    Network network(clock, pwsRecord, "success");
    ASSERT_TRUE(network.open());
    Network presentOnly(clock, weathercloudRecord, "200");
    ASSERT_TRUE(presentOnly.open());
    test::InfluxServer influx;
    ASSERT_TRUE(influx.start());
    ASSERT_TRUE(influx.query(QStringLiteral("CREATE DATABASE weather")));

    QTemporaryDir dir;
    QFile ini(QDir(dir.path()).filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[mqtt]\nenabled=true\nhost=127.0.0.1\nport=%1\n"
                             "[upload]\nenabled=true\nurl=http://127.0.0.1:%2/up\nstationId=I1\nkey=k\n"
                             "[weathercloud]\nenabled=true\nurl=http://127.0.0.1:%3/v01/set\nstationId=w1\nkey=k1\n"
                             "[influxdb]\nenabled=true\nurl=%4\ndatabase=weather\n")
                  .arg(broker.port)
                  .arg(network.port())
                  .arg(presentOnly.port())
                  .arg(influx.url().toString())
                  .toUtf8());
    ini.close();
    AppContext context;
    context.workDir = dir.path();
    context.clock = &clock;

    auto subscriber = std::make_unique<test::Subscriber>(broker.port);
    std::unique_ptr<StationEngine> recorder = startEngine(context, link);
    ASSERT_TRUE(pumpUntil([&] {
        return cursorOf(dir, "mqtt") == firstNewest && cursorOf(dir, "influxdb") == firstNewest &&
               !network.received.empty() && !presentOnly.received.empty();
    }));

    // Hours of records: the station stores them, the clock follows.
    QDateTime newest = firstNewest;
    auto storeAnHour = [&](StationEngine &engine) {
        link.station().addSlots(12);
        clock.skip(12 * kPeriodMs);
        newest = newest.addMSecs(12 * kPeriodMs);
        return pumpUntil([&] {
            HistoryRow row;
            return engine.history() && engine.history()->newest(row) && row.Dat == newest &&
                   !engine.recorder().busy();
        });
    };

    broker.stop();
    network.close();
    presentOnly.close();
    influx.stop();
    ASSERT_TRUE(storeAnHour(*recorder));
    // Restarted during the outage.
    recorder->shutDown();
    recorder = startEngine(context, link);
    ASSERT_TRUE(storeAnHour(*recorder));
    // A window takes the station over, stores an hour and closes.
    bool released = false;
    recorder->releaseStation([&] { released = true; });
    ASSERT_TRUE(pumpUntil([&] { return released; }));
    std::unique_ptr<StationEngine> window = startEngine(context, link);
    ASSERT_TRUE(storeAnHour(*window));

    // Everything comes back; the window closes, the recorder carries on.
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(network.open());
    ASSERT_TRUE(presentOnly.open());
    ASSERT_TRUE(influx.start());
    subscriber = std::make_unique<test::Subscriber>(broker.port);
    window->shutDown();
    window.reset();
    recorder->takeStation();
    ASSERT_TRUE(pumpUntil([&] {
        return cursorOf(dir, "mqtt") == newest && cursorOf(dir, "upload") == newest &&
               cursorOf(dir, "influxdb") == newest && cursorOf(dir, "weathercloud") == newest;
    })) << qPrintable(cursorOf(dir, "mqtt").toString(Qt::ISODate));

    // InfluxDB takes past records: each of the 37 (the first and 36 since) exactly once.
    EXPECT_EQ(influx.count(QStringLiteral("weather"), QStringLiteral("weather"), QStringLiteral("indoor_temperature_c")),
              37);

    // MQTT takes past records: every state since the outage began, each with its own time.
    std::set<QString> stateTimes;
    for (const std::string &payload : subscriber->payloads(QStringLiteral("nimbrel/state")))
        stateTimes.insert(QJsonDocument::fromJson(QByteArray::fromStdString(payload))
                              .object()
                              .value(QStringLiteral("time"))
                              .toString()
                              .left(16));
    for (QDateTime t = firstNewest.addMSecs(kPeriodMs); t <= newest; t = t.addMSecs(kPeriodMs))
        EXPECT_TRUE(stateTimes.count(t.toString(QStringLiteral("yyyy-MM-ddTHH:mm")))) << qPrintable(t.toString());

    // The upload takes past records within ten minutes of their time, each once.
    std::set<QDateTime> uploaded;
    for (const Network::Request &r : network.received) {
        EXPECT_TRUE(uploaded.insert(r.record).second) << "sent twice: " << qPrintable(r.record.toString(Qt::ISODate));
        EXPECT_LE(r.record.secsTo(r.at), 600) << qPrintable(r.record.toString(Qt::ISODate));
    }
    EXPECT_TRUE(uploaded.count(newest.toUTC()));

    // Weathercloud takes only the present: the newest record when it came
    // back, and never one older than ten minutes.
    for (const Network::Request &r : presentOnly.received)
        EXPECT_LE(r.record.secsTo(r.at), 600) << qPrintable(r.record.toString(Qt::ISODate));
    EXPECT_EQ(presentOnly.received.back().record, newest.toUTC());
    recorder->shutDown();
}
