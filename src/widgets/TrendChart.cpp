#include "TrendChart.h"

#include "KitStyle.h"
#include "NumberFormat.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QMouseEvent>

#include <cmath>
#include <limits>

#include "QCustomPlotInclude.h"

namespace nimbrel {

namespace {

constexpr int kTickPixels = 9;
constexpr int kTitlePixels = 10;
// A point counts as under the mouse within this distance of its centre,
// about the line's half width plus a comfortable aim.
constexpr double kHitRadius = 6.0;

// Shows the series' title, and only the title: the chart's designed legend
// has no colour box.
class SeriesTitleItem : public QCPAbstractLegendItem {
public:
    SeriesTitleItem(QCPLegend *legend, QCPAbstractPlottable *series) : QCPAbstractLegendItem(legend), series_(series)
    {
    }

protected:
    void draw(QCPPainter *painter) override
    {
        painter->setFont(mFont);
        painter->setPen(QPen(mTextColor));
        const QString shown = QFontMetrics(mFont).elidedText(series_->name(), Qt::ElideRight, mRect.width());
        painter->drawText(mRect, Qt::AlignCenter, shown);
    }

    // Only the height is asked for: a long title is elided rather than
    // allowed to widen the chart.
    QSize minimumOuterSizeHint() const override
    {
        return QSize(mMargins.left() + mMargins.right(),
                     QFontMetrics(mFont).height() + mMargins.top() + mMargins.bottom());
    }

private:
    QCPAbstractPlottable *series_;
};

// Tick labels written with the chart's float-format pattern.
class PatternTicker : public QCPAxisTicker {
public:
    explicit PatternTicker(const TrendChart *chart) : chart_(chart) {}

protected:
    QString getTickLabel(double tick, const QLocale &, QChar, int) override { return chart_->formatXLabel(tick); }

private:
    const TrendChart *chart_;
};

// Tick labels of the vertical axis: the program's general number text
// (1012, 0.5), with the chart's decimal separator.
class GeneralTicker : public QCPAxisTicker {
protected:
    QString getTickLabel(double tick, const QLocale &locale, QChar, int) override
    {
        return formatGeneral(tick, locale.decimalPoint().at(0));
    }
};

QFont chartFont(int pixels)
{
    return kit::labelFont(pixels);
}

}  // namespace

TrendChart::TrendChart(QWidget *parent) : QWidget(parent)
{
    locale_ = QLocale(QLocale::C);
    locale_.setNumberOptions(QLocale::OmitGroupSeparator);

    plot_ = new QCustomPlot(this);
    plot_->setMouseTracking(true);
    plot_->setLocale(locale_);
    plot_->setAutoAddPlottableToLegend(false);
    // The plot has no hint of its own, so tool-tip events reach the chart.
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);

    graph_ = plot_->addGraph();
    graph_->setPen(QPen(QColor(Qt::red), 3.0));
    graph_->setLineStyle(QCPGraph::lsLine);
    graph_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    graph_->setAdaptiveSampling(false);

    // The legend becomes a row of its own above the axis rectangle, holding
    // the series title.
    QCPLegend *legend = plot_->legend;
    plot_->axisRect()->insetLayout()->take(legend);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, legend);
    plot_->plotLayout()->setRowStretchFactor(0, 0.001);
    plot_->plotLayout()->setRowSpacing(0);
    legend->setVisible(true);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setMargins(QMargins(0, 0, 0, 0));
    legend->setIconSize(0, 0);
    legend->setIconTextPadding(0);
    legend->setFont(chartFont(kTitlePixels));
    legend->clearItems();
    auto *title = new SeriesTitleItem(legend, graph_);
    title->setFont(chartFont(kTitlePixels));
    title->setMargins(QMargins(2, 1, 2, 0));
    legend->addItem(title);

    // Compact frame: small tick labels, short ticks, a little room on the
    // right so the last x label is not cut.
    QCPAxisRect *rect = plot_->axisRect();
    rect->setMinimumMargins(QMargins(2, 2, 9, 2));
    for (QCPAxis *axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setTickLabelFont(chartFont(kTickPixels));
        axis->setTickLabelPadding(2);
        axis->setPadding(0);
        axis->setTickLength(0, 3);
        axis->setSubTickLength(0, 0);
        axis->setSubTicks(false);
    }
    plot_->plotLayout()->setMargins(QMargins(0, 0, 0, 0));
    plot_->xAxis->ticker()->setTickCount(5);
    plot_->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new GeneralTicker));
    plot_->yAxis->ticker()->setTickCount(4);

    connect(plot_, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent *event) { Q_EMIT mouseMoved(event->modifiers(), event->position().toPoint()); });

    setXLabelFormat(QStringLiteral("#,##0.###"));
    setXRange(-1, 0);
    setYRange(0, 1);
    applyPalette();
    replot();
}

