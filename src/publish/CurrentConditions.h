// SPDX-License-Identifier: GPL-3.0-or-later
// One record as the outside world gets it: every value the panels show, in
// base units, with nothing where a panel would show a placeholder. Built
// once per record taken over and handed to the MQTT publisher and the
// weather-network upload.
//
// A value is missing (nullopt, null in JSON) when its sensor reports a state
// (too low, too high, error, no sensor), when the panel would show a
// placeholder, or when it fails the panel's plausibility rule (wind above
// 200 mph, wind chill above 99 °C, rain outside 0..2000 mm): such a value
// is shown as 0 or as a placeholder on screen and must not reach a chart
// elsewhere as a number.
#pragma once

#include "HistoryStore.h"
#include "Measurement.h"
#include "StationSummary.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>

namespace nimbrel {

struct ChannelConditions {
    // The channel has a sensor: its state is not "no sensor" and it does not
    // send the all-zero record of an empty channel.
    bool present = false;
    std::optional<double> temperatureC;
    std::optional<int> humidity;  // %
    std::optional<double> dewPointC;
};

struct CurrentConditions {
    QDateTime time;  // the record's time, the computer's local time with its offset
    std::optional<double> indoorTemperatureC;
    std::optional<int> indoorHumidity;
    std::optional<double> indoorDewPointC;
    std::array<ChannelConditions, kChannelCount> channels;
    std::optional<double> pressureSeaLevelHpa;  // as the station reports it
    std::optional<double> pressureStationHpa;   // reduced to the station's altitude
    std::optional<double> windSpeedMph;
    std::optional<double> windGustMph;
    std::optional<double> windDirectionDeg;  // 0, 22.5 .. 337.5
    QString windDirectionPoint;              // "N" .. "NNW"; empty when unknown
    std::optional<double> windChillC;
    // Rain in rain-gauge tips, counted as the rain panel counts them: from
    // the newest rain-marked record of the window, else from its oldest one.
    std::optional<int> rainLastHourTips;
    std::optional<int> rainLast24hTips;
    std::optional<int> rainTotalTips;
    QDateTime rainTotalStart;
    std::optional<int> rainSinceMidnightTips;  // local midnight of the record's day
    std::optional<int> rainCounterTips;        // the gauge's running counter
    std::optional<double> uvIndex;
    // Battery flags of channels 1..5, UV, wind and rain: true when low.
    std::array<bool, kBatteryCount> batteryLow{};
    bool batteriesKnown = false;  // false before the station's header was read
};

// One rain-gauge tip in millimetres and in inches, as the panels count.
double tipsToMm(double tips);
double tipsToInch(double tips);

// The conditions of `m`, the record taken over, with the station header `s`
// (altitude, batteries) and the history (rain windows ending at m.Dat, which
// must already hold m; rows after m do not count; null: no rain figures).
CurrentConditions currentConditions(const Measurement &m, const StationSummary &s, const HistoryStore *history,
                                    bool headerRead = true);

// ISO 8601 with the offset from UTC, "2026-12-07T11:05:00+01:00", of a time
// on the computer's local wall clock.
QString isoWithOffset(const QDateTime &localTime);

// The retained MQTT state message: base units (°C, %, hPa, km/h, degrees,
// mm, UV index) rounded as the panels show them, null for missing values.
// Keys: time, indoor_temperature, indoor_humidity, indoor_dew_point,
// channelN_temperature / _humidity / _dew_point for channels 1..5 (null for
// a channel without a sensor),
// pressure_sea_level, pressure_station, wind_speed, wind_gust,
// wind_direction, wind_direction_point, wind_chill, rain_last_hour, rain_24h,
// rain_total, rain_total_since, rain_today, rain_counter (tips),
// rain_counter_mm, uv_index, battery_low {channel1..5, uv, wind, rain}.
QJsonObject stateJson(const CurrentConditions &c);

}  // namespace nimbrel
