// Every destination through a long outage: the station keeps storing
// records for hours while the broker, the weather network and the database
// are away, the program is restarted and a window takes the station over
// meanwhile. When they come back, every record reaches every destination
// that takes past records, exactly once, and none reaches a destination
// older than it takes.
#include "Clock.h"
#include "HistoryStore.h"
#include "StationEngine.h"
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

// A weather network that takes the PWS protocol: every request's dateutc,
// with the program's clock when it came, and "success" in answer.
class PwsNetwork : public QObject {
public:
    explicit PwsNetwork(const Clock &clock) : clock_(clock)
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    buffer_[s] += s->readAll();
                    if (!buffer_[s].contains("\r\n\r\n"))
                        return;
                    const QByteArray target = buffer_[s].split(' ').value(1);
                    const QUrlQuery query(QUrl::fromEncoded(target).query());
                    QDateTime record = QDateTime::fromString(
                        query.queryItemValue(QStringLiteral("dateutc"), QUrl::FullyDecoded),
                        QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                    record.setTimeZone(QTimeZone::utc());
                    received.push_back({record, clock_.now()});
                    buffer_.erase(s);
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nsuccess");
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
    int port_ = test::freePort();
    QTcpServer server_;
    std::map<QTcpSocket *, QByteArray> buffer_;
};

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
    test::SimLink link;  // its newest record: 2026-06-21 12:00, five-minute period
    const QDateTime firstNewest(QDate(2026, 6, 21), QTime(12, 0));
    Clock clock(firstNewest.addSecs(30));
    test::Broker broker;
    ASSERT_TRUE(broker.start());
    PwsNetwork network(clock);
    ASSERT_TRUE(network.open());

    QTemporaryDir dir;
    QFile ini(QDir(dir.path()).filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[mqtt]\nenabled=true\nhost=127.0.0.1\nport=%1\n"
                             "[upload]\nenabled=true\nurl=http://127.0.0.1:%2/up\nstationId=I1\nkey=k\n")
                  .arg(broker.port)
                  .arg(network.port())
                  .toUtf8());
    ini.close();
    AppContext context;
    context.workDir = dir.path();
    context.clock = &clock;

    auto subscriber = std::make_unique<test::Subscriber>(broker.port);
    std::unique_ptr<StationEngine> recorder = startEngine(context, link);
    ASSERT_TRUE(pumpUntil([&] { return cursorOf(dir, "mqtt") == firstNewest && !network.received.empty(); }));

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
    subscriber = std::make_unique<test::Subscriber>(broker.port);
    window->shutDown();
    window.reset();
    recorder->takeStation();
    ASSERT_TRUE(pumpUntil([&] { return cursorOf(dir, "mqtt") == newest && cursorOf(dir, "upload") == newest; }))
        << qPrintable(cursorOf(dir, "mqtt").toString(Qt::ISODate));

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
    for (const PwsNetwork::Request &r : network.received) {
        EXPECT_TRUE(uploaded.insert(r.record).second) << "sent twice: " << qPrintable(r.record.toString(Qt::ISODate));
        EXPECT_LE(r.record.secsTo(r.at), 600) << qPrintable(r.record.toString(Qt::ISODate));
    }
    EXPECT_TRUE(uploaded.count(newest.toUTC()));
    recorder->shutDown();
}