TrendChart::~TrendChart() = default;

QString TrendChart::seriesTitle() const
{
    return graph_->name();
}

void TrendChart::setSeriesTitle(const QString &title)
{
    graph_->setName(title);
    replot();
}

bool TrendChart::setSeriesTitle(int series, const QString &title)
{
    if (series != 0)
        return false;
    setSeriesTitle(title);
    return true;
}

void TrendChart::setXLabelFormat(const QString &pattern)
{
    xPattern_ = pattern;
    plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new PatternTicker(this)));
    plot_->xAxis->ticker()->setTickCount(5);
    replot();
}

QString TrendChart::formatXLabel(double value) const
{
    return formatWithPattern(value, xPattern_, locale_);
}

QString TrendChart::formatWithPattern(double value, const QString &pattern, const QLocale &locale)
{
    auto isNumberChar = [](QChar c) {
        return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') || c == QLatin1Char('.');
    };
    int first = 0;
    while (first < pattern.size() && pattern[first] != QLatin1Char('#') && pattern[first] != QLatin1Char('0'))
        ++first;
    int end = first;
    while (end < pattern.size() && isNumberChar(pattern[end]))
        ++end;
    const QString prefix = pattern.left(first);
    const QString number = pattern.mid(first, end - first);
    const QString suffix = pattern.mid(end);

    const int dot = number.indexOf(QLatin1Char('.'));
    const QString integral = dot < 0 ? number : number.left(dot);
    const QString fraction = dot < 0 ? QString() : number.mid(dot + 1);
    const int maxDecimals = static_cast<int>(fraction.size());
    const int minDecimals = static_cast<int>(fraction.count(QLatin1Char('0')));

    QLocale shown = locale;
    if (!integral.contains(QLatin1Char(',')))
        shown.setNumberOptions(shown.numberOptions() | QLocale::OmitGroupSeparator);
    // The program's number formatter rounds (and drops the sign of a value
    // that rounds to zero); digit grouping follows the locale when asked for.
    const QString point = shown.decimalPoint();
    QString text = formatFixed(value, maxDecimals, point.at(0));
    if (!(shown.numberOptions() & QLocale::OmitGroupSeparator)) {
        const qsizetype dotAt = maxDecimals > 0 ? text.lastIndexOf(point) : text.size();
        const qsizetype firstDigit = text.startsWith(QLatin1Char('-')) ? 1 : 0;
        for (qsizetype at = dotAt - 3; at > firstDigit; at -= 3)
            text.insert(at, shown.groupSeparator());
    }
    if (maxDecimals > minDecimals) {
        const qsizetype at = text.lastIndexOf(point);
        if (at >= 0) {
            qsizetype keep = text.size();
            const qsizetype lowest = at + point.size() + minDecimals;
            while (keep > lowest && text[keep - 1] == QLatin1Char('0'))
                --keep;
            if (keep == at + point.size())
                keep = at;
            text.truncate(keep);
        }
    }
    return prefix + text + suffix;
}

void TrendChart::setNumberLocale(const QLocale &locale)
{
    locale_ = locale;
    plot_->setLocale(locale);
    replot();
}

void TrendChart::setXRange(double minimum, double maximum)
{
    plot_->xAxis->setRange(minimum, maximum);
    replot();
}

void TrendChart::setYRange(double minimum, double maximum)
{
    plot_->yAxis->setRange(minimum, maximum);
    replot();
}

void TrendChart::setYMinimum(double minimum)
{
    const double maximum = minimum < yMax() ? yMax() : minimum + 1;
    plot_->yAxis->setRange(minimum, maximum);
    replot();
}

void TrendChart::setYMaximum(double maximum)
{
    const double minimum = maximum > yMin() ? yMin() : maximum - 1;
    plot_->yAxis->setRange(minimum, maximum);
    replot();
}

