// Passing records on: nimbrel.ini, the conditions as published, MQTT with
// Home Assistant discovery against a real mosquitto broker on a free
// loopback port, and the weather-network upload against a local HTTP server.
#include "CurrentConditions.h"
#include "HistoryStore.h"
#include "HomeAssistantDiscovery.h"
#include "MqttPublisher.h"
#include "PublishSettings.h"
#include "Recorder.h"
#include "StationEngine.h"
#include "Units.h"
#include "WeatherUpload.h"
#include "support/MqttBroker.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <mosquitto.h>
#include <mutex>

using namespace nimbrel;

namespace {

bool waitUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    return test::pumpUntil(done, timeoutMs);
}

using test::Broker;
using test::freePort;
using test::Subscriber;

MqttSettings localBroker(int port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    return s;
}

QJsonObject json(const std::optional<std::string> &payload)
{
    return payload ? QJsonDocument::fromJson(QByteArray::fromStdString(*payload)).object() : QJsonObject();
}

// A record with every sensor reading, channel 1 outdoors, the others empty.
Measurement goodRecord(const QDateTime &when)
{
    Measurement m;
    m.Dat = when;
    m.TempDoor = 21.4;
    m.HumDoor = 45;
    m.TempCH[0] = -3.5;
    m.HumCH[0] = 80;
    for (int i = 1; i < kChannelCount; ++i)
        m.TempCHState[i] = 4;  // no sensor
    m.PressLocal = 1013.25;
    m.WindSpeed = 10;
    m.WindGust = 20;
    m.WindDirection = 10;  // SW
    m.WindChill = -6.1;
    m.RainCount = 1010;
    m.UV = 2.5;
    return m;
}

}  // namespace

TEST(PublishSettings, MissingFileIsOffAndEachBadLineIsReportedOnceWhileTheRestApplies)
{
    QTemporaryDir dir;
    EXPECT_FALSE(loadPublishSettings(dir.filePath(QStringLiteral("nimbrel.ini"))).mqtt.enabled);

    QFile secret(dir.filePath(QStringLiteral("mqtt.pass")));
    secret.open(QIODevice::WriteOnly);
    secret.write("s3cr#t;x\n");
    secret.close();
    QFile ini(dir.filePath(QStringLiteral("nimbrel.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write(
        "; Home Assistant\n[mqtt]\nenabled=true\nhost = broker.lan\nport=eighteen\nthis line is wrong\n"
        "passwordFile=mqtt.pass\nuser=ha\ncolour=blue\ntopicPrefix=wx/garden\n"
        "[upload]\nenabled=yes\nurl=ftp://nowhere\nstationId=IX1\nkey=k\n");
    ini.close();
    const PublishSettings s = loadPublishSettings(ini.fileName());
    EXPECT_TRUE(s.mqtt.enabled);
    EXPECT_EQ(s.mqtt.host, QStringLiteral("broker.lan"));
    EXPECT_EQ(s.mqtt.port, 1883) << "a bad port keeps the default";
    EXPECT_EQ(s.mqtt.password, QStringLiteral("s3cr#t;x"));
    EXPECT_EQ(s.mqtt.user, QStringLiteral("ha"));
    EXPECT_EQ(s.mqtt.discoveryPrefix, QStringLiteral("homeassistant"));
    EXPECT_EQ(mqttTopics(s.mqtt).node, QStringLiteral("wx_garden"));
    EXPECT_FALSE(s.upload.enabled) << "without a usable url the upload stays off";
    const QStringList expected = {QStringLiteral("nimbrel.ini:5:"), QStringLiteral("nimbrel.ini:6:"),
                                  QStringLiteral("nimbrel.ini:9:"), QStringLiteral("nimbrel.ini:13:"),
                                  QStringLiteral("nimbrel.ini: [upload]")};
    ASSERT_EQ(s.problems.size(), expected.size()) << s.problems.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(s.problems[i].startsWith(expected[i])) << s.problems[i].toStdString();
    }
}

// Start-up must not hang on a FIFO or fill the memory from /dev/zero.
TEST(PublishSettings, AFileThatIsNoRegularFileIsNamedAndItsFeatureStaysOff)
{
    const struct {
        const char *ini;  // null: nimbrel.ini is a FIFO
        const char *named;
    } rows[] = {
        {nullptr, "nimbrel.ini: cannot be read (nimbrel.ini is not a regular file)"},
        {"passwordFile=pipe", "the password file"},
        {"passwordFile=/dev/zero", "/dev/zero cannot be read"},
        {"caFile=pipe", "the caFile"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.named);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("nimbrel.ini"));
        ASSERT_EQ(::mkfifo(qPrintable(row.ini ? dir.filePath(QStringLiteral("pipe")) : ini), 0600), 0);
        QFile file(ini);
        if (row.ini && file.open(QIODevice::WriteOnly))
            file.write(QByteArray("[mqtt]\nenabled=true\nhost=broker.lan\ntls=true\n") + row.ini + "\n");
        file.close();
        const PublishSettings s = loadPublishSettings(ini);
        EXPECT_FALSE(s.mqtt.enabled);
        ASSERT_EQ(s.problems.size(), 1) << s.problems.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(s.problems[0].contains(QLatin1String(row.named))) << s.problems[0].toStdString();
    }
}

