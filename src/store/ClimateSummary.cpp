#include "ClimateSummary.h"

#include "Calibration.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace nimbrel {

namespace {

// A row whose channel 1 was not reporting holds 0 for both values.
const char *const kOutdoorValid = "NOT (TempCH1 = 0 AND HumCH1 = 0)";
const char *const kWindSpeed = "(CASE WHEN WindSpeed > 200 THEN 0 ELSE WindSpeed END)";
const char *const kWindGust = "(CASE WHEN WindGust > 200 THEN 0 ELSE WindGust END)";

class DayQueries {
public:
    DayQueries(const HistoryStore &store, const QDate &first, const QDate &last)
        : db_(store.database()),
          from_(first.toString(Qt::ISODate)),
          // Dates are text "YYYY-MM-DDTHH:MM:SS": every time of the last day sorts before the next day.
          to_(last.addDays(1).toString(Qt::ISODate))
    {
    }

    // Runs `sql` with the span bound to :from and :to and hands each row to visit.
    template <class Visit>
    bool run(const QString &sql, Visit visit)
    {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        if (!q.prepare(sql)) {
            error_ = q.lastError().text();
            return false;
        }
        q.bindValue(QStringLiteral(":from"), from_);
        q.bindValue(QStringLiteral(":to"), to_);
        if (!q.exec()) {
            error_ = q.lastError().text();
            return false;
        }
        while (q.next())
            visit(q);
        return true;
    }

    QString error() const { return error_; }

private:
    QSqlDatabase db_;
    QString from_;
    QString to_;
    QString error_;
};

bool better(const TimedValue &candidate, const std::optional<TimedValue> &kept, bool higher)
{
    if (!kept)
        return true;
    if (candidate.value != kept->value)
        return higher ? candidate.value > kept->value : candidate.value < kept->value;
    return candidate.Dat < kept->Dat;
}

// The corrections are linear, so the figures of the stored rows, corrected,
// are those of the corrected rows.
void calibrateDay(const Calibration &c, double degreeDayBase, ClimateSummary &s)
{
    if (s.meanTemperature) {
        const double mean = *s.meanTemperature + c.temperature[0];
        s.meanTemperature = mean;
        s.heatingDegreeDays = std::max(0.0, degreeDayBase - mean);
        s.coolingDegreeDays = std::max(0.0, mean - degreeDayBase);
    }
    if (s.highTemperature)
        s.highTemperature->value += c.temperature[0];
    if (s.lowTemperature)
        s.lowTemperature->value += c.temperature[0];
    s.meanWindSpeed = c.windOf(s.meanWindSpeed);
    if (s.highGust)
        s.highGust->value = c.windOf(s.highGust->value);
    if (s.highGustDirection >= 0)
        s.highGustDirection = c.directionOf(s.highGustDirection);
    std::array<int, kWindSectors> turned{};
    for (int k = 0; k < kWindSectors; ++k)
        turned[static_cast<std::size_t>(c.directionOf(k))] += s.directionCounts[static_cast<std::size_t>(k)];
    s.directionCounts = turned;
    s.rainTips = c.rainAmount(s.rainTips);
}

}  // namespace

int ClimateSummary::dominantDirection() const
{
    const auto most = std::max_element(directionCounts.begin(), directionCounts.end());
    return *most > 0 ? static_cast<int>(most - directionCounts.begin()) : -1;
}

