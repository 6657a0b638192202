#include "HistorySource.h"

#include "Calibration.h"
#include "HistoryStore.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace nimbrel::history {

namespace {

QString columnsOf(const std::vector<PlotField> &fields)
{
    QStringList names;
    for (const PlotField &f : fields)
        names << QString::fromLatin1(columnName(f.column));
    return names.join(u", ");
}

std::optional<PlainSeconds> timeOf(const QVariant &value)
{
    return plainSecondsFromText(value.toString());
}

}  // namespace

HistorySource::HistorySource(const HistoryStore *store) : store_(store) {}

void HistorySource::setStore(const HistoryStore *store)
{
    store_ = store;
    summary_ = SummaryState::Unusable;
}

QSqlDatabase HistorySource::db() const
{
    return store_ ? store_->database() : QSqlDatabase();
}

SummaryState HistorySource::prepare()
{
    summary_ = SummaryState::Unusable;
    if (!store_)
        return summary_;
    QSqlDatabase database = db();
    QString why;
    summary_ = prepareHistorySummary(database, why);
    return summary_;
}

SummaryState HistorySource::prepareWhenNeeded()
{
    summary_ = SummaryState::Unusable;
    if (!store_)
        return summary_;
    QSqlDatabase database = db();
    QString why;
    summary_ = prepareHistorySummary(database, why, false);
    return summary_;
}

bool HistorySource::summaryForLongReads() const
{
    if (summary_ == SummaryState::Stale && store_) {
        QSqlDatabase database = db();
        QString why;
        summary_ = prepareHistorySummary(database, why);
    }
    return summaryUsable();
}

bool HistorySource::empty() const
{
    return !oldest().has_value();
}

std::optional<PlainSeconds> HistorySource::oldest() const
{
    if (!store_)
        return std::nullopt;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT Dat FROM MainSet ORDER BY Dat ASC LIMIT 1")) || !q.next())
        return std::nullopt;
    return timeOf(q.value(0));
}

std::optional<PlainSeconds> HistorySource::newest() const
{
    if (!store_)
        return std::nullopt;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT Dat FROM MainSet ORDER BY Dat DESC LIMIT 1")) || !q.next())
        return std::nullopt;
    return timeOf(q.value(0));
}

HistorySource::Way HistorySource::wayFor(PlainSeconds after, PlainSeconds upTo, int columns) const
{
    if (columns < 1)
        return Way::Records;
    const double perColumn = static_cast<double>(upTo - after) / columns;
    if (perColumn < kSecondsPerHour || !summaryForLongReads())
        return Way::Records;
    return perColumn >= kSecondsPerDay ? Way::Days : Way::Hours;
}

std::vector<std::vector<PlotPoint>> HistorySource::read(PlainSeconds after, PlainSeconds upTo, int columns,
                                                        const std::vector<PlotField> &asked) const
{
    const std::vector<PlotField> fields = calibrated(asked, store_ ? store_->calibration() : nullptr);
    std::vector<MinMaxReducer> reducers;
    reducers.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        reducers.emplace_back(static_cast<double>(after), static_cast<double>(upTo), columns);
    if (store_ && !fields.empty() && upTo > after) {
        switch (wayFor(after, upTo, columns)) {
        case Way::Records:
            readRecords(after, upTo, fields, reducers);
            break;
        case Way::Hours:
            readBuckets(SummaryLevel::Hour, after, upTo, fields, reducers);
            break;
        case Way::Days:
            readBuckets(SummaryLevel::Day, after, upTo, fields, reducers);
            break;
        }
    }
    std::vector<std::vector<PlotPoint>> out;
    out.reserve(fields.size());
    for (MinMaxReducer &r : reducers)
        out.push_back(r.take());
    return out;
}

void HistorySource::readRecords(PlainSeconds after, PlainSeconds upTo, const std::vector<PlotField> &fields,
                                std::vector<MinMaxReducer> &reducers) const
{
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Dat, %1 FROM MainSet WHERE Dat > ? AND Dat <= ? ORDER BY Dat")
                  .arg(columnsOf(fields)));
    q.addBindValue(plainText(after));
    q.addBindValue(plainText(upTo));
    if (!q.exec())
        return;
    const int n = static_cast<int>(fields.size());
    while (q.next()) {
        const std::optional<PlainSeconds> t = timeOf(q.value(0));
        if (!t)
            continue;
        const double x = static_cast<double>(*t);
        for (int i = 0; i < n; ++i)
            reducers[static_cast<std::size_t>(i)].add(x, fields[static_cast<std::size_t>(i)].value(
                                                              q.value(i + 1).toDouble()));
    }
}

