// SPDX-License-Identifier: GPL-3.0-or-later
#include "HomeAssistantDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace nimbrel {

namespace {

struct SensorKind {
    const char *deviceClass;  // nullptr: none
    const char *unit;         // nullptr: none
    const char *stateClass;   // nullptr: none
    bool measured;            // a value of the record, which expires when records stop
};

// The kinds Home Assistant knows the station's quantities by. The counter of
// the total rain only grows, except when a rain mark starts it again, which
// total_increasing reads as a reset; today's rain goes back to 0 at local
// midnight, read the same way.
constexpr SensorKind kTemperature{"temperature", "°C", "measurement", true};
constexpr SensorKind kHumidity{"humidity", "%", "measurement", true};
constexpr SensorKind kPressure{"atmospheric_pressure", "hPa", "measurement", true};
constexpr SensorKind kWindSpeed{"wind_speed", "km/h", "measurement", true};
constexpr SensorKind kWindDirection{"wind_direction", "°", "measurement_angle", true};
constexpr SensorKind kRainIntensity{"precipitation_intensity", "mm/h", "measurement", true};
constexpr SensorKind kRainWindow{"precipitation", "mm", "measurement", true};
constexpr SensorKind kRainTotal{"precipitation", "mm", "total_increasing", true};
constexpr SensorKind kUv{nullptr, "UV index", "measurement", true};
constexpr SensorKind kRecordTime{"timestamp", nullptr, nullptr, false};
constexpr SensorKind kBattery{"battery", nullptr, nullptr, false};

struct Entity {
    QString objectId;
    QString name;
    SensorKind kind;
    QString valueTemplate;  // empty: the state key of the object id
};

bool isBinary(const Entity &e)
{
    return e.kind.deviceClass == kBattery.deviceClass;
}

// A battery flag of the state's battery_low object: "ON" (low) or "OFF";
// "None" (unknown) before the station's header was read.
Entity battery(const QString &objectId, const QString &name, const QString &key)
{
    return {objectId, name, kBattery,
            QStringLiteral("{% if value_json.battery_low is none %}None{% elif value_json.battery_low.%1 %}ON"
                           "{% else %}OFF{% endif %}")
                .arg(key)};
}

QList<Entity> entities(const std::array<bool, 5> &channelsPresent, const std::array<QString, 5> &channelNames)
{
    QList<Entity> list = {
        {QStringLiteral("indoor_temperature"), QStringLiteral("Indoor temperature"), kTemperature, {}},
        {QStringLiteral("indoor_humidity"), QStringLiteral("Indoor humidity"), kHumidity, {}},
        {QStringLiteral("indoor_dew_point"), QStringLiteral("Indoor dew point"), kTemperature, {}},
    };
    for (int i = 0; i < static_cast<int>(channelsPresent.size()); ++i) {
        if (!channelsPresent[i])
            continue;
        const QString n = QString::number(i + 1);
        // A name changes what Home Assistant shows, never the object ids its
        // history and automations hang on.
        const QString &named = channelNames[static_cast<std::size_t>(i)];
        const QString shown = named.isEmpty() ? QStringLiteral("Channel ") + n : named;
        list.append({QStringLiteral("channel%1_temperature").arg(n), shown + QStringLiteral(" temperature"),
                     kTemperature, {}});
        list.append({QStringLiteral("channel%1_humidity").arg(n), shown + QStringLiteral(" humidity"), kHumidity, {}});
        list.append({QStringLiteral("channel%1_dew_point").arg(n), shown + QStringLiteral(" dew point"),
                     kTemperature, {}});
        list.append(battery(QStringLiteral("channel%1_battery").arg(n), shown + QStringLiteral(" battery"),
                            QStringLiteral("channel") + n));
    }
    list += QList<Entity>{
        {QStringLiteral("pressure_sea_level"), QStringLiteral("Pressure at sea level"), kPressure, {}},
        {QStringLiteral("pressure_station"), QStringLiteral("Pressure at the station"), kPressure, {}},
        {QStringLiteral("wind_speed"), QStringLiteral("Wind speed"), kWindSpeed, {}},
        {QStringLiteral("wind_gust"), QStringLiteral("Wind gust"), kWindSpeed, {}},
        {QStringLiteral("wind_direction"), QStringLiteral("Wind direction"), kWindDirection, {}},
        {QStringLiteral("wind_chill"), QStringLiteral("Wind chill"), kTemperature, {}},
        {QStringLiteral("rain_last_hour"), QStringLiteral("Rain in the last hour"), kRainIntensity, {}},
        {QStringLiteral("rain_24h"), QStringLiteral("Rain in the last 24 hours"), kRainWindow, {}},
        {QStringLiteral("rain_today"), QStringLiteral("Rain today"), kRainTotal, {}},
        {QStringLiteral("rain_total"), QStringLiteral("Rain in total"), kRainTotal, {}},
        {QStringLiteral("uv_index"), QStringLiteral("UV index"), kUv, {}},
        {QStringLiteral("last_record"), QStringLiteral("Last record"), kRecordTime,
         QStringLiteral("{{ value_json.time }}")},
        battery(QStringLiteral("uv_battery"), QStringLiteral("UV sensor battery"), QStringLiteral("uv")),
        battery(QStringLiteral("wind_battery"), QStringLiteral("Wind sensor battery"), QStringLiteral("wind")),
        battery(QStringLiteral("rain_battery"), QStringLiteral("Rain gauge battery"), QStringLiteral("rain")),
    };
    return list;
}

QJsonObject availabilityEntry(const QString &topic)
{
    QJsonObject entry;
    entry[QStringLiteral("topic")] = topic;
    entry[QStringLiteral("payload_available")] = QLatin1String(kAvailable);
    entry[QStringLiteral("payload_not_available")] = QLatin1String(kNotAvailable);
    return entry;
}

}  // namespace

