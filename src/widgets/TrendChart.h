// A small trend chart: one red line series over a numeric x axis, with the
// series title shown above the plot in place of a chart title. The main
// window carries three of them (24 hours of pressure, 7 days of UV and of
// wind), each about 200 x 100 pixels, so margins, fonts and ticks are kept
// compact.
//
// The points are kept as given, in the order added; the axes show exactly
// the ranges set on them (no automatic scaling), so the code that fills a
// chart decides its bounds.
#pragma once

#include "Component.h"

#include <QList>
#include <QLocale>
#include <QPointF>
#include <QString>
#include <QWidget>

class QCustomPlot;
class QCPGraph;

namespace nimbrel {

class TrendChart : public QWidget, public DumpableComponent {
    Q_OBJECT
public:
    static constexpr const char *kKind = "TChart";

    explicit TrendChart(QWidget *parent = nullptr);
    ~TrendChart() override;

    // The chart has a single series, number 0.
    int seriesCount() const { return 1; }
    QString seriesTitle() const;
    void setSeriesTitle(const QString &title);
    // False (and nothing changes) for a series the chart does not have.
    bool setSeriesTitle(int series, const QString &title);

    // Tick labels of the x axis follow a float-format pattern such as
    // "#,##0.###h": '#' and '0' digits, an optional ',' asking for digit
    // grouping, '.' and the decimals ('0' always shown, '#' only when not
    // zero), then literal text that is appended (here the unit "h").
    void setXLabelFormat(const QString &pattern);
    QString xLabelFormat() const { return xPattern_; }
    // The pattern applied to one value with the chart's locale.
    QString formatXLabel(double value) const;
    static QString formatWithPattern(double value, const QString &pattern, const QLocale &locale);

    // Number formatting of both axes. The default is the C locale without
    // digit grouping, so the labels read the same on every computer.
    void setNumberLocale(const QLocale &locale);
    QLocale numberLocale() const { return locale_; }

    void setXRange(double minimum, double maximum);
    void setYRange(double minimum, double maximum);
    // One bound at a time. A bound set on or past the other pushes that one
    // along to one unit beyond it, so the range never turns inside out.
    void setYMinimum(double minimum);
    void setYMaximum(double maximum);
    double xMin() const;
    double xMax() const;
    double yMin() const;
    double yMax() const;

    void clear();
    void addPoint(double x, double y, const QString &label = QString());
    int pointCount() const { return static_cast<int>(points_.size()); }
    QPointF point(int index) const { return points_.at(index); }
    QString pointLabel(int index) const { return labels_.at(index); }

    // The index of the point drawn under the given position (widget
    // coordinates), or -1 when no point lies within a few pixels. Among
    // several the nearest wins.
    int pointAt(const QPoint &position) const;
    // Where a point is drawn, in widget coordinates.
    QPointF pointPosition(int index) const;

    void dumpState(QJsonObject &out) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The mouse moved over the chart (widget coordinates).
    void mouseMoved(Qt::KeyboardModifiers modifiers, const QPoint &position);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyPalette();
    void replot();

    QCustomPlot *plot_ = nullptr;
    QCPGraph *graph_ = nullptr;
    QList<QPointF> points_;
    QList<QString> labels_;
    QString xPattern_;
    QLocale locale_;
};

}  // namespace nimbrel
