#include "ConsoleSummary.h"

#include "CalendarMoment.h"
#include "LinkApi.h"
#include "Location.h"
#include "Placeholders.h"
#include "PressureView.h"
#include "SkyLabels.h"
#include "TemperatureView.h"
#include "Units.h"
#include "UvView.h"

namespace nimbrel {

namespace {

}  // namespace

QString linkStateLabel(const StationSnapshot &s)
{
    if (s.connected)
        return QStringLiteral("StationOn");
    if (s.linkError == USBLINK_NO_PERMISSION)
        return QStringLiteral("NoAccess");
    if (s.linkError == USBLINK_OPEN_FAILED)
        return QStringLiteral("NoOpen");
    return QStringLiteral("StationOff");
}

QString conditionsSummary(const StationSnapshot &s, const QString &station, const QString &city, const QDateTime &now)
{
    const Measurement &m = s.record;
    const UnitChoices &units = s.units;
    QString text;
    auto line = [&text](const QString &what, const QString &value) {
        text += what.leftJustified(22) + QLatin1Char(' ') + value + QLatin1Char('\n');
    };
    const QString degrees = units.temperature == 1 ? QStringLiteral("°F") : QStringLiteral("°C");
    const QString speed = speedUnitName(units.speed);
    line(QStringLiteral("Station:"), station);
    // Before any record (no station read, nothing stored) there is no value
    // to print: the record's fields are zeros, not readings.
    const bool readings = m.Dat.isValid();
    const QString none = QStringLiteral("no reading yet");
    if (!readings) {
        for (const QString &what : {QStringLiteral("Newest record:"), QStringLiteral("Indoor:"),
                                    QStringLiteral("Channels:"), QStringLiteral("Pressure:"), QStringLiteral("Wind:"),
                                    QStringLiteral("Rain:"), QStringLiteral("UV:")})
            line(what, none);
    } else {
        line(QStringLiteral("Newest record:"), m.Dat.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        line(QStringLiteral("Indoor:"), QStringLiteral("%1 %2, %3 %")
                                            .arg(formatIndoorTemperature(m, units.temperature), degrees,
                                                 formatIndoorHumidity(m)));
        for (int c = 0; c < kChannelCount; ++c)
            line(QStringLiteral("Channel %1:").arg(c + 1),
                 m.TempCHState[c] == kStateNoSensor
                     ? QStringLiteral("no sensor")
                     : QStringLiteral("%1 %2, %3 %")
                           .arg(formatChannelTemperature(m, c, units.temperature), degrees,
                                formatChannelHumidity(m, c)));
        const PressureView pressure = pressureView(m, s.summary, units);
        line(QStringLiteral("Pressure:"), QStringLiteral("%1 %3 at sea level, %2 %3 at the station")
                                              .arg(pressure.PressureLabel, pressure.PressureLocalL,
                                                   pressureUnitName(units.pressure)));
        line(QStringLiteral("Wind:"), QStringLiteral("%1 %3, gusts %2 %3, from %4")
                                          .arg(formatWindSpeed(m, units.speed), formatWindGust(m, units.speed), speed,
                                               formatWindDirectionName(m)));
        const RainView rain = rainView(m, s.summary, s.rain, 0);
        line(QStringLiteral("Rain:"), QStringLiteral("%1 last hour, %2 in 24 hours, %3 in total (%4)")
                                          .arg(rain.RainLHL, rain.RainLDL, rain.AllRainL, rainUnitName(units.rain)));
        line(QStringLiteral("UV:"), QStringLiteral("%1 %2").arg(uvView(m, s.summary).UVLabel, uvUnitName(units.uv)));
    }
    const StationSummary &l = s.summary;
    const astro::SkyLabels sky =
        astro::skyLabels({l.LatMin, l.LatSec, l.LongMin, l.LongSec, l.Hemispheres, l.TimeZone, l.DstCode},
                         astro::momentOf(now), astro::momentOf(l.RecordTime));
    line(QStringLiteral("Location:"), QStringLiteral("%1, sunrise %2, sunset %3").arg(city, sky.VoshodL, sky.ZahodL));
    line(QStringLiteral("Records taken over:"), QString::number(s.slotsTakenOver));
    return text;
}

}  // namespace nimbrel