// The outdoor channel: [channels] wins, else the upload's, else 1; the
// upload follows [channels] unless it names its own.
TEST(PublishSettings, ChannelNamesAndTheOutdoorChannelEachBadLineNamed)
{
    const struct {
        const char *ini;
        const char *name1;
        const char *name3;
        int outdoor;
        int upload;
        const char *problem;  // empty: none
    } rows[] = {
        {"", "", "", 1, 1, ""},
        {"[upload]\nchannel=4\n", "", "", 4, 4, ""},
        {"[channels]\noutdoor=3\n", "", "", 3, 3, ""},
        {"[upload]\nchannel=4\n[channels]\noutdoor=2\n", "", "", 2, 4, ""},
        {"[channels]\nname1 = Garden \nname3=Gew\u00e4chshaus\n", "Garden", "Gew\u00e4chshaus", 1, 1, ""},
        {"[channels]\nname1=12345678901234567890123456789012\n", "12345678901234567890123456789012", "", 1, 1, ""},
        {"[channels]\nname1=123456789012345678901234567890123\n", "", "", 1, 1,
         "nimbrel.ini:2: name1 must be at most 32"},
        {"[channels]\nname3=a\tb\n", "", "", 1, 1, "nimbrel.ini:2: name3 must not hold control"},
        {"[channels]\nname6=Pond\n", "", "", 1, 1, "nimbrel.ini:2: unknown key \"name6\" in [channels]"},
        {"[upload]\nchannel=4\n[channels]\noutdoor=6\n", "", "", 4, 4, "nimbrel.ini:4: outdoor must be a whole"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.ini);
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("nimbrel.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(row.ini);
        ini.close();
        const PublishSettings s = loadPublishSettings(ini.fileName());
        EXPECT_EQ(s.channels.names[0], QString::fromUtf8(row.name1));
        EXPECT_EQ(s.channels.names[2], QString::fromUtf8(row.name3));
        EXPECT_EQ(s.channels.outdoor, row.outdoor);
        EXPECT_EQ(s.upload.channel, row.upload);
        if (*row.problem) {
            ASSERT_EQ(s.problems.size(), 1) << s.problems.join(QLatin1Char('\n')).toStdString();
            EXPECT_TRUE(s.problems[0].startsWith(QString::fromUtf8(row.problem))) << s.problems[0].toStdString();
        } else {
            EXPECT_TRUE(s.problems.isEmpty()) << s.problems.join(QLatin1Char('\n')).toStdString();
        }
    }
}

// Home Assistant shows the name; the ids its history hangs on stay.
TEST(Mqtt, AChannelsNameIsInItsEntityNamesAndItsIdsStay)
{
    DiscoveryOptions options;
    options.channelsPresent = {true, true, false, false, false};
    options.channelNames[0] = QStringLiteral("Garden");
    QStringList shown;
    for (const DiscoveryMessage &m : discoveryMessages(mqttTopics(MqttSettings()), options)) {
        const QJsonObject config = QJsonDocument::fromJson(m.payload).object();
        if (m.objectId.endsWith(QLatin1String("_temperature")) || m.objectId.endsWith(QLatin1String("_battery")))
            shown << config[QStringLiteral("unique_id")].toString() + QLatin1Char('=') +
                         config[QStringLiteral("name")].toString();
    }
    EXPECT_EQ(shown.filter(QStringLiteral("channel")).join(QLatin1Char(',')).toStdString(),
              "nimbrel_channel1_temperature=Garden temperature,nimbrel_channel1_battery=Garden battery,"
              "nimbrel_channel2_temperature=Channel 2 temperature,nimbrel_channel2_battery=Channel 2 battery");
}

TEST(PublishedState, BaseUnitsAndNullWhereAPanelShowsAPlaceholder)
{
    QTemporaryDir dir;
    const QDateTime t(QDate(2026, 6, 21), QTime(12, 0));
    auto history = HistoryStore::open(dir.filePath(QStringLiteral("datat")), t).store;
    Measurement earlier = goodRecord(t.addSecs(-55 * 60));
    earlier.RainCount = 1000;
    history->append(earlier);
    history->append(goodRecord(t));
    const QJsonObject good = stateJson(currentConditions(goodRecord(t), StationSummary{}, history.get()));
    EXPECT_EQ(good[QStringLiteral("time")].toString(), isoWithOffset(t));
    EXPECT_TRUE(QDateTime::fromString(good[QStringLiteral("time")].toString(), Qt::ISODate).offsetFromUtc() ==
                t.offsetFromUtc());
    const std::pair<const char *, double> numbers[] = {{"indoor_temperature", 21.4},
                                                       {"indoor_humidity", 45},
                                                       {"channel1_temperature", -3.5},
                                                       {"channel1_humidity", 80},
                                                       {"pressure_sea_level", 1013.3},
                                                       {"wind_speed", 16.1},
                                                       {"wind_gust", 32.2},
                                                       {"wind_direction", 225},
                                                       {"wind_chill", -6.1},
                                                       {"rain_last_hour", 6.88},
                                                       {"rain_24h", 6.88},
                                                       {"rain_today", 6.88},
                                                       {"rain_counter", 1010},
                                                       {"uv_index", 2.5}};
    for (const auto &[key, value] : numbers) {
        EXPECT_DOUBLE_EQ(good[QLatin1String(key)].toDouble(-999), value) << key;
    }
    EXPECT_EQ(good[QStringLiteral("wind_direction_point")].toString(), QStringLiteral("SW"));
    // The gauge's count past what one rain window may hold is still a count.
    Measurement longRun = goodRecord(t);
    longRun.RainCount = 4000;
    EXPECT_DOUBLE_EQ(stateJson(currentConditions(longRun, StationSummary{}, nullptr))[QStringLiteral("rain_counter_mm")]
                         .toDouble(),
                     4000 * rainTipFactor(unitCode(RainUnit::Mm)));
    for (const char *key : {"channel2_temperature", "channel2_humidity", "channel5_dew_point"}) {
        EXPECT_TRUE(good.contains(QLatin1String(key)) && good[QLatin1String(key)].isNull())
            << key << ": no sensor, a null rather than 0";
    }

    struct Fault {
        const char *situation;
        std::function<void(Measurement &)> spoil;
        const char *nullKey;
    };
    const Fault faults[] = {
        {"indoor sensor too cold", [](Measurement &m) { m.TempDoorState = 1; }, "indoor_temperature"},
        {"indoor sensor error hides the humidity", [](Measurement &m) { m.TempDoorState = 3; }, "indoor_humidity"},
        {"channel sensor too hot", [](Measurement &m) { m.TempCHState[0] = 2; }, "channel1_temperature"},
        {"channel humidity of 100 %", [](Measurement &m) { m.HumCH[0] = 100; }, "channel1_humidity"},
        {"pressure invalid", [](Measurement &m) { m.PressLocalInvalid = 1; }, "pressure_station"},
        {"wind sensor error", [](Measurement &m) { m.WindSpeedState = 2; }, "wind_speed"},
        {"wind above 200 mph", [](Measurement &m) { m.WindGust = 250; }, "wind_gust"},
        {"wind chill without wind", [](Measurement &m) { m.WindChillState = 4; }, "wind_chill"},
        {"rain gauge without reading", [](Measurement &m) { m.RainState = 1; }, "rain_last_hour"},
    };
    for (const Fault &f : faults) {
        Measurement m = goodRecord(t);
        f.spoil(m);
        const QJsonObject o = stateJson(currentConditions(m, StationSummary{}, history.get()));
        EXPECT_TRUE(o[QLatin1String(f.nullKey)].isNull()) << f.situation;
    }
}

TEST(Mqtt, RetainedDiscoveryAndStateFollowTheRecordsOfTheSimulatedStation)
{
    NEEDS_MOSQUITTO();
    Broker broker;
    ASSERT_TRUE(broker.start());

    // The station side: a full read, then a poll that brings three records.
    QTemporaryDir dir;
    test::SimLink link;
    auto history = HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime()).store;
    const LinkApi api = link.api();
    Recorder recorder;
    recorder.setLink(&api, api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0));
    recorder.setHistory(history.get());
    recorder.linkCheck();

    MqttPublisher publisher(localBroker(broker.port), QStringLiteral("9.9"));
    publisher.setReconnectDelays(50, 200);
    publisher.start();
    std::vector<QDateTime> published;
    QObject::connect(&recorder, &Recorder::recordTakenOver, [&](const Measurement &m) {
        published.push_back(m.Dat);
        publisher.publish(currentConditions(m, recorder.summary(), history.get()));
    });
    ASSERT_EQ(recorder.fullRead(), FullReadResult::Completed);
    ASSERT_EQ(published.size(), 1u) << "a full read passes on only its newest record";
    link.station().addSlots(3);
    ASSERT_EQ(recorder.incrementalRead(), PollResult::NewRecord);
    ASSERT_EQ(published.size(), 4u) << "a poll passes on each record it brought";
    EXPECT_TRUE(std::is_sorted(published.begin(), published.end()));

    Subscriber late(broker.port);  // sees only what is retained
    const QString newest = isoWithOffset(recorder.measurement().Dat);
    const QJsonObject state = json(late.waitFor(QStringLiteral("nimbrel/state"), [&](const std::string &p) {
        return json(p)[QStringLiteral("time")].toString() == newest;
    }));
    EXPECT_EQ(state[QStringLiteral("time")].toString(), newest);
    EXPECT_EQ(late.waitFor(QStringLiteral("nimbrel/availability")), std::optional<std::string>("online"));
    const QJsonObject config = json(late.waitFor(QStringLiteral("homeassistant/sensor/nimbrel/rain_total/config")));
    EXPECT_EQ(config[QStringLiteral("unique_id")].toString(), QStringLiteral("nimbrel_rain_total"));
    EXPECT_EQ(config[QStringLiteral("state_class")].toString(), QStringLiteral("total_increasing"));
    EXPECT_EQ(config[QStringLiteral("state_topic")].toString(), QStringLiteral("nimbrel/state"));
    // The program's and the station's availability, both required.
    const QJsonArray availability = config[QStringLiteral("availability")].toArray();
    ASSERT_EQ(availability.size(), 2);
    EXPECT_EQ(availability[0][QStringLiteral("topic")].toString(), QStringLiteral("nimbrel/availability"));
    EXPECT_EQ(availability[1][QStringLiteral("topic")].toString(), QStringLiteral("nimbrel/station"));
    EXPECT_EQ(config[QStringLiteral("availability_mode")].toString(), QStringLiteral("all"));
    EXPECT_EQ(config[QStringLiteral("device")][QStringLiteral("name")].toString(), QLatin1String(kDeviceName));
    EXPECT_EQ(config[QStringLiteral("device")][QStringLiteral("sw_version")].toString(), QStringLiteral("9.9"));
    for (const char *objectId :
         {"indoor_temperature", "indoor_humidity", "indoor_dew_point", "pressure_sea_level", "pressure_station",
          "wind_speed", "wind_gust", "wind_direction", "wind_chill", "rain_last_hour", "rain_24h", "uv_index"}) {
        const QString topic = QStringLiteral("homeassistant/sensor/nimbrel/%1/config").arg(QLatin1String(objectId));
        EXPECT_TRUE(late.waitFor(topic).has_value()) << objectId;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const bool present = currentConditions(recorder.measurement(), {}, nullptr).channels[c].present;
        const QString topic = QStringLiteral("homeassistant/sensor/nimbrel/channel%1_temperature/config").arg(c + 1);
        EXPECT_EQ(late.count(topic), present ? 1 : 0) << "channel " << c + 1;
    }

    // Home Assistant restarted: every config comes again.
    const QString configTopic = QStringLiteral("homeassistant/sensor/nimbrel/uv_index/config");
    const int before = late.count(configTopic);
    late.send("homeassistant/status", "online");
    EXPECT_TRUE(waitUntil([&] { return late.count(configTopic) > before; }));
}

