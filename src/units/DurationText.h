// A span of time as the status texts and the log say it: "45 min",
// "3 h 05 min", "2 d 4 h". Whole minutes, rounded to the nearest; below
// half a minute it is "0 min". A negative span is said as its size.
#pragma once

#include <QString>

namespace nimbrel {

QString durationText(qint64 seconds);

}  // namespace nimbrel
