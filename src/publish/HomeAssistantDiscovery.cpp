#include "HomeAssistantDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace nimbrel {

namespace {

struct SensorKind {
    const char *deviceClass;  // nullptr: none
    const char *unit;
    const char *stateClass;
};

// The kinds Home Assistant knows the station's quantities by. The counter of
// the total rain only grows, except when a rain mark starts it again, which
// total_increasing reads as a reset.
constexpr SensorKind kTemperature{"temperature", "°C", "measurement"};
constexpr SensorKind kHumidity{"humidity", "%", "measurement"};
constexpr SensorKind kPressure{"atmospheric_pressure", "hPa", "measurement"};
constexpr SensorKind kWindSpeed{"wind_speed", "km/h", "measurement"};
constexpr SensorKind kWindDirection{nullptr, "°", "measurement"};
constexpr SensorKind kRainIntensity{"precipitation_intensity", "mm/h", "measurement"};
constexpr SensorKind kRainWindow{"precipitation", "mm", "measurement"};
constexpr SensorKind kRainTotal{"precipitation", "mm", "total_increasing"};
constexpr SensorKind kUv{nullptr, "UV index", "measurement"};

struct Sensor {
    QString objectId;
    QString name;
    SensorKind kind;
};

QList<Sensor> sensors(const std::array<bool, 5> &channelsPresent)
{
    QList<Sensor> list = {
        {QStringLiteral("indoor_temperature"), QStringLiteral("Indoor temperature"), kTemperature},
        {QStringLiteral("indoor_humidity"), QStringLiteral("Indoor humidity"), kHumidity},
        {QStringLiteral("indoor_dew_point"), QStringLiteral("Indoor dew point"), kTemperature},
    };
    for (int i = 0; i < static_cast<int>(channelsPresent.size()); ++i) {
        if (!channelsPresent[i])
            continue;
        const QString n = QString::number(i + 1);
        list.append({QStringLiteral("channel%1_temperature").arg(n), QStringLiteral("Channel %1 temperature").arg(n),
                     kTemperature});
        list.append(
            {QStringLiteral("channel%1_humidity").arg(n), QStringLiteral("Channel %1 humidity").arg(n), kHumidity});
    }
    list += QList<Sensor>{
        {QStringLiteral("pressure_sea_level"), QStringLiteral("Pressure at sea level"), kPressure},
        {QStringLiteral("pressure_station"), QStringLiteral("Pressure at the station"), kPressure},
        {QStringLiteral("wind_speed"), QStringLiteral("Wind speed"), kWindSpeed},
        {QStringLiteral("wind_gust"), QStringLiteral("Wind gust"), kWindSpeed},
        {QStringLiteral("wind_direction"), QStringLiteral("Wind direction"), kWindDirection},
        {QStringLiteral("wind_chill"), QStringLiteral("Wind chill"), kTemperature},
        {QStringLiteral("rain_last_hour"), QStringLiteral("Rain in the last hour"), kRainIntensity},
        {QStringLiteral("rain_24h"), QStringLiteral("Rain in the last 24 hours"), kRainWindow},
        {QStringLiteral("rain_total"), QStringLiteral("Rain in total"), kRainTotal},
        {QStringLiteral("uv_index"), QStringLiteral("UV index"), kUv},
    };
    return list;
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
    t.discoveryPrefix = settings.discoveryPrefix;
    t.homeAssistantStatus = settings.discoveryPrefix + QLatin1Char('/') + QLatin1String(kHomeAssistantStatusLevel);
    return t;
}

QList<DiscoveryMessage> discoveryMessages(const MqttTopics &topics, const std::array<bool, 5> &channelsPresent,
                                          const QString &softwareVersion)
{
    QJsonObject device;
    device[QStringLiteral("identifiers")] = QJsonArray{topics.node};
    device[QStringLiteral("name")] = QLatin1String(kDeviceName);
    device[QStringLiteral("model")] = QLatin1String(kDeviceModel);
    device[QStringLiteral("manufacturer")] = QLatin1String(kDeviceManufacturer);
    device[QStringLiteral("sw_version")] = softwareVersion;

    QList<DiscoveryMessage> messages;
    for (const Sensor &s : sensors(channelsPresent)) {
        QJsonObject config;
        config[QStringLiteral("name")] = s.name;
        config[QStringLiteral("unique_id")] = topics.node + QLatin1Char('_') + s.objectId;
        config[QStringLiteral("device")] = device;
        config[QStringLiteral("state_topic")] = topics.state;
        // A null in the state renders as "None", which Home Assistant
        // shows as unknown rather than as a number.
        config[QStringLiteral("value_template")] = QStringLiteral("{{ value_json.%1 }}").arg(s.objectId);
        config[QStringLiteral("availability_topic")] = topics.availability;
        config[QStringLiteral("payload_available")] = QLatin1String(kAvailable);
        config[QStringLiteral("payload_not_available")] = QLatin1String(kNotAvailable);
        if (s.kind.deviceClass)
            config[QStringLiteral("device_class")] = QString::fromUtf8(s.kind.deviceClass);
        config[QStringLiteral("unit_of_measurement")] = QString::fromUtf8(s.kind.unit);
        config[QStringLiteral("state_class")] = QString::fromUtf8(s.kind.stateClass);
        messages.append({s.objectId,
                         QStringLiteral("%1/sensor/%2/%3/config").arg(topics.discoveryPrefix, topics.node, s.objectId),
                         QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return messages;
}

}  // namespace nimbrel