// A jump of five records: five states in order, each with its record's
// time; the station topic follows the station (detached, attached, its
// newest record growing old); the configs Home Assistant expects.
TEST(Mqtt, EveryRecordOfAPollIsSentAndTheStationTopicFollowsTheStation)
{
    NEEDS_MOSQUITTO();
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber watcher(broker.port);

    QTemporaryDir dir;
    test::SimLink link;
    auto history = HistoryStore::open(dir.filePath(QStringLiteral("datat")), QDateTime::currentDateTime()).store;
    const LinkApi api = link.api();
    Recorder recorder;
    recorder.setLink(&api, api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0));
    recorder.setHistory(history.get());
    recorder.linkCheck();

    MqttPublisher publisher(localBroker(broker.port), QStringLiteral("9.9"));
    publisher.setReconnectDelays(50, 200);
    QDateTime clock;
    publisher.setClock([&clock] { return clock; });
    publisher.setConfigurationUrl(QStringLiteral("http://weather.local:8080/"));
    publisher.start();
    const int period = 5;
    QObject::connect(&recorder, &Recorder::recordTakenOver, [&](const Measurement &m) {
        publisher.publish(currentConditions(m, recorder.summary(), history.get()));
        clock = m.Dat.addSecs(30);
        publisher.setStationState(true, m.Dat, period);
    });
    ASSERT_EQ(recorder.fullRead(), FullReadResult::Completed);
    ASSERT_TRUE(waitUntil([&] { return publisher.isConnected(); }));
    ASSERT_TRUE(watcher.waitFor(QStringLiteral("nimbrel/state")));
    link.station().addSlots(5);
    ASSERT_EQ(recorder.incrementalRead(), PollResult::NewRecord);
    const QString newest = isoWithOffset(recorder.measurement().Dat);
    ASSERT_TRUE(watcher.waitFor(QStringLiteral("nimbrel/state"), [&](const std::string &p) {
        return json(p)[QStringLiteral("time")].toString() == newest;
    }));
    QStringList times;
    for (const std::string &p : watcher.payloads(QStringLiteral("nimbrel/state")))
        times << json(p)[QStringLiteral("time")].toString();
    ASSERT_EQ(times.size(), 6) << times.join(QLatin1Char(' ')).toStdString();
    times.removeDuplicates();
    EXPECT_EQ(times.size(), 6) << "each state carries its own record's time";
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end())) << "oldest first";

    // Detached, attached again, then no record for three periods.
    const QString station = QStringLiteral("nimbrel/station");
    auto says = [&](const char *word) { return waitUntil([&] { return watcher.last(station) == word; }); };
    const QDateTime last = recorder.measurement().Dat;
    EXPECT_TRUE(says("online"));
    EXPECT_TRUE(publisher.stationOnline());
    publisher.setStationState(false, last, period);
    EXPECT_TRUE(says("offline")) << "detached";
    publisher.setStationState(true, last, period);
    EXPECT_TRUE(says("online")) << "attached again";
    clock = last.addSecs(3 * period * 60);
    publisher.setStationState(true, last, period);
    EXPECT_TRUE(says("offline")) << "three periods old";
    // The newest record grows old while nothing else happens.
    clock = last.addSecs(3 * period * 60 - 1).addMSecs(800);
    publisher.setStationState(true, last, period);
    EXPECT_TRUE(says("online"));
    clock = clock.addSecs(1);  // the age timer finds it old when it fires
    EXPECT_TRUE(says("offline")) << "grown old with no record";

    struct Expected {
        const char *topic;
        const char *deviceClass;
        const char *stateClass;  // "" none
        bool expires;
    };
    const Expected expected[] = {
        {"sensor/nimbrel/wind_direction", "wind_direction", "measurement_angle", true},
        {"sensor/nimbrel/rain_today", "precipitation", "total_increasing", true},
        {"sensor/nimbrel/last_record", "timestamp", "", false},
        {"sensor/nimbrel/channel1_dew_point", "temperature", "measurement", true},
        {"binary_sensor/nimbrel/channel1_battery", "battery", "", false},
        {"binary_sensor/nimbrel/wind_battery", "battery", "", false},
    };
    for (const Expected &e : expected) {
        const QJsonObject config =
            json(watcher.waitFor(QStringLiteral("homeassistant/%1/config").arg(QLatin1String(e.topic))));
        EXPECT_EQ(config[QStringLiteral("device_class")].toString(), QLatin1String(e.deviceClass)) << e.topic;
        EXPECT_EQ(config[QStringLiteral("state_class")].toString(), QLatin1String(e.stateClass)) << e.topic;
        EXPECT_EQ(config[QStringLiteral("expire_after")].toInt(), e.expires ? 3 * period * 60 : 0) << e.topic;
        EXPECT_EQ(config[QStringLiteral("origin")][QStringLiteral("sw_version")].toString(), QStringLiteral("9.9"));
        EXPECT_FALSE(config[QStringLiteral("origin")][QStringLiteral("support_url")].toString().isEmpty());
        EXPECT_EQ(config[QStringLiteral("device")][QStringLiteral("configuration_url")].toString(),
                  QStringLiteral("http://weather.local:8080/"));
        EXPECT_EQ(config[QStringLiteral("availability")].toArray().size(), 2) << e.topic;
    }
}