std::optional<std::vector<DailyClimate>> dailyClimate(const HistoryStore &store, const QDate &first,
                                                      const QDate &last, double degreeDayBase, QString *error)
{
    std::vector<DailyClimate> days;
    QHash<QString, std::size_t> index;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        index.insert(d.toString(Qt::ISODate), days.size());
        days.push_back({d, {}});
    }
    auto dayOf = [&](const QSqlQuery &q) -> ClimateSummary * {
        const auto it = index.constFind(q.value(0).toString());
        return it == index.constEnd() ? nullptr : &days[*it].summary;
    };

    DayQueries queries(store, first, last);
    // The day's figures in one pass, then a second pass over the same rows
    // for the earliest record holding each extreme. The highest gust's
    // direction travels with its date ("YYYY-MM-DDTHH:MM:SS" then the
    // sector), so the earliest such record gives both.
    const QString sql = QStringLiteral(
        "WITH days AS MATERIALIZED (SELECT substr(Dat, 1, 10) AS d, COUNT(*) AS n, "
        "AVG(CASE WHEN %1 THEN TempCH1 END) AS mean, MAX(CASE WHEN %1 THEN TempCH1 END) AS hi, "
        "MIN(CASE WHEN %1 THEN TempCH1 END) AS lo, AVG(%2) AS wind, MAX(%3) AS gust "
        "FROM MainSet WHERE Dat >= :from AND Dat < :to GROUP BY d) "
        "SELECT days.d, n, mean, hi, MIN(CASE WHEN %1 AND TempCH1 = hi THEN Dat END), "
        "lo, MIN(CASE WHEN %1 AND TempCH1 = lo THEN Dat END), wind, gust, "
        "MIN(CASE WHEN %3 = gust THEN Dat || WindDirection END) "
        "FROM MainSet JOIN days ON substr(MainSet.Dat, 1, 10) = days.d "
        "WHERE Dat >= :from AND Dat < :to GROUP BY days.d")
                            .arg(QLatin1String(kOutdoorValid), QLatin1String(kWindSpeed), QLatin1String(kWindGust));
    bool ok = queries.run(sql, [&](const QSqlQuery &q) {
        ClimateSummary *s = dayOf(q);
        if (!s)
            return;
        s->records = q.value(1).toInt();
        if (!q.value(2).isNull()) {
            const double mean = q.value(2).toDouble();
            s->meanTemperature = mean;
            s->heatingDegreeDays = std::max(0.0, degreeDayBase - mean);
            s->coolingDegreeDays = std::max(0.0, mean - degreeDayBase);
            s->highTemperature = TimedValue{q.value(3).toDouble(), HistoryStore::dateFromText(q.value(4).toString())};
            s->lowTemperature = TimedValue{q.value(5).toDouble(), HistoryStore::dateFromText(q.value(6).toString())};
        }
        s->meanWindSpeed = q.value(7).toDouble();
        const QString gustAt = q.value(9).toString();
        s->highGust = TimedValue{q.value(8).toDouble(), HistoryStore::dateFromText(gustAt.left(19))};
        s->highGustDirection = gustAt.mid(19).toInt();
    });
    ok = ok && queries.run(QStringLiteral("SELECT substr(Dat, 1, 10) AS d, WindDirection, COUNT(*) FROM MainSet "
                                          "WHERE Dat >= :from AND Dat < :to AND %1 > 0 GROUP BY d, WindDirection")
                               .arg(QLatin1String(kWindSpeed)),
                           [&](const QSqlQuery &q) {
                               const int sector = q.value(1).toInt();
                               if (ClimateSummary *s = dayOf(q); s && sector >= 0 && sector < kWindSectors)
                                   s->directionCounts[sector] += q.value(2).toInt();
                           });
    // Each record's rise of the counter over the record before it; the span's
    // first record is compared with the last record before the span.
    ok = ok && queries.run(
                   QStringLiteral(
                       "SELECT substr(Dat, 1, 10) AS d, SUM(CASE WHEN step > 0 THEN step ELSE 0 END) FROM ("
                       "SELECT Dat, RainCount - LAG(RainCount) OVER (ORDER BY Dat) AS step FROM MainSet "
                       "WHERE Dat >= COALESCE((SELECT MAX(Dat) FROM MainSet WHERE Dat < :from), :from) "
                       "AND Dat < :to) WHERE Dat >= :from GROUP BY d"),
                   [&](const QSqlQuery &q) {
                       if (ClimateSummary *s = dayOf(q))
                           s->rainTips = q.value(1).toLongLong();
                   });
    if (!ok) {
        if (error)
            *error = queries.error();
        return std::nullopt;
    }
    if (const Calibration *c = store.calibration(); c && !c->isIdentity()) {
        for (DailyClimate &day : days)
            calibrateDay(*c, degreeDayBase, day.summary);
    }
    return days;
}

ClimateSummary combineDays(const std::vector<DailyClimate> &days)
{
    ClimateSummary total;
    double meanSum = 0;
    int meanDays = 0;
    double windSum = 0;
    for (const DailyClimate &day : days) {
        const ClimateSummary &s = day.summary;
        if (s.records == 0)
            continue;
        total.records += s.records;
        if (s.meanTemperature) {
            meanSum += *s.meanTemperature;
            ++meanDays;
        }
        if (s.highTemperature && better(*s.highTemperature, total.highTemperature, true))
            total.highTemperature = s.highTemperature;
        if (s.lowTemperature && better(*s.lowTemperature, total.lowTemperature, false))
            total.lowTemperature = s.lowTemperature;
        total.heatingDegreeDays += s.heatingDegreeDays;
        total.coolingDegreeDays += s.coolingDegreeDays;
        total.rainTips += s.rainTips;
        windSum += s.meanWindSpeed * s.records;
        if (s.highGust && better(*s.highGust, total.highGust, true)) {
            total.highGust = s.highGust;
            total.highGustDirection = s.highGustDirection;
        }
        for (int k = 0; k < kWindSectors; ++k)
            total.directionCounts[k] += s.directionCounts[k];
    }
    if (meanDays > 0)
        total.meanTemperature = meanSum / meanDays;
    if (total.records > 0)
        total.meanWindSpeed = windSum / total.records;
    return total;
}

}  // namespace nimbrel
