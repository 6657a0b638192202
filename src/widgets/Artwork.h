// The program's picture lists, painted at start-up by code (no image files).
//
// Every function paints its list afresh at device pixel ratio 1 and returns
// it; the whole set takes a few tens of milliseconds, so the main window
// simply calls each one once while it builds itself. Only QtGui is used, so
// the painting also works in tools and tests without widgets; as with any
// QPixmap, a QGuiApplication must exist.
//
// Index meanings are those the main window relies on: the entry the window
// shows for a value is the entry at the index named in each comment.
#pragma once

#include <QList>
#include <QPixmap>
#include <QSize>

namespace nimbrel::artwork {

// Forecast pictures, the index of the forecast strip for each weather.
enum ForecastPicture {
    FewSnowflakes = 0,  // forecast codes 0 and 7: clouds with a few snowflakes
    Snow = 1,           // clouds with snow
    Rain = 2,           // clouds with rain
    HeavyRain = 3,      // clouds with heavy rain
    Cloudy = 4,         // clouds
    PartlySunny = 5,    // sun partly behind a cloud
    Sunny = 6,          // sun
    NoForecast = 7,     // empty sky: the station has no forecast
    ForecastPictureCount = 8
};

inline constexpr QSize weatherFrameSize{145, 121};
inline constexpr QSize weatherStripSize{290, 121};
inline constexpr QSize compassSize{146, 145};
inline constexpr QSize moonSize{90, 81};
inline constexpr QSize earthSize{160, 70};
inline constexpr int uvPictureHeight = 77;
inline constexpr int uvPictureCount = 11;
inline constexpr int moonPictureCount = 36;
inline constexpr int earthPictureCount = 12;

// 8 strips of 290 x 121, indexed by ForecastPicture: two 145 x 121 animation
// frames side by side (left frame first), shown alternately.
QList<QPixmap> weatherStrips();

// 3 arrows of 16 x 16: 0 down (falling), 1 up (rising), 2 right (steady).
QList<QPixmap> trendArrows();

// 3 pictures of 22 x 22: 0 red low-battery warning, 1 full battery,
// 2 error sign (no valid reading).
QList<QPixmap> batteryPictures();

// 2 bells of 16 x 16: 0 filled yellow bell (alarm on), 1 outline bell (off).
QList<QPixmap> alarmBells();

// 2 signs of 16 x 16, index = temperature unit code: 0 "°C", 1 "°F".
// unitSigns() is dark ink for light backgrounds, unitSignsAlt() pale for
// dark ones.
QList<QPixmap> unitSigns();
QList<QPixmap> unitSignsAlt();

// 11 UV exposure pictures, 77 high; picture k shows the UV index k + 1
// (the last one "11+") in its band colour with the protection it calls for.
// Widths grow from 68 (k = 0) to 200 (k = 10), see uvPictureWidth().
QList<QPixmap> uvPictures();
int uvPictureWidth(int k);

// 16 compass roses of 146 x 145; picture k has its red arrow pointing to
// sector k, clockwise from north (0) in steps of 22.5 degrees.
QList<QPixmap> compassRoses();

// 36 moon pictures of 90 x 81 on a dark sky. Picture k stands for an
// elongation (moon minus sun longitude) of about (k - 1) x 10 degrees:
// 0 to 4 and 34, 35 new moon (a faint disc), 5 to 15 waxing and lit on the
// right, 16 to 21 full, 22 to 33 waning and lit on the left.
QList<QPixmap> moonPhases();
// The elongation in degrees that picture k is drawn for: 0 for the new-moon
// pictures, 180 for the full ones, (k - 1) x 10 otherwise.
double moonPictureElongation(int k);

// 12 world maps of 160 x 70 (longitude -180 at the left edge, 180 at the
// right) with day and night. Picture k stands for 2k to 2k + 2 hours after
// sunrise at longitude 0 on the equator; it is drawn for the middle of that
// span, with the sun overhead at subsolarLongitude(k) = 75 - 30k degrees
// (east positive), so the lit half moves westward by 30 degrees a picture.
QList<QPixmap> earthPictures();
double subsolarLongitude(int k);

}  // namespace nimbrel::artwork
