#include "HistoryStore.h"

#include "HistoryAggregates.h"
#include "SafeFile.h"
#include "TableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <limits>

namespace nimbrel {

namespace {


// Stored fields in table order. Temperature and humidity alternate per sensor.
const char *const kCreateTable = R"(CREATE TABLE IF NOT EXISTS MainSet (
    Dat TEXT NOT NULL,
    DayWeek INTEGER NOT NULL DEFAULT 0,
    TempDoor REAL NOT NULL DEFAULT 0,
    HumDoor INTEGER NOT NULL DEFAULT 0,
    TempCH1 REAL NOT NULL DEFAULT 0,
    HumCH1 INTEGER NOT NULL DEFAULT 0,
    TempCH2 REAL NOT NULL DEFAULT 0,
    HumCH2 INTEGER NOT NULL DEFAULT 0,
    TempCH3 REAL NOT NULL DEFAULT 0,
    HumCH3 INTEGER NOT NULL DEFAULT 0,
    TempCH4 REAL NOT NULL DEFAULT 0,
    HumCH4 INTEGER NOT NULL DEFAULT 0,
    TempCH5 REAL NOT NULL DEFAULT 0,
    HumCH5 INTEGER NOT NULL DEFAULT 0,
    UV REAL NOT NULL DEFAULT 0,
    PressLocal REAL NOT NULL DEFAULT 0,
    Weather INTEGER NOT NULL DEFAULT 0,
    WindChill REAL NOT NULL DEFAULT 0,
    WindGust REAL NOT NULL DEFAULT 0,
    WindSpeed REAL NOT NULL DEFAULT 0,
    RainCount INTEGER NOT NULL DEFAULT 0,
    RainState INTEGER NOT NULL DEFAULT 0,
    WindDirection INTEGER NOT NULL DEFAULT 0
))";

const char *const kColumns =
    "Dat, DayWeek, TempDoor, HumDoor, TempCH1, HumCH1, TempCH2, HumCH2, TempCH3, HumCH3, "
    "TempCH4, HumCH4, TempCH5, HumCH5, UV, PressLocal, Weather, WindChill, WindGust, WindSpeed, "
    "RainCount, RainState, WindDirection";

HistoryRow rowFromQuery(const QSqlQuery &q)
{
    HistoryRow r;
    r.Dat = HistoryStore::dateFromText(q.value(0).toString());
    HistoryStore::readValues(q, r);
    return r;
}

