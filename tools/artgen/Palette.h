#pragma once

#include <QColor>

// One palette for the start-up picture and the icon, so both read as the same
// product: night-blue sky fading to teal, a warm amber sun, cool steel for
// the instruments and a single red accent for the thermometer.
namespace artgen::palette {

inline const QColor skyTop{0x08, 0x16, 0x2e};
inline const QColor skyMid{0x10, 0x32, 0x58};
inline const QColor skyLow{0x1b, 0x5f, 0x72};
inline const QColor horizonGlow{0x58, 0xb8, 0xb4};

inline const QColor groundTop{0x0c, 0x24, 0x30};
inline const QColor groundLow{0x06, 0x10, 0x1a};

inline const QColor sunCore{0xff, 0xd2, 0x6a};
inline const QColor sunEdge{0xf2, 0x9e, 0x38};
inline const QColor moon{0xe6, 0xee, 0xf6};

inline const QColor cloud{0xf4, 0xf8, 0xfc};
inline const QColor cloudShade{0xc4, 0xd6, 0xe6};

inline const QColor steel{0xd6, 0xe0, 0xea};
inline const QColor steelDark{0x8a, 0xa2, 0xb8};
inline const QColor mercury{0xe5, 0x55, 0x4b};

inline const QColor title{0xf4, 0xf8, 0xfc};
inline const QColor subtitle{0x9c, 0xd8, 0xd6};

} // namespace artgen::palette
