// Which row of the city table the station's own city code may stand for.
//
// The station names its city with a code from its firmware's list, which we
// cannot see; our table numbers its cities in its own order. A station code
// therefore names one of our cities only when that city lies where the
// station says it is.
#pragma once

#include "CityTable.h"
#include "Location.h"

namespace nimbrel::astro {

// A city within this many degrees of latitude and of longitude of the
// station's coordinates is the station's city.
constexpr double kStationCityToleranceDeg = 1.0;

// Signed degrees, north and east positive.
double signedLatitude(const Location &l);
double signedLongitude(const Location &l);

// True when the row lies within the tolerance of the station's location
// (longitudes compared across the date line).
bool cityFitsStation(const CityRow &row, const Location &station);

// The location a city row gives, with the station's daylight-saving code.
Location locationOf(const CityRow &row, int dstCode);

}  // namespace nimbrel::astro
