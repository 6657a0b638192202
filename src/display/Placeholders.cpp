#include "Placeholders.h"

#include "NumberFormat.h"

namespace nimbrel {

namespace {

// One row of the table: the text for states 1 to 4 and for any other
// non-zero state.
struct PlaceholderRow {
    const char *byState[4];
    const char *other;
};

constexpr char kEmpty[] = "";

constexpr PlaceholderRow rowFor(Reading reading)
{
    switch (reading) {
    case Reading::IndoorTemperature:
        return {{kPlaceholderLow, kPlaceholderHigh, kPlaceholderNoReading, kEmpty}, kEmpty};
    case Reading::ChannelTemperature:
        return {{kPlaceholderLow, kPlaceholderHigh, kPlaceholderNoReading, kPlaceholderNoReading}, kEmpty};
    case Reading::WindChill:
        // The decoder gives wind chill only the states 0, 1 and 4.
        return {{kPlaceholderWindUnreadable, kEmpty, kEmpty, kPlaceholderNoReading}, kEmpty};
    case Reading::WindSpeed:
        return {{kPlaceholderWindUnreadable, kPlaceholderNoReading, kEmpty, kEmpty}, kEmpty};
    case Reading::Pressure:
        return {{kPlaceholderPressure, kPlaceholderPressure, kPlaceholderPressure, kPlaceholderPressure},
                kPlaceholderPressure};
    case Reading::RainLastHour:
        return {{kPlaceholderRainHour, kPlaceholderRainHour, kPlaceholderRainHour, kPlaceholderRainHour},
                kPlaceholderRainHour};
    }
    return {{kEmpty, kEmpty, kEmpty, kEmpty}, kEmpty};
}

}  // namespace

std::optional<QString> placeholderFor(Reading reading, int state)
{
    if (state == kStateReading)
        return std::nullopt;
    const PlaceholderRow row = rowFor(reading);
    const bool listed = state >= kStateLow && state <= kStateNoSensor;
    return QString::fromUtf8(listed ? row.byState[state - kStateLow] : row.other);
}

QString readingText(Reading reading, int state, double shownValue, int decimals)
{
    if (std::optional<QString> placeholder = placeholderFor(reading, state))
        return *placeholder;
    return formatFixed(shownValue, decimals);
}

QString indoorHumidityText(int humidity, int state)
{
    return state == kStateReading ? QString::number(humidity) : QString();
}

QString channelHumidityText(int humidity, int state)
{
    return state == kStateReading && humidity < kHumidityLimit ? QString::number(humidity)
                                                               : QString::fromUtf8(kPlaceholderHumidity);
}

double humidityGaugeValue(int humidity, int state)
{
    return state == kStateReading && humidity < kHumidityLimit ? humidity : 0.0;
}

}  // namespace nimbrel