MqttTopics mqttTopics(const MqttSettings &settings)
{
    MqttTopics t;
    for (const QChar ch : settings.topicPrefix) {
        const bool plain =
            (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) || (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
            (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('_') || ch == QLatin1Char('-');
        t.node += plain ? ch : QLatin1Char('_');
    }
    t.state = settings.topicPrefix + QStringLiteral("/state");
    t.availability = settings.topicPrefix + QStringLiteral("/availability");
    t.station = settings.topicPrefix + QStringLiteral("/station");
    t.discoveryPrefix = settings.discoveryPrefix;
    t.homeAssistantStatus = settings.discoveryPrefix + QLatin1Char('/') + QLatin1String(kHomeAssistantStatusLevel);
    return t;
}

QList<DiscoveryMessage> discoveryMessages(const MqttTopics &topics, const DiscoveryOptions &options)
{
    QJsonObject device;
    device[QStringLiteral("identifiers")] = QJsonArray{topics.node};
    device[QStringLiteral("name")] = QLatin1String(kDeviceName);
    device[QStringLiteral("model")] = QLatin1String(kDeviceModel);
    device[QStringLiteral("manufacturer")] = QLatin1String(kDeviceManufacturer);
    device[QStringLiteral("sw_version")] = options.softwareVersion;
    if (!options.configurationUrl.isEmpty())
        device[QStringLiteral("configuration_url")] = options.configurationUrl;

    QJsonObject origin;
    origin[QStringLiteral("name")] = QLatin1String(kOriginName);
    origin[QStringLiteral("sw_version")] = options.softwareVersion;
    origin[QStringLiteral("support_url")] = QLatin1String(kSupportUrl);

    const QJsonArray availability{availabilityEntry(topics.availability), availabilityEntry(topics.station)};

    QList<DiscoveryMessage> messages;
    for (const Entity &e : entities(options.channelsPresent, options.channelNames)) {
        QJsonObject config;
        config[QStringLiteral("name")] = e.name;
        config[QStringLiteral("unique_id")] = topics.node + QLatin1Char('_') + e.objectId;
        config[QStringLiteral("device")] = device;
        config[QStringLiteral("origin")] = origin;
        config[QStringLiteral("state_topic")] = topics.state;
        // A null in the state renders as "None", which Home Assistant
        // shows as unknown rather than as a number.
        config[QStringLiteral("value_template")] = e.valueTemplate.isEmpty()
                                                       ? QStringLiteral("{{ value_json.%1 }}").arg(e.objectId)
                                                       : e.valueTemplate;
        config[QStringLiteral("availability")] = availability;
        config[QStringLiteral("availability_mode")] = QStringLiteral("all");
        if (e.kind.deviceClass)
            config[QStringLiteral("device_class")] = QString::fromUtf8(e.kind.deviceClass);
        if (e.kind.unit)
            config[QStringLiteral("unit_of_measurement")] = QString::fromUtf8(e.kind.unit);
        if (e.kind.stateClass)
            config[QStringLiteral("state_class")] = QString::fromUtf8(e.kind.stateClass);
        if (e.kind.measured && options.expireAfterSecs > 0)
            config[QStringLiteral("expire_after")] = options.expireAfterSecs;
        if (isBinary(e)) {
            config[QStringLiteral("payload_on")] = QStringLiteral("ON");
            config[QStringLiteral("payload_off")] = QStringLiteral("OFF");
        }
        const QString component = isBinary(e) ? QStringLiteral("binary_sensor") : QStringLiteral("sensor");
        messages.append(
            {e.objectId,
             QStringLiteral("%1/%2/%3/%4/config").arg(topics.discoveryPrefix, component, topics.node, e.objectId),
             QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}

QList<DiscoveryMessage> discoveryMessages(const MqttTopics &topics, const std::array<bool, 5> &channelsPresent,
                                          const QString &softwareVersion)
{
    DiscoveryOptions options;
    options.channelsPresent = channelsPresent;
    options.softwareVersion = softwareVersion;
    return discoveryMessages(topics, options);
}

}  // namespace nimbrel
