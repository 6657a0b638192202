#include "SummaryReader.h"

#include <QSqlDriver>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <limits>
#include <sqlite3.h>

namespace nimbrel::web {

using namespace nimbrel::history;

namespace {

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3 *db, const QByteArray &sql)
    {
        if (sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return stmt_; }

private:
    sqlite3_stmt *stmt_ = nullptr;
};

}  // namespace

bool hasNativeHandle(const QSqlDatabase &db)
{
    return nativeHandle(db) != nullptr;
}

bool readSummaryBuckets(const QSqlDatabase &db, SummaryLevel level, PlainSeconds after, PlainSeconds upTo,
                        const std::vector<PlotField> &fields, std::vector<MinMaxReducer> &reducers)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return false;
    QStringList columns;
    for (const PlotField &f : fields)
        columns << summaryMinColumn(columnName(f.column)) << summaryMaxColumn(columnName(f.column));
    const QByteArray sql = QStringLiteral("SELECT Slot, %1 FROM HistorySummary WHERE Level = ?1 AND Slot BETWEEN ?2 AND ?3 "
                                          "ORDER BY Slot")
                               .arg(columns.join(u", "))
                               .toLatin1();
    Statement q(handle, sql);
    if (!q.get())
        return false;
    sqlite3_bind_int(q.get(), 1, static_cast<int>(level));
    sqlite3_bind_int64(q.get(), 2, bucketOf(after + 1, level));
    sqlite3_bind_int64(q.get(), 3, bucketOf(upTo, level));
    const PlainSeconds size = levelSeconds(level);
    const int n = static_cast<int>(fields.size());
    int step;
    while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
        // Both extremes of a bucket stand at its middle, inside the stretch.
        const PlainSeconds slot = sqlite3_column_int64(q.get(), 0);
        const double x = static_cast<double>(std::clamp(slot * size + size / 2, after + 1, upTo));
        for (int i = 0; i < n; ++i) {
            const PlotField &f = fields[static_cast<std::size_t>(i)];
            MinMaxReducer &r = reducers[static_cast<std::size_t>(i)];
            r.add(x, f.value(sqlite3_column_double(q.get(), 1 + 2 * i)));
            r.add(x, f.value(sqlite3_column_double(q.get(), 2 + 2 * i)));
        }
    }
    return step == SQLITE_DONE;
}

bool readSummaryRain(const QSqlDatabase &db, SummaryLevel level, std::int64_t first, std::int64_t last,
                     std::vector<RainSample> &out)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return false;
    Statement q(handle, "SELECT Slot, RainLast FROM HistorySummary WHERE Level = ?1 AND Slot BETWEEN ?2 AND ?3 "
                        "ORDER BY Slot");
    if (!q.get())
        return false;
    sqlite3_bind_int(q.get(), 1, static_cast<int>(level));
    sqlite3_bind_int64(q.get(), 2, first);
    sqlite3_bind_int64(q.get(), 3, last);
    // The counter stands at the bucket's end: the rise of a bucket counts in
    // the interval where the bucket ends, which is exact whenever intervals
    // are whole buckets and off by less than one bucket otherwise.
    const PlainSeconds size = levelSeconds(level);
    int step;
    while ((step = sqlite3_step(q.get())) == SQLITE_ROW)
        out.push_back({(sqlite3_column_int64(q.get(), 0) + 1) * size, sqlite3_column_int(q.get(), 1)});
    return step == SQLITE_DONE;
}

}  // namespace nimbrel::web

namespace nimbrel::web {

void DaySummaryCache::clear()
{
    days_.clear();
    loaded_ = false;
}

bool DaySummaryCache::refresh(const QSqlDatabase &db, PlainSeconds oldest, PlainSeconds newest)
{
    if (loaded_ && oldest == oldest_ && newest == newest_)
        return true;
    std::int64_t from = std::numeric_limits<std::int64_t>::min();
    if (loaded_ && oldest == oldest_ && newest > newest_)
        from = bucketOf(newest_, SummaryLevel::Day);
    else
        days_.clear();
    if (!readFrom(db, from)) {
        clear();
        return false;
    }
    loaded_ = true;
    oldest_ = oldest;
    newest_ = newest;
    return true;
}

bool DaySummaryCache::readFrom(const QSqlDatabase &db, std::int64_t firstSlot)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle)
        return false;
    QStringList selected;
    for (int c = 0; c < kStoredColumnCount; ++c)
        selected << summaryMinColumn(columnName(static_cast<StoredColumn>(c)))
                 << summaryMaxColumn(columnName(static_cast<StoredColumn>(c)));
    const QByteArray sql = QStringLiteral("SELECT Slot, RainLast, %1 FROM HistorySummary WHERE Level = 1 AND Slot >= ?1 "
                                          "ORDER BY Slot")
                               .arg(selected.join(u", "))
                               .toLatin1();
    Statement q(handle, sql);
    if (!q.get())
        return false;
    sqlite3_bind_int64(q.get(), 1, firstSlot);
    // The days from firstSlot on are read again: the last of them may have
    // grown since.
    while (!days_.empty() && days_.back().slot >= firstSlot)
        days_.pop_back();
    int step;
    while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
        Day d;
        d.slot = sqlite3_column_int64(q.get(), 0);
        d.rainLast = sqlite3_column_int(q.get(), 1);
        for (int c = 0; c < kStoredColumnCount; ++c) {
            d.min[c] = sqlite3_column_double(q.get(), 2 + 2 * c);
            d.max[c] = sqlite3_column_double(q.get(), 3 + 2 * c);
        }
        days_.push_back(d);
    }
    return step == SQLITE_DONE;
}

std::pair<const DaySummaryCache::Day *, const DaySummaryCache::Day *> DaySummaryCache::range(std::int64_t first,
                                                                                              std::int64_t last) const
{
    const auto begin = std::lower_bound(days_.begin(), days_.end(), first,
                                        [](const Day &d, std::int64_t slot) { return d.slot < slot; });
    const auto end =
        std::upper_bound(begin, days_.end(), last, [](std::int64_t slot, const Day &d) { return slot < d.slot; });
    return {days_.data() + (begin - days_.begin()), days_.data() + (end - days_.begin())};
}

}  // namespace nimbrel::web
