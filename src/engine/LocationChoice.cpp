#include "LocationChoice.h"

#include "StationCity.h"

namespace nimbrel {

void LocationChoice::load(const Settings &stored)
{
    keptCity_ = stored.CityCode;
    userCity_ = stored.UserCoord != 0;
}

void LocationChoice::applyShown(StationSummary &summary) const
{
    if (!shown_)
        return;
    summary.LatMin = shown_->LatMin;
    summary.LatSec = shown_->LatSec;
    summary.LongMin = shown_->LongMin;
    summary.LongSec = shown_->LongSec;
    summary.Hemispheres = shown_->Hemispheres;
    summary.TimeZone = shown_->TimeZone;
}

std::optional<LocationOverride> LocationChoice::userCityOverride(const CityTable *table) const
{
    if (!userCity_ || !table)
        return std::nullopt;
    const std::optional<CityRow> row = table->find(keptCity_);
    if (!row)
        return std::nullopt;
    LocationOverride o;
    o.LatMin = row->LatMin;
    o.LatSec = row->LatSec;
    o.LongMin = row->LongMin;
    o.LongSec = row->LongSec;
    o.Hemispheres = row->IsLon + 2 * row->IsLat;
    o.TimeZone = row->TimeZone;
    return o;
}

std::optional<CityRow> LocationChoice::shownCity(const CityTable *table, bool headerRead,
                                                 const StationSummary &s) const
{
    if (!table)
        return std::nullopt;
    if (userCity_)
        return table->find(keptCity_);
    std::optional<CityRow> row = table->find(headerRead ? s.CityCode : keptCity_);
    if (row && headerRead &&
        !astro::cityFitsStation(*row, {s.LatMin, s.LatSec, s.LongMin, s.LongSec, s.Hemispheres, s.TimeZone, s.DstCode}))
        row.reset();
    return row;
}

bool LocationChoice::saveUserDefinedCity(CityTable *table, QString *why) const
{
    if (!table || !userDefinedCity_)
        return true;
    const UserDefinedCity &c = *userDefinedCity_;
    if (table->updateUserDefined(c.code, c.latMin, c.latSec, c.longMin, c.longSec, c.south, c.east, c.timeZone))
        return true;
    if (why)
        *why = table->lastError();
    return false;
}

}  // namespace nimbrel
