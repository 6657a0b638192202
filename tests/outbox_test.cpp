// SPDX-License-Identifier: GPL-3.0-or-later
#include "Destinations.h"
#include "HistoryStore.h"
#include "Outbox.h"
#include "support/MqttBroker.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace nimbrel;

namespace {

const QDateTime kFirst(QDate(2026, 12, 7), QTime(8, 0));
constexpr int kStepSecs = 300;

QDateTime recordTime(int i)
{
    return kFirst.addSecs(qint64(i) * kStepSecs);
}

// A destination that takes whatever it is handed while it is "connected"
// and acknowledges each record at once, as a fast server would.
class FakeDestination : public Destination {
public:
    FakeDestination(Reach reach, int capacity) : reach_(reach), capacity_(capacity) {}
    QString name() const override { return QStringLiteral("fake"); }
    Reach reach() const override { return reach_; }
    int capacity() const override { return capacity_; }
    bool ready() const override { return up; }
    void take(const CurrentConditions &c) override
    {
        taken.push_back(c.time);
        indoor.push_back(c.indoorTemperatureC);
        Q_EMIT acknowledged(c.time);
    }
    void setStationState(const StationState &) override {}
    DestinationState state() const override { return DestinationState::Ok; }
    QString line() const override { return {}; }
    QString sentence() const override { return {}; }
    QString troubleWord() const override { return {}; }
    void setUp(bool on)
    {
        up = on;
        Q_EMIT readyChanged(on);
    }

    bool up = true;
    std::vector<QDateTime> taken;
    std::vector<std::optional<double>> indoor;

private:
    Reach reach_;
    int capacity_;
};

struct History {
    QTemporaryDir dir;
    std::unique_ptr<HistoryStore> store =
        HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime()).store;
    int count = 0;

    void add(int n)
    {
        for (int i = 0; i < n; ++i, ++count) {
            Measurement m;
            m.Dat = recordTime(count);
            m.TempDoor = 20 + count * 0.1;
            store->append(m);
        }
    }
    QString cursorPath(const char *name = "fake") const
    {
        return dir.filePath(QStringLiteral("outbox/%1.cursor").arg(QLatin1String(name)));
    }
    void writeCursor(const QDateTime &at, const char *name = "fake") const
    {
        QDir(dir.path()).mkpath(QStringLiteral("outbox"));
        QFile f(cursorPath(name));
        f.open(QIODevice::WriteOnly);
        f.write(HistoryStore::dateText(at).toLatin1() + '\n');
    }
    Outbox::Convert convert() const
    {
        return [](const HistoryRow &row) {
            CurrentConditions c;
            c.time = row.Dat;
            c.indoorTemperatureC = row.TempDoor;
            return c;
        };
    }
};

std::vector<QDateTime> times(int from, int to)
{
    std::vector<QDateTime> list;
    for (int i = from; i <= to; ++i)
        list.push_back(recordTime(i));
    return list;
}

}  // namespace

