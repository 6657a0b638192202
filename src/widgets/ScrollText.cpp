#include "ScrollText.h"

#include "KitStyle.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace nimbrel {

namespace {

constexpr qreal kHeight = 16;  // logical height; the drawing scales with the widget
constexpr int kTextPixels = 11;
constexpr qreal kPad = 9;      // where the text starts, from the left edge
constexpr qreal kGap = 36;     // between the end of one copy and the next
constexpr qreal kFade = 7;     // soft edges at both ends

}  // namespace

ScrollText::ScrollText(QWidget *parent) : QWidget(parent)
{
    timer_.setInterval(33);
    connect(&timer_, &QTimer::timeout, this, &ScrollText::tick);
}

void ScrollText::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    offset_ = 0;
    update();
}

void ScrollText::setScrolling(bool scrolling)
{
    scrolling_ = scrolling;
    syncTimer();
}

qreal ScrollText::logicalScale() const
{
    return height() > 0 ? height() / kHeight : 1.0;
}

qreal ScrollText::cycle() const
{
    const qreal textWidth = QFontMetricsF(kit::labelFont(kTextPixels)).horizontalAdvance(text_);
    return std::max(std::ceil(textWidth) + kGap, width() / logicalScale());
}

void ScrollText::scrollBy(qreal pixels)
{
    const qreal period = cycle();
    offset_ = std::fmod(offset_ + pixels, period);
    if (offset_ < 0)
        offset_ += period;
    update();
}

void ScrollText::tick()
{
    // Move by the time that really passed, so a late tick does not slow the
    // text down.
    const qint64 ms = clock_.restart();
    scrollBy(speed_ * qreal(ms) / 1000.0);
}

void ScrollText::syncTimer()
{
    const bool run = scrolling_ && isVisible();
    if (run && !timer_.isActive()) {
        clock_.start();
        timer_.start();
    } else if (!run) {
        timer_.stop();
    }
}

void ScrollText::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    syncTimer();
}

void ScrollText::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    syncTimer();
}

void ScrollText::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("text"), text_);
}

QSize ScrollText::sizeHint() const
{
    return QSize(110, int(kHeight));
}

void ScrollText::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal scale = logicalScale();
    p.scale(scale, scale);
    const qreal width = this->width() / scale;

    const QRectF face(0.5, 0.5, width - 1, kHeight - 1);
    p.setPen(QPen(kit::kDisplayEdge, 1.0));
    p.setBrush(kit::kDisplayFace);
    p.drawRoundedRect(face, 3, 3);

    if (!text_.isEmpty()) {
        p.save();
        p.setClipRect(face.adjusted(1, 1, -1, -1));
        p.setFont(kit::labelFont(kTextPixels));
        p.setPen(kit::kDisplayText);
        const qreal period = cycle();
        // Whole device pixels keep the glyphs from shimmering as they move.
        const qreal start = std::round((kPad - offset_) * scale) / scale;
        for (qreal x = start - period; x < width; x += period)
            p.drawText(QRectF(x, 0, period, kHeight), Qt::AlignLeft | Qt::AlignVCenter, text_);
        p.restore();
    }

    // Fade the text out towards both ends of the face.
    auto fade = [&](qreal from, qreal to) {
        QLinearGradient g(from, 0, to, 0);
        g.setColorAt(0, kit::kDisplayFace);
        g.setColorAt(1, kit::withAlpha(kit::kDisplayFace, 0));
        p.fillRect(QRectF(std::min(from, to), 1.5, kFade, kHeight - 3), g);
    };
    fade(1.5, 1.5 + kFade);
    fade(width - 1.5, width - 1.5 - kFade);
}

}  // namespace nimbrel