void HistorySource::readBuckets(SummaryLevel level, PlainSeconds after, PlainSeconds upTo,
                                const std::vector<PlotField> &fields, std::vector<MinMaxReducer> &reducers) const
{
    QStringList columns;
    for (const PlotField &f : fields)
        columns << summaryMinColumn(columnName(f.column)) << summaryMaxColumn(columnName(f.column));
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Slot, %1 FROM HistorySummary WHERE Level = ? AND Slot BETWEEN ? AND ? "
                             "ORDER BY Slot")
                  .arg(columns.join(u", ")));
    q.addBindValue(static_cast<int>(level));
    q.addBindValue(static_cast<qlonglong>(bucketOf(after + 1, level)));
    q.addBindValue(static_cast<qlonglong>(bucketOf(upTo, level)));
    if (!q.exec())
        return;
    const PlainSeconds size = levelSeconds(level);
    const int n = static_cast<int>(fields.size());
    while (q.next()) {
        // Both extremes of a bucket stand at its middle, inside the window.
        const PlainSeconds slot = q.value(0).toLongLong();
        PlainSeconds mid = slot * size + size / 2;
        if (mid <= after)
            mid = after + 1;
        if (mid > upTo)
            mid = upTo;
        const double x = static_cast<double>(mid);
        for (int i = 0; i < n; ++i) {
            const PlotField &f = fields[static_cast<std::size_t>(i)];
            MinMaxReducer &r = reducers[static_cast<std::size_t>(i)];
            r.add(x, f.value(q.value(1 + 2 * i).toDouble()));
            r.add(x, f.value(q.value(2 + 2 * i).toDouble()));
        }
    }
}

void readRainRecords(const QSqlDatabase &db, PlainSeconds after, PlainSeconds upTo, std::vector<RainSample> &out)
{
    if (upTo <= after)
        return;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Dat, RainCount FROM MainSet WHERE Dat > ? AND Dat <= ? ORDER BY Dat"));
    q.addBindValue(plainText(after));
    q.addBindValue(plainText(upTo));
    if (!q.exec())
        return;
    while (q.next()) {
        if (const std::optional<PlainSeconds> t = timeOf(q.value(0)))
            out.push_back({*t, q.value(1).toInt()});
    }
}

std::vector<RainSample> HistorySource::rainSamples(PlainSeconds after, PlainSeconds upTo) const
{
    std::vector<RainSample> out;
    if (!store_ || upTo <= after)
        return out;
    // Whole days inside the window come from the daily summary; the pieces
    // of days at both ends record by record.
    const std::int64_t firstWhole = bucketOf(after, SummaryLevel::Day) + 1;  // starts at or after `after`
    const std::int64_t lastWhole = bucketOf(upTo + 1, SummaryLevel::Day) - 1;  // ends at or before `upTo`
    // A few weeks are read record by record as quickly.
    if (lastWhole - firstWhole < 40 || !summaryForLongReads()) {
        readRainRecords(db(), after, upTo, out);
        return out;
    }
    const PlainSeconds wholeFrom = firstWhole * kSecondsPerDay;
    const PlainSeconds wholeTo = (lastWhole + 1) * kSecondsPerDay;
    readRainRecords(db(), after, wholeFrom, out);
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT RainAt, RainLast FROM HistorySummary WHERE Level = 1 AND Slot BETWEEN ? AND ? "
                             "ORDER BY Slot"));
    q.addBindValue(static_cast<qlonglong>(firstWhole));
    q.addBindValue(static_cast<qlonglong>(lastWhole));
    bool firstTaken = !out.empty();
    if (q.exec()) {
        while (q.next()) {
            const std::optional<PlainSeconds> t = timeOf(q.value(0));
            if (!t)
                continue;
            if (!firstTaken) {
                // The window's first record opens the first bar.
                QSqlQuery first(db());
                first.prepare(QStringLiteral("SELECT Dat, RainCount FROM MainSet WHERE Dat > ? ORDER BY Dat LIMIT 1"));
                first.addBindValue(plainText(after));
                if (first.exec() && first.next()) {
                    if (const std::optional<PlainSeconds> ft = timeOf(first.value(0)); ft && *ft < *t)
                        out.push_back({*ft, first.value(1).toInt()});
                }
                firstTaken = true;
            }
            out.push_back({*t, q.value(1).toInt()});
        }
    }
    readRainRecords(db(), wholeTo, upTo, out);
    return out;
}

double HistorySource::rainFactor() const
{
    const Calibration *c = store_ ? store_->calibration() : nullptr;
    return c ? c->rainAmount(1) : 1.0;
}

}  // namespace nimbrel::history
