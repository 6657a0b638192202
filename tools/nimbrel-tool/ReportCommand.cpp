// report: the monthly and yearly climatological summaries station owners
// know from other station programs. A month gives one line per day, a year
// one line per month, each beginning with the day's or month's number; the
// totals and extremes of the whole span are at the foot. A day or month
// without records keeps its number and leaves every figure blank.
#include "ClimateSummary.h"
#include "Commands.h"
#include "DataFolder.h"
#include "FolderSettings.h"
#include "NumberFormat.h"
#include "Units.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>
#include <cstdio>

namespace nimbrel::tool {

namespace {

constexpr const char *kUsage =
    "usage: nimbrel-tool report --month YYYY-MM | --year YYYY [--units metric|us] [--db FILE]\n"
    "  climate summary of a month (a line per day) or a year (a line per month);\n"
    "  metric: C, mm, km/h (the default); us: F, inch, mph.\n"
    "  The history is ./datat when it exists, else the one in Nimbrel's data folder.\n";

// Heating and cooling degree days are counted from 65 °F, which metric
// reports round to 18.3 °C.
constexpr double kDegreeDayBaseCelsius = 18.3;
constexpr double kDegreeDayBaseFahrenheit = 65.0;

const char *const kSectorNames[kWindSectors] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                                "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};

struct Units {
    bool us = false;
    QString temperature() const { return us ? QStringLiteral("F") : QStringLiteral("C"); }
    QString rain() const { return us ? QStringLiteral("in") : QStringLiteral("mm"); }
    QString speed() const { return us ? QStringLiteral("mph") : QStringLiteral("km/h"); }
    // Degree days are computed in the chosen scale against its own base.
    double degreeDayBaseCelsius() const
    {
        return us ? (kDegreeDayBaseFahrenheit - 32.0) / 1.8 : kDegreeDayBaseCelsius;
    }
    double degreeDayFactor() const { return us ? 1.8 : 1.0; }
    QString temperatureText(double celsius) const
    {
        return formatFixed(temperatureInUnit(celsius, us ? 1 : 0), 1, QLatin1Char('.'));
    }
    QString degreeDaysText(double celsiusDays) const
    {
        return formatFixed(celsiusDays * degreeDayFactor(), 1, QLatin1Char('.'));
    }
    QString rainText(double tips) const
    {
        return us ? formatFixed(tips * kInchPerTip, 2, QLatin1Char('.'))
                  : formatFixed(tips * kMmPerTip, 1, QLatin1Char('.'));
    }
    QString speedText(double mph) const
    {
        return formatFixed(speedInUnit(mph, us ? unitCode(SpeedUnit::Mph) : unitCode(SpeedUnit::Kmh)), 1,
                           QLatin1Char('.'));
    }
};

QString sectorName(int sector)
{
    return sector >= 0 && sector < kWindSectors ? QString::fromLatin1(kSectorNames[sector]) : QString();
}

// How the moment of an extreme is written: a clock time on a day's line, a
// day of the month on a month's line and under a month, month and day under
// a year.
enum class When { Time, Day, MonthDay };

QString whenText(const QDateTime &dat, When when)
{
    switch (when) {
    case When::Time: return dat.toString(QStringLiteral("HH:mm"));
    case When::Day: return dat.toString(QStringLiteral("dd"));
    case When::MonthDay: return dat.toString(QStringLiteral("MM-dd"));
    }
    return {};
}

// Column widths, in the order of the header below.
constexpr int kWidths[] = {5, 7, 7, 6, 7, 6, 7, 7, 8, 7, 7, 6, 5, 5};

QString rule()
{
    int width = 0;
    for (int w : kWidths)
        width += w;
    return QString(width, QLatin1Char('-')) + QLatin1Char('\n');
}

QString line(const QStringList &cells)
{
    QString text;
    for (int i = 0; i < cells.size(); ++i)
        text += cells.at(i).rightJustified(kWidths[i]);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text + QLatin1Char('\n');
}

QString summaryLine(const QString &label, const ClimateSummary &s, const Units &units, When when)
{
    if (s.records == 0)
        return line({label});
    QStringList cells{label};
    auto timed = [&](const std::optional<TimedValue> &value, auto text) {
        cells << (value ? text(value->value) : QString()) << (value ? whenText(value->Dat, when) : QString());
    };
    auto temperature = [&](double c) { return units.temperatureText(c); };
    cells << (s.meanTemperature ? units.temperatureText(*s.meanTemperature) : QString());
    timed(s.highTemperature, temperature);
    timed(s.lowTemperature, temperature);
    cells << (s.meanTemperature ? units.degreeDaysText(s.heatingDegreeDays) : QString())
          << (s.meanTemperature ? units.degreeDaysText(s.coolingDegreeDays) : QString());
    cells << units.rainText(s.rainTips) << units.speedText(s.meanWindSpeed);
    timed(s.highGust, [&](double mph) { return units.speedText(mph); });
    cells << sectorName(s.highGust ? s.highGustDirection : -1) << sectorName(s.dominantDirection());
    return line(cells);
}

QString header(const QString &title, const QString &first, const Units &units)
{
    return title + QLatin1Char('\n') +
           QStringLiteral("Outdoor temperature (channel 1) in %1, degree days from %2 %1, rain in %3, wind in %4\n\n")
               .arg(units.temperature(), units.us ? QStringLiteral("65") : QStringLiteral("18.3"), units.rain(),
                    units.speed()) +
           line({QString(), QStringLiteral("Mean"), QStringLiteral("High"), QString(), QStringLiteral("Low"),
                 QString(), QStringLiteral("Heat"), QStringLiteral("Cool"), QStringLiteral("Rain"),
                 QStringLiteral("Wind"), QStringLiteral("Gust"), QString(), QString(), QStringLiteral("Dom")}) +
           line({first, QStringLiteral("temp"), QStringLiteral("temp"), QStringLiteral("when"),
                 QStringLiteral("temp"), QStringLiteral("when"), QStringLiteral("DD"), QStringLiteral("DD"),
                 QString(), QStringLiteral("mean"), QStringLiteral("high"), QStringLiteral("when"),
                 QStringLiteral("dir"), QStringLiteral("dir")}) +
           rule();
}

int badArguments(const QString &why)
{
    return report("report", why, 2, kUsage);
}

}  // namespace

int runReport(const QStringList &arguments)
{
    QDate first;
    QDate last;
    bool yearly = false;
    Units units;
    QString db;
    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        if (option.startsWith(QLatin1String("--")) && equals > 0) {
            value = option.mid(equals + 1);
            option = option.left(equals);
        } else if (option == QLatin1String("--month") || option == QLatin1String("--year") ||
                   option == QLatin1String("--units") || option == QLatin1String("--db")) {
            if (i + 1 >= arguments.size())
                return badArguments(QStringLiteral("%1 needs a value").arg(option));
            value = arguments.at(++i);
        }
        if (option == QLatin1String("--month") || option == QLatin1String("--year")) {
            if (first.isValid())
                return badArguments(QStringLiteral("give one --month or one --year"));
            yearly = option == QLatin1String("--year");
            first = yearly ? QDate::fromString(value + QStringLiteral("-01-01"), QStringLiteral("yyyy-MM-dd"))
                           : QDate::fromString(value + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
            if (!first.isValid() || value.size() != (yearly ? 4 : 7))
                return badArguments(QStringLiteral("%1: \"%2\" is not %3")
                                        .arg(option, value, yearly ? QStringLiteral("a year YYYY")
                                                                   : QStringLiteral("a month YYYY-MM")));
            last = yearly ? QDate(first.year(), 12, 31) : first.addMonths(1).addDays(-1);
        } else if (option == QLatin1String("--units")) {
            if (value != QLatin1String("metric") && value != QLatin1String("us"))
                return badArguments(QStringLiteral("--units is metric or us, not \"%1\"").arg(value));
            units.us = value == QLatin1String("us");
        } else if (option == QLatin1String("--db")) {
            if (value.isEmpty())
                return badArguments(QStringLiteral("--db needs a file name"));
            db = value;
        } else {
            return badArguments(QStringLiteral("unknown argument \"%1\"").arg(arguments.at(i)));
        }
    }
    if (!first.isValid())
        return badArguments(QStringLiteral("--month or --year is missing"));
    if (db.isEmpty())
        db = defaultHistoryFile();

    QString why;
    const std::unique_ptr<HistoryStore> store = HistoryStore::openForReading(db, &why);
    if (!store)
        return report("report", QStringLiteral("cannot read the history: %1").arg(why), 2);
    calibrateFromFolder(*store, QFileInfo(db).absolutePath());
    const auto days = dailyClimate(*store, first, last, units.degreeDayBaseCelsius(), &why);
    if (!days)
        return report("report", QStringLiteral("reading %1 failed: %2").arg(db, why), 1);

    const QLocale english(QLocale::English);
    QString text;
    if (!yearly) {
        text = header(QStringLiteral("Climate summary for %1 %2").arg(english.monthName(first.month())).arg(first.year()),
                      QStringLiteral("Day"), units);
        for (const DailyClimate &day : *days)
            text += summaryLine(QString::number(day.day.day()), day.summary, units, When::Time);
        text += rule();
        text += summaryLine(QStringLiteral("Month"), combineDays(*days), units, When::Day);
    } else {
        text = header(QStringLiteral("Climate summary for %1").arg(first.year()), QStringLiteral("Month"), units);
        for (int month = 1; month <= 12; ++month) {
            std::vector<DailyClimate> inMonth;
            for (const DailyClimate &day : *days) {
                if (day.day.month() == month)
                    inMonth.push_back(day);
            }
            text += summaryLine(QString::number(month), combineDays(inMonth), units, When::Day);
        }
        text += rule();
        text += summaryLine(QStringLiteral("Year"), combineDays(*days), units, When::MonthDay);
    }
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, bytes.size(), stdout) != static_cast<std::size_t>(bytes.size()) ||
        std::fflush(stdout) != 0)
        return report("report", QStringLiteral("writing to standard output failed"), 1);
    return 0;
}

}  // namespace nimbrel::tool