// WAL with full synchronisation: a commit is on disk when it returns, and a
// reader never blocks the writer.
const TableShape &historyShape()
{
    static const TableShape shape{
        QStringLiteral("MainSet"),
        QString::fromLatin1(kColumns).split(QStringLiteral(", ")),
        HistoryStore::kSchemaVersion,
        {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = FULL")},
        {QString::fromLatin1(kCreateTable),
         QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS MainSetIndex1 ON MainSet (Dat)")},
        // Schema 2 added the kept extremes and the rain-mark index; a file of
        // schema 1 gets them here, in place.
        prepareHistoryAggregates,
        // Ten years are over 100 MB: after an unclean end the full check runs
        // in the background (HistoryCheck.h).
        true};
    return shape;
}

}  // namespace

HistoryRow rowFromMeasurement(const Measurement &m)
{
    HistoryRow r;
    r.Dat = m.Dat;
    r.DayWeek = m.DayWeek;
    if (m.TempDoorState == 0) {
        r.TempDoor = m.TempDoor;
        r.HumDoor = m.HumDoor;
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (m.TempCHState[c] == 0) {
            r.TempCH[c] = m.TempCH[c];
            r.HumCH[c] = m.HumCH[c];
        }
    }
    r.UV = m.UV;
    r.PressLocal = m.PressLocalInvalid ? 0.0 : m.PressLocal;
    r.Weather = m.WeatherInvalid ? 0 : m.Weather;
    r.WindChill = (m.WindChillState != 0 || m.WindChill >= kWindChillStoreLimit) ? 0.0 : m.WindChill;
    r.WindGust = (m.WindGustState != 0 || m.WindGust >= kWindStoreLimit) ? 0.0 : m.WindGust;
    r.WindSpeed = (m.WindSpeedState != 0 || m.WindSpeed >= kWindStoreLimit) ? 0.0 : m.WindSpeed;
    r.RainCount = m.RainCount;
    r.RainState = m.RainState;
    r.WindDirection = m.WindDirection;
    return r;
}

void loadMeasurement(const HistoryRow &r, Measurement &m)
{
    m.DayWeek = static_cast<std::uint16_t>(r.DayWeek);
    m.Dat = r.Dat;
    m.TempDoor = r.TempDoor;
    m.HumDoor = r.HumDoor;
    for (int c = 0; c < kChannelCount; ++c) {
        m.TempCH[c] = r.TempCH[c];
        m.HumCH[c] = r.HumCH[c];
    }
    m.UV = r.UV;
    m.PressLocal = r.PressLocal;
    m.Weather = static_cast<std::uint16_t>(r.Weather);
    m.WindChill = r.WindChill;
    m.WindGust = r.WindGust;
    m.WindSpeed = r.WindSpeed;
    m.RainCount = r.RainCount;
    m.RainState = static_cast<std::uint16_t>(r.RainState);
    m.WindDirection = static_cast<std::uint16_t>(r.WindDirection);
}

QString HistoryStore::dateText(const QDateTime &dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

void HistoryStore::readValues(const QSqlQuery &q, HistoryRow &r)
{
    r.DayWeek = q.value(1).toInt();
    r.TempDoor = q.value(2).toDouble();
    r.HumDoor = q.value(3).toInt();
    for (int c = 0; c < kChannelCount; ++c) {
        r.TempCH[c] = q.value(4 + 2 * c).toDouble();
        r.HumCH[c] = q.value(5 + 2 * c).toInt();
    }
    r.UV = q.value(14).toDouble();
    r.PressLocal = q.value(15).toDouble();
    r.Weather = q.value(16).toInt();
    r.WindChill = q.value(17).toDouble();
    r.WindGust = q.value(18).toDouble();
    r.WindSpeed = q.value(19).toDouble();
    r.RainCount = q.value(20).toInt();
    r.RainState = q.value(21).toInt();
    r.WindDirection = q.value(22).toInt();
}

QDateTime HistoryStore::dateFromText(const QString &text)
{
    // Read by hand: QDateTime::fromString with a format costs some 17 us,
    // which made reading a day of rows for a chart take milliseconds.
    if (text.size() != 19)
        return {};
    const QChar *c = text.constData();
    auto number = [c](int from, int digits, int &value) {
        value = 0;
        for (int i = from; i < from + digits; ++i) {
            if (c[i] < QLatin1Char('0') || c[i] > QLatin1Char('9'))
                return false;
            value = value * 10 + (c[i].unicode() - '0');
        }
        return true;
    };
    int year, month, day, hour, minute, second;
    if (!number(0, 4, year) || c[4] != QLatin1Char('-') || !number(5, 2, month) || c[7] != QLatin1Char('-') ||
        !number(8, 2, day) || c[10] != QLatin1Char('T') || !number(11, 2, hour) || c[13] != QLatin1Char(':') ||
        !number(14, 2, minute) || c[16] != QLatin1Char(':') || !number(17, 2, second))
        return {};
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

HistoryStore::HistoryStore(QString connection, QString path) : connection_(std::move(connection)), path_(std::move(path))
{
}

HistoryStore::~HistoryStore()
{
    insert_.reset();
    closeTableFile(connection_);
}

QSqlDatabase HistoryStore::database() const
{
    return QSqlDatabase::database(connection_, false);
}

bool HistoryStore::query(const QString &sql) const
{
    QSqlQuery q(database());
    if (!q.exec(sql)) {
        lastError_ = q.lastError().text();
        return false;
    }
    return true;
}

HistoryStore::Opened HistoryStore::open(const QString &path, const QDateTime &now)
{
    Opened result;
    TableFileOpen file = openTableFile(path, QStringLiteral("history"), now, historyShape());
    result.problem = file.problem;
    result.setAside = file.setAside;
    result.error = file.error;
    result.fullCheckPending = file.fullCheckDeferred;
    if (!file.connection.isEmpty())
        result.store.reset(new HistoryStore(file.connection, path));
    return result;
}

long long HistoryStore::copyReadableRows(QSqlDatabase &source, const std::atomic<bool> &cancel)
{
    // Rowids are read in windows; a window that fails keeps what it read and
    // the next starts past the failure, 1, 2, 4, ... rowids on, so that a
    // damaged page costs its own rows and a damaged tree stays quick.
    constexpr int kWindow = 2000;
    constexpr qint64 kLargestSkip = qint64(1) << 24;
    qint64 highest = std::numeric_limits<qint64>::max();
    {
        QSqlQuery q(source);
        if (q.exec(QStringLiteral("SELECT max(rowid) FROM MainSet")) && q.next() && !q.value(0).isNull())
            highest = q.value(0).toLongLong();
    }
    long long copied = 0;
    qint64 after = std::numeric_limits<qint64>::min();
    qint64 skip = 1;
    Batch batch(*this);
    QSqlQuery q(source);
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1, rowid FROM MainSet WHERE rowid > ? ORDER BY rowid LIMIT %2")
                            .arg(QLatin1String(kColumns))
                            .arg(kWindow);
    while (!cancel.load(std::memory_order_relaxed) && after < highest) {
        int read = 0;
        bool failed = !q.prepare(sql);
        if (!failed) {
            q.addBindValue(after);
            failed = !q.exec();
        }
        while (!failed && q.next()) {
            const HistoryRow row = rowFromQuery(q);
            after = q.value(23).toLongLong();
            ++read;
            if (row.Dat.isValid() && appendRow(row) == AppendResult::Appended)
                ++copied;
        }
        failed = failed || q.lastError().isValid();
        q.finish();
        if (!failed) {
            if (read < kWindow)
                break;  // the end of the table
            skip = 1;
            continue;
        }
        if (read > 0)
            skip = 1;
        if (skip > kLargestSkip || after > highest - skip)
            break;
        after = after == std::numeric_limits<qint64>::min() ? 0 : after;
        after += skip;
        skip *= 2;
    }
    batch.commit();
    return copied;
}

std::unique_ptr<HistoryStore> HistoryStore::openForReading(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::unique_ptr<HistoryStore>();
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("%1: no such file").arg(path));
    if (!isRegularFileOrAbsent(path))
        return fail(QStringLiteral("%1: not a regular file").arg(path));
    if (info.size() == 0)
        return fail(QStringLiteral("%1: the file is empty").arg(path));
    const QString connection = uniqueConnectionName(QStringLiteral("history"));
    std::unique_ptr<HistoryStore> store(new HistoryStore(connection, path));
    TableCheck check;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        // Opened for writing but held to queries: a read-only connection
        // would leave the write-ahead log's side files behind when it closes,
        // where the last writable one removes them.
        bool hasTable = false;
        if (!db.open()) {
            check.failed(db.lastError());
        } else if (QSqlQuery q(db); !q.exec(QStringLiteral("PRAGMA query_only = ON"))) {
            check.failed(q.lastError());
        } else if (checkTableFile(db, historyShape(), false, check, &hasTable) && !hasTable) {
            check.damaged(QStringLiteral("the file holds no history table"));
        }
    }
    if (!check.why.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(path, check.why));
    return store;
}

AppendResult HistoryStore::append(const Measurement &m)
{
    return appendRow(rowFromMeasurement(m));
}

AppendResult HistoryStore::appendRow(const HistoryRow &r)
{
    if (!r.Dat.isValid()) {
        lastError_ = QStringLiteral("the record has no valid date");
        return AppendResult::Failed;
    }
    if (!insert_) {
        auto q = std::make_unique<QSqlQuery>(database());
        if (!q->prepare(QStringLiteral("INSERT OR IGNORE INTO MainSet (%1) VALUES "
                                       "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                            .arg(QLatin1String(kColumns)))) {
            lastError_ = q->lastError().text();
            return AppendResult::Failed;
        }
        insert_ = std::move(q);
    }
    // Values in the order of kColumns.
    QSqlQuery &q = *insert_;
    int i = 0;
    q.bindValue(i++, dateText(r.Dat));
    q.bindValue(i++, r.DayWeek);
    q.bindValue(i++, r.TempDoor);
    q.bindValue(i++, r.HumDoor);
    for (int c = 0; c < kChannelCount; ++c) {
        q.bindValue(i++, r.TempCH[c]);
        q.bindValue(i++, r.HumCH[c]);
    }
    q.bindValue(i++, r.UV);
    q.bindValue(i++, r.PressLocal);
    q.bindValue(i++, r.Weather);
    q.bindValue(i++, r.WindChill);
    q.bindValue(i++, r.WindGust);
    q.bindValue(i++, r.WindSpeed);
    q.bindValue(i++, r.RainCount);
    q.bindValue(i++, r.RainState);
    q.bindValue(i++, r.WindDirection);
    const bool done = q.exec();
    const int changed = done ? q.numRowsAffected() : 0;
    if (!done)
        lastError_ = q.lastError().text();
    q.finish();  // the statement stays prepared but no longer holds the table
    if (!done)
        return AppendResult::Failed;
    return changed > 0 ? AppendResult::Appended : AppendResult::Duplicate;
}

bool HistoryStore::beginBatch()
{
    if (batchDepth_++ > 0)
        return true;
    QSqlDatabase db = database();
    if (!db.transaction()) {
        lastError_ = db.lastError().text();
        return false;
    }
    return true;
}

bool HistoryStore::endBatch()
{
    if (--batchDepth_ != 0)
        return true;
    QSqlDatabase db = database();
    if (!db.commit()) {
        // A transaction left open would swallow every later append unseen.
        lastError_ = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

HistoryStore::Batch::Batch(HistoryStore &store) : store_(store), active_(store.beginBatch()) {}

HistoryStore::Batch::~Batch()
{
    commit();
}

bool HistoryStore::Batch::commit()
{
    if (ended_)
        return active_;
    ended_ = true;
    if (active_)
        return active_ = store_.endBatch();
    --store_.batchDepth_;
    return false;
}

bool HistoryStore::newest(HistoryRow &row) const
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM MainSet ORDER BY Dat DESC LIMIT 1").arg(QLatin1String(kColumns))) ||
        !q.next())
        return false;
    row = rowFromQuery(q);
    return true;
}

bool HistoryStore::oldest(HistoryRow &row) const
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM MainSet ORDER BY Dat ASC LIMIT 1").arg(QLatin1String(kColumns))) ||
        !q.next())
        return false;
    row = rowFromQuery(q);
    return true;
}

long long HistoryStore::count() const
{
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM MainSet")) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

void HistoryStore::visitBetween(const QDateTime &after, const QDateTime &upTo, RowOrder order, void *context,
                                RowVisitor visitor) const
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM MainSet WHERE Dat > :after AND Dat <= :upTo ORDER BY Dat %2")
                  .arg(QLatin1String(kColumns),
                       order == RowOrder::OldestFirst ? QStringLiteral("ASC") : QStringLiteral("DESC")));
    q.bindValue(QStringLiteral(":after"), dateText(after));
    q.bindValue(QStringLiteral(":upTo"), dateText(upTo));
    if (!q.exec()) {
        lastError_ = q.lastError().text();
        return;
    }
    while (q.next()) {
        if (!visitor(context, rowFromQuery(q)))
            break;
    }
}