// The engine alone, with no window ever built: each record it takes over is
// published with the values the engine derived for that record, the same
// conditions its snapshot carries.
TEST(Mqtt, EngineWithoutAWindowPublishesEachRecordItTakesOver)
{
    NEEDS_MOSQUITTO();
    Broker broker;
    ASSERT_TRUE(broker.start());
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("nimbrel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[mqtt]\nenabled=true\nhost=127.0.0.1\nport=%1\n").arg(broker.port).toUtf8());
    ini.close();

    test::SimLink link;
    AppContext context;
    context.workDir = dir.path();
    StationEngine engine(context);
    engine.useLink(link.api());
    for (const char *name : {"Timer1", "Form2Timer1", "Timer2"})
        engine.findChild<QTimer *>(QString::fromLatin1(name))->setInterval(100);
    engine.recorder().setPollInterval(100);
    engine.openTables();
    ASSERT_EQ(engine.openStation(), LinkLoadError::None);
    engine.start();
    Subscriber subscriber(broker.port);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(waitUntil([&] { return engine.recorder().lastRecordPosition() != 0 && !engine.recorder().busy(); }));
        const SnapshotPtr shown = engine.snapshot();
        const QString newest = isoWithOffset(shown->record.Dat);
        const QJsonObject state = json(subscriber.waitFor(QStringLiteral("nimbrel/state"), [&](const std::string &p) {
            return json(p)[QStringLiteral("time")].toString() == newest;
        }));
        EXPECT_EQ(state, stateJson(shown->conditions)) << round;
        EXPECT_FALSE(state[QStringLiteral("rain_total")].isNull()) << round;
        link.station().addSlots(1);
        ASSERT_TRUE(waitUntil([&] { return engine.snapshot()->record.Dat > shown->record.Dat; }));
    }
    engine.shutDown();
}

