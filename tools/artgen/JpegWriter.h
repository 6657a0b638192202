#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace artgen {

// Compresses an image into a baseline (sequential, not progressive) JPEG
// with libjpeg. Returns an empty array and fills *error on failure.
QByteArray encodeBaselineJpeg(const QImage &image, int quality, QString *error);

} // namespace artgen
