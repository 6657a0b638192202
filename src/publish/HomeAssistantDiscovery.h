// SPDX-License-Identifier: GPL-3.0-or-later
// Home Assistant's MQTT discovery for the station: one retained config
// message per entity under `<discovery prefix>/<component>/<node>/<object>/config`
// (component `sensor`, or `binary_sensor` for the battery flags) that tells
// Home Assistant which entity to create, which key of the state message it
// reads and in which unit. Removing the retained config would delete the
// entity; the program never does that, so a channel whose sensor goes quiet
// keeps its entity (showing "unknown").
//
// Every entity is available only while both availability topics say
// "online": the program's own (its last will says "offline") and the
// station's (offline while the station is unplugged or its newest record has
// grown old), so Home Assistant never shows an old reading as current.
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
// The `origin` block: the program that sends the configs.
inline constexpr char kOriginName[] = "Nimbrel";
inline constexpr char kSupportUrl[] = "https://nimbrel.org/";
// Home Assistant announces its own (re)start here with "online".
inline constexpr char kHomeAssistantStatusLevel[] = "status";
// A measured value expires when no record came for this many history periods.
inline constexpr int kExpirePeriods = 3;

// The topics of one publisher, all derived from the settings.
struct MqttTopics {
    QString node;                 // topicPrefix with every character outside [A-Za-z0-9_-] made '_'
    QString state;                // <topicPrefix>/state, retained JSON
    QString availability;         // <topicPrefix>/availability, "online" / "offline": the program
    QString station;              // <topicPrefix>/station, "online" / "offline": the station
    QString homeAssistantStatus;  // <discoveryPrefix>/status
    QString discoveryPrefix;
};
MqttTopics mqttTopics(const MqttSettings &settings);

inline constexpr char kAvailable[] = "online";
inline constexpr char kNotAvailable[] = "offline";

struct DiscoveryMessage {
    QString objectId;    // "indoor_temperature", "channel2_humidity", "wind_battery", ...
    QString topic;       // <discovery>/<component>/<node>/<objectId>/config
    QByteArray payload;  // compact JSON
};

// What the configs depend on besides the topics.
struct DiscoveryOptions {
    std::array<bool, 5> channelsPresent{};  // index 0 is channel 1
    std::array<QString, 5> channelNames;    // [channels] nameN; empty: "Channel N"
    QString softwareVersion;
    // Seconds after which Home Assistant shows a measured value as
    // unavailable when no new state came: three history periods. 0: never
    // (the period is not known yet).
    int expireAfterSecs = 0;
    // Where the station's settings can be seen and changed in a browser;
    // empty: the device has none.
    QString configurationUrl;

    bool operator==(const DiscoveryOptions &) const = default;
};

// The configs of every entity, channels only where present.
QList<DiscoveryMessage> discoveryMessages(const MqttTopics &topics, const DiscoveryOptions &options);
QList<DiscoveryMessage> discoveryMessages(const MqttTopics &topics, const std::array<bool, 5> &channelsPresent,
                                          const QString &softwareVersion);

}  // namespace nimbrel
