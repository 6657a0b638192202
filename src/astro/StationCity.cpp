#include "StationCity.h"

#include <cmath>

namespace nimbrel::astro {

double signedLatitude(const Location &l)
{
    return isSouth(l) ? -latitudeDegrees(l) : latitudeDegrees(l);
}

double signedLongitude(const Location &l)
{
    return isWest(l) ? -longitudeDegrees(l) : longitudeDegrees(l);
}

Location locationOf(const CityRow &row, int dstCode)
{
    return {row.LatMin, row.LatSec, row.LongMin, row.LongSec, row.IsLon + 2 * row.IsLat, row.TimeZone, dstCode};
}

bool cityFitsStation(const CityRow &row, const Location &station)
{
    const Location city = locationOf(row, station.dstCode);
    const double dLat = std::abs(signedLatitude(city) - signedLatitude(station));
    double dLon = std::abs(signedLongitude(city) - signedLongitude(station));
    dLon = std::min(dLon, 360.0 - dLon);
    return dLat <= kStationCityToleranceDeg && dLon <= kStationCityToleranceDeg;
}

}  // namespace nimbrel::astro
