#include "ThermoMeter.h"

#include "KitStyle.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

// Logical units: the drawing is laid out at these sizes and then scaled as a
// whole, so text and glass keep their proportions at any widget size.
constexpr qreal kNominalHeight = 180;
constexpr qreal kMinHeight = 110;
constexpr int kLabelPixels = 9;
constexpr int kCaptionPixels = 9;
constexpr qreal kCaptionBand = 12;
constexpr qreal kMarkerBand = 7;
constexpr qreal kTubeWidth = 10;
constexpr qreal kBoreWidth = 4;
constexpr qreal kBulbRadius = 8.5;
constexpr qreal kTickGap = 2;
constexpr qreal kMajorTick = 5;
constexpr qreal kMinorTick = 3;
constexpr qreal kLabelGap = 2;
constexpr qreal kSidePad = 1;
constexpr qreal kTopPad = 2;

QString scaleLabel(int v)
{
    // A true minus sign reads better than a hyphen next to digits.
    return v < 0 ? QChar(0x2212) + QString::number(-v) : QString::number(v);
}

}  // namespace

struct ThermoMeter::Layout {
    qreal scale = 1;     // logical to device
    qreal offsetX = 0;   // device offset that centres the content
    qreal height = 0;    // logical height
    qreal captionX = 0;  // centre of the caption band
    qreal tubeLeft = 0;
    qreal tubeTop = 0;
    qreal scaleTop = 0;     // y of scaleMax
    qreal scaleBottom = 0;  // y of scaleMin
    qreal bulbY = 0;
    qreal tickX = 0;
    qreal labelX = 0;

    qreal tubeCenter() const { return tubeLeft + kTubeWidth / 2; }
};

ThermoMeter::ThermoMeter(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void ThermoMeter::setValue(double value)
{
    value_ = value;
    update();
}

void ThermoMeter::setMaxMarker(double value)
{
    max_ = value;
    update();
}

void ThermoMeter::setMinMarker(double value)
{
    min_ = value;
    update();
}

void ThermoMeter::setScale(int minimum, int maximum)
{
    if (minimum > maximum)
        std::swap(minimum, maximum);
    if (minimum == maximum)
        ++maximum;
    scaleMin_ = minimum;
    scaleMax_ = maximum;
    updateGeometry();
    update();
}

void ThermoMeter::setTickSteps(int major, int minor)
{
    majorStep_ = major;
    minorStep_ = minor;
    updateGeometry();
    update();
}

void ThermoMeter::setCaption(const QString &caption)
{
    caption_ = caption;
    updateGeometry();
    update();
}

QList<int> ThermoMeter::ticksBetween(int minimum, int maximum, int step)
{
    QList<int> ticks;
    if (step <= 0 || minimum > maximum)
        return ticks;
    // First multiple of step at or above minimum; % truncates toward zero,
    // so negative minima need the extra modulo.
    const int first = minimum + (step - minimum % step) % step;
    for (long long v = first; v <= maximum; v += step)
        ticks.append(static_cast<int>(v));
    return ticks;
}

double ThermoMeter::clamped(double v) const
{
    if (std::isnan(v))
        return scaleMin_;
    return std::clamp(v, double(scaleMin_), double(scaleMax_));
}

QList<int> ThermoMeter::labelledValues() const
{
    QList<int> labels = ticksBetween(scaleMin_, scaleMax_, majorStep_);
    // A scale too short to hold a major tick still shows its two ends.
    if (labels.isEmpty())
        labels = {scaleMin_, scaleMax_};
    return labels;
}

qreal ThermoMeter::contentWidth() const
{
    const QFontMetricsF fm(kit::labelFont(kLabelPixels));
    qreal labelWidth = 0;
    for (int v : labelledValues())
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(scaleLabel(v)));
    const qreal caption = caption_.isEmpty() ? 0 : kCaptionBand;
    return kSidePad + caption + kMarkerBand + kTubeWidth + kTickGap + kMajorTick + kLabelGap + std::ceil(labelWidth) +
           kSidePad;
}

