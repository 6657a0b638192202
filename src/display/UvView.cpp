#include "UvView.h"

#include "DisplayRules.h"
#include "NumberFormat.h"
#include "Placeholders.h"
#include "Units.h"

#include <algorithm>

namespace nimbrel {

namespace {

// The UV index scale stops at picture 10 ("extreme").
constexpr int kLastUvPicture = 10;

}  // namespace

int uvPictureIndex(double shownUv)
{
    const int n = truncateToInt(shownUv);
    if (n <= 1)
        return 0;
    return std::min(n - 1, kLastUvPicture);
}

UvChartView uvChartView(const StationSummary &s, int uvUnit)
{
    UvChartView chart;
    const double factor = uvFactor(uvUnit);
    // Oldest first: UvDailyMax is newest first.
    int lo = truncateToInt(s.UvDailyMax[kUvDayCount - 1] * factor);
    int hi = lo;
    for (int day = kUvDayCount - 1; day >= 0; --day) {
        const double v = s.UvDailyMax[day] * factor;
        if (lo > v)
            lo = truncateToInt(v);
        if (hi < v)
            hi = truncateToInt(v);
        chart.points.append(QPointF(-day, v));
    }
    lo = std::max(lo - 1, 0);
    hi = hi + 1;
    if (hi < lo)
        std::swap(lo, hi);
    chart.yMin = lo;
    chart.yMax = hi;
    return chart;
}

UvView uvView(const Measurement &m, const StationSummary &s)
{
    UvView v;
    const double shownUv = uvInUnit(m.UV, m.UvUnit);
    v.UVLabel = formatFloat(kPatternOneDecimal, shownUv);
    v.UVIImage = uvPictureIndex(shownUv);
    v.BatUVI = s.Unread ? kBatteryNoReading : s.BatteryFlag[kBatteryFlagUv];
    v.UVIL1 = uvUnitName(m.UvUnit);
    // No header yet: no daily maxima to draw.
    if (!s.Unread)
        v.UVIChart = uvChartView(s, m.UvUnit);
    if (m.NoRecord) {
        // No record yet: no index and no picture.
        v.UVLabel = QString::fromUtf8(kPlaceholderNoReading);
        v.UVIImage = -1;
    }
    return v;
}

}  // namespace nimbrel
