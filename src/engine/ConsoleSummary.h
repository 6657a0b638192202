// The current conditions as plain text for the console: the same views,
// units and placeholders the panels show.
#pragma once

#include "StationSnapshot.h"

#include <QDateTime>
#include <QString>

namespace nimbrel {

// `city` is the name of the city whose location is shown (empty: none);
// `now` the program's clock, for the day's sunrise and sunset.
QString conditionsSummary(const StationSnapshot &snapshot, const QString &city, const QDateTime &now);

}  // namespace nimbrel