ThermoMeter::Layout ThermoMeter::layoutFor(const QSizeF &size) const
{
    Layout l;
    const qreal contentW = contentWidth();
    // Scale down when the widget is too narrow or too short for the drawing;
    // any extra height goes to a longer tube.
    l.scale = std::min(size.width() / contentW, size.height() / kMinHeight);
    if (l.scale <= 0)
        l.scale = 1;
    l.height = size.height() / l.scale;
    l.offsetX = (size.width() - contentW * l.scale) / 2;

    qreal x = kSidePad;
    if (!caption_.isEmpty()) {
        l.captionX = x + kCaptionBand / 2;
        x += kCaptionBand;
    }
    x += kMarkerBand;
    l.tubeLeft = x;
    x += kTubeWidth + kTickGap;
    l.tickX = x;
    l.labelX = x + kMajorTick + kLabelGap;

    // Put the tube's outline on the middle of a device pixel, so at 1:1 the
    // glass edge and the scale spine are single sharp lines.
    const qreal edge = l.offsetX + l.tubeLeft * l.scale;
    l.offsetX += std::floor(edge) + 0.5 - edge;

    const qreal labelHalf = QFontMetricsF(kit::labelFont(kLabelPixels)).height() / 2;
    l.tubeTop = kTopPad;
    l.scaleTop = std::max(l.tubeTop + kTubeWidth / 2 + 3, labelHalf + 1);
    l.bulbY = l.height - kTopPad - kBulbRadius;
    l.scaleBottom = l.bulbY - kBulbRadius - 5;
    return l;
}

QSize ThermoMeter::sizeHint() const
{
    return QSize(int(std::ceil(contentWidth())), int(kNominalHeight));
}

QSize ThermoMeter::minimumSizeHint() const
{
    return QSize(int(std::ceil(contentWidth() * kMinHeight / kNominalHeight)), int(kMinHeight));
}

void ThermoMeter::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("value"), value());
    out.insert(QStringLiteral("max"), maxMarker());
    out.insert(QStringLiteral("min"), minMarker());
    out.insert(QStringLiteral("scaleMin"), scaleMin_);
    out.insert(QStringLiteral("scaleMax"), scaleMax_);
    out.insert(QStringLiteral("text"), caption_);
}

void ThermoMeter::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

