#include "HistoryImport.h"

#include "ExchangeUnits.h"
#include "HistoryCsv.h"
#include "TableFile.h"
#include "TextImport.h"
#include "WeewxArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>
#include <optional>

namespace nimbrel {

namespace {

// Ten years of five-minute records as text are some 150 MB; an archive of
// them about as much.
constexpr qint64 kLargestFile = qint64(2) << 30;
constexpr int kCounterWrap = 65536;

// Why the history cannot hold the record; empty when it can.
QString unstorable(const HistoryRow &r)
{
    auto temperature = [](const char *name, double c) {
        return std::fabs(c) > 100.0 ? QStringLiteral("%1 %2 °C is beyond ±100 °C").arg(QLatin1String(name)).arg(c)
                                    : QString();
    };
    auto humidity = [](const char *name, int h) {
        return h < 0 || h > 100 ? QStringLiteral("%1 %2 % is outside 0..100").arg(QLatin1String(name)).arg(h)
                                : QString();
    };
    QString why = temperature("indoor temperature", r.TempDoor);
    if (why.isEmpty())
        why = humidity("indoor humidity", r.HumDoor);
    for (int c = 0; c < kChannelCount && why.isEmpty(); ++c) {
        why = temperature(qPrintable(QStringLiteral("channel %1 temperature").arg(c + 1)), r.TempCH[c]);
        if (why.isEmpty())
            why = humidity(qPrintable(QStringLiteral("channel %1 humidity").arg(c + 1)), r.HumCH[c]);
    }
    if (why.isEmpty() && (r.WindSpeed < 0 || r.WindSpeed >= kWindStoreLimit || r.WindGust < 0 ||
                          r.WindGust >= kWindStoreLimit))
        why = QStringLiteral("wind %1 / gust %2 mph is outside 0..266").arg(r.WindSpeed).arg(r.WindGust);
    if (why.isEmpty() && (r.PressLocal < 0 || r.PressLocal > 4095))
        why = QStringLiteral("pressure %1 hPa is outside 0..4095").arg(r.PressLocal);
    if (why.isEmpty() && (r.UV < 0 || r.UV > 99))
        why = QStringLiteral("UV index %1 is outside 0..99").arg(r.UV);
    if (why.isEmpty() && std::fabs(r.WindChill) > 100.0)
        why = temperature("wind chill", r.WindChill);
    return why;
}

sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

// The append of HistoryStore::appendRow, the same statement on the same
// connection and transaction, bound through SQLite itself: through Qt's
// driver a million rows took three times as long.
class FastAppend {
public:
    explicit FastAppend(HistoryStore &store) : handle_(nativeHandle(store.database()))
    {
        if (handle_ &&
            sqlite3_prepare_v2(handle_,
                               "INSERT OR IGNORE INTO MainSet (Dat, DayWeek, TempDoor, HumDoor, TempCH1, HumCH1, "
                               "TempCH2, HumCH2, TempCH3, HumCH3, TempCH4, HumCH4, TempCH5, HumCH5, UV, PressLocal, "
                               "Weather, WindChill, WindGust, WindSpeed, RainCount, RainState, WindDirection) VALUES "
                               "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                               -1, &statement_, nullptr) != SQLITE_OK)
            statement_ = nullptr;
    }
    ~FastAppend() { sqlite3_finalize(statement_); }
    FastAppend(const FastAppend &) = delete;
    FastAppend &operator=(const FastAppend &) = delete;

    bool usable() const { return statement_ != nullptr; }
    AppendResult append(const HistoryRow &r, QString &why)
    {
        const QDate d = r.Dat.date();
        const QTime t = r.Dat.time();
        char date[32];
        std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                      t.minute(), t.second());
        int i = 1;
        sqlite3_bind_text(statement_, i++, date, 19, SQLITE_TRANSIENT);
        sqlite3_bind_int(statement_, i++, r.DayWeek);
        sqlite3_bind_double(statement_, i++, r.TempDoor);
        sqlite3_bind_int(statement_, i++, r.HumDoor);
        for (int c = 0; c < kChannelCount; ++c) {
            sqlite3_bind_double(statement_, i++, r.TempCH[c]);
            sqlite3_bind_int(statement_, i++, r.HumCH[c]);
        }
        sqlite3_bind_double(statement_, i++, r.UV);
        sqlite3_bind_double(statement_, i++, r.PressLocal);
        sqlite3_bind_int(statement_, i++, r.Weather);
        sqlite3_bind_double(statement_, i++, r.WindChill);
        sqlite3_bind_double(statement_, i++, r.WindGust);
        sqlite3_bind_double(statement_, i++, r.WindSpeed);
        sqlite3_bind_int(statement_, i++, r.RainCount);
        sqlite3_bind_int(statement_, i++, r.RainState);
        sqlite3_bind_int(statement_, i++, r.WindDirection);
        const int step = sqlite3_step(statement_);
        const int changed = sqlite3_changes(handle_);
        sqlite3_reset(statement_);
        if (step != SQLITE_DONE) {
            why = QString::fromUtf8(sqlite3_errmsg(handle_));
            return AppendResult::Failed;
        }
        return changed > 0 ? AppendResult::Appended : AppendResult::Duplicate;
    }

private:
    sqlite3 *handle_ = nullptr;
    sqlite3_stmt *statement_ = nullptr;
};

// Stores records as they are read, counting, and keeps the rain counter of
// files that have none.
class Merger {
public:
    Merger(HistoryStore &store, ImportOutcome &outcome) : store_(store), outcome_(outcome) {}

