// The decoded station header: location and time zone, alarm limits, minima
// and maxima, trends, batteries and the station's short histories. The
// astronomy writes the day's sun and moon times into it as well.
#pragma once

#include <QDateTime>
#include <cstdint>

namespace nimbrel {

constexpr int kSensorCount = 6;          // indoor + channels 1..5
constexpr int kTrendCount = 12;          // temperature and humidity of each sensor
constexpr int kBatteryCount = 8;         // channels 1..5, UV, wind, rain
// Entries of the battery flags after the channels' 0..4.
constexpr int kBatteryFlagUv = 5;
constexpr int kBatteryFlagWind = 6;
constexpr int kBatteryFlagRain = 7;
constexpr int kUvDayCount = 8;           // today and the seven days before
constexpr int kPressureHistoryCount = 25;  // hourly, newest first

struct StationSummary {
    // No header has been read yet, from the station or its copy: the values
    // below come from the memory image's filler (every byte 0x30), not from
    // a station, and are shown as missing readings.
    bool Unread = false;
    QDateTime RecordTime;  // the Dat of the decoded record

    // Location: whole degrees and minutes.
    int LatMin = 0;
    int LatSec = 0;
    int LongMin = 0;
    int LongSec = 0;
    int Hemispheres = 0;  // bit 1: south latitude, bit 0: east longitude
    double TimeZone = 0;  // hours east of Greenwich, may be negative or half
    int DstCode = 0;      // daylight-saving rule 0..15
    int CityCode = 0;

    double TempAlarmHigh = 0;
    std::uint16_t TempAlarmHighState = 0;
    double TempAlarmLow = 0;
    std::uint16_t TempAlarmLowState = 0;

    // Entry 0 indoor, 1..5 channels.
    double TempMin[kSensorCount] = {};
    std::uint16_t TempMinState[kSensorCount] = {};
    double TempMax[kSensorCount] = {};
    std::uint16_t TempMaxState[kSensorCount] = {};

    std::uint16_t Trend[kTrendCount] = {};
    // 0 shows the low-battery picture, 1 the full one.
    std::uint16_t BatteryFlag[kBatteryCount] = {};
    double UvDailyMax[kUvDayCount] = {};
    int Altitude = 0;  // metres
    double PressureHistory[kPressureHistoryCount] = {};  // hPa

    // 0 shows the filled (ringing) bell, 1 the outline bell.
    std::uint16_t RainAlarmFlag = 0;
    std::uint16_t WindSpeedAlarmFlag = 0;
    std::uint16_t WindGustAlarmFlag = 0;
    int RainAlarm = 0;  // rain-gauge tips
    int WindSpeedAlarm = 0;
    int WindGustAlarm = 0;
    double WindSpeedMax = 0;  // mph
    double WindGustMax = 0;   // mph
    int RainYesterday = 0;    // tips
    int RainWeek = 0;
    int RainMonth = 0;

    // Written by the astronomy: hours of the local day.
    double SunRise = 0;
    double SunSet = 0;
    double MoonRise = 0;
    double MoonSet = 0;
};

}  // namespace nimbrel