void ThermoMeter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const Layout l = layoutFor(QSizeF(size()));
    p.translate(l.offsetX, 0);
    p.scale(l.scale, l.scale);

    const qreal span = scaleMax_ - scaleMin_;
    auto yFor = [&](double v) {
        return l.scaleBottom - (clamped(v) - scaleMin_) / span * (l.scaleBottom - l.scaleTop);
    };
    const QColor text = kit::textColor(this);
    const qreal cx = l.tubeCenter();

    // Glass: tube and bulb as one outline, shaded across like a cylinder.
    QPainterPath glass;
    glass.addRoundedRect(QRectF(l.tubeLeft, l.tubeTop, kTubeWidth, l.bulbY - l.tubeTop), kTubeWidth / 2,
                         kTubeWidth / 2);
    glass.addEllipse(QPointF(cx, l.bulbY), kBulbRadius, kBulbRadius);
    glass.setFillRule(Qt::WindingFill);
    glass = glass.simplified();
    QLinearGradient shade(l.tubeLeft - 4, 0, l.tubeLeft + kTubeWidth + 4, 0);
    shade.setColorAt(0.0, kit::kGlassShade);
    shade.setColorAt(0.35, kit::kGlassLight);
    shade.setColorAt(1.0, kit::kGlassShade);
    p.setPen(QPen(kit::kGlassEdge, 1.0));
    p.setBrush(shade);
    p.drawPath(glass);

    // Empty bore above the column.
    const QRectF bore(cx - kBoreWidth / 2, l.tubeTop + kTubeWidth / 2 - 1, kBoreWidth, l.bulbY - l.tubeTop);
    p.setPen(Qt::NoPen);
    p.setBrush(kit::kBore);
    p.drawRoundedRect(bore, kBoreWidth / 2, kBoreWidth / 2);

    // Mercury: bulb reservoir and column up to the value.
    QLinearGradient column(cx - kBoreWidth / 2, 0, cx + kBoreWidth / 2, 0);
    column.setColorAt(0.0, kit::kMercuryLight);
    column.setColorAt(0.45, kit::kMercury);
    column.setColorAt(1.0, kit::kMercuryDark);
    const qreal top = yFor(value_);
    p.setBrush(column);
    p.drawRect(QRectF(cx - kBoreWidth / 2, top, kBoreWidth, l.bulbY - top));
    const qreal inner = kBulbRadius - 2.5;
    QRadialGradient bulb(QPointF(cx - inner * 0.35, l.bulbY - inner * 0.35), inner * 1.3);
    bulb.setColorAt(0.0, kit::kMercuryLight);
    bulb.setColorAt(0.6, kit::kMercury);
    bulb.setColorAt(1.0, kit::kMercuryDark);
    p.setBrush(bulb);
    p.drawEllipse(QPointF(cx, l.bulbY), inner, inner);

    // Highlight down the glass.
    p.setPen(QPen(kit::withAlpha(Qt::white, 170), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(l.tubeLeft + 2.2, l.tubeTop + kTubeWidth / 2), QPointF(l.tubeLeft + 2.2, l.bulbY - kBulbRadius));

    // Scale: spine, minor and major ticks, labels.
    p.setPen(QPen(kit::withAlpha(text, 150), 0.8));
    p.drawLine(QPointF(l.tickX, l.scaleTop), QPointF(l.tickX, l.scaleBottom));
    const QList<int> majors = ticksBetween(scaleMin_, scaleMax_, majorStep_);
    for (int v : ticksBetween(scaleMin_, scaleMax_, minorStep_)) {
        if (!majors.contains(v))
            p.drawLine(QPointF(l.tickX, yFor(v)), QPointF(l.tickX + kMinorTick, yFor(v)));
    }
    p.setPen(QPen(kit::withAlpha(text, 220), 1.0));
    for (int v : majors)
        p.drawLine(QPointF(l.tickX, yFor(v)), QPointF(l.tickX + kMajorTick, yFor(v)));
    p.setFont(kit::labelFont(kLabelPixels));
    p.setPen(text);
    for (int v : labelledValues()) {
        const qreal y = yFor(v);
        p.drawText(QRectF(l.labelX, y - 8, 40, 16), Qt::AlignLeft | Qt::AlignVCenter, scaleLabel(v));
    }

    // Markers: small arrowheads pointing at the tube, with a hairline across
    // the glass at their level.
    auto marker = [&](double v, const QColor &colour) {
        const qreal y = yFor(v);
        const qreal tip = l.tubeLeft - 0.5;
        const QPointF arrow[3] = {{tip, y}, {tip - kMarkerBand + 0.5, y - 3.5}, {tip - kMarkerBand + 0.5, y + 3.5}};
        p.setPen(QPen(colour.darker(130), 0.6));
        p.setBrush(colour);
        p.drawPolygon(arrow, 3);
        p.setPen(QPen(kit::withAlpha(colour, 200), 1.0));
        p.drawLine(QPointF(l.tubeLeft + 0.5, y), QPointF(l.tubeLeft + kTubeWidth - 0.5, y));
    };
    marker(min_, kit::kMinMarker);
    marker(max_, kit::kMaxMarker);

    // Caption, reading upwards along the left edge.
    if (!caption_.isEmpty()) {
        const QFont font = kit::labelFont(kCaptionPixels);
        const qreal length = l.height - 2 * kTopPad;
        const QString shown = QFontMetricsF(font).elidedText(caption_, Qt::ElideRight, length);
        p.save();
        p.translate(l.captionX, l.height / 2);
        p.rotate(-90);
        p.setFont(font);
        p.setPen(text);
        p.drawText(QRectF(-length / 2, -kCaptionBand / 2, length, kCaptionBand), Qt::AlignCenter, shown);
        p.restore();
    }
}

}  // namespace nimbrel
