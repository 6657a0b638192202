#include "DisplayRules.h"

#include "NumberFormat.h"
#include "Units.h"

namespace nimbrel {

UnitChoices unitChoicesOf(const Measurement &m)
{
    return {m.TemperatureUnit, m.PressureUnit, m.SpeedUnit, m.RainUnit, m.UvUnit, m.SelectedChannel};
}

void applyUnitChoices(Measurement &m, const UnitChoices &choices)
{
    m.TemperatureUnit = choices.temperature;
    m.PressureUnit = choices.pressure;
    m.SpeedUnit = choices.speed;
    m.RainUnit = choices.rain;
    m.UvUnit = choices.uv;
    m.SelectedChannel = choices.channel;
}

double shownTemperature(double celsius, int temperatureUnit)
{
    return temperatureInUnit(celsius, temperatureUnit);
}

double shownChannelTemperature(double celsius, int humidity, int temperatureUnit)
{
    // An all-zero pair decodes to -0.0 as well; both show as 0.
    if (celsius == 0.0 && humidity == 0)
        return 0.0;
    return temperatureInUnit(celsius, temperatureUnit);
}

QString oneDecimal(double value) { return formatFixed(value, 1); }

int batteryImage(int batteryFlag, bool anyStateSet)
{
    return anyStateSet ? kBatteryNoReading : batteryFlag;
}

int trendImage(int trendCode) { return trendCode - 1; }

}  // namespace nimbrel
