// SPDX-License-Identifier: GPL-3.0-or-later
#include "MetricsText.h"

#include "ExchangeUnits.h"
#include "NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace nimbrel::web {

namespace {

struct Sample {
    QByteArray labels;  // `{name="value",...}`, or empty
    double value;
};

// The samples of one metric, written under its HELP and TYPE lines; a
// metric without samples is left out whole.
struct Family {
    const char *name;
    const char *type;
    const char *help;
    std::vector<Sample> samples;

    void add(const QByteArray &labels, const std::optional<double> &value)
    {
        // Never NaN or an infinity: a broken reading is no reading.
        if (value && std::isfinite(*value))
            samples.push_back({labels, *value});
    }
};

QByteArray label(const char *name, const QString &value)
{
    return QByteArray("{") + name + "=\"" + metricsLabelValue(value) + "\"}";
}

QByteArray labels(const char *first, const QString &firstValue, const char *second, const QString &secondValue)
{
    return QByteArray("{") + first + "=\"" + metricsLabelValue(firstValue) + "\"," + second + "=\"" +
           metricsLabelValue(secondValue) + "\"}";
}

std::optional<double> real(const std::optional<int> &v)
{
    return v ? std::optional<double>(*v) : std::nullopt;
}

std::optional<double> metresPerSecond(const std::optional<double> &mph)
{
    return mph ? std::optional<double>(exchange::msFromMph(*mph)) : std::nullopt;
}

// A wall-clock face in seconds: the record carries no zone, so it and the
// computer's clock are compared face to face.
qint64 faceSecs(const QDateTime &t)
{
    return QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch();
}

// Not known while the station's clock runs ahead of the computer's: the
// difference of the two clocks would be taken for the age. A record dated
// up to one history period ahead (a computer clock a little slow) is new.
std::optional<double> recordAge(const WebSnapshot &s, const QDateTime &now)
{
    if (!s.hasConditions || !s.conditions.time.isValid() || !now.isValid() || s.clockAheadSecs > 0)
        return std::nullopt;
    return static_cast<double>(std::max<qint64>(0, faceSecs(now) - faceSecs(s.conditions.time)));
}

void write(QByteArray &out, const Family &f)
{
    if (f.samples.empty())
        return;
    out += QByteArray("# HELP ") + f.name + ' ' + f.help + '\n';
    out += QByteArray("# TYPE ") + f.name + ' ' + f.type + '\n';
    for (const Sample &s : f.samples)
        out += f.name + s.labels + ' ' + formatGeneral(s.value, QLatin1Char('.')).toLatin1() + '\n';
}

constexpr DestinationState kStates[] = {DestinationState::Ok, DestinationState::Sending, DestinationState::Waiting,
                                        DestinationState::Failing, DestinationState::Off};

}  // namespace

QByteArray metricsLabelValue(const QString &value)
{
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        default: out += c; break;
        }
    }
    return out;
}

