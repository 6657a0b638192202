#include "HistoryAggregates.h"

#include "Calibration.h"

#include "TableFile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <iterator>

namespace nimbrel {

namespace {

// One kept extreme: its row name in `Extremes`, the field it watches and
// whether it is a maximum.
struct KeptExtreme {
    const char *name;
    const char *field;
    bool isMax;
    Extreme RecordedExtremes::*member;  // null for the channel arrays
    int channel;                        // index into TempCHMax/TempCHMin, or -1
};

constexpr KeptExtreme kKept[] = {
    {"TempDoorMax", "TempDoor", true, &RecordedExtremes::TempDoorMax, -1},
    {"TempDoorMin", "TempDoor", false, &RecordedExtremes::TempDoorMin, -1},
    {"TempCH1Max", "TempCH1", true, nullptr, 0},
    {"TempCH1Min", "TempCH1", false, nullptr, 0},
    {"TempCH2Max", "TempCH2", true, nullptr, 1},
    {"TempCH2Min", "TempCH2", false, nullptr, 1},
    {"TempCH3Max", "TempCH3", true, nullptr, 2},
    {"TempCH3Min", "TempCH3", false, nullptr, 2},
    {"TempCH4Max", "TempCH4", true, nullptr, 3},
    {"TempCH4Min", "TempCH4", false, nullptr, 3},
    {"TempCH5Max", "TempCH5", true, nullptr, 4},
    {"TempCH5Min", "TempCH5", false, nullptr, 4},
    {"WindSpeedMax", "WindSpeed", true, &RecordedExtremes::WindSpeedMax, -1},
    {"WindGustMax", "WindGust", true, &RecordedExtremes::WindGustMax, -1},
    {"PressLocalMax", "PressLocal", true, &RecordedExtremes::PressLocalMax, -1},
    {"PressLocalMin", "PressLocal", false, &RecordedExtremes::PressLocalMin, -1},
};
constexpr int kKeptCount = static_cast<int>(std::size(kKept));

Extreme &slot(RecordedExtremes &e, const KeptExtreme &k)
{
    if (k.member)
        return e.*k.member;
    return k.isMax ? e.TempCHMax[k.channel] : e.TempCHMin[k.channel];
}

const Extreme &slot(const RecordedExtremes &e, const KeptExtreme &k)
{
    return slot(const_cast<RecordedExtremes &>(e), k);
}

// The rain-marked records (station state codes 0xA and 0xD), from the newest
// of which the rain of a window and the total are counted. Written literally
// so that the planner can use the partial index built with the same condition.
const char *const kMarked = "RainState IN (1, 2)";

QString createTrigger()
{
    // The trigger keeps the extremes only while all of them are kept, or when
    // the new row is the history's only one (the first append after a clear);
    // otherwise it leaves them missing for a rebuild.
    QString body;
    for (const KeptExtreme &k : kKept) {
        const char *beats = k.isMax ? ">" : "<";
        body += QStringLiteral(
                    "  INSERT INTO Extremes (Name, Value, Dat) VALUES ('%1', NEW.%2, NEW.Dat)\n"
                    "    ON CONFLICT (Name) DO UPDATE SET Value = excluded.Value, Dat = excluded.Dat\n"
                    "    WHERE excluded.Value %3 Extremes.Value\n"
                    "       OR (excluded.Value = Extremes.Value AND excluded.Dat < Extremes.Dat);\n")
                    .arg(QLatin1String(k.name), QLatin1String(k.field), QLatin1String(beats));
    }
    return QStringLiteral("CREATE TRIGGER IF NOT EXISTS MainSetKeepExtremes AFTER INSERT ON MainSet\n"
                          "WHEN (SELECT COUNT(*) FROM Extremes) = %1\n"
                          "  OR NOT EXISTS (SELECT 1 FROM MainSet WHERE Dat <> NEW.Dat)\n"
                          "BEGIN\n%2END")
        .arg(kKeptCount)
        .arg(body);
}

bool historyEmpty(const QSqlDatabase &db, bool &empty, QString &why)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM MainSet)")) || !q.next()) {
        why = q.lastError().text();
        return false;
    }
    empty = q.value(0).toInt() == 0;
    return true;
}