TEST(Mqtt, LastWillAfterAKillAndStateBackAfterABrokerRestart)
{
    NEEDS_MOSQUITTO();
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber watcher(broker.port);
    QProcess child;
    child.start(QStringLiteral(MQTT_CHILD), {QString::number(broker.port)});
    ASSERT_TRUE(watcher.waitFor(QStringLiteral("nimbrel/availability"), [](auto &p) { return p == "online"; }));
    child.kill();
    child.waitForFinished();
    EXPECT_TRUE(watcher.waitFor(QStringLiteral("nimbrel/availability"), [](auto &p) { return p == "offline"; }))
        << "the broker sends the last will when the program dies";

    MqttPublisher publisher(localBroker(broker.port), QStringLiteral("t"));
    publisher.setReconnectDelays(50, 200);
    publisher.start();
    publisher.publish(currentConditions(goodRecord(QDateTime::currentDateTime()), {}, nullptr));
    ASSERT_TRUE(waitUntil([&] { return publisher.isConnected(); }));
    broker.stop();
    EXPECT_TRUE(waitUntil([&] { return !publisher.isConnected(); }));
    // Records taken over while the broker is away: only the newest counts.
    const QDateTime newest = QDateTime::currentDateTime().addSecs(60);
    publisher.publish(currentConditions(goodRecord(newest), {}, nullptr));
    ASSERT_TRUE(broker.start());
    Subscriber late(broker.port);
    EXPECT_EQ(json(late.waitFor(QStringLiteral("nimbrel/state")))[QStringLiteral("time")].toString(),
              isoWithOffset(newest));
    EXPECT_EQ(late.waitFor(QStringLiteral("nimbrel/availability")), std::optional<std::string>("online"));
}