// Where a destination resumes: records 0..stored-1 are in the history when
// it starts; `outage` more arrive while it is away.
TEST(Outbox, ResumesAfterItsCursorOldestFirstAndNeverFloods)
{
    constexpr int kNoCursor = -1;
    constexpr int kCursorAhead = 1000;
    struct Case {
        const char *what;
        Reach reach;
        int capacity;
        int stored;
        int cursor;            // index of the record acknowledged before, or kNoCursor / kCursorAhead
        int nowAfterNewestSecs;  // the clock, after the newest record
        int outage;            // records that arrive while it is away
        std::vector<QDateTime> expected;
    };
    const Reach past{true, 0};
    const Case cases[] = {
        {"restart: the records after the cursor", past, 100, 10, 3, 60, 0, times(4, 9)},
        {"restart in small batches", past, 2, 10, 3, 60, 0, times(4, 9)},
        {"restart with nothing new", past, 100, 10, 9, 60, 0, {}},
        {"first start: only the newest", past, 100, 10, kNoCursor, 60, 0, times(9, 9)},
        {"cursor newer than the history: only the newest", past, 100, 10, kCursorAhead, 60, 0, times(9, 9)},
        {"outage: every record it missed, once", past, 100, 5, 4, 60, 7, times(5, 11)},
        {"outage longer than a batch", past, 100, 5, 4, 60, kOutboxBatch + 20, times(5, kOutboxBatch + 24)},
        {"back-fill window: only the last 10 minutes", Reach{true, 600}, 1, 10, 2, 60, 0, times(8, 9)},
        {"present only: the newest, fresh", Reach{false, 900}, 100, 10, 2, 60, 0, times(9, 9)},
        {"present only: nothing older than its limit", Reach{false, 900}, 100, 10, 2, 901, 0, {}},
        {"present only after an outage: the newest", Reach{false, 900}, 100, 5, 4, 60, 6, times(10, 10)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        History h;
        ASSERT_TRUE(h.store);
        h.add(c.stored);
        if (c.cursor != kNoCursor)
            h.writeCursor(recordTime(c.cursor));
        auto fake = std::make_unique<FakeDestination>(c.reach, c.capacity);
        FakeDestination *d = fake.get();
        Outbox outbox(std::move(fake), h.cursorPath());
        outbox.setHistory(h.store.get(), h.convert());
        QDateTime now = recordTime(h.count - 1).addSecs(c.nowAfterNewestSecs);
        outbox.setClock([&now] { return now; });
        if (c.outage > 0) {
            d->setUp(false);
            for (int i = 0; i < c.outage; ++i) {
                h.add(1);
                outbox.pump();
            }
            now = recordTime(h.count - 1).addSecs(c.nowAfterNewestSecs);
            d->setUp(true);
        } else {
            outbox.pump();
        }
        ASSERT_TRUE(test::pumpUntil([&] { return !outbox.handingOut(); }));
        EXPECT_EQ(d->taken, c.expected);
        // Once all is acknowledged the cursor on disk is the newest taken.
        if (!c.expected.empty()) {
            QFile f(h.cursorPath());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(HistoryStore::dateFromText(QString::fromLatin1(f.readAll().trimmed())), c.expected.back());
        }
    }
}

// A stored row has lost its sensor states (a failed sensor is stored as 0):
// the record just taken over goes as it was taken, older ones as stored.
TEST(Outbox, TheRecordTakenOverKeepsWhatItsStoredRowLost)
{
    History h;
    ASSERT_TRUE(h.store);
    h.add(3);
    h.writeCursor(recordTime(0));
    auto fake = std::make_unique<FakeDestination>(Reach{true, 0}, 100);
    FakeDestination *d = fake.get();
    Outbox outbox(std::move(fake), h.cursorPath());
    outbox.setHistory(h.store.get(), h.convert());
    CurrentConditions taken;
    taken.time = recordTime(2);  // the indoor sensor failed
    outbox.offer(taken);
    ASSERT_EQ(d->taken, times(1, 2));
    EXPECT_TRUE(d->indoor[0].has_value());
    EXPECT_FALSE(d->indoor[1].has_value());
}

// A long catch-up goes a batch per turn of the event loop (each record is
// converted on the recorder's thread), and the record taken over keeps its
// sensor states even when its turn comes later.
TEST(Outbox, ALongCatchUpGoesABatchPerTurnAndKeepsTheRecordTakenOver)
{
    History h;
    ASSERT_TRUE(h.store);
    h.add(2 * kOutboxBatch + 50);
    h.writeCursor(recordTime(0));
    auto fake = std::make_unique<FakeDestination>(Reach{true, 0}, 5000);
    FakeDestination *d = fake.get();
    Outbox outbox(std::move(fake), h.cursorPath());
    outbox.setHistory(h.store.get(), h.convert());
    CurrentConditions taken;
    taken.time = recordTime(h.count - 1);  // the indoor sensor failed
    outbox.offer(taken);
    EXPECT_EQ(d->taken.size(), static_cast<std::size_t>(kOutboxBatch));
    ASSERT_TRUE(test::pumpUntil([&] { return !outbox.handingOut(); }));
    EXPECT_EQ(d->taken, times(1, h.count - 1));
    EXPECT_TRUE(d->indoor[d->indoor.size() - 2].has_value());
    EXPECT_FALSE(d->indoor.back().has_value());
}

// The broker goes away while records keep arriving; when it is back every
// one of them reaches it once, oldest first, each with its own time, and the
// cursor on disk says so.
TEST(Outbox, MqttGetsEveryRecordOfABrokerOutageOnceInOrder)
{
    NEEDS_MOSQUITTO();
    test::Broker broker;
    ASSERT_TRUE(broker.start());
    History h;
    ASSERT_TRUE(h.store);
    PublishSettings settings;
    settings.mqtt.enabled = true;
    settings.mqtt.host = QStringLiteral("127.0.0.1");
    settings.mqtt.port = broker.port;
    auto list = makeDestinations(settings, {h.dir.path(), QStringLiteral("9.9"), {}});
    ASSERT_EQ(list.size(), 1u);
    Outbox outbox(std::move(list.front()), h.cursorPath("mqtt"));
    outbox.setHistory(h.store.get(), [&h](const HistoryRow &row) {
        Measurement m;
        loadMeasurement(row, m);
        return currentConditions(m, StationSummary{}, h.store.get());
    });
    const QString stateTopic = QStringLiteral("nimbrel/state");
    auto timeOf = [](const std::string &payload) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(payload))
            .object()
            .value(QStringLiteral("time"))
            .toString();
    };

    ASSERT_TRUE(test::pumpUntil([&] { return outbox.destination().ready(); }, 30000));
    h.add(1);
    outbox.offer({});
    ASSERT_TRUE(test::pumpUntil([&] { return outbox.cursor() == recordTime(0); }, 30000));

    broker.stop();
    ASSERT_TRUE(test::pumpUntil([&] { return outbox.status().state == DestinationState::Failing; }, 30000));
    constexpr int kMissed = 12;
    for (int i = 0; i < kMissed; ++i) {
        h.add(1);
        outbox.offer({});
    }
    ASSERT_TRUE(broker.start());
    test::Subscriber after(broker.port);
    const QString newest = isoWithOffset(recordTime(kMissed));
    ASSERT_TRUE(after.waitFor(stateTopic, [&](const std::string &p) { return timeOf(p) == newest; }));
    ASSERT_TRUE(test::pumpUntil([&] { return outbox.cursor() == recordTime(kMissed); }, 30000));

    QStringList got;
    for (const std::string &p : after.payloads(stateTopic))
        got << timeOf(p);
    QStringList expected;
    for (int i = 1; i <= kMissed; ++i)
        expected << isoWithOffset(recordTime(i));
    EXPECT_EQ(got, expected);
    QFile f(h.cursorPath("mqtt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().trimmed(), HistoryStore::dateText(recordTime(kMissed)).toLatin1());
}

// After a restart the upload sends what it missed within its back-fill
// window of ten minutes, oldest first, each once with its own dateutc, and
// nothing older.
TEST(Outbox, UploadCatchesUpWithinItsWindowOldestFirst)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QStringList dates;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [&dates, s] {
            const QByteArray request = s->peek(8192);
            if (!request.contains("\r\n\r\n"))
                return;
            const QUrl target(QString::fromUtf8(request.split(' ').value(1)));
            dates << QUrlQuery(target).queryItemValue(QStringLiteral("dateutc"), QUrl::FullyDecoded);
            s->readAll();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nsuccess");
            s->disconnectFromHost();
        });
    });
    History h;
    ASSERT_TRUE(h.store);
    h.add(6);  // 08:00 .. 08:25
    h.writeCursor(recordTime(0), "upload");
    PublishSettings settings;
    settings.upload.enabled = true;
    settings.upload.url = QUrl(QStringLiteral("http://127.0.0.1:%1/update.php").arg(server.serverPort()));
    settings.upload.stationId = QStringLiteral("IGARDEN7");
    settings.upload.key = QStringLiteral("key");
    const QDateTime now = recordTime(5).addSecs(60);  // 08:26: 08:20 and 08:25 are within ten minutes
    auto list = makeDestinations(settings, {h.dir.path(), QStringLiteral("9.9"), [now] { return now; }});
    ASSERT_EQ(list.size(), 1u);
    Outbox outbox(std::move(list.front()), h.cursorPath("upload"));
    outbox.setClock([now] { return now; });
    outbox.setHistory(h.store.get(), h.convert());
    outbox.pump();
    ASSERT_TRUE(test::pumpUntil([&] { return outbox.cursor() == recordTime(5); }, 30000));
    auto utc = [](int i) { return recordTime(i).toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); };
    EXPECT_EQ(dates, (QStringList{utc(4), utc(5)}));
    EXPECT_EQ(outbox.status().state, DestinationState::Ok);
}
