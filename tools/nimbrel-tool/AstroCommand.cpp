// nimbrel-tool astro --at YYYY-MM-DDTHH:MM:SS --lat DEG --latmin MIN
//                    --lon DEG --lonmin MIN --hemispheres N --zone HOURS
//                    --dst CODE [--record-time YYYY-MM-DDTHH:MM:SS]
//
// Runs the program's own astronomy, daylight-saving and calendar functions
// for one local clock reading (--at, the computer's clock) and one location,
// and prints the values and label texts of the main window's "Время и дата"
// and "Восход/заход" boxes as one JSON object. --record-time is the time
// stamp of the station's readings, which the Earth picture looks at; it
// defaults to --at. The weekday name is in the locale of the environment
// (LC_ALL, LC_TIME, LANG).
#include "Commands.h"
#include "DateArgument.h"

#include "CalendarFields.h"
#include "CalendarMoment.h"
#include "DaylightSaving.h"
#include "Location.h"
#include "SkyLabels.h"
#include "Moon.h"
#include "Sun.h"
#include "TimeLabels.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <optional>

namespace nimbrel::tool {

namespace {

using namespace nimbrel::astro;

const char kUsage[] = "usage: nimbrel-tool astro --at YYYY-MM-DDTHH:MM:SS --lat DEG --latmin MIN --lon DEG "
                      "--lonmin MIN --hemispheres N --zone HOURS --dst CODE [--record-time YYYY-MM-DDTHH:MM:SS]\n";

int fail(const QString &message)
{
    return report("astro", message, 2, kUsage);
}

struct Options {
    std::optional<CalendarMoment> at;
    std::optional<CalendarMoment> recordTime;
    QDate date;  // of --at, for the calendar labels
    std::optional<int> latDeg, latMin, lonDeg, lonMin, hemispheres, dstCode;
    std::optional<double> zone;
};

// Strict "YYYY-MM-DDTHH:MM:SS" naming a real date and time.
QDateTime parseClock(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}$"));
    if (!shape.match(text).hasMatch())
        return {};
    return parseDateArgument(text);
}

// An integer option within lowest..highest; an error message otherwise.
QString parseInteger(const QString &option, const QString &value, int lowest, int highest, std::optional<int> &out)
{
    bool ok = false;
    const int n = value.toInt(&ok, 10);
    if (!ok)
        return QStringLiteral("%1: \"%2\" is not a whole number").arg(option, value);
    if (n < lowest || n > highest)
        return QStringLiteral("%1: %2 is outside %3..%4").arg(option).arg(n).arg(lowest).arg(highest);
    out = n;
    return {};
}

QString parseArguments(const QStringList &arguments, Options &o)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        if (!option.startsWith(QLatin1String("--")))
            return QStringLiteral("unexpected argument \"%1\"").arg(option);
        if (i + 1 >= arguments.size())
            return option + QLatin1String(" needs a value");
        const QString value = arguments[++i];
        QString error;
        if (option == QLatin1String("--at") || option == QLatin1String("--record-time")) {
            const QDateTime t = parseClock(value);
            if (!t.isValid())
                return QStringLiteral("%1: \"%2\" is not a date-time YYYY-MM-DDTHH:MM:SS").arg(option, value);
            if (option == QLatin1String("--at")) {
                o.at = momentOf(t);
                o.date = t.date();
            } else {
                o.recordTime = momentOf(t);
            }
        } else if (option == QLatin1String("--lat")) {
            error = parseInteger(option, value, 0, 179, o.latDeg);
        } else if (option == QLatin1String("--latmin")) {
            error = parseInteger(option, value, 0, 59, o.latMin);
        } else if (option == QLatin1String("--lon")) {
            error = parseInteger(option, value, 0, 199, o.lonDeg);
        } else if (option == QLatin1String("--lonmin")) {
            error = parseInteger(option, value, 0, 59, o.lonMin);
        } else if (option == QLatin1String("--hemispheres")) {
            error = parseInteger(option, value, 0, 3, o.hemispheres);
        } else if (option == QLatin1String("--dst")) {
            error = parseInteger(option, value, 0, 65535, o.dstCode);
        } else if (option == QLatin1String("--zone")) {
            bool ok = false;
            const double zone = value.toDouble(&ok);
            if (!ok || !std::isfinite(zone))
                return QStringLiteral("--zone: \"%1\" is not a number of hours").arg(value);
            if (zone < -12 || zone > 14)
                return QStringLiteral("--zone: %1 is outside -12..14 hours").arg(value);
            o.zone = zone;
        } else {
            return QStringLiteral("unknown option \"%1\"").arg(option);
        }
        if (!error.isEmpty())
            return error;
    }
    const struct {
        bool given;
        const char *name;
    } required[] = {
        {o.at.has_value(), "--at"},
        {o.latDeg.has_value(), "--lat"},
        {o.latMin.has_value(), "--latmin"},
        {o.lonDeg.has_value(), "--lon"},
        {o.lonMin.has_value(), "--lonmin"},
        {o.hemispheres.has_value(), "--hemispheres"},
        {o.zone.has_value(), "--zone"},
        {o.dstCode.has_value(), "--dst"},
    };
    for (const auto &r : required) {
        if (!r.given)
            return QStringLiteral("%1 is missing").arg(QLatin1String(r.name));
    }
    // The editors allow more degrees than the Earth has; a place must be on it.
    if (*o.latDeg * 60 + *o.latMin > 90 * 60)
        return QStringLiteral("--lat %1 --latmin %2 is past 90 degrees of latitude").arg(*o.latDeg).arg(*o.latMin);
    if (*o.lonDeg * 60 + *o.lonMin > 180 * 60)
        return QStringLiteral("--lon %1 --lonmin %2 is past 180 degrees of longitude").arg(*o.lonDeg).arg(*o.lonMin);
    if (!DaylightSavingRuleName(*o.dstCode))
        return QStringLiteral("--dst: %1 is no daylight-saving rule of the table").arg(*o.dstCode);
    return {};
}

}  // namespace

