#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QPainter;

// Shapes shared by the start-up picture and the icon.
namespace artgen {

// A cumulus outline filling `box` (best at about 2:1): a flat rounded base
// with three lobes of different sizes on top.
QPainterPath cloudPath(const QRectF &box);

// A sun disc with a warm glow; `rays` adds short rounded rays around it.
void drawSun(QPainter &p, QPointF centre, double radius, bool rays);

// An upright thermometer whose tube spans `tube` (the bulb hangs below it,
// 1.6 × the tube width across); `level` is the filled fraction of the tube.
// `ticks` adds a scale on the right of the tube.
void drawThermometer(QPainter &p, const QRectF &tube, double level, bool ticks);

} // namespace artgen