// One pass in date order with strict comparisons: the earliest of equal
// values keeps its date.
bool scan(const QSqlDatabase &db, RecordedExtremes &e, QString &why)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT Dat, TempDoor, TempCH1, TempCH2, TempCH3, TempCH4, TempCH5, "
                               "WindSpeed, WindGust, PressLocal FROM MainSet ORDER BY Dat"))) {
        why = q.lastError().text();
        return false;
    }
    auto column = [](const KeptExtreme &k) {
        static const QStringList fields = {QStringLiteral("TempDoor"), QStringLiteral("TempCH1"),
                                           QStringLiteral("TempCH2"),  QStringLiteral("TempCH3"),
                                           QStringLiteral("TempCH4"),  QStringLiteral("TempCH5"),
                                           QStringLiteral("WindSpeed"), QStringLiteral("WindGust"),
                                           QStringLiteral("PressLocal")};
        return 1 + static_cast<int>(fields.indexOf(QLatin1String(k.field)));
    };
    int columns[kKeptCount];
    for (int i = 0; i < kKeptCount; ++i)
        columns[i] = column(kKept[i]);
    double value[kKeptCount] = {};
    QString dat[kKeptCount];
    e = RecordedExtremes{};
    while (q.next()) {
        if (e.empty)
            e.oldestDat = HistoryStore::dateFromText(q.value(0).toString());
        for (int i = 0; i < kKeptCount; ++i) {
            const double v = q.value(columns[i]).toDouble();
            if (e.empty || (kKept[i].isMax ? v > value[i] : v < value[i])) {
                value[i] = v;
                dat[i] = q.value(0).toString();
            }
        }
        e.empty = false;
    }
    if (q.lastError().isValid()) {
        why = q.lastError().text();
        return false;
    }
    for (int i = 0; i < kKeptCount; ++i)
        slot(e, kKept[i]) = Extreme{value[i], HistoryStore::dateFromText(dat[i])};
    return true;
}

bool keep(QSqlDatabase &db, const RecordedExtremes &e, QString &why)
{
    // A savepoint, so that this also works inside a batch of appends.
    if (!execSql(db, QStringLiteral("SAVEPOINT KeepExtremes"), why))
        return false;
    bool ok = execSql(db, QStringLiteral("DELETE FROM Extremes"), why);
    if (ok && !e.empty) {
        QSqlQuery q(db);
        ok = q.prepare(QStringLiteral("INSERT INTO Extremes (Name, Value, Dat) VALUES (?, ?, ?)"));
        for (int i = 0; ok && i < kKeptCount; ++i) {
            const Extreme &x = slot(e, kKept[i]);
            q.bindValue(0, QLatin1String(kKept[i].name));
            q.bindValue(1, x.value);
            q.bindValue(2, HistoryStore::dateText(x.Dat));
            ok = q.exec();
        }
        if (!ok)
            why = q.lastError().text();
    }
    if (ok && execSql(db, QStringLiteral("RELEASE KeepExtremes"), why))
        return true;
    QString ignored;
    execSql(db, QStringLiteral("ROLLBACK TO KeepExtremes"), ignored);
    execSql(db, QStringLiteral("RELEASE KeepExtremes"), ignored);
    return false;
}

// The kept rows; false when not all of them are there.
bool readKept(const QSqlDatabase &db, RecordedExtremes &e)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT Name, Value, Dat FROM Extremes")))
        return false;
    int found = 0;
    while (q.next()) {
        const QString name = q.value(0).toString();
        for (const KeptExtreme &k : kKept) {
            if (name == QLatin1String(k.name)) {
                slot(e, k) = Extreme{q.value(1).toDouble(), HistoryStore::dateFromText(q.value(2).toString())};
                ++found;
                break;
            }
        }
    }
    e.empty = false;
    return found == kKeptCount;
}

// First and last of the bounded rows plus the newest marked one; `where` is
// empty for the whole history.
RainCounts rainCounts(const HistoryStore &store, const QString &where, const QDateTime &after,
                      const QDateTime &upTo)
{
    RainCounts r;
    if (const Calibration *c = store.calibration())
        r.factor = c->rainAmount(1);
    const QSqlDatabase db = store.database();
    auto one = [&](const QString &condition, const char *order, std::int32_t &count, QDateTime *dat) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT RainCount, Dat FROM MainSet %1 ORDER BY Dat %2 LIMIT 1")
                      .arg(condition.isEmpty() ? QString() : QStringLiteral("WHERE ") + condition,
                           QLatin1String(order)));
        if (!where.isEmpty()) {
            q.bindValue(0, HistoryStore::dateText(after));
            q.bindValue(1, HistoryStore::dateText(upTo));
        }
        if (!q.exec() || !q.next())
            return false;
        count = q.value(0).toInt();
        if (dat)
            *dat = HistoryStore::dateFromText(q.value(1).toString());
        return true;
    };
    if (!one(where, "DESC", r.last, nullptr))
        return r;
    r.empty = false;
    const QString marked = where.isEmpty() ? QString::fromLatin1(kMarked)
                                           : QStringLiteral("%1 AND %2").arg(QLatin1String(kMarked), where);
    r.marked = one(marked, "DESC", r.base, &r.baseDat);
    if (!r.marked)
        one(where, "ASC", r.base, &r.baseDat);
    return r;
}

