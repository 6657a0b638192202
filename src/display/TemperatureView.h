// What the temperature and humidity panel shows: the base unit's indoor
// sensor on the left, one of the five remote channels on the right, each with
// temperature, humidity, dew point, comfort word, trend arrows, thermometer
// and humidity bar; indoor alarm limits and the channel's battery.
#pragma once

#include "DewPoint.h"
#include "DisplayRules.h"
#include "Measurement.h"
#include "StationSummary.h"

#include <QString>

namespace nimbrel {

// Items of the hidden comfort word lists ("Холодно", "Сухо", "Жарко",
// "Комфортно", "Влажно"); the panel shows the item text so the translation
// table reaches the words.
inline constexpr int kComfortCold = 0;
inline constexpr int kComfortDry = 1;
inline constexpr int kComfortHot = 2;
inline constexpr int kComfortComfortable = 3;
inline constexpr int kComfortHumid = 4;

// Comfort word of a temperature (°C) and a relative humidity (%):
//   19 <= T < 25 and H < 40         dry
//   T >= 25 and H <= 60             hot
//   19 <= T < 25 and 40 <= H <= 60  comfortable
//   H > 60                          humid, whatever the temperature
//   anything else (T below 19)      cold
// Exactly 60 % counts with the drier rules, so 25 °C at 60 % is hot and
// 20 °C at 60 % comfortable.
int comfortIndex(double temperatureC, int humidity);

// Thermometer scales by temperature unit: indoor -10..60 °C / 14..140 °F,
// channel -40..80 °C / -40..176 °F. Scale steps are 20 with minor steps 10.
struct ThermometerScale {
    int minimum = 0;
    int maximum = 0;
};
ThermometerScale indoorThermometerScale(int temperatureUnit);
ThermometerScale channelThermometerScale(int temperatureUnit);

// A thermometer: column value and the two markers in the shown unit; 0 where
// the value's state word is non-zero.
struct ThermometerView {
    double value = 0;
    double maxMarker = 0;
    double minMarker = 0;
    ThermometerScale scale;
};

// Indoor texts and values; the unit is a TempEdBox index.
QString formatIndoorTemperature(const Measurement &m, int temperatureUnit);
QString formatIndoorHumidity(const Measurement &m);
double indoorHumidityGauge(const Measurement &m);
QString formatIndoorDewPoint(const Measurement &m, int temperatureUnit);
int indoorComfortIndex(const Measurement &m);

// Channel texts and values for a CHBox index 0..4. Any other index is no
// channel: empty texts, "--" humidity, 0 values.
QString formatChannelTemperature(const Measurement &m, int channel, int temperatureUnit);
QString formatChannelHumidity(const Measurement &m, int channel);
double channelHumidityGauge(const Measurement &m, int channel);
double channelThermometerValue(const Measurement &m, int channel, int temperatureUnit);
QString formatChannelDewPoint(const Measurement &m, int channel, int temperatureUnit);
int channelComfortIndex(const Measurement &m, int channel);

struct IndoorSide {
    QString TempDoorLabel;
    QString HumDoorLabel;
    double HumMeter = 0;
    QString TochkaRosDoorL;
    int ComfState = kComfortCold;  // ComfStateL shows this item's text
    bool ComfStateLEmpty = false;  // ComfStateL is cleared instead (no record yet)
    ThermometerView Termo1;
    QString MaxTempDoorLabel;  // the stored maximum even when its state is set
    QString MinTempDoorLabel;
    QString UTAL;  // "Hi:" and the high alarm limit, or "Hi:--,-"
    QString LTAL;  // "Lo:" and the low alarm limit, or "Lo:--,-"
    int TempDoorTrend = -1;
    int HumDoorTrend = -1;
};

struct ChannelSide {
    int CHBox = 0;  // the channel shown, 0..4
    QString TempCHLabel;
    QString HumCHLabel;
    double HumMeter1 = 0;
    QString TochkaRosCHL;
    int ComfStateCH = kComfortCold;
    // ComfState1L is cleared instead of showing the ComfStateCH item when
    // the channel has no reading (TempCHLabel shows "--,-").
    bool ComfState1LEmpty = false;
    ThermometerView Termo2;
    QString MaxTempCHL;  // a missing maximum counts as 0 °C (32.0 in F)
    QString MinTempCHL;
    int TempCHTrend = -1;
    int HumCHTrend = -1;
    int BatCH = kBatteryNoReading;
};

struct TemperatureView {
    IndoorSide indoor;
    ChannelSide channel;
    int TemperatureUnitPicture = 0;  // TL1 .. TL9: 0 Celsius, 1 Fahrenheit
};

IndoorSide indoorSide(const Measurement &m, const StationSummary &s, int temperatureUnit);
// The channel chosen in units.channel. The channel selector shows
// TempCHLabel, HumCHLabel, the comfort word and BatCH of this at once; the
// rest follows at the next refresh.
// Before any header has been read (s.Unread) the extremes, alarm limits,
// trends and battery show as missing: "--,-", no marker, no arrow.
// Before any record (m.NoRecord) the readings and dew points show "--,-",
// the humidities "--", no comfort word, and the columns and bars sit empty.
ChannelSide channelSide(const Measurement &m, const StationSummary &s, const UnitChoices &units);
TemperatureView temperatureView(const Measurement &m, const StationSummary &s, const UnitChoices &units);

}  // namespace nimbrel
