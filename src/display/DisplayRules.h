// Rules every panel of the main window shares: the unit choices a refresh
// works with, the temperature-unit rule, battery and trend pictures.
#pragma once

#include "Measurement.h"
#include "StationSummary.h"

#include <QString>

namespace nimbrel {

// The selectors' item indices at the moment of a refresh or a unit change.
// Every view takes its units from here, never from a label or from what an
// earlier refresh left in the Measurement, so that a refresh right after
// start-up draws every value in the saved unit.
struct UnitChoices {
    int temperature = 0;  // TempEdBox: 0 C, 1 F
    int pressure = 0;     // PressureEdBox: 0 hPa, 1 mBar, 2 mmHg, 3 inchHg
    int speed = 0;        // SpeedEdBox: 0 km/h, 1 mph, 2 m/s, 3 knots
    int rain = 0;         // RainEdBox: 0 inch, 1 mm
    int uv = 0;           // UVIEdBox: 0 UVI, 1 MED/h
    int channel = 0;      // CHBox: 0..4 = CH1..CH5

    bool operator==(const UnitChoices &) const = default;
};

// The choices a Measurement carries.
UnitChoices unitChoicesOf(const Measurement &m);
// Writes the choices into the Measurement's unit fields and SelectedChannel:
// the first thing a refresh does.
void applyUnitChoices(Measurement &m, const UnitChoices &choices);

// A temperature in the shown unit: Fahrenheit for unit 1, otherwise the
// stored Celsius.
double shownTemperature(double celsius, int temperatureUnit);
// A channel temperature in the shown unit. A channel whose temperature is
// exactly 0.0 and humidity exactly 0 sends nothing at all and stays 0.0 in
// Fahrenheit too.
double shownChannelTemperature(double celsius, int humidity, int temperatureUnit);
// A number with one decimal in the default locale ("0.0" pattern); a value
// that rounds to zero never shows a minus sign.
QString oneDecimal(double value);

// Pictures of the battery list.
inline constexpr int kBatteryLow = 0;
inline constexpr int kBatteryGood = 1;
inline constexpr int kBatteryNoReading = 2;
// The battery picture of a sensor: "no reading" when any of its readings has
// a non-zero state, otherwise the station's battery flag (0 low, 1 good).
int batteryImage(int batteryFlag, bool anyStateSet);

// Pictures of the trend-arrow list.
inline constexpr int kTrendFalling = 0;
inline constexpr int kTrendRising = 1;
inline constexpr int kTrendSteady = 2;
// The arrow of a station trend code 1..3 is the code minus 1; code 0 gives
// -1, which shows no arrow.
int trendImage(int trendCode);

// Pictures of the alarm bell list: the station's alarm flag is the index.
inline constexpr int kAlarmRinging = 0;
inline constexpr int kAlarmQuiet = 1;

}  // namespace nimbrel
