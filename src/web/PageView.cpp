#include "PageView.h"

#include "HistoryTime.h"
#include "NumberFormat.h"
#include "PageWords.h"
#include "Placeholders.h"
#include "Units.h"

#include <QJsonArray>

namespace nimbrel::web {

namespace {

QJsonValue timeOrNull(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(isoWithOffset(t)) : QJsonValue(QJsonValue::Null);
}

QString shown(const std::optional<double> &value, int decimals, const char *placeholder = kPlaceholderNoReading)
{
    return value ? formatFixed(*value, decimals) : QString::fromLatin1(placeholder);
}

QString shownWhole(const std::optional<int> &value)
{
    return value ? QString::number(*value) : QString::fromLatin1(kPlaceholderHumidity);
}

template <class Convert>
std::optional<double> converted(const std::optional<double> &base, Convert convert)
{
    return base ? std::optional<double>(convert(*base)) : std::nullopt;
}

std::optional<double> rain(const std::optional<int> &tips, int unit)
{
    return tips ? std::optional<double>(rainInUnit(*tips, unit)) : std::nullopt;
}

// A channel as the page names it: its name, else "CHn" as the window's box.
QString channelName(const WebSnapshot &s, int channel)
{
    const QString &name = s.channelNames[static_cast<std::size_t>(channel - 1)];
    return name.isEmpty() ? QStringLiteral("CH%1").arg(channel) : name;
}

}  // namespace

QJsonObject currentJson(const WebSnapshot &s)
{
    QJsonObject o = s.hasConditions ? stateJson(s.conditions) : QJsonObject{{QStringLiteral("time"), QJsonValue()}};
    o[QStringLiteral("connected")] = s.connected;
    return o;
}

QJsonObject displayJson(const WebSnapshot &s, const QJsonObject &words)
{
    const CurrentConditions &c = s.conditions;
    const UnitChoices &u = s.units;
    auto temperature = [&](const std::optional<double> &celsius) {
        return shown(converted(celsius, [&](double v) { return temperatureInUnit(v, u.temperature); }), 1);
    };
    auto pressure = [&](const std::optional<double> &hpa) {
        return shown(converted(hpa, [&](double v) { return pressureInUnit(v, u.pressure); }), 1,
                     kPlaceholderPressure);
    };
    auto speed = [&](const std::optional<double> &mph) {
        return shown(converted(mph, [&](double v) { return speedInUnit(v, u.speed); }), 1);
    };
    // The rain panel's decimals: one for millimetres, two for inches.
    const int rainDecimals = u.rain == unitCode(RainUnit::Mm) ? 1 : 2;

    QJsonObject v;
    if (s.hasConditions) {
        v[QStringLiteral("indoor_temperature")] = temperature(c.indoorTemperatureC);
        v[QStringLiteral("indoor_humidity")] = shownWhole(c.indoorHumidity);
        v[QStringLiteral("indoor_dew_point")] = temperature(c.indoorDewPointC);
        QJsonArray channels;
        for (int i = 0; i < kChannelCount; ++i) {
            const ChannelConditions &ch = c.channels[static_cast<std::size_t>(i)];
            if (!ch.present)
                continue;
            channels.append(QJsonObject{{QStringLiteral("channel"), i + 1},
                                        {QStringLiteral("name"), channelName(s, i + 1)},
                                        {QStringLiteral("temperature"), temperature(ch.temperatureC)},
                                        {QStringLiteral("humidity"), shownWhole(ch.humidity)},
                                        {QStringLiteral("dew_point"), temperature(ch.dewPointC)}});
        }
        v[QStringLiteral("channels")] = channels;
        // The outdoor channel heads the page; a quiet sensor shows the
        // placeholders rather than the indoor reading in its place.
        if (s.headlineChannel >= 1 && s.headlineChannel <= kChannelCount) {
            const ChannelConditions &ch = c.channels[static_cast<std::size_t>(s.headlineChannel - 1)];
            v[QStringLiteral("headline")] =
                QJsonObject{{QStringLiteral("channel"), s.headlineChannel},
                            {QStringLiteral("name"), channelName(s, s.headlineChannel)},
                            {QStringLiteral("temperature"), temperature(ch.present ? ch.temperatureC : std::nullopt)},
                            {QStringLiteral("humidity"), shownWhole(ch.present ? ch.humidity : std::nullopt)}};
        }
        v[QStringLiteral("pressure_sea_level")] = pressure(c.pressureSeaLevelHpa);
        v[QStringLiteral("pressure_station")] = pressure(c.pressureStationHpa);
        v[QStringLiteral("pressure_trend")] = s.pressureTrend == kTrendRising    ? QStringLiteral("rising")
                                              : s.pressureTrend == kTrendFalling ? QStringLiteral("falling")
                                                                                 : QStringLiteral("steady");
        v[QStringLiteral("wind_speed")] = speed(c.windSpeedMph);
        v[QStringLiteral("wind_gust")] = speed(c.windGustMph);
        v[QStringLiteral("wind_direction")] = c.windDirectionPoint;
        v[QStringLiteral("wind_direction_degrees")] = c.windDirectionDeg ? QJsonValue(*c.windDirectionDeg) : QJsonValue();
        v[QStringLiteral("wind_chill")] = temperature(c.windChillC);
        v[QStringLiteral("rain_last_hour")] = shown(rain(c.rainLastHourTips, u.rain), rainDecimals);
        v[QStringLiteral("rain_24h")] = shown(rain(c.rainLast24hTips, u.rain), rainDecimals);
        v[QStringLiteral("rain_today")] = shown(rain(c.rainSinceMidnightTips, u.rain), rainDecimals);
        v[QStringLiteral("uv_index")] =
            shown(converted(c.uvIndex, [&](double x) { return uvInUnit(x, u.uv); }), 1);
    }

    QJsonObject units;
    units[QStringLiteral("temperature")] = QStringLiteral("°") + temperatureUnitName(u.temperature);
    units[QStringLiteral("pressure")] = pressureUnitName(u.pressure);
    units[QStringLiteral("speed")] = speedUnitName(u.speed);
    units[QStringLiteral("rain")] = rainUnitName(u.rain);
    units[QStringLiteral("uv")] = uvUnitName(u.uv);

    QJsonObject o;
    o[QStringLiteral("language")] = languageTag(s.language);
    o[QStringLiteral("time")] = s.hasConditions ? timeOrNull(c.time) : QJsonValue();
    // The record's time as the page shows it: the window's date notation.
    o[QStringLiteral("time_text")] =
        s.hasConditions && c.time.isValid() ? c.time.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
    // The same time on the station's wall clock as the history's points
    // count it (HistoryQuery.h): where the page's charts end.
    o[QStringLiteral("record_plain")] = s.hasConditions && c.time.isValid()
                                            ? QJsonValue(static_cast<qint64>(history::plainSeconds(c.time)))
                                            : QJsonValue();
    o[QStringLiteral("connected")] = s.connected;
    // Said beside the connection while the station's clock and the computer's differ.
    o[QStringLiteral("clock_ahead_seconds")] = s.clockAheadSecs;
    o[QStringLiteral("clock_note")] = s.clockNote;
    o[QStringLiteral("values")] = v;
    o[QStringLiteral("units")] = units;
    o[QStringLiteral("words")] = words;
    return o;
}

}  // namespace nimbrel::web
