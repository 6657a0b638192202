// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryChart.h"

#include "DateFormat.h"
#include "HistoryInterval.h"
#include "HistoryTime.h"
#include "KitStyle.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include "QCustomPlotInclude.h"

namespace nimbrel {

namespace {

constexpr int kTickPixels = 10;
constexpr double kHitRadius = 6.0;

// Date-time labels stepping by at least an hour, read in UTC so that the
// plain seconds show the stored wall-clock times.
class TimeTicker : public QCPAxisTickerDateTime {
protected:
    double getTickStep(const QCPRange &range) override
    {
        return std::max(QCPAxisTickerDateTime::getTickStep(range), 3600.0);
    }
};

}  // namespace

HistoryChart::HistoryChart(Kind kind, QWidget *parent) : QWidget(parent), kind_(kind)
{
    plot_ = new QCustomPlot(this);
    plot_->setMouseTracking(true);
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    plot_->setLocale(locale);
    plot_->setBackground(Qt::white);
    // Lines 3 pixels wide through thousands of points: joined as one
    // polyline the raster engine strokes them for seconds; drawn segment by
    // segment they take milliseconds and look the same at this width.
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    plot_->setMinimumSize(0, 0);
    setMinimumSize(0, 0);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);

    // The legend is a row of its own above the axis rectangle.
    QCPLegend *legend = plot_->legend;
    plot_->axisRect()->insetLayout()->take(legend);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, legend);
    plot_->plotLayout()->setRowStretchFactor(0, 0.001);
    plot_->plotLayout()->setRowSpacing(0);
    plot_->plotLayout()->setMargins(QMargins(0, 0, 0, 0));
    legend->setVisible(true);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setMargins(QMargins(0, 1, 0, 0));
    legend->setFont(kit::labelFont(11));
    legend->setIconSize(18, 6);

    for (QCPAxis *axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setTickLabelFont(kit::labelFont(kTickPixels));
        axis->setTickLabelPadding(2);
        axis->setPadding(0);
    }
    // Half a label above the plot: the top value label is centred on the top
    // tick and must not be cut off by the legend row.
    const int halfLabel = QFontMetrics(kit::labelFont(kTickPixels)).height() / 2 + 1;
    plot_->axisRect()->setMinimumMargins(QMargins(4, halfLabel, 24, 2));

    if (kind_ == Kind::Lines) {
        auto ticker = QSharedPointer<TimeTicker>(new TimeTicker);
        ticker->setDateTimeSpec(Qt::UTC);
        plot_->xAxis->setTicker(ticker);
        plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
        plot_->axisRect()->setRangeDrag(Qt::Horizontal);
        plot_->axisRect()->setRangeZoom(Qt::Horizontal);
        connect(plot_->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
                [this](const QCPRange &range) {
                    if (settingRange_)
                        return;
                    from_ = range.lower;
                    to_ = range.upper;
                    Q_EMIT rangeChangedByUser(range.lower, range.upper);
                });
        setTimeFormat(QString::fromUtf16(history::kInitialAxisFormat));
    } else {
        barSeries_ = new QCPBars(plot_->xAxis, plot_->yAxis);
        barSeries_->setWidthType(QCPBars::wtPlotCoords);
        barSeries_->setWidth(0.8);
        plot_->xAxis->setTicker(QSharedPointer<QCPAxisTickerText>(new QCPAxisTickerText));
        plot_->xAxis->setTickLabelRotation(0);
        // The first bar sits at x = 0: no solid zero line through it.
        plot_->xAxis->grid()->setZeroLinePen(Qt::NoPen);
    }
    connect(plot_, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent *event) { Q_EMIT mouseMoved(event->position().toPoint()); });
    plot_->yAxis->setRange(0, 1);
}

HistoryChart::~HistoryChart() = default;

