#include "SkyLabels.h"

#include "Moon.h"
#include "Sun.h"
#include "TimeLabels.h"

namespace nimbrel::astro {

SkyLabels skyLabels(const Location &location, const CalendarMoment &localClock, const CalendarMoment &recordTime)
{
    SkyLabels out;
    out.sun = UpdateSunTimes(location, localClock);
    out.moon = UpdateMoonTimes(location, localClock);
    out.VoshodL = TimeLabelText(out.sun.rise, out.sun);
    out.ZahodL = TimeLabelText(out.sun.set, out.sun);
    out.DlinaDnyL = DayLengthText(out.sun);
    out.VoshodMoonL = TimeLabelText(out.moon.rise, out.moon);
    out.ZahodMoonL = TimeLabelText(out.moon.set, out.moon, kMoonSetBlank);
    out.moonPhaseAngle = MoonPhaseAngle(localClock);
    out.moonPicture = MoonPictureIndex(out.moonPhaseAngle);
    out.earthPicture = EarthPictureIndex(location, localClock, recordTime);
    return out;
}

}  // namespace nimbrel::astro
