// SPDX-License-Identifier: GPL-3.0-or-later
#include "CurrentConditions.h"

#include "DewPoint.h"
#include "FromTimeText.h"
#include "HistoryAggregates.h"
#include "NumberFormat.h"
#include "Placeholders.h"
#include "StationPressure.h"
#include "TemperatureView.h"
#include "Units.h"
#include "WindView.h"

#include <QJsonValue>
#include <cmath>

namespace nimbrel {

namespace {

// Wind above this is not a reading (the panels show 0).
constexpr double kWindLimitMph = 200.0;
// Rain windows outside 0..2000 mm are not shown as numbers.
constexpr double kRainLimitMm = 2000.0;
constexpr double kDegreesPerSector = 22.5;
// Older than any record the station can hold: "the whole history up to".
const QDate kBeforeAnyRecord(1900, 1, 1);

std::optional<int> rainWindow(const HistoryStore *history, const QDateTime &after, const QDateTime &upTo,
                              QDateTime *start = nullptr)
{
    if (!history)
        return std::nullopt;
    const RainCounts counts = rainCountsBetween(*history, after, upTo);
    // Whole tips, as every destination reads them: a calibrated factor's
    // fraction of a tip is rounded.
    const int tips = static_cast<int>(std::lround(counts.tips()));
    if (start)
        *start = counts.baseDat;
    const double mm = tipsToMm(tips);
    if (mm < 0 || mm > kRainLimitMm)
        return std::nullopt;
    return tips;
}

// The value rounded to `decimals` as the panels round it (half away from
// zero on its decimal digits), as a JSON number; null when missing.
QJsonValue number(std::optional<double> value, int decimals)
{
    if (!value)
        return QJsonValue(QJsonValue::Null);
    return formatFixed(*value, decimals, QLatin1Char('.')).toDouble();
}

QJsonValue whole(std::optional<int> value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

std::optional<double> tipsMm(std::optional<int> tips)
{
    if (!tips)
        return std::nullopt;
    return tipsToMm(*tips);
}

}  // namespace

double tipsToMm(double tips)
{
    return rainInUnit(tips, unitCode(RainUnit::Mm));
}
double tipsToInch(double tips)
{
    return rainInUnit(tips, unitCode(RainUnit::Inch));
}

QString isoWithOffset(const QDateTime &localTime)
{
    const QDateTime local(localTime.date(), localTime.time());
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

CurrentConditions currentConditions(const Measurement &m, const StationSummary &s, const HistoryStore *history,
                                    bool headerRead)
{
    CurrentConditions c;
    c.time = m.Dat;

    if (m.TempDoorState == kStateReading) {
        c.indoorTemperatureC = m.TempDoor;
        c.indoorHumidity = m.HumDoor;
        if (m.HumDoor > 0)
            c.indoorDewPointC = dewPoint(m.HumDoor, m.TempDoor);
    }
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelConditions &ch = c.channels[i];
        const int state = m.TempCHState[i];
        ch.present = state != kStateNoSensor && !(m.TempCH[i] == 0.0 && m.HumCH[i] == 0);
        if (!ch.present || state != kStateReading)
            continue;
        ch.temperatureC = m.TempCH[i];
        if (m.HumCH[i] > 0 && m.HumCH[i] < kHumidityLimit) {
            ch.humidity = m.HumCH[i];
            ch.dewPointC = dewPoint(m.HumCH[i], m.TempCH[i]);
        }
    }

    if (m.PressLocalInvalid == 0) {
        c.pressureSeaLevelHpa = m.PressLocal;
        c.pressureStationHpa = stationPressure(m.PressLocal, s.Altitude, m.TempDoor);
    }
    if (m.WindSpeedState == kStateReading && m.WindSpeed <= kWindLimitMph)
        c.windSpeedMph = m.WindSpeed;
    if (m.WindGustState == kStateReading && m.WindGust <= kWindLimitMph)
        c.windGustMph = m.WindGust;
    if (m.WindDirection < kCompassSectors) {
        c.windDirectionDeg = m.WindDirection * kDegreesPerSector;
        c.windDirectionPoint = formatWindDirectionName(m);
    }
    if (m.WindChillState == kStateReading && m.WindChill <= kWindChillLimitC)
        c.windChillC = m.WindChill;

    const QDateTime end = wallClock(m.Dat);
    if (end.isValid()) {
        if (m.RainState == 0) {
            c.rainLastHourTips = rainWindow(history, end.addSecs(-3600), end);
            c.rainCounterTips = m.RainCount;
        }
        c.rainLast24hTips = rainWindow(history, end.addDays(-1), end);
        c.rainTotalTips =
            rainWindow(history, QDateTime(kBeforeAnyRecord, QTime(0, 0), Qt::UTC), end, &c.rainTotalStart);
        // A record at midnight sharp belongs to the new day: its count is the
        // day's starting count.
        c.rainSinceMidnightTips = rainWindow(history, QDateTime(end.date(), QTime(0, 0), Qt::UTC).addSecs(-1), end);
    }
    c.uvIndex = m.UV;

    c.batteriesKnown = headerRead;
    for (int i = 0; i < kBatteryCount; ++i)
        c.batteryLow[i] = s.BatteryFlag[i] == kBatteryLow;
    return c;
}

QJsonObject stateJson(const CurrentConditions &c)
{
    QJsonObject o;
    o[QStringLiteral("time")] = c.time.isValid() ? QJsonValue(isoWithOffset(c.time)) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("indoor_temperature")] = number(c.indoorTemperatureC, 1);
    o[QStringLiteral("indoor_humidity")] = whole(c.indoorHumidity);
    o[QStringLiteral("indoor_dew_point")] = number(c.indoorDewPointC, 1);
    // Every channel has its keys; one without a sensor has nothing but
    // nulls, never the 0.0 °C and 0 % it is stored as.
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelConditions &ch = c.channels[i];
        const QString prefix = QStringLiteral("channel%1_").arg(i + 1);
        o[prefix + QStringLiteral("temperature")] = number(ch.present ? ch.temperatureC : std::nullopt, 1);
        o[prefix + QStringLiteral("humidity")] = whole(ch.present ? ch.humidity : std::nullopt);
        o[prefix + QStringLiteral("dew_point")] = number(ch.present ? ch.dewPointC : std::nullopt, 1);
    }
    o[QStringLiteral("pressure_sea_level")] = number(c.pressureSeaLevelHpa, 1);
    o[QStringLiteral("pressure_station")] = number(c.pressureStationHpa, 1);
    const int kmh = unitCode(SpeedUnit::Kmh);
    o[QStringLiteral("wind_speed")] =
        number(c.windSpeedMph ? std::optional(speedInUnit(*c.windSpeedMph, kmh)) : std::nullopt, 1);
    o[QStringLiteral("wind_gust")] =
        number(c.windGustMph ? std::optional(speedInUnit(*c.windGustMph, kmh)) : std::nullopt, 1);
    o[QStringLiteral("wind_direction")] = number(c.windDirectionDeg, 1);
    o[QStringLiteral("wind_direction_point")] =
        c.windDirectionPoint.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(c.windDirectionPoint);
    o[QStringLiteral("wind_chill")] = number(c.windChillC, 1);
    o[QStringLiteral("rain_last_hour")] = number(tipsMm(c.rainLastHourTips), 2);
    o[QStringLiteral("rain_24h")] = number(tipsMm(c.rainLast24hTips), 2);
    o[QStringLiteral("rain_total")] = number(tipsMm(c.rainTotalTips), 2);
    o[QStringLiteral("rain_total_since")] =
        c.rainTotalStart.isValid() ? QJsonValue(isoWithOffset(c.rainTotalStart)) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("rain_today")] = number(tipsMm(c.rainSinceMidnightTips), 2);
    o[QStringLiteral("rain_counter")] = whole(c.rainCounterTips);
    // The gauge's running count grows without end: no plausibility cut.
    o[QStringLiteral("rain_counter_mm")] =
        number(c.rainCounterTips ? std::optional<double>(*c.rainCounterTips * rainTipFactor(unitCode(RainUnit::Mm)))
                                 : std::nullopt,
               2);
    o[QStringLiteral("uv_index")] = number(c.uvIndex, 1);
    if (c.batteriesKnown) {
        QJsonObject low;
        for (int i = 0; i < kChannelCount; ++i)
            low[QStringLiteral("channel%1").arg(i + 1)] = c.batteryLow[i];
        low[QStringLiteral("uv")] = c.batteryLow[kBatteryFlagUv];
        low[QStringLiteral("wind")] = c.batteryLow[kBatteryFlagWind];
        low[QStringLiteral("rain")] = c.batteryLow[kBatteryFlagRain];
        o[QStringLiteral("battery_low")] = low;
    } else {
        o[QStringLiteral("battery_low")] = QJsonValue(QJsonValue::Null);
    }
    return o;
}

}  // namespace nimbrel
