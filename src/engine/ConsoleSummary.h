// The current conditions as plain text for the console: the same views,
// units and placeholders the panels show.
#pragma once

#include "StationSnapshot.h"

#include <QDateTime>
#include <QString>

namespace nimbrel {

// The hidden label of the main window whose caption (in the chosen
// language, from the translation table) says the link state.
QString linkStateLabel(const StationSnapshot &snapshot);

// `station` says the link state, `city` names the city whose location is
// shown (empty: none); `now` is the program's clock, for the day's sunrise
// and sunset.
QString conditionsSummary(const StationSnapshot &snapshot, const QString &station, const QString &city,
                          const QDateTime &now);

}  // namespace nimbrel
