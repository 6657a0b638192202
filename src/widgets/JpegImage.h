#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// JPEG decoding straight through libjpeg, independent of Qt's image format
// plugins (which a deployment may lack).
//
// Any fault in the data - not a JPEG, truncated, corrupt entropy data, an
// unsupported colour space - gives a null image and, when `error` is given,
// a one-line reason. Decoding never aborts the process and never prints.
// Grayscale and colour (YCbCr or RGB) inputs both come back as
// QImage::Format_RGB888.
QImage decodeJpeg(const QByteArray &data, QString *error = nullptr);

// Reads `path` (a file or a ":/" resource) and decodes it as above.
QImage loadJpegFile(const QString &path, QString *error = nullptr);
