#include "Publishing.h"

#include "CurrentConditions.h"
#include "MqttPublisher.h"
#include "PanelStatusBar.h"
#include "TForm1.h"
#include "WeatherUpload.h"

#include <QDir>
#include <cstdio>

namespace nimbrel {

namespace {

constexpr int kPanelWidth = 330;

QString version()
{
    return QStringLiteral(NIMBREL_VERSION);
}

}  // namespace

Publishing::Publishing(TForm1 &form, const AppContext &context) : form_(form)
{
    settings_ = loadPublishSettings(QDir(context.workDir).filePath(QLatin1String(kPublishSettingsFile)));
    for (const QString &problem : settings_.problems)
        std::fprintf(stderr, "nimbrel: %s\n", qPrintable(problem));
    if (!settings_.mqtt.enabled && !settings_.upload.enabled) {
        if (!settings_.problems.isEmpty()) {
            panel_ = form_.sStatusBar1->addPanel(settings_.problems.first(), kPanelWidth);
        }
        return;
    }
    panel_ = form_.sStatusBar1->addPanel(QString(), kPanelWidth);
    if (!settings_.problems.isEmpty())
        form_.sStatusBar1->setPanelText(panel_, settings_.problems.first());

    if (settings_.mqtt.enabled) {
        mqtt_ = std::make_unique<MqttPublisher>(settings_.mqtt, version());
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

    Recorder &recorder = form_.recorder();
    connect(&recorder, &Recorder::recordTakenOver, this, [this, &recorder](const Measurement &record) {
        const CurrentConditions c =
            currentConditions(record, recorder.summary(), form_.history(), recorder.headerRead());
        if (mqtt_)
            mqtt_->publish(c);
        if (upload_)
            upload_->offer(c);
    });
}

Publishing::~Publishing() = default;

void Publishing::show()
{
    QStringList parts;
    if (!mqttText_.isEmpty())
        parts << mqttText_;
    if (!uploadText_.isEmpty())
        parts << uploadText_;
    const QString text = parts.join(QStringLiteral(" · "));
    form_.sStatusBar1->setPanelText(panel_, text);
}

}  // namespace nimbrel
