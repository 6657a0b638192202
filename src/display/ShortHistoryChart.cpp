#include "ShortHistoryChart.h"

#include "NumberFormat.h"
#include "Units.h"

#include <algorithm>
#include <vector>

namespace nimbrel {

QString chartSeriesTitle(MainChart chart)
{
    switch (chart) {
    case MainChart::Pressure:
        return QStringLiteral("Давление за последние 24 часа");
    case MainChart::Uv:
        return QStringLiteral("UVI");
    case MainChart::WindSpeed:
        return QStringLiteral("Скорость ветра");
    }
    return {};
}

QString chartDesignedHint(MainChart chart)
{
    switch (chart) {
    case MainChart::Pressure:
        return QStringLiteral("Давление за последние 24 часа");
    case MainChart::Uv:
        return QStringLiteral("УФИ за последние 7 дней");
    case MainChart::WindSpeed:
        return QStringLiteral("Скорость ветра за последние 7 дней");
    }
    return {};
}

QString chartXLabelFormat(MainChart chart)
{
    return chart == MainChart::Pressure ? QStringLiteral("#,##0.###h") : QStringLiteral("#,##0.###d");
}

ChartView fillShortHistoryChart(MainChart chart, std::span<const double> valuesOldestFirst, double factor,
                                AxisRange defaultRange, bool floorAtZero)
{
    ChartView view;
    view.seriesTitle = chartSeriesTitle(chart);
    view.hint = chartDesignedHint(chart);
    view.yMin = defaultRange.low;
    view.yMax = defaultRange.high;
    if (valuesOldestFirst.empty())
        return view;

    // The bounds follow the truncated values: a point at 1012.9 leaves the
    // axis ending at 1013, one whole unit above 1012.
    const int n = static_cast<int>(valuesOldestFirst.size());
    int lo = truncateToInt(valuesOldestFirst.front() * factor);
    int hi = lo;
    view.points.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double v = valuesOldestFirst[i] * factor;
        if (lo > v)
            lo = truncateToInt(v);
        if (hi < v)
            hi = truncateToInt(v);
        view.points.append(QPointF(i - (n - 1), v));
    }
    lo -= 1;
    if (floorAtZero && lo < 0)
        lo = 0;
    hi += 1;
    if (hi < lo)
        std::swap(lo, hi);
    view.yMin = lo;
    view.yMax = hi;
    return view;
}

ChartView pressureChartView(std::span<const double> pressureHistoryNewestFirst, int pressureUnit)
{
    AxisRange range{0, 1100};
    switch (pressureUnit) {
    case unitCode(PressureUnit::Hpa):
    case unitCode(PressureUnit::MBar):
        range = {500, 1100};
        break;
    case unitCode(PressureUnit::MmHg):
        range = {374, 824};
        break;
    case unitCode(PressureUnit::InchHg):
        range = {14, 33};
        break;
    default:
        break;
    }
    const std::vector<double> oldestFirst(pressureHistoryNewestFirst.rbegin(), pressureHistoryNewestFirst.rend());
    return fillShortHistoryChart(MainChart::Pressure, oldestFirst, pressureFactor(pressureUnit), range);
}

QString chartPointHint(MainChart chart, const QPointF &point)
{
    const int decimals = chart == MainChart::Pressure ? 1 : 2;
    return formatGeneral(point.x()) + QStringLiteral(" : ") + formatFixed(point.y(), decimals);
}

QString chartPointHint(MainChart chart, const ChartView &view, int index)
{
    if (index < 0 || index >= view.points.size())
        return {};
    return chartPointHint(chart, view.points.at(index));
}

}  // namespace nimbrel