std::vector<HistoryRow> HistoryStore::rowsBetween(const QDateTime &after, const QDateTime &upTo, RowOrder order) const
{
    std::vector<HistoryRow> rows;
    forEachBetween(after, upTo, order, [&rows](const HistoryRow &r) {
        rows.push_back(r);
        return true;
    });
    return rows;
}

bool HistoryStore::clear()
{
    // The history and its kept extremes go together.
    QSqlDatabase db = database();
    QString why;
    if (!execSql(db, QStringLiteral("SAVEPOINT ClearHistory"), why)) {
        lastError_ = why;
        return false;
    }
    if (query(QStringLiteral("DELETE FROM MainSet")) && clearRecordedExtremes(db, why) &&
        execSql(db, QStringLiteral("RELEASE ClearHistory"), why))
        return true;
    if (!why.isEmpty())
        lastError_ = why;
    execSql(db, QStringLiteral("ROLLBACK TO ClearHistory"), why);
    execSql(db, QStringLiteral("RELEASE ClearHistory"), why);
    return false;
}

bool HistoryStore::copyTo(const QString &path) const
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        lastError_ = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    QSqlQuery q(database());
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(path);
    if (q.exec())
        return true;
    lastError_ = q.lastError().text();
    // A copy cut short (a full disk) is no copy.
    QFile::remove(path);
    return false;
}

}  // namespace nimbrel
