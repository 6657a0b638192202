#include "WindView.h"

#include "Calibration.h"

#include "HistoryStore.h"
#include "NumberFormat.h"
#include "Placeholders.h"
#include "Units.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <optional>

namespace nimbrel {

namespace {

// The largest plotted speed, in the shown unit; anything above (or below 0)
// is drawn as 0 and restarts the running maximum.
constexpr double kWindChartLimit = 200.0;

QString speedText(double speedMph, int state, int speedUnit)
{
    return readingText(Reading::WindSpeed, state, speedInUnit(speedMph, speedUnit), 1);
}

// The largest stored wind speed (mph) with after < Dat <= upTo, the bounds
// of the store's own range queries; nullopt for a span without records.
// SQLite finds it on the Dat index without handing every row over: a week
// of five-minute records is 2,016 rows, which cost milliseconds to read one
// by one at every poll.
std::optional<double> maxStoredWindSpeed(const HistoryStore &history, const QDateTime &after, const QDateTime &upTo)
{
    QSqlQuery q(history.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT MAX(WindSpeed) FROM MainSet WHERE Dat > :after AND Dat <= :upTo"));
    q.bindValue(QStringLiteral(":after"), HistoryStore::dateText(after));
    q.bindValue(QStringLiteral(":upTo"), HistoryStore::dateText(upTo));
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    const Calibration *c = history.calibration();
    return c ? c->windOf(q.value(0).toDouble()) : q.value(0).toDouble();
}

}  // namespace

QString formatWindSpeed(const Measurement &m, int speedUnit)
{
    return speedText(m.WindSpeed, m.WindSpeedState, speedUnit);
}

QString formatWindGust(const Measurement &m, int speedUnit)
{
    return speedText(m.WindGust, m.WindGustState, speedUnit);
}

QString formatWindChill(const Measurement &m, int temperatureUnit)
{
    if (m.NoRecord)
        return QString::fromUtf8(kPlaceholderNoReading);
    const double celsius = m.WindChill > kWindChillLimitC ? 0.0 : m.WindChill;
    return readingText(Reading::WindChill, m.WindChillState, shownTemperature(celsius, temperatureUnit), 1);
}

QString formatMaxWindSpeed(const StationSummary &s, int speedUnit)
{
    return oneDecimal(speedInUnit(s.WindSpeedMax, speedUnit));
}

QString formatMaxWindGust(const StationSummary &s, int speedUnit)
{
    return oneDecimal(speedInUnit(s.WindGustMax, speedUnit));
}

QString formatSpeedAlarm(const StationSummary &s, int speedUnit)
{
    return oneDecimal(speedInUnit(s.WindSpeedAlarm, speedUnit));
}

QString formatGustAlarm(const StationSummary &s, int speedUnit)
{
    return oneDecimal(speedInUnit(s.WindGustAlarm, speedUnit));
}

QString formatWindDirectionName(const Measurement &m)
{
    static const char *const names[kCompassSectors] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                                        "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
    return m.WindDirection < kCompassSectors ? QString::fromLatin1(names[m.WindDirection]) : QString();
}

QString formatWindDirectionDegrees(const Measurement &m)
{
    static const char *const degrees[kCompassSectors] = {"0",     "22,5",  "45",    "67,5",  "90",    "112,5",
                                                          "135",   "157,5", "180",   "202,5", "225",   "247,5",
                                                          "270",   "292,5", "315",   "337,5"};
    return m.WindDirection < kCompassSectors ? QString::fromLatin1(degrees[m.WindDirection]) : QString();
}

WindDays windDays(const HistoryStore *history, const QDateTime &readingsTime)
{
    WindDays days;
    if (!history)
        return days;
    // The 24 hours ending k days before the readings: start excluded, end
    // included, as the store's range query counts them.
    for (int k = kWindChartDays; k >= 0; --k)
        days.maxMph[static_cast<std::size_t>(k)] =
            maxStoredWindSpeed(*history, readingsTime.addDays(-(k + 1)), readingsTime.addDays(-k));
    return days;
}

ChartView windSpeedChart(const HistoryStore *history, const QDateTime &readingsTime, int speedUnit)
{
    return windSpeedChart(windDays(history, readingsTime), speedUnit);
}

ChartView windSpeedChart(const WindDays &days, int speedUnit)
{
    ChartView view;
    view.seriesTitle = chartSeriesTitle(MainChart::WindSpeed);
    view.hint = chartDesignedHint(MainChart::WindSpeed);
    const double factor = speedFactor(speedUnit);

    double runningMph = 0;
    int lo = 0;
    int hi = 0;
    for (int k = kWindChartDays; k >= 0; --k) {
        const std::optional<double> dayMax = days.maxMph[static_cast<std::size_t>(k)];
        if (dayMax && *dayMax > runningMph)
            runningMph = *dayMax;
        const double v = runningMph * factor;
        if (k == kWindChartDays) {
            lo = hi = truncateToInt(v);
        } else {
            if (v < lo)
                lo = truncateToInt(v);
            if (v > hi)
                hi = truncateToInt(v);
        }
        if (v > kWindChartLimit || v < 0)
            runningMph = 0;
        view.points.append(QPointF(-k, runningMph * factor));
    }
    lo = std::max(lo - 1, 0);
    hi += 1;
    view.yMin = lo;
    view.yMax = hi;
    return view;
}

WindView windView(const Measurement &m, const StationSummary &s, const HistoryStore *history,
                  const UnitChoices &units)
{
    return windView(m, s, windDays(history, m.Dat), units);
}

WindView windView(const Measurement &m, const StationSummary &s, const WindDays &days, const UnitChoices &units)
{
    WindView v;
    const int unit = units.speed;
    v.WindSpeedL = formatWindSpeed(m, unit);
    v.WindGustL = formatWindGust(m, unit);
    v.MaxWindSpeedL = formatMaxWindSpeed(s, unit);
    v.MaxWindGustL = formatMaxWindGust(s, unit);
    v.WSAL = QStringLiteral("Hi:") + formatSpeedAlarm(s, unit);
    v.WGAL = QStringLiteral("Hi:") + formatGustAlarm(s, unit);
    v.WSAS = s.WindSpeedAlarmFlag;
    v.WGAS = s.WindGustAlarmFlag;
    v.WindDirectionLabel = formatWindDirectionName(m);
    v.WindDirectionLabel1 = formatWindDirectionDegrees(m);
    v.Compass = m.WindDirection;
    v.WindChillL = formatWindChill(m, units.temperature);
    const bool anyState = m.WindSpeedState != kStateReading || m.WindChillState != kStateReading ||
                          m.WindGustState != kStateReading;
    v.BatWind = batteryImage(s.BatteryFlag[kBatteryFlagWind], anyState);
    v.SpeedUnitCaption = speedUnitName(unit);
    v.WindSpeedChart = windSpeedChart(days, unit);
    if (s.Unread) {
        // No header yet: the station's maxima, alarms and battery are unknown.
        const QString missing = QString::fromUtf8(kPlaceholderNoReading);
        v.MaxWindSpeedL = v.MaxWindGustL = missing;
        v.WSAL = v.WGAL = QStringLiteral("Hi:") + missing;
        v.WSAS = v.WGAS = kAlarmQuiet;
        v.BatWind = kBatteryNoReading;
    }
    if (m.NoRecord) {
        // No record yet: no speed and no direction, no day to chart.
        v.WindSpeedL = v.WindGustL = QString::fromUtf8(kPlaceholderNoReading);
        v.WindDirectionLabel.clear();
        v.WindDirectionLabel1.clear();
        v.Compass = -1;
        v.WindSpeedChart.points.clear();
    }
    return v;
}

}  // namespace nimbrel
