// Hands every record the recorder takes over to the MQTT publisher and the
// weather-network upload that nimbrel.ini asks for, and shows how they fare
// in the status bar.
#pragma once

#include "AppContext.h"
#include "PublishSettings.h"

#include <QObject>
#include <QString>
#include <memory>

namespace nimbrel {

class MqttPublisher;
class TForm1;
class WeatherUpload;

class Publishing : public QObject {
    Q_OBJECT
public:
    // Reads nimbrel.ini in the working directory; its problems go to stderr
    // once. Connect before the recorder's first read.
    Publishing(TForm1 &form, const AppContext &context);
    ~Publishing() override;

    const PublishSettings &settings() const { return settings_; }

private:
    void show();

    TForm1 &form_;
    PublishSettings settings_;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<WeatherUpload> upload_;
    QString mqttText_;
    QString uploadText_;
};

}  // namespace nimbrel