TEST(Mqtt, WrongPasswordIsReportedAndTriedAgainRightOneConnects)
{
    NEEDS_MOSQUITTO();
    Broker broker(true);
    ASSERT_TRUE(broker.start()) << broker.process.readAllStandardError().toStdString();
    for (const char *password : {"wrong", "pw"}) {
        MqttSettings s = localBroker(broker.port);
        s.user = QStringLiteral("nimbrel");
        s.password = QLatin1String(password);
        MqttPublisher publisher(s, QStringLiteral("t"));
        publisher.setReconnectDelays(50, 100);
        QStringList reports;
        QObject::connect(&publisher, &MqttPublisher::connectionChanged,
                         [&](bool up, const QString &why) { reports << (up ? QStringLiteral("up") : why); });
        publisher.start();
        const bool right = QLatin1String(password) == QLatin1String("pw");
        EXPECT_TRUE(waitUntil([&] { return !reports.isEmpty(); })) << password;
        EXPECT_EQ(publisher.isConnected(), right) << password;
        EXPECT_EQ(reports.value(0).contains(QStringLiteral("refused")), !right)
            << reports.join(QLatin1Char('|')).toStdString();
    }
}

TEST(Mqtt, PublishingNeverWaitsForADeadOrSilentBroker)
{
    QTcpServer silent;  // accepts connections and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    for (const int port : {freePort(), static_cast<int>(silent.serverPort())}) {
        QElapsedTimer t;
        t.start();
        {
            MqttPublisher publisher(localBroker(port), QStringLiteral("t"));
            publisher.start();
            for (int i = 0; i < 200; ++i)
                publisher.publish(currentConditions(goodRecord(QDateTime::currentDateTime()), {}, nullptr));
            EXPECT_FALSE(publisher.isConnected());
        }
        // Generous: the point is seconds of connect time-outs, not speed.
        EXPECT_LT(t.elapsed(), 2000) << "port " << port;
    }
}

