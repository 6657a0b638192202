#pragma once

#include <QImage>

namespace artgen {

// The application icon: a sun half hidden by a cloud, with a thermometer in
// front, on a rounded night-blue tile. Drawn directly at each size (not
// scaled down) so the small sizes keep crisp edges; below 48 px the finer
// details are dropped.
QImage drawAppIcon(int size);

} // namespace artgen
