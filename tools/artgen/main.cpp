// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's artwork: the start-up picture (a baseline JPEG) and
// the application icon at 256, 128, 64, 48, 32, 24, 22 and 16 pixels (PNG).
//
//   nimbrel-artgen [output-dir]
//
// Without an argument the files go to the source tree's data/art folder.
// Everything is drawn by code; no input files are read.

#include "AppIcon.h"
#include "JpegWriter.h"
#include "StartupScene.h"

#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

#ifndef NIMBREL_ART_DIR
#define NIMBREL_ART_DIR "data/art"
#endif

namespace {

constexpr int kJpegQuality = 90;
constexpr int kIconSizes[] = {256, 128, 64, 48, 32, 24, 22, 16};

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        err() << "cannot write " << path << ": " << file.errorString() << Qt::endl;
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing needs no screen; only the font database needs a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    const QDir outDir(args.size() > 1 ? args.at(1) : QStringLiteral(NIMBREL_ART_DIR));
    if (!outDir.exists() && !QDir().mkpath(outDir.path())) {
        err() << "cannot create " << outDir.path() << Qt::endl;
        return 1;
    }

    // Text metrics are tuned for DejaVu Sans; a substitute would shift the
    // layout, so refuse rather than write a subtly different picture.
    const QString family = QFontInfo(QFont(QStringLiteral("DejaVu Sans"))).family();
    if (family != QLatin1String("DejaVu Sans")) {
        err() << "DejaVu Sans is not installed (got " << family << ")" << Qt::endl;
        return 1;
    }

    QString error;
    const QByteArray jpeg = artgen::encodeBaselineJpeg(artgen::drawStartupScene(), kJpegQuality, &error);
    if (jpeg.isEmpty()) {
        err() << "JPEG encoding failed: " << error << Qt::endl;
        return 1;
    }
    if (!writeFile(outDir.filePath(QStringLiteral("startup.jpg")), jpeg))
        return 1;

    for (int size : kIconSizes) {
        const QString path = outDir.filePath(QStringLiteral("icon-%1.png").arg(size));
        if (!artgen::drawAppIcon(size).save(path, "PNG")) {
            err() << "cannot write " << path << Qt::endl;
            return 1;
        }
    }
    return 0;
}
