// Hands every record the engine takes over to the MQTT publisher and the
// weather-network upload that nimbrel.ini asks for, and says how they fare:
// in a word for the status bar's site panel, and in whole sentences.
#pragma once

#include "AppContext.h"
#include "PublishSettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace nimbrel {

struct CurrentConditions;
class MqttPublisher;
class WeatherUpload;

class Publishing : public QObject {
    Q_OBJECT
public:
    // Reads nimbrel.ini in the data folder; its problems go to stderr once.
    // What a program that handed the station to this one left of its MQTT
    // connection (handOver) is taken, so that Home Assistant sees the
    // station stay online and gets no configs it already holds.
    explicit Publishing(const AppContext &context, QObject *parent = nullptr);
    ~Publishing() override;

    const PublishSettings &settings() const { return settings_; }
    // One record taken over, as it is published.
    void publish(const CurrentConditions &conditions);
    // The current conditions of a record stored before (a restart, a
    // handover): sent over MQTT, not uploaded again.
    void publishCurrent(const CurrentConditions &conditions);
    // Another program takes the station over at once: MQTT ends without
    // saying "offline" and leaves what its configs said for that program.
    void handOver();
    // MQTT carries on after a program that handed the station over.
    bool continuing() const { return continuing_; }
    // The station's availability for MQTT: connected with a header read, its
    // newest record and its history interval.
    void setStationState(bool connected, const QDateTime &newestRecord, int periodMinutes);

    // "nimbrel.org" when all is well, else what is wrong in a word
    // ("nimbrel.ini?", "MQTT offline", "Upload failed"); empty until there
    // is anything to say.
    QString word() const { return word_; }
    QStringList lines() const { return lines_; }

Q_SIGNALS:
    void stateChanged();

private:
    void show();

    PublishSettings settings_;
    QString handoverPath_;
    bool continuing_ = false;
    std::unique_ptr<MqttPublisher> mqtt_;
    std::unique_ptr<WeatherUpload> upload_;
    QString mqttText_;
    QString uploadText_;
    QString word_;
    QStringList lines_;
};

}  // namespace nimbrel
