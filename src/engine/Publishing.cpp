#include "Publishing.h"

#include "CurrentConditions.h"
#include "MqttPublisher.h"
#include "WeatherUpload.h"

#include "SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstdlib>

namespace nimbrel {

namespace {

QString version()
{
    return QStringLiteral(NIMBREL_VERSION);
}

// What the program handing the station over leaves of its MQTT connection.
constexpr char kHandoverFile[] = "handover-mqtt.json";
constexpr qint64 kHandoverFileLimit = 16 * 1024;
// A handover takes a second or two; anything older is not trusted (the
// broker may have restarted and lost what it held).
constexpr qint64 kHandoverAgeMs = 5 * 60 * 1000;

QString brokerName(const MqttSettings &mqtt)
{
    return QStringLiteral("%1:%2 %3 %4").arg(mqtt.host).arg(mqtt.port).arg(mqtt.topicPrefix, mqtt.discoveryPrefix);
}

QByteArray handoverJson(const MqttSettings &mqtt, const DiscoveryOptions &sent)
{
    QJsonArray channels;
    for (bool present : sent.channelsPresent)
        channels.append(present);
    const QJsonObject o{{QStringLiteral("leftAtMs"), QDateTime::currentMSecsSinceEpoch()},
                        {QStringLiteral("broker"), brokerName(mqtt)},
                        {QStringLiteral("channels"), channels},
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
    sent.softwareVersion = o.value(QStringLiteral("softwareVersion")).toString();
    sent.expireAfterSecs = o.value(QStringLiteral("expireAfterSecs")).toInt();
    sent.configurationUrl = o.value(QStringLiteral("configurationUrl")).toString();
    return sent;
}

}  // namespace

Publishing::Publishing(const AppContext &context, QObject *parent) : QObject(parent)
{
    settings_ = loadPublishSettings(QDir(context.workDir).filePath(QLatin1String(kPublishSettingsFile)));
    handoverPath_ = QDir(context.workDir).filePath(QLatin1String(kHandoverFile));
    const std::optional<DiscoveryOptions> handedOver =
        settings_.mqtt.enabled ? takeHandover(handoverPath_, settings_.mqtt) : std::nullopt;
    for (const QString &problem : settings_.problems)
        std::fprintf(stderr, "nimbrel: %s\n", qPrintable(problem));
    if (!settings_.problems.isEmpty())
        show();
    if (!settings_.mqtt.enabled && !settings_.upload.enabled)
        return;

    if (settings_.mqtt.enabled) {
        mqtt_ = std::make_unique<MqttPublisher>(settings_.mqtt, version());
        if (const Clock *clock = context.clock)
            mqtt_->setClock([clock] { return clock->now(); });
        connect(mqtt_.get(), &MqttPublisher::connectionChanged, this, [this](bool connected, const QString &why) {
            mqttText_ = connected ? QStringLiteral("MQTT: connected") : QStringLiteral("MQTT: ") + why;
            show();
        });
        if (handedOver)
            mqtt_->continueAfter(*handedOver);
        continuing_ = handedOver.has_value();
        mqtt_->start();
    }
    if (settings_.upload.enabled) {
        upload_ = std::make_unique<WeatherUpload>(settings_.upload, QStringLiteral("Nimbrel ") + version());
        const Clock *clock = context.clock;
        if (clock)
            upload_->setClock([clock] { return clock->now(); });
        connect(upload_.get(), &WeatherUpload::uploaded, this, [this](const QDateTime &recordTime) {
            uploadText_ = QStringLiteral("Uploaded %1").arg(recordTime.toString(QStringLiteral("HH:mm")));
            show();
        });
        connect(upload_.get(), &WeatherUpload::uploadFailed, this, [this](const QString &why) {
            uploadText_ = why;
            show();
        });
    }
}

void Publishing::publish(const CurrentConditions &conditions)
{
    if (mqtt_)
        mqtt_->publish(conditions);
    if (upload_)
        upload_->offer(conditions);
}

void Publishing::publishCurrent(const CurrentConditions &conditions)
{
    if (mqtt_)
        mqtt_->publish(conditions);
}

void Publishing::handOver()
{
    if (!mqtt_)
        return;
    mqtt_->leaveQuietly();
    const std::optional<DiscoveryOptions> sent = mqtt_->sentDiscovery();
    QString why;
    if (sent && !writeFileAtomically(handoverPath_, handoverJson(settings_.mqtt, *sent), &why))
        std::fprintf(stderr, "nimbrel: %s cannot be written: %s\n", qPrintable(handoverPath_), qPrintable(why));
}

void Publishing::setStationState(bool connected, const QDateTime &newestRecord, int periodMinutes)
{
    if (mqtt_)
        mqtt_->setStationState(connected, newestRecord, periodMinutes);
    if (upload_)
        upload_->setHistoryPeriod(periodMinutes);
}

Publishing::~Publishing() = default;

// The status bar has no room for a panel of its own: the site panel at its
// right says in a word what is wrong, its hint the whole sentences.
void Publishing::show()
{
    QString word = QStringLiteral("nimbrel.org");
    if (!settings_.problems.isEmpty())
        word = QStringLiteral("nimbrel.ini?");
    if (mqtt_ && !mqtt_->isConnected() && !mqttText_.isEmpty())
        word = QStringLiteral("MQTT offline");
    if (uploadText_.startsWith(QStringLiteral("Upload failed")) ||
        uploadText_.startsWith(QStringLiteral("Upload given")))
        word = QStringLiteral("Upload failed");
    QStringList lines = settings_.problems;
    for (const QString &text : {mqttText_, uploadText_})
        if (!text.isEmpty())
            lines << text;
    word_ = word;
    lines_ = lines;
    Q_EMIT stateChanged();
}

}  // namespace nimbrel
