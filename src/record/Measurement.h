// One decoded history record of the station. The newest one is the current
// conditions; every one is stored in the history table.
//
// Base units: temperatures in °C, pressure in hPa, wind in mph, rain in
// rain-gauge tips, UV as UV index. A non-zero state word means the value is
// not a reading (sensor missing, out of range) and is never shown as a number.
#pragma once

#include <QDateTime>
#include <cstdint>

namespace nimbrel {

constexpr int kChannelCount = 5;

struct Measurement {
    // No record at all yet: nothing taken over from the station, nothing
    // loaded from the history. The fields below are then an empty record's
    // zeros, not readings, and every reading shows as missing. Set by the
    // recorder; a record decoded or loaded is never one.
    bool NoRecord = false;

    std::uint16_t DayWeek = 0;
    QDateTime Dat;

    double TempDoor = 0;
    std::uint16_t TempDoorState = 0;  // 1 low, 2 high, 3 error
    std::int32_t HumDoor = 0;

    // Channels 1..5 at indexes 0..4. State 4: no sensor on that channel.
    double TempCH[kChannelCount] = {};
    std::uint16_t TempCHState[kChannelCount] = {};
    std::int32_t HumCH[kChannelCount] = {};

    double UV = 0;

    double PressLocal = 0;  // hPa at the station
    std::uint16_t PressLocalInvalid = 0;
    std::uint16_t Weather = 0;  // forecast code 0..7
    std::uint16_t WeatherInvalid = 0;

    double WindChill = 0;
    std::uint16_t WindChillState = 0;
    double WindGust = 0;  // mph
    std::uint16_t WindGustState = 0;
    double WindSpeed = 0;  // mph
    std::uint16_t WindSpeedState = 0;

    std::int32_t RainCount = 0;  // cumulative rain-gauge tips
    std::uint16_t RainState = 0;
    std::uint16_t WindDirection = 0;  // 0..15, 0 north, clockwise

    std::int32_t HistoryPeriodMs = 3600000;

    // Chosen by the user, written by the display; decoding never changes them.
    std::int32_t TemperatureUnit = 0;
    std::int32_t PressureUnit = 0;
    std::int32_t SpeedUnit = 0;
    std::int32_t RainUnit = 0;
    std::int32_t UvUnit = 0;
    std::int32_t SelectedChannel = 1;

    // Computed by the display from the history.
    double RainLastHour = 0;
    double RainLast24h = 0;
    QDateTime RainTotalStart;
    double PressureMax = 0;
    double PressureMin = 0;
};

}  // namespace nimbrel
