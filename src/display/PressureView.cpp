#include "PressureView.h"

#include "NumberFormat.h"
#include "Placeholders.h"
#include "StationPressure.h"
#include "Units.h"

namespace nimbrel {

QString formatSeaLevelPressure(const Measurement &m, int pressureUnit)
{
    return readingText(Reading::Pressure, m.PressLocalInvalid, pressureInUnit(m.PressLocal, pressureUnit), 1);
}

int forecastImageIndex(const Measurement &m)
{
    if (m.WeatherInvalid == kWeatherUnavailable)
        return kForecastNone;
    return m.Weather >= kForecastFirstCode && m.Weather <= kForecastLastCode ? m.Weather : 0;
}

int pressureTrendIndex(const StationSummary &s)
{
    const int now = truncateToInt(s.PressureHistory[0]);
    const int hourAgo = truncateToInt(s.PressureHistory[1]);
    if (now == hourAgo)
        return kTrendSteady;
    return now < hourAgo ? kTrendFalling : kTrendRising;
}

PressureView pressureView(const Measurement &m, const StationSummary &s, const UnitChoices &units)
{
    PressureView v;
    v.PressureLabel = formatSeaLevelPressure(m, units.pressure);
    v.PressureLocalL =
        formatStationPressure(m.PressLocal, m.PressLocalInvalid, s.Altitude, m.TempDoor, units.pressure,
                              localeDecimalSeparator());
    v.PressureUnitCaption = pressureUnitName(units.pressure);
    v.PressureTrend = pressureTrendIndex(s);
    v.WeatherImage = forecastImageIndex(m);
    v.PressLevel = s.Altitude;
    v.PressureChart = pressureChartView(s.PressureHistory, units.pressure);
    if (s.Unread) {
        // No header yet: neither the altitude nor the hourly pressures are known.
        v.PressureLocalL = QString::fromLatin1(kPlaceholderPressure);
        v.PressureTrend = -1;
        v.PressLevel.reset();
        v.PressureChart = pressureChartView({}, units.pressure);
    }
    if (m.NoRecord) {
        // No record yet: no pressure and no forecast, the neutral picture.
        v.PressureLabel = v.PressureLocalL = QString::fromLatin1(kPlaceholderPressure);
        v.WeatherImage = kForecastNone;
    }
    return v;
}

}  // namespace nimbrel
