// Shared look of the painted instruments: one typeface, one set of colours,
// and the placement rules the picture widgets share.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

namespace nimbrel::kit {

// Labels are drawn in a fixed pixel size inside each widget's logical space,
// so they scale together with the drawing.
inline QFont labelFont(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Text colour follows the palette so the instruments sit well in light and
// dark themes.
inline QColor textColor(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

inline QColor withAlpha(QColor colour, int alpha)
{
    colour.setAlpha(alpha);
    return colour;
}

// Glass, metal and display surfaces.
inline const QColor kGlassLight{0xf4, 0xf7, 0xfa};
inline const QColor kGlassShade{0xc9, 0xd3, 0xdd};
inline const QColor kGlassEdge{0x5f, 0x6f, 0x80};
inline const QColor kBore{0xd4, 0xdc, 0xe4};
inline const QColor kMercury{0xc6, 0x28, 0x28};
inline const QColor kMercuryLight{0xef, 0x6a, 0x5e};
inline const QColor kMercuryDark{0x8e, 0x17, 0x17};
inline const QColor kMaxMarker{0xe8, 0x59, 0x0c};
inline const QColor kMinMarker{0x19, 0x71, 0xc2};

inline const QColor kDisplayFace{0x25, 0x30, 0x3b};
inline const QColor kDisplayEdge{0x16, 0x1d, 0x24};
inline const QColor kDisplayText{0xd6, 0xe6, 0xf5};
inline const QColor kSegmentOff{0x37, 0x44, 0x52};
inline const QColor kSegmentLow{0x8c, 0xc8, 0xf5};
inline const QColor kSegmentHigh{0x1f, 0x6f, 0xc9};

// How a picture sits in its widget.
enum class Placement {
    TopLeft,  // natural size at the top-left corner
    Center,   // natural size, centred
    Stretch,  // fills the widget exactly
    Fit,      // scaled to the widget keeping its proportions, centred
};

inline QRectF placeRect(const QSizeF &picture, const QRectF &area, Placement placement)
{
    switch (placement) {
    case Placement::TopLeft:
        return QRectF(area.topLeft(), picture);
    case Placement::Center:
        return QRectF(area.center().x() - picture.width() / 2.0, area.center().y() - picture.height() / 2.0,
                      picture.width(), picture.height());
    case Placement::Stretch:
        return area;
    case Placement::Fit: {
        if (picture.isEmpty())
            return QRectF();
        const QSizeF scaled = picture.scaled(area.size(), Qt::KeepAspectRatio);
        return QRectF(area.center().x() - scaled.width() / 2.0, area.center().y() - scaled.height() / 2.0,
                      scaled.width(), scaled.height());
    }
    }
    return area;
}

}  // namespace nimbrel::kit