int runAstro(const QStringList &arguments)
{
    Options o;
    const QString error = parseArguments(arguments, o);
    if (!error.isEmpty())
        return fail(error);

    const Location location{*o.latDeg, *o.latMin, *o.lonDeg, *o.lonMin, *o.hemispheres, *o.zone, *o.dstCode};
    const CalendarMoment clock = *o.at;
    const CalendarMoment recordTime = o.recordTime.value_or(clock);

    const SkyLabels sky = skyLabels(location, clock, recordTime);
    const std::optional<QString> ruleName = DaylightSavingRuleName(location.dstCode);

    QJsonObject out;
    out[QStringLiteral("sunrise")] = sky.sun.rise;
    out[QStringLiteral("sunset")] = sky.sun.set;
    out[QStringLiteral("moonrise")] = sky.moon.rise;
    out[QStringLiteral("moonset")] = sky.moon.set;
    out[QStringLiteral("VoshodL")] = sky.VoshodL;
    out[QStringLiteral("ZahodL")] = sky.ZahodL;
    out[QStringLiteral("DlinaDnyL")] = sky.DlinaDnyL;
    out[QStringLiteral("VoshodMoonL")] = sky.VoshodMoonL;
    out[QStringLiteral("ZahodMoonL")] = sky.ZahodMoonL;
    out[QStringLiteral("moonPhaseAngle")] = sky.moonPhaseAngle;
    out[QStringLiteral("moonPicture")] = sky.moonPicture;
    out[QStringLiteral("earthPicture")] = sky.earthPicture;
    out[QStringLiteral("dstActive")] = IsDaylightSavingActive(location.dstCode, clock) ? 1 : 0;
    // A code without a rule names no rule: the label's text is empty.
    out[QStringLiteral("DSTL")] = ruleName.value_or(QString());
    out[QStringLiteral("WeekDayL")] = WeekdayText(o.date, QLocale::system());
    out[QStringLiteral("NumWeekL")] = QString::number(WeekNumber(o.date));
    out[QStringLiteral("NumDayL")] = DayOfYearText(o.date);

    const QByteArray json = QJsonDocument(out).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
    return 0;
}

}  // namespace nimbrel::tool
