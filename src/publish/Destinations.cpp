// SPDX-License-Identifier: GPL-3.0-or-later
#include "Destinations.h"

#include "HttpNetwork.h"
#include "HttpService.h"
#include "MqttPublisher.h"
#include "Networks.h"
#include "SafeFile.h"
#include "SectionReader.h"
#include "WeatherUpload.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <iterator>
#include <optional>

namespace nimbrel {

namespace {

constexpr qint64 kHandoverFileLimit = 16 * 1024;
// A handover takes a second or two; anything older is not trusted (the
// broker may have restarted and lost what it held).
constexpr qint64 kHandoverAgeMs = 5 * 60 * 1000;
// States handed to the broker and not yet acknowledged: one network turn's
// worth, well below what the publisher queues.
constexpr int kMqttInFlight = 100;

QString brokerName(const MqttSettings &mqtt)
{
    return QStringLiteral("%1:%2 %3 %4").arg(mqtt.host).arg(mqtt.port).arg(mqtt.topicPrefix, mqtt.discoveryPrefix);
}

QByteArray handoverJson(const MqttSettings &mqtt, const DiscoveryOptions &sent)
{
    QJsonArray channels;
    for (bool present : sent.channelsPresent)
        channels.append(present);
    QJsonArray names;
    for (const QString &name : sent.channelNames)
        names.append(name);
    const QJsonObject o{{QStringLiteral("leftAtMs"), QDateTime::currentMSecsSinceEpoch()},
                        {QStringLiteral("broker"), brokerName(mqtt)},
                        {QStringLiteral("channels"), channels},
                        {QStringLiteral("channelNames"), names},
                        {QStringLiteral("softwareVersion"), sent.softwareVersion},
                        {QStringLiteral("expireAfterSecs"), sent.expireAfterSecs},
                        {QStringLiteral("configurationUrl"), sent.configurationUrl}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// The configs the program before left on the same broker and topics, a
// moment ago; the file is used once.
std::optional<DiscoveryOptions> takeHandover(const QString &path, const MqttSettings &mqtt)
{
    QByteArray bytes;
    QString why;
    bool complete = false;
    const FileRead read = readFileStart(path, kHandoverFileLimit, bytes, why, false, &complete);
    if (read == FileRead::Read)
        QFile::remove(path);
    if (read != FileRead::Read || !complete)
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(bytes).object();
    const QJsonArray channels = o.value(QStringLiteral("channels")).toArray();
    const qint64 age = QDateTime::currentMSecsSinceEpoch() - o.value(QStringLiteral("leftAtMs")).toInteger(-1);
    if (o.value(QStringLiteral("broker")).toString() != brokerName(mqtt) || std::llabs(age) >= kHandoverAgeMs ||
        channels.size() != 5)
        return std::nullopt;
    DiscoveryOptions sent;
    for (int i = 0; i < 5; ++i)
        sent.channelsPresent[static_cast<std::size_t>(i)] = channels.at(i).toBool();
    // Names left by an older program are none: their configs said "Channel N".
    const QJsonArray names = o.value(QStringLiteral("channelNames")).toArray();
    for (int i = 0; i < 5 && i < names.size(); ++i)
        sent.channelNames[static_cast<std::size_t>(i)] = names.at(i).toString();
    sent.softwareVersion = o.value(QStringLiteral("softwareVersion")).toString();
    sent.expireAfterSecs = o.value(QStringLiteral("expireAfterSecs")).toInt();
    sent.configurationUrl = o.value(QStringLiteral("configurationUrl")).toString();
    return sent;
}

class MqttDestination : public Destination {
public:
    MqttDestination(const MqttSettings &settings, const std::array<QString, 5> &channelNames, const QString &dataDir,
                    const QString &version, const std::function<QDateTime()> &now)
        : settings_(settings),
          handoverPath_(QDir(dataDir).filePath(QLatin1String(kMqttHandoverFile))),
          publisher_(settings, version)
    {
        const std::optional<DiscoveryOptions> handedOver = takeHandover(handoverPath_, settings_);
        if (now)
            publisher_.setClock(now);
        publisher_.setOutbox(true);
        publisher_.setChannelNames(channelNames);
        connect(&publisher_, &MqttPublisher::connectionChanged, this, [this](bool connected, const QString &why) {
            text_ = connected ? QStringLiteral("MQTT: connected") : QStringLiteral("MQTT: ") + why;
            if (!connected)
                inFlight_ = 0;  // the outbox hands them again
            Q_EMIT statusChanged();
            Q_EMIT readyChanged(connected);
        });
        connect(&publisher_, &MqttPublisher::acknowledged, this, [this](const QDateTime &t) {
            if (inFlight_ > 0)
                --inFlight_;
            Q_EMIT acknowledged(t);
            if (inFlight_ == 0)
                Q_EMIT statusChanged();
        });
        if (handedOver)
            publisher_.continueAfter(*handedOver);
        continuing_ = handedOver.has_value();
        publisher_.start();
    }

    QString name() const override { return QStringLiteral("mqtt"); }
    Reach reach() const override { return {true, 0}; }
    int capacity() const override { return kMqttInFlight; }
    bool ready() const override { return publisher_.isConnected(); }
    void take(const CurrentConditions &c) override
    {
        publisher_.publish(c);
        if (++inFlight_ == 1)
            Q_EMIT statusChanged();
    }
    void refresh(const CurrentConditions &c) override { publisher_.publish(c); }
    void setStationState(const StationState &s) override
    {
        publisher_.setStationState(s.connected && s.headerRead, s.newestRecord, s.periodMinutes);
    }
    DestinationState state() const override
    {
        if (!publisher_.isConnected())
            return text_.isEmpty() ? DestinationState::Waiting : DestinationState::Failing;
        return inFlight_ > 0 ? DestinationState::Sending : DestinationState::Ok;
    }
    QString line() const override { return text_; }
    QString sentence() const override
    {
        return text_.isEmpty() ? QStringLiteral("MQTT: connecting to %1:%2").arg(settings_.host).arg(settings_.port)
                               : text_;
    }
    QString troubleWord() const override { return QStringLiteral("MQTT offline"); }
    bool continuing() const override { return continuing_; }

    void handOver() override
    {
        publisher_.leaveQuietly();
        const std::optional<DiscoveryOptions> sent = publisher_.sentDiscovery();
        QString why;
        if (sent && !writeFileAtomically(handoverPath_, handoverJson(settings_, *sent), &why))
            std::fprintf(stderr, "nimbrel: %s cannot be written: %s\n", qPrintable(handoverPath_), qPrintable(why));
    }

private:
    MqttSettings settings_;
    QString handoverPath_;
    MqttPublisher publisher_;
    QString text_;
    int inFlight_ = 0;
    bool continuing_ = false;
};

class UploadDestination : public Destination {
public:
    UploadDestination(const UploadSettings &settings, const QString &version, const std::function<QDateTime()> &now)
        : upload_(settings, QStringLiteral("Nimbrel ") + version)
    {
        if (now)
            upload_.setClock(now);
        connect(&upload_, &WeatherUpload::uploaded, this, [this](const QDateTime &recordTime) {
            text_ = QStringLiteral("Uploaded %1").arg(recordTime.toString(QStringLiteral("HH:mm")));
            failing_ = false;
            Q_EMIT statusChanged();
            Q_EMIT acknowledged(recordTime);
        });
        connect(&upload_, &WeatherUpload::uploadFailed, this, [this](const QString &why) {
            text_ = why;
            failing_ = true;
            Q_EMIT statusChanged();
            // Given up (stale) or refused (dated ahead): never sent.
            if (!upload_.waiting() && taken_.isValid())
                Q_EMIT released(taken_);
        });
    }

    QString name() const override { return QStringLiteral("upload"); }
    Reach reach() const override { return {true, kUploadMaxAgeSecs}; }
    int capacity() const override { return 1; }
    bool ready() const override { return true; }
    void take(const CurrentConditions &c) override
    {
        taken_ = c.time;
        upload_.offer(c);
        // Stale, dated ahead or not newer than the last one offered: the
        // upload drops it.
        if (!upload_.waiting())
            Q_EMIT released(c.time);
        Q_EMIT statusChanged();
    }
    void setStationState(const StationState &s) override { upload_.setHistoryPeriod(s.periodMinutes); }
    DestinationState state() const override
    {
        if (failing_)
            return DestinationState::Failing;
        if (upload_.waiting())
            return DestinationState::Sending;
        return text_.isEmpty() ? DestinationState::Waiting : DestinationState::Ok;
    }
    QString line() const override { return text_; }
    QString sentence() const override
    {
        return text_.isEmpty() ? QStringLiteral("Upload: waiting for a record") : text_;
    }
    QString troubleWord() const override { return QStringLiteral("Upload failed"); }

private:
    WeatherUpload upload_;
    QString text_;
    QDateTime taken_;
    bool failing_ = false;
};

// A destination whose section cannot be used: listed as off, with the
// reason, so that /api/status and the status bar's hint say why it sends
// nothing.
class OffDestination : public Destination {
public:
    OffDestination(QString name, QString why) : name_(std::move(name)), why_(std::move(why)) {}
    QString name() const override { return name_; }
    Reach reach() const override { return {false, 0}; }
    int capacity() const override { return 0; }
    bool ready() const override { return false; }
    void take(const CurrentConditions &) override {}
    void setStationState(const StationState &) override {}
    DestinationState state() const override { return DestinationState::Off; }
    QString line() const override { return {}; }  // said among nimbrel.ini's problems
    QString sentence() const override { return why_; }
    QString troubleWord() const override { return {}; }

private:
    QString name_;
    QString why_;
};

struct Factory {
    const char *section;
    const char *title;
    NetworkFactory make;
    ServiceFactory service;  // a weather network over HTTP, driven by the HTTP network destination
};

// The destinations of their own sections, by section name.
const Factory kFactories[] = {
    {"cwop", "CWOP", makeCwopDestination, nullptr},
    {"wow", "WOW", nullptr, makeWowService},
    {"awekas", "AWEKAS", nullptr, makeAwekasService},
    {"windy", "Windy", nullptr, makeWindyService},
    {"pwsweather", "PWSweather", nullptr, makePwsweatherService},
    {"weathercloud", "Weathercloud", nullptr, makeWeathercloudService},
    {"openweathermap", "OpenWeatherMap", nullptr, makeOpenWeatherMapService},
    {"influxdb", "InfluxDB", makeInfluxDestination, nullptr},
};

}  // namespace

std::vector<std::unique_ptr<Destination>> makeDestinations(const PublishSettings &settings,
                                                           const DestinationContext &context, QStringList *problems)
{
    std::vector<std::unique_ptr<Destination>> list;
    if (settings.mqtt.enabled)
        list.push_back(
            std::make_unique<MqttDestination>(settings.mqtt, settings.channels.names, context.dataDir,
                                              context.softwareVersion, context.now));
    if (settings.upload.enabled)
        list.push_back(std::make_unique<UploadDestination>(settings.upload, context.softwareVersion, context.now));
    for (const IniSection &section : settings.sections) {
        const auto f = std::find_if(std::begin(kFactories), std::end(kFactories),
                                    [&](const Factory &f) { return section.name == QLatin1String(f.section); });
        if (f == std::end(kFactories) || (!f->make && !f->service))
            continue;
        QStringList refused;
        SectionReader reader(section, settings.iniPath, QLatin1String(f->title), &refused);
        const bool enabled = reader.enabled();
        std::unique_ptr<Destination> d;
        if (enabled && reader.ok())
            d = f->make ? f->make(reader, context)
                        : makeHttpNetwork(section.name, f->service(reader, context), context);
        if (enabled && reader.ok())
            reader.finish();
        if (problems)
            *problems << refused;
        if (!reader.ok())
            d = std::make_unique<OffDestination>(section.name, refused.value(0));
        if (d)
            list.push_back(std::move(d));
    }
    return list;
}

}  // namespace nimbrel
