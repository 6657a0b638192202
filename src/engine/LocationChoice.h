// Where the program says the station is. The user either keeps the
// station's own location (its header names a city code and holds the
// coordinates) or has a city of the city table replace it ("user city"):
// its coordinates are written into every header decoded. Until the next
// decode a city picked in the city box is shown in place of either.
#pragma once

#include "CityTable.h"
#include "Decoding.h"
#include "SettingsStore.h"
#include "StationSummary.h"

#include <QString>
#include <optional>

namespace nimbrel {

// The coordinates the user typed for the city table's "User Defined" row,
// written into the table at shut-down.
struct UserDefinedCity {
    int code = 0;
    int latMin = 0;
    int latSec = 0;
    int longMin = 0;
    int longSec = 0;
    int south = 0;  // LocBox1: 0 north, 1 south
    int east = 0;   // LocBox2: 0 west, 1 east
    double timeZone = 0;
};

class LocationChoice {
public:
    // The choice as stored: the kept city and whether it replaces the
    // station's location.
    void load(const Settings &stored);

    bool userCity() const { return userCity_; }
    void setUserCity(bool on) { userCity_ = on; }
    // The city kept for the next start (Settings::CityCode).
    int keptCity() const { return keptCity_; }
    void keepCity(int cityCode) { keptCity_ = cityCode; }
    void keepUserDefinedCity(const UserDefinedCity &city) { userDefinedCity_ = city; }

    // The location shown until the next header decode.
    void show(const LocationOverride &location) { shown_ = location; }
    void forgetShown() { shown_.reset(); }
    // Writes the shown location, if any, into the decoded header.
    void applyShown(StationSummary &summary) const;

    // The user's city as the recorder writes it into the header; none when
    // the station's own location stands or the city is not in the table.
    std::optional<LocationOverride> userCityOverride(const CityTable *table) const;
    // The city whose location is shown: with the user's city chosen, the
    // kept one; otherwise the one the station's header names, when the
    // table places it where the station says it is (before any header has
    // been read, the kept one stands in).
    std::optional<CityRow> shownCity(const CityTable *table, bool headerRead, const StationSummary &station) const;

    // Writes the user-defined city into the table. True when there was
    // nothing to write; false with the table's reason when it failed.
    bool saveUserDefinedCity(CityTable *table, QString *why) const;

private:
    bool userCity_ = false;
    int keptCity_ = 0;
    std::optional<UserDefinedCity> userDefinedCity_;
    std::optional<LocationOverride> shown_;
};

}  // namespace nimbrel
