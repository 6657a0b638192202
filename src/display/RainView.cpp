#include "RainView.h"

#include "DisplayRules.h"
#include "FromTimeText.h"
#include "HistoryAggregates.h"
#include "NumberFormat.h"
#include "Placeholders.h"
#include "Units.h"

namespace nimbrel {

namespace {

// Rain above this, or below 0, in the chosen unit is not shown.
constexpr double kShownRainLimit = 2000.0;

double shown(double rain)
{
    return (rain > kShownRainLimit || rain < 0) ? 0.0 : rain;
}

// The hour, day and total texts: one decimal in mm, two otherwise.
QString windowText(double rain, int rainUnit)
{
    return formatFloat(rainUnit == unitCode(RainUnit::Mm) ? kPatternOneDecimal : kPatternTwoDecimals, shown(rain));
}

double rainOf(const RainCounts &c, int rainUnit)
{
    return c.tips() * rainFactor(rainUnit);
}


}  // namespace

double rainFactor(int rainUnit)
{
    return rainTipFactor(rainUnit);
}

RainPeriodView rainPeriodView(const StationSummary &s, int rainUnit, int rainBoxIndex)
{
    int tips = 0;
    switch (rainBoxIndex) {
    case static_cast<int>(RainPeriod::Yesterday): tips = s.RainYesterday; break;
    case static_cast<int>(RainPeriod::Week): tips = s.RainWeek; break;
    case static_cast<int>(RainPeriod::Month): tips = s.RainMonth; break;
    default: return {};
    }
    RainPeriodView v;
    v.shown = true;
    if (s.Unread) {
        // No header yet: the station's rain counters are unknown.
        v.RainLL = QString::fromUtf8(kPlaceholderNoReading);
        return v;
    }
    v.RainLV = rainInUnit(tips, rainUnit);
    v.RainLL = formatFloat(kPatternTwoDecimals, v.RainLV);
    return v;
}

RainWindows rainWindows(const HistoryStore *store, const QDateTime &readingsTime)
{
    RainWindows w;
    if (!store)
        return w;
    const QDateTime end = wallClock(readingsTime);
    w.hour = rainCountsBetween(*store, end.addSecs(-3600), end);
    w.day = rainCountsBetween(*store, end.addDays(-1), end);
    w.total = rainCountsTotal(*store);
    return w;
}

RainView rainView(const Measurement &m, const StationSummary &s, const HistoryStore *store, int rainBoxIndex)
{
    return rainView(m, s, rainWindows(store, m.Dat), rainBoxIndex);
}

RainView rainView(const Measurement &m, const StationSummary &s, const RainWindows &windows, int rainBoxIndex)
{
    RainView v;
    const int unit = m.RainUnit;
    v.RainLastHour = rainOf(windows.hour, unit);
    v.RainLast24h = rainOf(windows.day, unit);
    const bool gaugeValid = m.RainState == 0;

    v.RainLHL = gaugeValid ? windowText(v.RainLastHour, unit) : QStringLiteral("0");
    v.RainLHV = gaugeValid ? shown(v.RainLastHour) : 0.0;
    v.RainLDL = windowText(v.RainLast24h, unit);
    v.RainLDV = gaugeValid ? shown(v.RainLast24h) : 0.0;
    v.period = rainPeriodView(s, unit, rainBoxIndex);
    v.RAL = QStringLiteral("Hi:") + formatFloat(kPatternTwoDecimals, rainInUnit(s.RainAlarm, unit));

    v.RainTotal = rainOf(windows.total, unit);
    v.RainTotalStart = windows.total.baseDat;
    v.AllRainL = windowText(v.RainTotal, unit);
    v.FromRainL = fromTimeText(v.RainTotalStart);
    v.RAS = s.RainAlarmFlag;
    v.BatRain = gaugeValid ? s.BatteryFlag[kBatteryFlagRain] : kBatteryNoReading;
    if (s.Unread) {
        v.RAL = QStringLiteral("Hi:") + QString::fromUtf8(kPlaceholderNoReading);
        v.RAS = kAlarmQuiet;
        v.BatRain = kBatteryNoReading;
    }
    if (m.NoRecord) {
        // No record yet: the history holds no rain to count.
        v.RainLHL = v.RainLDL = v.AllRainL = QString::fromUtf8(kPlaceholderNoReading);
        v.RainLHV = v.RainLDV = 0.0;
    }
    v.unitCaption = rainUnitName(unit);
    return v;
}

void keepRainResults(const RainView &view, Measurement &m)
{
    m.RainLastHour = view.RainLastHour;
    m.RainLast24h = view.RainTotal;
    m.RainTotalStart = view.RainTotalStart;
}

}  // namespace nimbrel
