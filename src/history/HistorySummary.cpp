#include "HistorySummary.h"

#include "PlotField.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace nimbrel::history {

namespace {

QStringList storedColumns()
{
    QStringList columns;
    for (int c = 0; c < kStoredColumnCount; ++c)
        columns << QString::fromLatin1(columnName(static_cast<StoredColumn>(c)));
    return columns;
}

// The bucket number of a stored date-time text in SQL.
QString bucketSql(const QString &dat, SummaryLevel level)
{
    return QStringLiteral("((CAST(strftime('%s', %1) AS INTEGER) - 1) / %2)").arg(dat).arg(levelSeconds(level));
}

bool exec(QSqlDatabase &db, const QString &sql, QString &why)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    why = q.lastError().text();
    return false;
}

QString createTableSql()
{
    QStringList parts{QStringLiteral("Level INTEGER NOT NULL"), QStringLiteral("Slot INTEGER NOT NULL"),
                      QStringLiteral("N INTEGER NOT NULL"), QStringLiteral("RainAt TEXT NOT NULL"),
                      QStringLiteral("RainLast INTEGER NOT NULL")};
    for (const QString &c : storedColumns())
        parts << summaryMinColumn(c.toLatin1().constData()) + QStringLiteral(" REAL NOT NULL")
              << summaryMaxColumn(c.toLatin1().constData()) + QStringLiteral(" REAL NOT NULL");
    parts << QStringLiteral("PRIMARY KEY (Level, Slot)");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS HistorySummary (%1) WITHOUT ROWID").arg(parts.join(u", "));
}

// One upsert per level in the append trigger.
QString upsertSql(SummaryLevel level)
{
    QStringList names{QStringLiteral("Level"), QStringLiteral("Slot"), QStringLiteral("N"), QStringLiteral("RainAt"),
                      QStringLiteral("RainLast")};
    QStringList values{QString::number(static_cast<int>(level)), bucketSql(QStringLiteral("NEW.Dat"), level),
                       QStringLiteral("1"), QStringLiteral("NEW.Dat"), QStringLiteral("NEW.RainCount")};
    QStringList updates{QStringLiteral("N = N + 1"),
                        QStringLiteral("RainLast = CASE WHEN excluded.RainAt > RainAt THEN excluded.RainLast "
                                       "ELSE RainLast END"),
                        QStringLiteral("RainAt = max(RainAt, excluded.RainAt)")};
    for (const QString &c : storedColumns()) {
        const QString lo = summaryMinColumn(c.toLatin1().constData());
        const QString hi = summaryMaxColumn(c.toLatin1().constData());
        names << lo << hi;
        values << QStringLiteral("NEW.") + c << QStringLiteral("NEW.") + c;
        updates << QStringLiteral("%1 = min(%1, excluded.%1)").arg(lo)
                << QStringLiteral("%1 = max(%1, excluded.%1)").arg(hi);
    }
    return QStringLiteral("INSERT INTO HistorySummary (%1) VALUES (%2) ON CONFLICT (Level, Slot) DO UPDATE SET %3;")
        .arg(names.join(u", "), values.join(u", "), updates.join(u", "));
}

bool buildSummaries(QSqlDatabase &db, QString &why)
{
    QStringList aggregates;
    QStringList fromHours;
    for (const QString &c : storedColumns()) {
        const QString lo = summaryMinColumn(c.toLatin1().constData());
        const QString hi = summaryMaxColumn(c.toLatin1().constData());
        aggregates << QStringLiteral("MIN(%1)").arg(c) << QStringLiteral("MAX(%1)").arg(c);
        fromHours << QStringLiteral("MIN(%1)").arg(lo) << QStringLiteral("MAX(%1)").arg(hi);
    }
    const QString hours = QStringLiteral("INSERT INTO HistorySummary SELECT 0, %1 AS b, COUNT(*), MAX(Dat), 0, %2 "
                                         "FROM MainSet GROUP BY b")
                              .arg(bucketSql(QStringLiteral("Dat"), SummaryLevel::Hour), aggregates.join(u", "));
    // An hour's bucket lies inside one day's: day = hour div 24.
    const QString days = QStringLiteral("INSERT INTO HistorySummary SELECT 1, Slot / 24 - (Slot < 0 AND Slot % 24 != 0) "
                                        "AS b, SUM(N), MAX(RainAt), 0, %1 FROM HistorySummary WHERE Level = 0 "
                                        "GROUP BY b")
                             .arg(fromHours.join(u", "));
    const QString rain = QStringLiteral("UPDATE HistorySummary SET RainLast = "
                                        "(SELECT RainCount FROM MainSet WHERE Dat = HistorySummary.RainAt)");
    if (!db.transaction()) {
        why = db.lastError().text();
        return false;
    }
    if (exec(db, QStringLiteral("DELETE FROM HistorySummary"), why) && exec(db, hours, why) && exec(db, days, why) &&
        exec(db, rain, why) && db.commit())
        return true;
    if (why.isEmpty())
        why = db.lastError().text();
    db.rollback();
    return false;
}

long long number(QSqlDatabase &db, const QString &sql, bool &ok)
{
    QSqlQuery q(db);
    ok = q.exec(sql) && q.next();
    return ok ? q.value(0).toLongLong() : 0;
}

}  // namespace

QString summaryMinColumn(const char *storedColumn)
{
    return QString::fromLatin1(storedColumn) + QStringLiteral("Min");
}

QString summaryMaxColumn(const char *storedColumn)
{
    return QString::fromLatin1(storedColumn) + QStringLiteral("Max");
}

QStringList dropHistorySummarySql()
{
    return {QStringLiteral("DROP TRIGGER IF EXISTS HistorySummaryAppend"),
            QStringLiteral("DROP TABLE IF EXISTS HistorySummary")};
}

SummaryState prepareHistorySummary(QSqlDatabase &db, QString &why, bool build)
{
    bool ok = false;
    const bool present =
        number(db, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'HistorySummary'"), ok) > 0;
    if (present) {
        bool ok1 = false;
        bool ok2 = false;
        const long long rows = number(db, QStringLiteral("SELECT COUNT(*) FROM MainSet"), ok1);
        const long long counted =
            number(db, QStringLiteral("SELECT COALESCE(SUM(N), 0) FROM HistorySummary WHERE Level = 1"), ok2);
        if (ok1 && ok2 && rows == counted)
            return SummaryState::Ready;
    }
    if (!build)
        return SummaryState::Stale;
    QStringList trigger;
    trigger << QStringLiteral("CREATE TRIGGER IF NOT EXISTS HistorySummaryAppend AFTER INSERT ON MainSet BEGIN")
            << upsertSql(SummaryLevel::Hour) << upsertSql(SummaryLevel::Day) << QStringLiteral("END");
    if (!exec(db, createTableSql(), why) || !exec(db, trigger.join(u'\n'), why) || !buildSummaries(db, why))
        return SummaryState::Unusable;
    return SummaryState::Rebuilt;
}

}  // namespace nimbrel::history
