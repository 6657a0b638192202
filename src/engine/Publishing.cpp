#include "Publishing.h"

#include "CurrentConditions.h"
#include "MqttPublisher.h"
#include "WeatherUpload.h"

#include <QDir>
#include <cstdio>

namespace nimbrel {

namespace {

QString version()
{
    return QStringLiteral(NIMBREL_VERSION);
}

}  // namespace

Publishing::Publishing(const AppContext &context, QObject *parent) : QObject(parent)
{
    settings_ = loadPublishSettings(QDir(context.workDir).filePath(QLatin1String(kPublishSettingsFile)));
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
