#include "PowerMeter.h"

#include "KitStyle.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

// Logical thickness of the gauge; the length follows the widget.
constexpr qreal kThickness = 20;
constexpr int kCaptionPixels = 11;
constexpr qreal kFaceInset = 2.5;  // from the widget edge to the face
constexpr qreal kSegmentInset = 2.5;  // from the face edge to the segments
constexpr qreal kGap = 1;
constexpr qreal kGroupGap = 3;  // between groups of five
constexpr int kGroup = 5;

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

}  // namespace

PowerMeter::PowerMeter(QWidget *parent) : QWidget(parent) {}

void PowerMeter::setValue(double value)
{
    value_ = value;
    update();
}

double PowerMeter::value() const
{
    if (std::isnan(value_))
        return minimum_;
    return std::clamp(value_, minimum_, maximum_);
}

void PowerMeter::setRange(double minimum, double maximum)
{
    if (minimum > maximum)
        std::swap(minimum, maximum);
    if (minimum == maximum)
        maximum = minimum + 1;
    minimum_ = minimum;
    maximum_ = maximum;
    update();
}

void PowerMeter::setCaption(const QString &caption)
{
    caption_ = caption;
    updateGeometry();
    update();
}

int PowerMeter::litSegments() const
{
    const double fraction = (value() - minimum_) / (maximum_ - minimum_);
    return std::clamp(static_cast<int>(std::floor(fraction * kSegments + 0.5)), 0, kSegments);
}

void PowerMeter::setCaptionWidth(int pixels)
{
    captionWidth_ = std::max(0, pixels);
    updateGeometry();
    update();
}

qreal PowerMeter::captionBand() const
{
    if (captionWidth_ > 0)
        return captionWidth_;
    if (caption_.isEmpty())
        return 0;
    return std::ceil(QFontMetricsF(kit::labelFont(kCaptionPixels)).horizontalAdvance(caption_)) + 6;
}

QSize PowerMeter::sizeHint() const
{
    return QSize(int(captionBand()) + 150, int(kThickness));
}

QSize PowerMeter::minimumSizeHint() const
{
    return QSize(int(captionBand()) + 60, 10);
}

void PowerMeter::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("value"), value());
    out.insert(QStringLiteral("text"), caption_);
}

void PowerMeter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Work along the gauge's length in a logical space kThickness high; a
    // vertical gauge is the same drawing turned so that it fills upwards.
    const bool vertical = height() > width();
    const qreal across = vertical ? width() : height();
    const qreal along = vertical ? height() : width();
    const qreal scale = across / kThickness;
    if (vertical) {
        p.translate(0, height());
        p.rotate(-90);
    }
    p.scale(scale, scale);
    const qreal length = along / scale;

    const qreal band = std::min(captionBand(), length / 2);
    if (band > 0) {
        p.setFont(kit::labelFont(kCaptionPixels));
        p.setPen(kit::textColor(this));
        const QString shown = QFontMetricsF(p.font()).elidedText(caption_, Qt::ElideRight, band - 6);
        p.drawText(QRectF(0, 0, band - 4, kThickness), Qt::AlignLeft | Qt::AlignVCenter, shown);
    }

    // Display face, slightly recessed.
    const QRectF face(band + kFaceInset, kFaceInset, length - band - 2 * kFaceInset, kThickness - 2 * kFaceInset);
    QLinearGradient faceShade(0, face.top(), 0, face.bottom());
    faceShade.setColorAt(0, kit::kDisplayFace.darker(125));
    faceShade.setColorAt(1, kit::kDisplayFace);
    p.setPen(QPen(kit::kDisplayEdge, 1.0));
    p.setBrush(faceShade);
    p.drawRoundedRect(face, 3, 3);

    // Segments, laid out in whole device pixels so every edge is sharp: equal
    // gaps, a wider one between groups of five, and the pixels left over
    // spread over the segment widths.
    const QRectF well = face.adjusted(kSegmentInset, kSegmentInset, -kSegmentInset, -kSegmentInset);
    const int left = int(std::round(well.left() * scale));
    const int top = int(std::round(well.top() * scale));
    const int bottom = int(std::round(well.bottom() * scale));
    const int gap = std::max(1, int(std::round(kGap * scale)));
    const int groupGap = std::max(gap + 1, int(std::round(kGroupGap * scale)));
    const int groupGaps = (kSegments - 1) / kGroup;
    const int room = int(std::round(well.right() * scale)) - left - (kSegments - 1 - groupGaps) * gap -
                     groupGaps * groupGap;
    if (room < kSegments || bottom <= top)
        return;
    const int lit = litSegments();
    p.setPen(Qt::NoPen);
    int x = left;
    for (int i = 0; i < kSegments; ++i) {
        const int w = room * (i + 1) / kSegments - room * i / kSegments;
        const QRectF r(x / scale, top / scale, w / scale, (bottom - top) / scale);
        if (i < lit) {
            const QColor c = mix(kit::kSegmentLow, kit::kSegmentHigh, qreal(i) / (kSegments - 1));
            QLinearGradient glow(0, r.top(), 0, r.bottom());
            glow.setColorAt(0, c.lighter(125));
            glow.setColorAt(1, c);
            p.setBrush(glow);
        } else {
            p.setBrush(kit::kSegmentOff);
        }
        p.drawRoundedRect(r, 1, 1);
        x += w + ((i + 1) % kGroup == 0 ? groupGap : gap);
    }
}

}  // namespace nimbrel