QByteArray metricsText(const WebSnapshot &s, const QDateTime &now)
{
    Family temperature{"nimbrel_temperature_celsius", "gauge", "Air temperature of a sensor in degrees Celsius.", {}};
    Family humidity{"nimbrel_humidity_percent", "gauge", "Relative humidity of a sensor in percent.", {}};
    Family dewPoint{"nimbrel_dew_point_celsius", "gauge", "Dew point at a sensor in degrees Celsius.", {}};
    Family pressure{"nimbrel_pressure_hpa", "gauge",
                    "Air pressure in hectopascals, reduced to sea level or at the station's altitude.", {}};
    Family windSpeed{"nimbrel_wind_speed_meters_per_second", "gauge", "Average wind speed in metres per second.", {}};
    Family windGust{"nimbrel_wind_gust_meters_per_second", "gauge", "Wind gust in metres per second.", {}};
    Family windDirection{"nimbrel_wind_direction_degrees", "gauge",
                         "Direction the wind blows from in degrees clockwise from north.", {}};
    Family windChill{"nimbrel_wind_chill_celsius", "gauge", "Wind chill temperature in degrees Celsius.", {}};
    Family uv{"nimbrel_uv_index", "gauge", "UV index.", {}};
    Family rain{"nimbrel_rain_millimeters_total", "counter",
                "Rain counted by the station's rain gauge in millimetres since its counter last started.", {}};
    Family battery{"nimbrel_battery_low", "gauge", "1 when a sensor reports a low battery.", {}};
    Family age{"nimbrel_newest_record_age_seconds", "gauge", "Age of the newest record taken from the station in seconds.",
               {}};
    Family connected{"nimbrel_station_connected", "gauge", "1 while the station is connected.", {}};
    Family up{"nimbrel_destination_up", "gauge", "1 while a destination delivers records (ok or sending).", {}};
    Family state{"nimbrel_destination_state", "gauge", "1 for the state a destination is in.", {}};

    if (s.hasConditions) {
        const CurrentConditions &c = s.conditions;
        const QByteArray indoor = label("sensor", QStringLiteral("indoor"));
        temperature.add(indoor, c.indoorTemperatureC);
        humidity.add(indoor, real(c.indoorHumidity));
        dewPoint.add(indoor, c.indoorDewPointC);
        for (int i = 0; i < kChannelCount; ++i) {
            const ChannelConditions &ch = c.channels[static_cast<std::size_t>(i)];
            if (!ch.present)
                continue;
            const QByteArray channel = label("sensor", QStringLiteral("channel%1").arg(i + 1));
            temperature.add(channel, ch.temperatureC);
            humidity.add(channel, real(ch.humidity));
            dewPoint.add(channel, ch.dewPointC);
        }
        pressure.add(label("kind", QStringLiteral("sea_level")), c.pressureSeaLevelHpa);
        pressure.add(label("kind", QStringLiteral("station")), c.pressureStationHpa);
        windSpeed.add({}, metresPerSecond(c.windSpeedMph));
        windGust.add({}, metresPerSecond(c.windGustMph));
        windDirection.add({}, c.windDirectionDeg);
        windChill.add({}, c.windChillC);
        uv.add({}, c.uvIndex);
        // The exact factor, without the rain panel's plausibility cut: the
        // running count passes any window's limit within a wet year.
        if (c.rainCounterTips && *c.rainCounterTips >= 0)
            rain.add({}, exchange::mmFromTips(*c.rainCounterTips));
        if (c.batteriesKnown) {
            const std::pair<int, QString> sensors[] = {
                {0, QStringLiteral("channel1")}, {1, QStringLiteral("channel2")},
                {2, QStringLiteral("channel3")}, {3, QStringLiteral("channel4")},
                {4, QStringLiteral("channel5")}, {kBatteryFlagUv, QStringLiteral("uv")},
                {kBatteryFlagWind, QStringLiteral("wind")}, {kBatteryFlagRain, QStringLiteral("rain")}};
            for (const auto &[flag, sensor] : sensors)
                battery.add(label("sensor", sensor), c.batteryLow[static_cast<std::size_t>(flag)] ? 1.0 : 0.0);
        }
    }
    age.add({}, recordAge(s, now));
    connected.add({}, s.connected ? 1.0 : 0.0);
    for (const DestinationStatus &d : s.destinations) {
        const bool delivering = d.state == DestinationState::Ok || d.state == DestinationState::Sending;
        up.add(label("destination", d.name), delivering ? 1.0 : 0.0);
        for (const DestinationState st : kStates)
            state.add(labels("destination", d.name, "state", destinationStateWord(st)), d.state == st ? 1.0 : 0.0);
    }

    QByteArray out;
    for (const Family *f : {&temperature, &humidity, &dewPoint, &pressure, &windSpeed, &windGust, &windDirection,
                            &windChill, &uv, &rain, &battery, &age, &connected, &up, &state})
        write(out, *f);
    return out;
}

}  // namespace nimbrel::web
