// Home Assistant's MQTT discovery for the station: one retained config
// message per sensor under `<discovery prefix>/sensor/<node>/<object>/config`
// that tells Home Assistant which entity to create, which key of the state
// message it reads and in which unit. Removing the retained config would
// delete the entity; the program never does that, so a channel whose sensor
// goes quiet keeps its entity (showing "unknown").
#pragma once

#include "PublishSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>

namespace nimbrel {

inline constexpr char kDeviceName[] = "Nimbrel weather station";
inline constexpr char kDeviceModel[] = "USB home weather station";
inline constexpr char kDeviceManufacturer[] = "Nimbrel";
// Home Assistant announces its own (re)start here with "online".
inline constexpr char kHomeAssistantStatusLevel[] = "status";

// The topics of one publisher, all derived from the settings.
struct MqttTopics {
    QString node;                 // topicPrefix with every character outside [A-Za-z0-9_-] made '_'
    QString state;                // <topicPrefix>/state, retained JSON
    QString availability;         // <topicPrefix>/availability, "online" / "offline"
    QString homeAssistantStatus;  // <discoveryPrefix>/status
    QString discoveryPrefix;
};
MqttTopics mqttTopics(const MqttSettings &settings);

inline constexpr char kAvailable[] = "online";
inline constexpr char kNotAvailable[] = "offline";

struct DiscoveryMessage {
    QString objectId;    // "indoor_temperature", "channel2_humidity", ...
    QString topic;       // <discovery>/sensor/<node>/<objectId>/config
    QByteArray payload;  // compact JSON
};

// The configs of every sensor, channels only where `channelsPresent` is
// true (index 0 is channel 1).
QList<DiscoveryMessage> discoveryMessages(const MqttTopics &topics, const std::array<bool, 5> &channelsPresent,
                                          const QString &softwareVersion);

}  // namespace nimbrel
