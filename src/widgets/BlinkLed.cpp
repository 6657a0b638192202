#include "BlinkLed.h"

#include <QPainter>
#include <QRadialGradient>

namespace nimbrel {

BlinkLed::BlinkLed(QWidget *parent) : QWidget(parent)
{
    blinkTimer_.setInterval(500);
    connect(&blinkTimer_, &QTimer::timeout, this, [this] {
        lit_ = !lit_;
        update();
    });
}

void BlinkLed::setColorPairs(const QList<ColorPair> &pairs)
{
    pairs_ = pairs;
    update();
}

void BlinkLed::setColorIndex(int index)
{
    index_ = index;
    update();
}

void BlinkLed::setBlinking(bool blinking)
{
    if (blinking == this->blinking())
        return;
    lit_ = true;
    if (blinking)
        blinkTimer_.start();
    else
        blinkTimer_.stop();
    update();
}

QColor BlinkLed::currentColor() const
{
    if (index_ < 0 || index_ >= pairs_.size())
        return QColor(Qt::black);
    return lit_ ? pairs_[index_].second : pairs_[index_].first;
}

void BlinkLed::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("color"), index_);
    out.insert(QStringLiteral("blinking"), blinking());
}

void BlinkLed::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height()) - 2;
    const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QColor c = currentColor();
    QRadialGradient g(r.center() - QPointF(side * 0.18, side * 0.18), side * 0.7);
    g.setColorAt(0, c.lighter(lit_ ? 170 : 120));
    g.setColorAt(1, c.darker(130));
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(g);
    p.drawEllipse(r);
}

}  // namespace nimbrel