double TrendChart::xMin() const
{
    return plot_->xAxis->range().lower;
}

double TrendChart::xMax() const
{
    return plot_->xAxis->range().upper;
}

double TrendChart::yMin() const
{
    return plot_->yAxis->range().lower;
}

double TrendChart::yMax() const
{
    return plot_->yAxis->range().upper;
}

void TrendChart::clear()
{
    points_.clear();
    labels_.clear();
    graph_->data()->clear();
    replot();
}

void TrendChart::addPoint(double x, double y, const QString &label)
{
    points_.append(QPointF(x, y));
    labels_.append(label);
    // The graph keeps its data sorted by x; points are added oldest first,
    // so the drawn order is the added order.
    graph_->addData(x, y);
    replot();
}

void TrendChart::setPoints(const QList<QPointF> &points)
{
    points_ = points;
    labels_ = QList<QString>(points.size());
    graph_->data()->clear();
    for (const QPointF &p : points)
        graph_->addData(p.x(), p.y());
    replot();
}

QPointF TrendChart::pointPosition(int index) const
{
    // The plot lays itself out when it is drawn; a chart that has not been
    // shown yet is laid out here so positions are right at once.
    if (plot_->viewport() != plot_->rect() || plot_->size() != size()) {
        plot_->setGeometry(rect());
        plot_->setViewport(rect());
        plot_->replot(QCustomPlot::rpQueuedRefresh);
    }
    const QPointF &p = points_.at(index);
    return QPointF(plot_->xAxis->coordToPixel(p.x()), plot_->yAxis->coordToPixel(p.y())) + plot_->pos();
}

int TrendChart::pointAt(const QPoint &position) const
{
    int best = -1;
    double bestDistance = std::numeric_limits<double>::max();
    for (int i = 0; i < pointCount(); ++i) {
        const QPointF d = pointPosition(i) - QPointF(position);
        const double distance = std::hypot(d.x(), d.y());
        if (distance <= kHitRadius && distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void TrendChart::dumpState(QJsonObject &out) const
{
    // The series as drawn ([x, y] pairs, with its title) at the top level,
    // and the same again per series with each point's label.
    QJsonArray pairs;
    QJsonArray points;
    for (int i = 0; i < pointCount(); ++i) {
        pairs.append(QJsonArray{points_[i].x(), points_[i].y()});
        points.append(QJsonArray{points_[i].x(), points_[i].y(), labels_[i]});
    }
    out.insert(QStringLiteral("seriesTitle"), seriesTitle());
    out.insert(QStringLiteral("points"), pairs);
    QJsonObject series;
    series.insert(QStringLiteral("title"), seriesTitle());
    series.insert(QStringLiteral("points"), points);
    out.insert(QStringLiteral("series"), QJsonArray{series});
    out.insert(QStringLiteral("xMin"), xMin());
    out.insert(QStringLiteral("xMax"), xMax());
    out.insert(QStringLiteral("yMin"), yMin());
    out.insert(QStringLiteral("yMax"), yMax());
}

QSize TrendChart::sizeHint() const
{
    return QSize(200, 100);
}

QSize TrendChart::minimumSizeHint() const
{
    return QSize(120, 60);
}

void TrendChart::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
    QWidget::changeEvent(event);
}

void TrendChart::applyPalette()
{
    const QPalette pal = palette();
    const QColor text = pal.color(QPalette::WindowText);
    const QColor frame = kit::withAlpha(text, 110);
    const QColor grid = kit::withAlpha(text, 38);
    plot_->setBackground(pal.brush(QPalette::Window));
    plot_->axisRect()->setBackground(pal.brush(QPalette::Base));
    for (QCPAxis *axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setBasePen(QPen(frame, 1));
        axis->setTickPen(QPen(frame, 1));
        axis->setTickLabelColor(text);
        axis->grid()->setPen(QPen(grid, 1, Qt::DotLine));
        axis->grid()->setZeroLinePen(Qt::NoPen);
    }
    for (int i = 0; i < plot_->legend->itemCount(); ++i)
        plot_->legend->item(i)->setTextColor(text);
    replot();
}

void TrendChart::replot()
{
    // Redraws the plot's buffers now and repaints later, so a grab right
    // after a change already shows it.
    plot_->replot(QCustomPlot::rpQueuedRefresh);
}

}  // namespace nimbrel