int HistoryChart::addSeries(const QString &title, const QColor &color)
{
    if (kind_ == Kind::Bars) {
        barSeries_->setName(title);
        barSeries_->setPen(QPen(color.darker(120)));
        barSeries_->setBrush(color);
        return 0;
    }
    QCPGraph *graph = plot_->addGraph();
    graph->setName(title);
    graph->setPen(QPen(color, 3.0));
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    graph->setAdaptiveSampling(true);
    graphs_.append(graph);
    return static_cast<int>(graphs_.size()) - 1;
}

int HistoryChart::seriesCount() const
{
    return kind_ == Kind::Bars ? 1 : static_cast<int>(graphs_.size());
}

QString HistoryChart::seriesTitle(int series) const
{
    if (kind_ == Kind::Bars)
        return barSeries_->name();
    return series >= 0 && series < graphs_.size() ? graphs_[series]->name() : QString();
}

bool HistoryChart::setSeriesTitle(int series, const QString &title)
{
    if (series < 0 || series >= seriesCount())
        return false;
    if (kind_ == Kind::Bars)
        barSeries_->setName(title);
    else
        graphs_[series]->setName(title);
    plot_->replot(QCustomPlot::rpQueuedReplot);
    return true;
}

void HistoryChart::setSeriesVisible(int series, bool visible)
{
    if (kind_ == Kind::Bars || series < 0 || series >= graphs_.size())
        return;
    graphs_[series]->setVisible(visible);
    rescaleValues();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool HistoryChart::seriesVisible(int series) const
{
    if (kind_ == Kind::Bars)
        return barSeries_->visible();
    return series >= 0 && series < graphs_.size() && graphs_[series]->visible();
}

int HistoryChart::pointCount(int series) const
{
    if (kind_ == Kind::Bars)
        return static_cast<int>(bars_.size());
    return series >= 0 && series < graphs_.size() ? graphs_[series]->dataCount() : 0;
}

void HistoryChart::setSeriesData(int series, const std::vector<history::PlotPoint> &points)
{
    if (kind_ == Kind::Bars || series < 0 || series >= graphs_.size())
        return;
    QVector<QCPGraphData> data;
    data.reserve(static_cast<qsizetype>(points.size()));
    for (const history::PlotPoint &p : points)
        data.append(QCPGraphData(p.x, p.y));
    graphs_[series]->data()->set(data, true);
    rescaleValues();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void HistoryChart::setBars(std::vector<history::RainBar> bars)
{
    if (kind_ != Kind::Bars)
        return;
    bars_ = std::move(bars);
    QVector<double> keys;
    QVector<double> values;
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        keys.append(static_cast<double>(i));
        values.append(bars_[i].amount);
    }
    barSeries_->setData(keys, values, true);
    // Bars narrower than a few pixels are drawn as plain fills.
    const bool thin = static_cast<int>(bars_.size()) * 4 > plotColumns();
    barSeries_->setPen(thin ? QPen(Qt::NoPen) : QPen(barSeries_->brush().color().darker(120)));
    barSeries_->setAntialiased(!thin);
    plot_->xAxis->setRange(-0.5, std::max<double>(static_cast<double>(bars_.size()) - 0.5, 0.5));
    updateBarLabels();
    rescaleValues();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void HistoryChart::updateBarLabels()
{
    auto ticker = plot_->xAxis->ticker().dynamicCast<QCPAxisTickerText>();
    if (!ticker)
        return;
    ticker->clear();
    if (bars_.empty())
        return;
    // Every k-th label, so that the labels never overlap.
    const QFontMetrics metrics(plot_->xAxis->tickLabelFont());
    int widest = 1;
    for (std::size_t i = 0; i < bars_.size(); i += std::max<std::size_t>(1, bars_.size() / 50))
        widest = std::max(widest, metrics.horizontalAdvance(bars_[i].label));
    const double perBar = std::max(1.0, static_cast<double>(plotColumns())) / static_cast<double>(bars_.size());
    const int step = std::max(1, static_cast<int>(std::ceil((widest + 12) / perBar)));
    for (std::size_t i = 0; i < bars_.size(); i += static_cast<std::size_t>(step))
        ticker->addTick(static_cast<double>(i), bars_[i].label);
}

void HistoryChart::rescaleValues()
{
    bool found = false;
    QCPRange all;
    auto include = [&](const QCPRange &r) {
        all = found ? QCPRange(std::min(all.lower, r.lower), std::max(all.upper, r.upper)) : r;
        found = true;
    };
    if (kind_ == Kind::Bars) {
        bool ok = false;
        const QCPRange r = barSeries_->getValueRange(ok);
        if (ok)
            include(r);
    }
    for (QCPGraph *g : graphs_) {
        bool ok = false;
        if (!g->visible())
            continue;
        const QCPRange r = g->getValueRange(ok);
        if (ok)
            include(r);
    }
    if (!found) {
        plot_->yAxis->setRange(0, 1);
    } else {
        const double span = all.upper - all.lower;
        const double pad = span > 0 ? span * 0.05 : std::max(1.0, std::abs(all.upper) * 0.05);
        plot_->yAxis->setRange(all.lower - pad, all.upper + pad);
    }
    Q_EMIT valueRangeChanged();
}

int HistoryChart::valueLabelWidth() const
{
    QCPAxis *axis = plot_->yAxis;
    QVector<double> ticks;
    QVector<QString> labels;
    axis->ticker()->generate(axis->range(), plot_->locale(), axis->numberFormat().at(0), axis->numberPrecision(), ticks,
                             nullptr, &labels);
    const QFontMetrics metrics(axis->tickLabelFont());
    int widest = 0;
    for (qsizetype i = 0; i < ticks.size(); ++i)
        if (axis->range().contains(ticks[i]))
            widest = std::max(widest, metrics.horizontalAdvance(labels[i]));
    return widest + axis->tickLabelPadding() + axis->tickLengthOut() + axis->padding() + axis->offset() + 2;
}

int HistoryChart::plotLeft() const
{
    return plot_->axisRect()->left();
}

void HistoryChart::setLeftMargin(int pixels)
{
    QCPAxisRect *rect = plot_->axisRect();
    if (pixels <= 0) {
        rect->setAutoMargins(QCP::msAll);
    } else {
        rect->setAutoMargins(QCP::msTop | QCP::msRight | QCP::msBottom);
        rect->setMargins(QMargins(pixels, 0, 0, 0));
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void HistoryChart::setTimeRange(double from, double to)
{
    from_ = from;
    to_ = to;
    if (kind_ == Kind::Lines) {
        settingRange_ = true;
        plot_->xAxis->setRange(from, to);
        settingRange_ = false;
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
}

void HistoryChart::setTimeFormat(const QString &pattern)
{
    timeFormat_ = pattern;
    if (auto ticker = plot_->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>())
        ticker->setDateTimeFormat(toQtDateTimeFormat(pattern, plot_->locale()));
    updateTickCount();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void HistoryChart::updateTickCount()
{
    // Room for the label: a long date format gets fewer ticks.
    const int labelWidth = QFontMetrics(plot_->xAxis->tickLabelFont())
                               .horizontalAdvance(formatDateTime(QDateTime(QDate(2026, 12, 28), QTime(23, 59), Qt::UTC),
                                                                 timeFormat_, plot_->locale()));
    plot_->xAxis->ticker()->setTickCount(std::clamp(plotColumns() / (labelWidth + 40), 2, 12));
}

int HistoryChart::plotColumns() const
{
    const int rect = plot_->axisRect()->width();
    const int guess = width() - 60;
    return std::max(100, rect > 50 && std::abs(rect - guess) < 40 ? rect : guess);
}

std::optional<QPointF> HistoryChart::pointAt(const QPoint &position, int series) const
{
    if (kind_ == Kind::Bars) {
        const int index = static_cast<int>(std::lround(plot_->xAxis->pixelToCoord(position.x())));
        if (index < 0 || index >= static_cast<int>(bars_.size()))
            return std::nullopt;
        const double top = plot_->yAxis->coordToPixel(bars_[static_cast<std::size_t>(index)].amount);
        const double base = plot_->yAxis->coordToPixel(0);
        if (position.y() < std::min(top, base) - kHitRadius || position.y() > std::max(top, base) + kHitRadius)
            return std::nullopt;
        return QPointF(static_cast<double>(history::plainSeconds(bars_[static_cast<std::size_t>(index)].date)),
                       bars_[static_cast<std::size_t>(index)].amount);
    }
    if (series < 0 || series >= graphs_.size() || !graphs_[series]->visible())
        return std::nullopt;
    const QCPGraph *g = graphs_[series];
    if (g->data()->isEmpty())
        return std::nullopt;
    const double key = plot_->xAxis->pixelToCoord(position.x());
    auto it = g->data()->findBegin(key, false);
    std::optional<QPointF> best;
    double bestDistance = kHitRadius;
    for (int step = 0; step < 8 && it != g->data()->constEnd(); ++step, ++it) {
        const double dx = plot_->xAxis->coordToPixel(it->key) - position.x();
        const double dy = plot_->yAxis->coordToPixel(it->value) - position.y();
        const double distance = std::hypot(dx, dy);
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = QPointF(it->key, it->value);
        }
        if (dx > kHitRadius)
            break;
    }
    return best;
}

QPointF HistoryChart::pointPosition(int series, int index) const
{
    if (kind_ == Kind::Bars) {
        const auto &bar = bars_.at(static_cast<std::size_t>(index));
        return QPointF(plot_->xAxis->coordToPixel(index), plot_->yAxis->coordToPixel(bar.amount / 2));
    }
    const auto it = graphs_.at(series)->data()->at(index);
    return QPointF(plot_->xAxis->coordToPixel(it->key), plot_->yAxis->coordToPixel(it->value));
}

void HistoryChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The labels that fit depend on the width.
    if (kind_ == Kind::Bars)
        updateBarLabels();
    else
        updateTickCount();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void HistoryChart::setLegendInset(int left)
{
    // The row is as high as the selectors, so they cover no tick label.
    plot_->legend->setMargins(QMargins(left, 5, 0, 5));
}

QPointF HistoryChart::point(int series, int index) const
{
    const auto it = graphs_.at(series)->data()->at(index);
    return QPointF(it->key, it->value);
}

void HistoryChart::replotNow()
{
    plot_->replot(QCustomPlot::rpImmediateRefresh);
}

void HistoryChart::dumpState(QJsonObject &out) const
{
    QJsonArray series;
    for (int s = 0; s < seriesCount(); ++s) {
        QJsonObject one;
        one.insert(QStringLiteral("title"), seriesTitle(s));
        one.insert(QStringLiteral("visible"), seriesVisible(s));
        if (kind_ == Kind::Bars) {
            QJsonArray points;
            for (const history::RainBar &bar : bars_)
                points.append(QJsonArray{bar.date.toString(Qt::ISODate), bar.amount, bar.label});
            one.insert(QStringLiteral("points"), points);
            one.insert(QStringLiteral("pointCount"), static_cast<int>(bars_.size()));
        } else {
            one.insert(QStringLiteral("pointCount"), pointCount(s));
        }
        series.append(one);
    }
    out.insert(QStringLiteral("series"), series);
    out.insert(QStringLiteral("xMin"), history::plainText(static_cast<history::PlainSeconds>(std::floor(from_))));
    out.insert(QStringLiteral("xMax"), history::plainText(static_cast<history::PlainSeconds>(std::floor(to_))));
    if (kind_ == Kind::Lines)
        out.insert(QStringLiteral("timeFormat"), timeFormat_);
}

}  // namespace nimbrel
