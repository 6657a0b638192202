// The place the astronomy is computed for, as the station and the city table
// hold it: whole degrees and minutes of arc, a hemisphere code, the standard
// time zone and a daylight-saving rule code.
#pragma once

namespace nimbrel::astro {

struct Location {
    int latDeg = 0;       // whole degrees, not range-checked (the editors accept up to 179)
    int latMin = 0;       // minutes of arc 0..59
    int lonDeg = 0;       // whole degrees (the station encodes 0..199)
    int lonMin = 0;       // minutes of arc 0..59
    int hemispheres = 0;  // bit 1 set: south latitude; bit 0 set: east longitude
    double timeZone = 0;  // standard time, hours east of Greenwich; may be negative or half
    int dstCode = 0;      // daylight-saving rule 0..15, 0 = none
};

// Unsigned degrees with fraction, and the hemisphere flags as the rise/set
// methods take them. South is any code of 2 or more; west is any code but
// 1 and 3.
inline double latitudeDegrees(const Location &l) { return l.latDeg + l.latMin / 60.0; }
inline double longitudeDegrees(const Location &l) { return l.lonDeg + l.lonMin / 60.0; }
inline bool isSouth(const Location &l) { return l.hemispheres >= 2; }
inline bool isWest(const Location &l) { return l.hemispheres != 1 && l.hemispheres != 3; }

}  // namespace nimbrel::astro
