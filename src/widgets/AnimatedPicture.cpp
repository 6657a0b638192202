#include "AnimatedPicture.h"

#include <QPainter>

namespace nimbrel {

AnimatedPicture::AnimatedPicture(QWidget *parent) : QWidget(parent)
{
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &AnimatedPicture::advanceFrame);
}

void AnimatedPicture::setStrips(const QList<QPixmap> &strips)
{
    strips_ = strips;
    frame_ = 0;
    updateGeometry();
    update();
}

void AnimatedPicture::setIndex(int index)
{
    if (index == index_)
        return;
    index_ = index;
    frame_ = 0;
    update();
}

bool AnimatedPicture::showsPicture() const
{
    return index_ >= 0 && index_ < strips_.size() && !strips_[index_].isNull();
}

void AnimatedPicture::setFrameCount(int frames)
{
    frames_ = qMax(1, frames);
    frame_ = 0;
    updateGeometry();
    update();
}

QSize AnimatedPicture::frameSize() const
{
    if (strips_.isEmpty())
        return QSize();
    const QSizeF strip = strips_.first().deviceIndependentSize();
    return QSize(int(strip.width()) / frames_, int(strip.height()));
}

void AnimatedPicture::setAnimating(bool animating)
{
    if (animating == this->animating())
        return;
    if (animating)
        timer_.start();
    else
        timer_.stop();
}

void AnimatedPicture::advanceFrame()
{
    frame_ = (frame_ + 1) % frames_;
    update();
}

void AnimatedPicture::setPlacement(kit::Placement placement)
{
    placement_ = placement;
    update();
}

void AnimatedPicture::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("image"), index_);
    out.insert(QStringLiteral("animating"), animating());
}

QSize AnimatedPicture::sizeHint() const
{
    const QSize frame = frameSize();
    return frame.isEmpty() ? QSize(32, 32) : frame;
}

void AnimatedPicture::paintEvent(QPaintEvent *)
{
    if (!showsPicture())
        return;
    const QPixmap &strip = strips_[index_];
    // Cut the frame in device pixels so a high-density strip stays sharp.
    const int frameWidth = strip.width() / frames_;
    const QRect source(frame_ * frameWidth, 0, frameWidth, strip.height());
    const QSizeF shown = QSizeF(source.size()) / strip.devicePixelRatio();
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(kit::placeRect(shown, QRectF(rect()), placement_), strip, QRectF(source));
}

}  // namespace nimbrel
