// What a reading shows when its sensor state word is not 0.
//
// The station sends every value with a 16-bit state word. A current reading
// whose state is not 0 is never shown as a number: depending on the quantity
// and the state it becomes a short placeholder ("LL" too low to measure, "HH"
// too high, "--,-" no reading) or an empty label. The placeholders use a
// comma whatever the locale: they are the station's own display texts.
//
// Minima, maxima and alarm limits do not follow this table; their panels say
// how they show.
#pragma once

#include "StationPressure.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace nimbrel {

// State words of a reading as the decoder reports them.
inline constexpr int kStateReading = 0;
inline constexpr int kStateLow = 1;        // temperature below range; wind: unreadable code
inline constexpr int kStateHigh = 2;       // temperature above range; wind: sensor error code
inline constexpr int kStateError = 3;      // temperature sensor error
inline constexpr int kStateNoSensor = 4;   // channel without a sensor; wind chill without wind

// Placeholder texts.
inline constexpr char kPlaceholderLow[] = "LL";
inline constexpr char kPlaceholderHigh[] = "HH";
inline constexpr char kPlaceholderNoReading[] = "--,-";
inline constexpr char kPlaceholderHumidity[] = "--";
inline constexpr char kPlaceholderWindUnreadable[] = "UU.UU";
inline constexpr const auto &kPlaceholderPressure = kPressurePlaceholder;  // "----,-"
inline constexpr char kPlaceholderRainHour[] = "0";

// Humidities of 100 % and more are not readings.
inline constexpr int kHumidityLimit = 100;

// The quantities whose readings follow the placeholder table.
enum class Reading {
    IndoorTemperature,  // also the indoor dew point
    ChannelTemperature, // also the channel dew point
    WindChill,
    WindSpeed,          // also the gust
    Pressure,           // sea-level and station pressure
    RainLastHour,
};

// The text shown instead of a number for `state`; nullopt for state 0, when
// the value is formatted as a number. An empty text clears the label.
std::optional<QString> placeholderFor(Reading reading, int state);

// The label text of a reading: its placeholder, or, for state 0, the value
// (already in the shown unit) with `decimals` digits in the default locale.
QString readingText(Reading reading, int state, double shownValue, int decimals);

// Indoor humidity: empty for any non-zero state, otherwise the whole percent
// as it is (100 and more too).
QString indoorHumidityText(int humidity, int state);
// Channel humidity: the whole percent when the state is 0 and it is below
// 100, otherwise "--".
QString channelHumidityText(int humidity, int state);
// Bar gauge value of a humidity: 0 when the state is non-zero or the value is
// 100 or more.
double humidityGaugeValue(int humidity, int state);

}  // namespace nimbrel