    bool add(const ImportedRecord &record, long long line)
    {
        const QString why = unstorable(record.row);
        if (!why.isEmpty()) {
            ++outcome_.refused;
            if (outcome_.reasons.size() < kImportReasonsKept)
                outcome_.reasons << QStringLiteral("line %1: %2").arg(line).arg(why);
            return true;
        }
        HistoryRow row = record.row;
        if (!record.hasCounter)
            row.RainCount = advanceCounter(row.Dat, record.rainTips.value_or(0.0));
        const AppendResult result = fast_.usable() ? fast_.append(row, error_) : store_.appendRow(row);
        if (result == AppendResult::Failed && !fast_.usable())
            error_ = store_.lastError();
        switch (result) {
        case AppendResult::Appended: ++outcome_.added; return true;
        case AppendResult::Duplicate: ++outcome_.skipped; return true;
        case AppendResult::Failed: failed_ = true; return false;
        }
        return false;
    }
    bool failed() const { return failed_; }
    const QString &error() const { return error_; }

private:
    int advanceCounter(const QDateTime &dat, double tips)
    {
        if (!counter_) {
            counter_ = 0;
            QSqlQuery q(store_.database());
            q.prepare(QStringLiteral("SELECT RainCount FROM MainSet WHERE Dat < ? ORDER BY Dat DESC LIMIT 1"));
            q.addBindValue(HistoryStore::dateText(dat));
            if (q.exec() && q.next())
                counter_ = q.value(0).toInt();
        }
        const double total = tips + carry_;
        const long long whole = std::max(0LL, std::llround(total));
        carry_ = total - double(whole);
        counter_ = int((*counter_ + whole) % kCounterWrap);
        return *counter_;
    }

    HistoryStore &store_;
    ImportOutcome &outcome_;
    FastAppend fast_{store_};
    QString error_;
    std::optional<int> counter_;
    double carry_ = 0;
    bool failed_ = false;
};

}  // namespace

ImportOutcome importHistory(HistoryStore &store, const QString &path, int outdoorChannel, bool dryRun,
                            const QStringList &firstSql)
{
    ImportOutcome outcome;
    auto refuse = [&](const QString &why, long long line) {
        outcome.status = ImportOutcome::Status::FileRefused;
        outcome.why = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(why) : why;
        outcome.added = outcome.skipped = outcome.refused = 0;
        outcome.reasons.clear();
        return outcome;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return refuse(QStringLiteral("%1: no such file").arg(path), 0);
    if (info.isSymLink() || !info.isFile() || info.size() > kLargestFile)
        return refuse(QStringLiteral("%1 is not a regular file of at most 2 GiB").arg(path), 0);
    if (outdoorChannel < 1 || outdoorChannel > kChannelCount)
        outdoorChannel = 1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()), 0);
    const bool sqlite = file.peek(16) == QByteArray("SQLite format 3\0", 16);

    QSqlDatabase db = store.database();
    if (!db.transaction()) {
        outcome.status = ImportOutcome::Status::Failed;
        outcome.why = db.lastError().text();
        return outcome;
    }
    for (const QString &sql : firstSql) {
        QString why;
        if (!execSql(db, sql, why)) {
            db.rollback();
            outcome.status = ImportOutcome::Status::Failed;
            outcome.why = why;
            return outcome;
        }
    }
    Merger merger(store, outcome);
    const ImportSink sink = [&merger](const ImportedRecord &record, long long line) { return merger.add(record, line); };
    ImportDamage damaged;
    bool read = false;
    if (sqlite) {
        outcome.format = QStringLiteral("weewx archive");
        file.close();
        read = readWeewxArchive(path, outdoorChannel, sink, &damaged.why, &damaged.line);
    } else {
        TextLines lines(file);
        QByteArray first;
        if (!lines.next(first)) {
            damaged = {lines.damage().isEmpty() ? QStringLiteral("the file is empty") : lines.damage(), 1};
        } else if (first.startsWith("time,") || first.startsWith("Dat,DayWeek,")) {
            outcome.format = QStringLiteral("Nimbrel CSV");
            read = readNimbrelCsv(lines, first, sink, damaged);
        } else if (looksLikeCumulus(first)) {
            outcome.format = QStringLiteral("Cumulus log");
            read = readCumulusLog(lines, first, outdoorChannel, sink, damaged);
        } else {
            damaged = {QStringLiteral("neither a Nimbrel CSV header nor a Cumulus log line, and no weewx archive"), 1};
        }
    }
    if (merger.failed() || !read) {
        db.rollback();
        if (merger.failed()) {
            outcome.status = ImportOutcome::Status::Failed;
            outcome.why = merger.error();
            return outcome;
        }
        return refuse(damaged.why, damaged.line);
    }
    if (dryRun) {
        db.rollback();
    } else if (!db.commit()) {
        outcome.status = ImportOutcome::Status::Failed;
        outcome.why = db.lastError().text();
        db.rollback();
    }
    return outcome;
}

}  // namespace nimbrel
