// SPDX-License-Identifier: GPL-3.0-or-later
// One chart of the history window: date-time lines (or, for rain, labelled
// bars) on white, the series titles in a legend row above the plot, lines 3
// pixels wide without point markers.
//
// The line charts hold only what is visible, already reduced to the width
// (the window reads again when the range changes); the user may zoom and pan
// them along the time axis with the mouse, and the chart reports each such
// change. The bar chart holds one bar per rain period and shows the periods'
// labels on its bottom axis; it cannot be zoomed or panned.
#pragma once

#include "Component.h"
#include "PixelReduction.h"
#include "RainAggregation.h"

#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPBars;

namespace nimbrel {

class HistoryChart : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    enum class Kind { Lines, Bars };
    explicit HistoryChart(Kind kind, QWidget *parent = nullptr);
    ~HistoryChart() override;

    Kind kind() const { return kind_; }
    int addSeries(const QString &title, const QColor &color);
    int seriesCount() const;
    QString seriesTitle(int series) const;
    // False for a series the chart does not have (the language switch
    // reaches it by name).
    Q_INVOKABLE bool setSeriesTitle(int series, const QString &title);
    void setSeriesVisible(int series, bool visible);
    bool seriesVisible(int series) const;
    int pointCount(int series) const;

    // Lines: points in ascending x (plain seconds).
    void setSeriesData(int series, const std::vector<history::PlotPoint> &points);
    // Bars: the rain periods, in date order.
    void setBars(std::vector<history::RainBar> bars);
    const std::vector<history::RainBar> &bars() const { return bars_; }

    // The time window shown (plain seconds); no rangeChangedByUser.
    void setTimeRange(double from, double to);
    double xMin() const { return from_; }
    double xMax() const { return to_; }
    // Tick labels in the program's date notation (DateFormat.h).
    void setTimeFormat(const QString &pattern);
    QString timeFormat() const { return timeFormat_; }
    // About how many pixel columns the plot spans.
    int plotColumns() const;

    // The point of `series` drawn under the position (widget coordinates):
    // x in plain seconds (bars: the period's first day at midnight), y.
    std::optional<QPointF> pointAt(const QPoint &position, int series) const;
    QPointF pointPosition(int series, int index) const;
    // A line point as plotted: x in plain seconds, y.
    QPointF point(int series, int index) const;

    // Room kept free at the legend row's left, for the selectors over it.
    void setLegendInset(int left);
    // The room the value axis' labels need left of the plot, in pixels, for
    // the values now shown. The window gives every chart the widest one, so
    // that the same time lies at the same x in all of them.
    int valueLabelWidth() const;
    // The plot's left edge this many pixels from the chart's; 0: as the
    // labels need.
    void setLeftMargin(int pixels);
    // Where the plot begins, in pixels from the chart's left edge.
    int plotLeft() const;
    void replotNow();
    void dumpState(QJsonObject &out) const override;

Q_SIGNALS:
    void rangeChangedByUser(double from, double to);
    // The value axis' range changed, and with it perhaps its labels' width.
    void valueRangeChanged();
    void mouseMoved(const QPoint &position);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void rescaleValues();
    void updateBarLabels();
    void updateTickCount();

    Kind kind_;
    QCustomPlot *plot_ = nullptr;
    QList<QCPGraph *> graphs_;
    QCPBars *barSeries_ = nullptr;
    std::vector<history::RainBar> bars_;
    double from_ = 0;
    double to_ = 1;
    bool settingRange_ = false;
    QString timeFormat_;
};

}  // namespace nimbrel