const char *const kWindow = "Dat > ? AND Dat <= ?";

// Offsets and factors keep the order of values, so the stored extremes,
// corrected, are the extremes of the corrected rows, with the same dates.
RecordedExtremes corrected(const HistoryStore &store, RecordedExtremes e)
{
    const Calibration *c = store.calibration();
    if (!c || c->isIdentity() || e.empty)
        return e;
    e.TempDoorMax.value += c->indoorTemperature;
    e.TempDoorMin.value += c->indoorTemperature;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        e.TempCHMax[ch].value += c->temperature[ch];
        e.TempCHMin[ch].value += c->temperature[ch];
    }
    e.WindSpeedMax.value = c->windOf(e.WindSpeedMax.value);
    e.WindGustMax.value = c->windOf(e.WindGustMax.value);
    e.PressLocalMax.value = c->pressureOf(e.PressLocalMax.value);
    e.PressLocalMin.value = c->pressureOf(e.PressLocalMin.value);
    return e;
}

}  // namespace

RainCounts rainCountsBetween(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo)
{
    return rainCounts(store, QString::fromLatin1(kWindow), after, upTo);
}

RainCounts rainCountsTotal(const HistoryStore &store)
{
    return rainCounts(store, QString(), {}, {});
}

std::optional<double> maxWindSpeedBetween(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo)
{
    QSqlQuery q(store.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT MAX(WindSpeed) FROM MainSet WHERE %1").arg(QLatin1String(kWindow)));
    q.bindValue(0, HistoryStore::dateText(after));
    q.bindValue(1, HistoryStore::dateText(upTo));
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    const Calibration *c = store.calibration();
    return c ? c->windOf(q.value(0).toDouble()) : q.value(0).toDouble();
}

RecordedExtremes scanRecordedExtremes(const HistoryStore &store)
{
    RecordedExtremes e;
    QString why;
    scan(store.database(), e, why);
    return e;
}

RecordedExtremes recordedExtremes(const HistoryStore &store)
{
    QSqlDatabase db = store.database();
    QString why;
    bool empty = true;
    if (!historyEmpty(db, empty, why) || empty)
        return {};
    RecordedExtremes e;
    if (readKept(db, e)) {
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT MIN(Dat) FROM MainSet")) && q.next())
            e.oldestDat = HistoryStore::dateFromText(q.value(0).toString());
        return corrected(store, e);
    }
    // Missing: scan once, and keep the result when the store may write.
    if (!scan(db, e, why))
        return {};
    keep(db, e, why);
    return corrected(store, e);
}

bool rebuildRecordedExtremes(HistoryStore &store)
{
    QSqlDatabase db = store.database();
    QString why;
    RecordedExtremes e;
    return scan(db, e, why) && keep(db, e, why);
}

bool prepareHistoryAggregates(QSqlDatabase &db, QString &why)
{
    if (!execSql(db,
                 QStringLiteral("CREATE TABLE IF NOT EXISTS Extremes (Name TEXT PRIMARY KEY, "
                                "Value REAL NOT NULL, Dat TEXT NOT NULL) WITHOUT ROWID"),
                 why) ||
        !execSql(db,
                 QStringLiteral("CREATE INDEX IF NOT EXISTS MainSetRainMarks ON MainSet (Dat) WHERE %1")
                     .arg(QLatin1String(kMarked)),
                 why) ||
        !execSql(db, createTrigger(), why))
        return false;
    bool empty = true;
    RecordedExtremes e;
    if (!historyEmpty(db, empty, why))
        return false;
    if (empty || readKept(db, e))
        return true;
    return scan(db, e, why) && keep(db, e, why);
}

bool clearRecordedExtremes(QSqlDatabase &db, QString &why)
{
    return execSql(db, QStringLiteral("DELETE FROM Extremes"), why);
}

}  // namespace nimbrel
