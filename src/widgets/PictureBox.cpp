#include "PictureBox.h"

#include <QPainter>

namespace nimbrel {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {}

void PictureBox::setPictures(const QList<QPixmap> &pictures)
{
    pictures_ = pictures;
    updateGeometry();
    update();
}

void PictureBox::setIndex(int index)
{
    if (index == index_)
        return;
    index_ = index;
    update();
}

bool PictureBox::showsPicture() const
{
    return index_ >= 0 && index_ < pictures_.size() && !pictures_[index_].isNull();
}

void PictureBox::setPlacement(kit::Placement placement)
{
    placement_ = placement;
    update();
}

void PictureBox::dumpState(QJsonObject &out) const
{
    out.insert(QStringLiteral("image"), index_);
}

QSize PictureBox::sizeHint() const
{
    // The list's pictures share one size; the first stands for them all.
    if (pictures_.isEmpty())
        return QSize(16, 16);
    return pictures_.first().deviceIndependentSize().toSize();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (!showsPicture())
        return;
    const QPixmap &picture = pictures_[index_];
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(kit::placeRect(picture.deviceIndependentSize(), QRectF(rect()), placement_), picture,
                 QRectF(picture.rect()));
}

}  // namespace nimbrel