// The caFile is looked at before every connection and mosquitto reads a
// private copy: a FIFO put in its place after the start is refused in words,
// and the shut-down does not wait for a writer that never comes.
TEST(Mqtt, AFifoSwappedInForTheCaFileIsRefusedAndNeverHangsTheShutDown)
{
    QTemporaryDir dir;
    const QString ca = dir.filePath(QStringLiteral("ca.pem"));
    QFile pem(ca);
    ASSERT_TRUE(pem.open(QIODevice::WriteOnly));
    pem.write("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
    pem.close();
    MqttSettings settings = localBroker(freePort());  // nobody listens: every attempt fails at once
    settings.tls = true;
    settings.caFile = ca;
    QStringList reports;
    {
        MqttPublisher publisher(settings, QStringLiteral("t"));
        publisher.setReconnectDelays(10, 20);
        QObject::connect(&publisher, &MqttPublisher::connectionChanged,
                         [&](bool, const QString &why) { reports << why; });
        publisher.start();
        ASSERT_TRUE(waitUntil([&] { return !reports.isEmpty(); }));
        EXPECT_FALSE(reports[0].contains(QLatin1String("caFile"))) << qPrintable(reports[0]);
        ASSERT_TRUE(QFile::remove(ca));
        ASSERT_EQ(::mkfifo(QFile::encodeName(ca).constData(), 0600), 0);
        ASSERT_TRUE(waitUntil([&] { return reports.last().contains(QLatin1String("caFile")); }))
            << qPrintable(reports.join(QLatin1Char('|')));
        EXPECT_TRUE(reports.last().startsWith(QLatin1String("TLS cannot be set up: the caFile"))) << qPrintable(reports.last());
    }  // the publisher's thread has ended: nothing opened the FIFO
}

namespace {

// One answer of the upload endpoint: a status and the body.
struct UploadAnswer {
    UploadAnswer(int status, QByteArray body = "success") : status(status), body(std::move(body)) {}
    int status;
    QByteArray body;
};

// A weather network's upload endpoint: notes each query and answers with
// the next of `answers` (200 "success" once they are used up).
struct UploadServer {
    UploadServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            QTcpSocket *s = server.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                buffer[s] += s->readAll();
                if (!buffer[s].contains("\r\n\r\n"))
                    return;
                targets << buffer[s].split(' ').value(1);
                requests << QUrlQuery(QUrl(QString::fromUtf8(targets.last())).query());
                const UploadAnswer answer = answers.isEmpty() ? UploadAnswer(200) : answers.takeFirst();
                s->write(QStringLiteral("HTTP/1.1 %1 X\r\nContent-Length: %2\r\nConnection: close\r\n\r\n")
                             .arg(answer.status)
                             .arg(answer.body.size())
                             .toUtf8() +
                         answer.body);
                s->disconnectFromHost();
            });
        });
    }
    UploadSettings settings() const
    {
        UploadSettings u;
        u.enabled = true;
        u.url = QUrl(
            QStringLiteral("http://127.0.0.1:%1/weatherstation/updateweatherstation.php").arg(server.serverPort()));
        u.stationId = QStringLiteral("IGARDEN7");
        u.key = QStringLiteral("k&y=1+%");
        return u;
    }
    QTcpServer server;
    QMap<QTcpSocket *, QByteArray> buffer;
    QList<QByteArray> targets;  // as sent
    QList<QUrlQuery> requests;
    QList<UploadAnswer> answers;
};

}  // namespace

TEST(WeatherUpload, QueryHoldsEachFieldInImperialUnitsAndLeavesOutWhatHasNoReading)
{
    const QDateTime t = QDateTime(QDate(2026, 6, 21), QTime(10, 0), Qt::UTC).toLocalTime();
    CurrentConditions c = currentConditions(goodRecord(t), {}, nullptr);
    c.rainLastHourTips = 10;
    c.rainSinceMidnightTips = 100;
    UploadServer server;
    const QUrlQuery q = uploadQuery(server.settings(), c, QStringLiteral("Nimbrel 1.12"));
    const std::pair<const char *, const char *> fields[] = {{"ID", "IGARDEN7"},
                                                            {"PASSWORD", "k&y=1+%"},
                                                            {"action", "updateraw"},
                                                            {"dateutc", "2026-06-21 10:00:00"},
                                                            {"tempf", "25.7"},
                                                            {"humidity", "80"},
                                                            {"dewptf", "20.4"},
                                                            {"windspeedmph", "10"},
                                                            {"windgustmph", "20"},
                                                            {"winddir", "225"},
                                                            {"rainin", "0.27"},
                                                            {"dailyrainin", "2.71"},
                                                            {"baromin", "29.92"},
                                                            {"UV", "2.5"},
                                                            {"softwaretype", "Nimbrel 1.12"}};
    EXPECT_EQ(q.queryItems().size(), static_cast<int>(std::size(fields)));
    for (const auto &[key, value] : fields) {
        EXPECT_EQ(q.queryItemValue(QLatin1String(key), QUrl::FullyDecoded), QLatin1String(value)) << key;
    }

    Measurement spoiled = goodRecord(t);
    spoiled.TempCHState[0] = 3;
    spoiled.WindSpeedState = 1;
    spoiled.PressLocalInvalid = 1;
    spoiled.RainState = 1;
    const QUrlQuery without =
        uploadQuery(server.settings(), currentConditions(spoiled, {}, nullptr), QStringLiteral("x"));
    for (const char *key : {"tempf", "humidity", "dewptf", "windspeedmph", "baromin", "rainin"}) {
        EXPECT_FALSE(without.hasQueryItem(QLatin1String(key))) << key << " has no reading and is not sent as 0";
    }
    EXPECT_TRUE(without.hasQueryItem(QStringLiteral("windgustmph")));
}

