// The small trend charts of the main window: what one chart shows (points,
// vertical axis, its designed texts), how the station's own short histories
// fill one, and the hint of the point under the mouse.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <span>

namespace nimbrel {

// The three trend charts of the main window.
enum class MainChart {
    Pressure,   // PressureChart: 25 hourly pressures, x -24..0 hours
    Uv,         // UVIChart: 8 daily UV maxima, x -7..0 days
    WindSpeed,  // WindSpeedChart: running maximum wind speed, x -7..0 days
};

// What one chart shows, in the unit the user chose.
struct ChartView {
    QList<QPointF> points;  // oldest first; point labels are empty
    double yMin = 0;        // vertical axis, whole units
    double yMax = 0;
    // The designed texts of the chart (chartSeriesTitle, chartDesignedHint).
    // The translation table may replace them on the widget, so a refresh
    // sets only the points and the axis.
    QString seriesTitle;
    QString hint;
};

// The designed series title and the hint shown until the mouse first moves
// over the chart.
QString chartSeriesTitle(MainChart chart);
QString chartDesignedHint(MainChart chart);
// The x-axis label pattern ("#,##0.###h" for hours, "#,##0.###d" for days).
QString chartXLabelFormat(MainChart chart);

// The vertical axis a chart starts from before its points are known.
struct AxisRange {
    double low = 0;
    double high = 0;
};

// Fills a chart from a short history kept by the station.
// valuesOldestFirst: n stored values, drawn at x = -(n-1) .. 0; each is
// multiplied by `factor` (base unit to shown unit). The axis ends one whole
// unit below the lowest point and one above the highest, both truncated
// toward zero; floorAtZero raises a negative lower bound to 0 (UV).
// `defaultRange` is the axis of a chart without points. The designed texts
// of `chart` are filled in.
ChartView fillShortHistoryChart(MainChart chart, std::span<const double> valuesOldestFirst, double factor,
                                AxisRange defaultRange, bool floorAtZero = false);

// The pressure chart: the 25 hourly pressures (newest first as the station
// keeps them) in the pressure unit. hPa and mBar start from 500..1100, mmHg
// from 374..824, inchHg from 14..33, an unknown unit from 0..1100 in hPa.
ChartView pressureChartView(std::span<const double> pressureHistoryNewestFirst, int pressureUnit);

// The hint of a chart point: its x as a general number ("-5", "0"), " : ",
// and its y with one decimal on the pressure chart and two on the others.
QString chartPointHint(MainChart chart, const QPointF &point);
// The hint for the point at `index` of a view; empty when the mouse is on
// no point (index outside the points, e.g. -1).
QString chartPointHint(MainChart chart, const ChartView &view, int index);

}  // namespace nimbrel
