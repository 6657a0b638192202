// Everything the sun-and-moon box shows for one location and moment: the
// rise/set texts, the day length, the moon phase and the Earth picture.
#pragma once

#include "CalendarMoment.h"
#include "Location.h"
#include "RiseSet.h"

#include <QString>

namespace nimbrel::astro {

struct SkyLabels {
    DayTimes sun;   // hours of the local day
    DayTimes moon;
    QString VoshodL, ZahodL, DlinaDnyL;  // sunrise, sunset, day length
    QString VoshodMoonL, ZahodMoonL;     // moonrise, moonset
    double moonPhaseAngle = 0;           // degrees
    int moonPicture = 0;                 // 0..35
    int earthPicture = 0;                // 0..11
};

// localClock is the computer's clock as shown; recordTime the time stamp of
// the readings (the Earth picture uses both).
SkyLabels skyLabels(const Location &location, const CalendarMoment &localClock, const CalendarMoment &recordTime);

}  // namespace nimbrel::astro