TEST(WeatherUpload, OneUploadPerCurrentRecordAndFailuresAreRetriedLater)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const int refusal : {500, 429}) {
        UploadServer server;
        server.answers = {refusal};
        WeatherUpload upload(server.settings(), QStringLiteral("Nimbrel test"));
        upload.setRetryDelays(100, 400);
        upload.setClock([now] { return now; });
        QStringList failures;
        int uploaded = 0;
        QObject::connect(&upload, &WeatherUpload::uploadFailed, [&](const QString &why) { failures << why; });
        QObject::connect(&upload, &WeatherUpload::uploaded, [&] { ++uploaded; });

        upload.offer(currentConditions(goodRecord(now.addSecs(-11 * 60)), {}, nullptr));  // catch-up of a full read
        const CurrentConditions current = currentConditions(goodRecord(now.addSecs(-60)), {}, nullptr);
        upload.offer(current);
        upload.offer(current);  // the same record again
        ASSERT_TRUE(waitUntil([&] { return uploaded == 1; })) << refusal;
        ASSERT_EQ(server.requests.size(), 2) << "the refused upload once more, the stale record never";
        EXPECT_EQ(server.requests[0].toString(), server.requests[1].toString());
        EXPECT_TRUE(server.targets[0].contains("&PASSWORD=k%26y%3D1%2B%25&"))
            << "a server reads '+' as a space: " << server.targets[0].toStdString();
        ASSERT_EQ(failures.size(), 1);
        EXPECT_TRUE(failures[0].contains(QString::number(refusal))) << failures[0].toStdString();
        QThread::msleep(200);
        QCoreApplication::processEvents();
        EXPECT_EQ(server.requests.size(), 2);
    }
}

// The service answers 200 to almost everything, a wrong key included: only
// its word "success" is success; anything else reaches the status line in
// its own words, safe for one line of a log, and is tried again.
TEST(WeatherUpload, OnlyTheServicesSuccessIsSuccessAndAnythingElseShowsItsWords)
{
    const std::pair<UploadAnswer, const char *> rows[] = {
        {{200, "success\n"}, nullptr},
        {{200, "INVALID PASSWORDID|Password or key and/or id are incorrect"},
         "the service answered \"INVALID PASSWORDID|Password or key and/or id are incorrect\"; next try in 60 s"},
        {{200, ""}, "the service answered \"an empty answer\""},
        {{503, "down for maintenance"}, "HTTP 503 \"down for maintenance\""},
        {{200, "bad\x1b[2Jline\rtwo"}, "\"bad?[2Jline two\""},
        {{200, QByteArray(64 * 1024, 'x')}, "the answer is longer than 4096 bytes"},
    };
    const QDateTime now = QDateTime::currentDateTime();
    for (const auto &[answer, failure] : rows) {
        UploadServer server;
        server.answers = {answer};
        WeatherUpload upload(server.settings(), QStringLiteral("Nimbrel test"));
        upload.setRetryDelays(60000, 60000);
        upload.setClock([now] { return now; });
        QString said;
        QObject::connect(&upload, &WeatherUpload::uploadFailed, [&](const QString &why) { said = why; });
        QObject::connect(&upload, &WeatherUpload::uploaded, [&] { said = QStringLiteral("uploaded"); });
        upload.offer(currentConditions(goodRecord(now.addSecs(-60)), {}, nullptr));
        ASSERT_TRUE(waitUntil([&] { return !said.isEmpty(); })) << answer.body.left(40).constData();
        EXPECT_EQ(said == QLatin1String("uploaded"), !failure) << qPrintable(said);
        EXPECT_TRUE(!failure || (said.contains(QLatin1String(failure)) && upload.waiting() && said.size() < 300))
            << qPrintable(said);
    }
}

// A station whose clock runs ahead dates its records in the future: they
// are never sent as current, and once the clocks agree the records dated
// before the refused ones go out.
TEST(WeatherUpload, RecordsDatedAheadOfTheComputersClockAreNotSent)
{
    const QDateTime now = QDateTime::currentDateTime();
    UploadServer server;
    WeatherUpload upload(server.settings(), QStringLiteral("Nimbrel test"));
    upload.setClock([now] { return now; });
    upload.setHistoryPeriod(5);
    QString said;
    QObject::connect(&upload, &WeatherUpload::uploadFailed, [&](const QString &why) { said = why; });
    QObject::connect(&upload, &WeatherUpload::uploaded, [&] { said = QStringLiteral("uploaded"); });
    // Seconds ahead of the computer's clock, and whether the record is sent.
    for (const auto &[ahead, sent] : {std::pair{3 * 3600, false}, {5 * 60 + 1, false}, {-60, true}, {4 * 60, true}}) {
        said.clear();
        upload.offer(currentConditions(goodRecord(now.addSecs(ahead)), {}, nullptr));
        ASSERT_TRUE(waitUntil([&] { return !said.isEmpty(); })) << ahead;
        EXPECT_EQ(said.contains(QLatin1String("ahead of the computer's clock")), !sent) << ahead << qPrintable(said);
    }
    EXPECT_EQ(server.requests.size(), 2);
}
