// What the UV panel shows: the UV index in the chosen unit, the exposure
// picture for that shown value, the seven-day chart of the station's daily
// maxima and the UV sensor's battery.
#pragma once

#include "Measurement.h"
#include "StationSummary.h"

#include <QList>
#include <QPointF>
#include <QString>

namespace nimbrel {

// The UV chart: the eight daily maxima, seven days back at x = -7 and today
// at x = 0, in the chosen unit, and the vertical axis from one below the
// lowest truncated point (never below 0) to one above the highest.
struct UvChartView {
    QList<QPointF> points;
    int yMin = 0;
    int yMax = 36;
};

struct UvView {
    QString UVLabel;      // UV in the chosen unit, one decimal
    int UVIImage = 0;     // UVIList picture 0..10; -1 none (no record yet: UVLabel "--,-")
    int BatUVI = 0;       // VrBitmapList1 index: the UV battery flag
    QString UVIL1;        // "UVI" or "MED/h"; empty for an unknown code (keep it)
    UvChartView UVIChart;
};

// The exposure picture for a UV value in the shown unit: truncated to n,
// n up to 1 gives 0, 2..11 give n - 1, 12 and above 10.
int uvPictureIndex(double shownUv);

UvChartView uvChartView(const StationSummary &s, int uvUnit);

// The whole panel from the current record (UV, UvUnit) and the summary. The
// picture follows the shown value, so a unit change redraws it as well.
UvView uvView(const Measurement &m, const StationSummary &s);

}  // namespace nimbrel
