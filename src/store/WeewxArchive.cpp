#include "WeewxArchive.h"

#include "Calibration.h"
#include "DewPoint.h"
#include "ExchangeUnits.h"
#include "HistoryCsv.h"
#include "SafeFile.h"
#include "TableFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>
#include <cmath>
#include <cstdio>

namespace nimbrel {

namespace {

// The channels that go to extraTemp1..4 / extraHumid1..4: all but the outdoor one, in order.
std::vector<int> extraChannels(int outdoor)
{
    std::vector<int> extra;
    for (int c = 0; c < kChannelCount; ++c) {
        if (c != outdoor - 1)
            extra.push_back(c);
    }
    return extra;
}

int validOutdoor(int outdoorChannel)
{
    return outdoorChannel >= 1 && outdoorChannel <= kChannelCount ? outdoorChannel : 1;
}

const char *const kColumns[] = {"dateTime", "usUnits", "interval", "inTemp", "inHumidity", "outTemp", "outHumidity",
                                "extraTemp1", "extraTemp2", "extraTemp3", "extraTemp4", "extraHumid1",
                                "extraHumid2", "extraHumid3", "extraHumid4", "barometer", "pressure", "windSpeed",
                                "windGust", "windDir", "rain", "dewpoint", "windchill", "UV"};
constexpr int kColumnCount = int(std::size(kColumns));

QString createArchive()
{
    QStringList columns{QStringLiteral("dateTime INTEGER NOT NULL UNIQUE PRIMARY KEY"),
                        QStringLiteral("usUnits INTEGER NOT NULL"), QStringLiteral("interval INTEGER NOT NULL")};
    for (int i = 3; i < kColumnCount; ++i)
        columns << QStringLiteral("%1 REAL").arg(QLatin1String(kColumns[i]));
    return QStringLiteral("CREATE TABLE archive (%1)").arg(columns.join(QStringLiteral(", ")));
}

// This computer's zone, looked up once: the C library's local time checks
// the zone file at every call, which cost more than the rest of an import.
const QTimeZone &zone()
{
    static const QTimeZone system = QTimeZone::systemTimeZone();
    return system;
}

// Unix seconds of a clock reading (held in UTC), in this computer's zone.
qint64 unixSeconds(const QDateTime &clock)
{
    return QDateTime(clock.date(), clock.time(), zone()).toSecsSinceEpoch();
}

class ArchiveFile {
public:
    explicit ArchiveFile(const QString &path) : connection_(uniqueConnectionName(QStringLiteral("weewx")))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path);
    }
    ~ArchiveFile()
    {
        insert_.reset();
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(connection_, false); }
    std::unique_ptr<QSqlQuery> insert_;

private:
    QString connection_;
};

}  // namespace

bool writeWeewxArchive(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo, int outdoorChannel,
                       const QString &path, QString *why)
{
    auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (!isRegularFileOrAbsent(path))
        return fail(QStringLiteral("%1 is not a regular file").arg(path));
    // Built beside the target and renamed over it once complete.
    const QString partial = QStringLiteral("%1.partial-%2").arg(path).arg(QCoreApplication::applicationPid());
    QFile::remove(partial);
    const int outdoor = validOutdoor(outdoorChannel) - 1;
    const std::vector<int> extra = extraChannels(outdoor + 1);
    bool done = false;
    QString problem;
    {
        ArchiveFile file(partial);
        QSqlDatabase db = file.db();
        QString sqlWhy;
        if (!db.open() || !execSql(db, QStringLiteral("PRAGMA journal_mode = OFF"), sqlWhy) ||
            !execSql(db, createArchive(), sqlWhy) || !db.transaction()) {
            problem = sqlWhy.isEmpty() ? db.lastError().text() : sqlWhy;
        } else {
            QSqlQuery insert(db);
            QStringList marks;
            for (int i = 0; i < kColumnCount; ++i)
                marks << QStringLiteral("?");
            QStringList names;
            for (const char *name : kColumns)
                names << QLatin1String(name);
            insert.prepare(QStringLiteral("INSERT OR IGNORE INTO archive (%1) VALUES (%2)")
                               .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
            const QVariant null;
            // Rows come corrected (forEachHistoryRow); rain is a rise of the
            // stored counter, scaled here.
            const double rainFactor = store.calibration() ? store.calibration()->rainAmount(1) : 1.0;
            std::optional<HistoryRow> pending;  // written once its interval is known
            std::optional<HistoryRow> beforePending;
            auto write = [&](const HistoryRow &r, const HistoryRow *previous, qint64 intervalSeconds) {
                auto temp = [&](double c, int hum) { return c == 0.0 && hum == 0 ? null : QVariant(c); };
                auto hum = [&](double c, int h) { return c == 0.0 && h == 0 ? null : QVariant(double(h)); };
                auto wind = [&](double mph) {
                    return mph > kSpeedLimitMph ? null : QVariant(exchange::kmhFromMph(mph));
                };
                int i = 0;
                insert.bindValue(i++, unixSeconds(r.Dat));
                insert.bindValue(i++, kWeewxMetric);
                insert.bindValue(i++, qMax<qint64>(1, (intervalSeconds + 30) / 60));
                insert.bindValue(i++, temp(r.TempDoor, r.HumDoor));
                insert.bindValue(i++, hum(r.TempDoor, r.HumDoor));
                insert.bindValue(i++, temp(r.TempCH[outdoor], r.HumCH[outdoor]));
                insert.bindValue(i++, hum(r.TempCH[outdoor], r.HumCH[outdoor]));
                for (int c : extra)
                    insert.bindValue(i++, temp(r.TempCH[c], r.HumCH[c]));
                for (int c : extra)
                    insert.bindValue(i++, hum(r.TempCH[c], r.HumCH[c]));
                insert.bindValue(i++, r.PressLocal == 0.0 ? null : QVariant(r.PressLocal));
                insert.bindValue(i++, null);
                insert.bindValue(i++, wind(r.WindSpeed));
                insert.bindValue(i++, wind(r.WindGust));
                insert.bindValue(i++, exchange::degreesFromPoint(r.WindDirection));
                if (previous) {
                    const int rise = r.RainCount - previous->RainCount;
                    const int tips = rise < 0 || rise > kRainLimitTips ? 0 : rise;
                    insert.bindValue(i++, exchange::mmFromTips(rainFactor * tips) / 10.0);
                } else {
                    insert.bindValue(i++, null);
                }
                const bool outdoorPresent = !(r.TempCH[outdoor] == 0.0 && r.HumCH[outdoor] == 0);
                insert.bindValue(i++, outdoorPresent && r.HumCH[outdoor] > 0
                                          ? QVariant(dewPoint(r.HumCH[outdoor], r.TempCH[outdoor]))
                                          : null);
                insert.bindValue(i++, r.WindChill);
                insert.bindValue(i++, r.UV);
                if (!insert.exec()) {
                    problem = insert.lastError().text();
                    return false;
                }
                return true;
            };
            QString readWhy;
            bool ok = forEachHistoryRow(store, after, upTo, [&](const HistoryRow &row, const HistoryRow *previous) {
                if (pending) {
                    const qint64 interval = unixSeconds(row.Dat) - unixSeconds(pending->Dat);
                    if (!write(*pending, beforePending ? &*beforePending : nullptr, interval))
                        return false;
                }
                beforePending = previous ? std::optional<HistoryRow>(*previous) : std::nullopt;
                pending = row;
                return true;
            }, &readWhy);
            if (ok && pending) {
                // The newest takes the interval of the one before it.
                const qint64 interval =
                    beforePending ? unixSeconds(pending->Dat) - unixSeconds(beforePending->Dat) : 300;
                ok = write(*pending, beforePending ? &*beforePending : nullptr, interval);
            }
            if (!readWhy.isEmpty())
                problem = readWhy;
            done = ok && problem.isEmpty() && db.commit();
            if (!done && problem.isEmpty())
                problem = db.lastError().text();
        }
    }
    if (done && std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        done = false;
        problem = QStringLiteral("cannot replace %1").arg(path);
    }
    if (!done) {
        QFile::remove(partial);
        return fail(problem);
    }
    return true;
}

bool readWeewxArchive(const QString &path, int outdoorChannel, const ImportSink &sink, QString *why,
                      long long *badLine)
{
    auto fail = [&](const QString &reason, long long line) {
        *why = reason;
        *badLine = line;
        return false;
    };
    ArchiveFile file(path);
    QSqlDatabase db = file.db();
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return fail(db.lastError().text(), 0);
    QSet<QString> present;
    {
        QSqlQuery info(db);
        if (!info.exec(QStringLiteral("PRAGMA table_info(archive)")))
            return fail(QStringLiteral("not an SQLite archive: %1").arg(info.lastError().text()), 0);
        while (info.next())
            present.insert(info.value(1).toString());
    }
    if (!present.contains(QStringLiteral("dateTime")) || !present.contains(QStringLiteral("usUnits")))
        return fail(QStringLiteral("the file holds no weewx archive (a table `archive` with dateTime and usUnits)"), 0);
    QStringList select;
    for (const char *name : kColumns)
        select << (present.contains(QLatin1String(name)) ? QString::fromLatin1(name) : QStringLiteral("NULL"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM archive ORDER BY dateTime").arg(select.join(QLatin1Char(',')))))
        return fail(q.lastError().text(), 0);

    const int outdoor = validOutdoor(outdoorChannel) - 1;
    const std::vector<int> extra = extraChannels(outdoor + 1);
    long long line = 0;
    while (q.next()) {
        ++line;
        bool ok = false;
        const qint64 seconds = q.value(0).toLongLong(&ok);
        if (!ok || q.value(0).isNull())
            return fail(QStringLiteral("dateTime \"%1\" is not a number of seconds").arg(q.value(0).toString()), line);
        const int system = q.value(1).toInt();
        if (system != kWeewxUs && system != kWeewxMetric && system != kWeewxMetricWx)
            return fail(QStringLiteral("usUnits %1 is none of 1 (US), 16 (METRIC), 17 (METRICWX)")
                            .arg(q.value(1).toString()),
                        line);
        const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, zone());
        ImportedRecord record;
        HistoryRow &r = record.row;
        // A clock reading held in UTC: a local one asks the C library for the zone
        // at every construction.
        r.Dat = QDateTime(local.date(), local.time(), Qt::UTC);
        r.DayWeek = local.date().dayOfWeek();
        auto value = [&](int column) -> std::optional<double> {
            const QVariant v = q.value(column);
            if (v.isNull())
                return std::nullopt;
            const double d = v.toDouble();
            return std::isfinite(d) ? std::optional(d) : std::nullopt;
        };
        auto celsius = [&](int column) {
            const auto v = value(column);
            return v ? exchange::stationTemperature(system == kWeewxUs ? exchange::celsiusFromFahrenheit(*v) : *v)
                     : 0.0;
        };
        auto humidity = [&](int column) {
            const auto v = value(column);
            return v ? int(std::lround(*v)) : 0;
        };
        auto mph = [&](int column) {
            const auto v = value(column);
            if (!v)
                return 0.0;
            return exchange::stationWind(system == kWeewxUs      ? *v
                                         : system == kWeewxMetric ? exchange::mphFromKmh(*v)
                                                                  : exchange::mphFromMs(*v));
        };
        r.TempDoor = celsius(3);
        r.HumDoor = humidity(4);
        r.TempCH[outdoor] = celsius(5);
        r.HumCH[outdoor] = humidity(6);
        for (std::size_t k = 0; k < extra.size(); ++k) {
            r.TempCH[extra[k]] = celsius(7 + int(k));
            r.HumCH[extra[k]] = humidity(11 + int(k));
        }
        if (const auto hpa = value(15))
            r.PressLocal = exchange::stationPressure16(system == kWeewxUs ? exchange::hpaFromInchHg(*hpa) : *hpa);
        r.WindSpeed = mph(17);
        r.WindGust = mph(18);
        if (const auto degrees = value(19))
            r.WindDirection = exchange::pointFromDegrees(*degrees);
        if (const auto rain = value(20)) {
            const double mm = system == kWeewxUs      ? exchange::mmFromInch(*rain)
                              : system == kWeewxMetric ? *rain * 10.0
                                                       : *rain;
            record.rainTips = mm / kMmPerTip;
        }
        r.WindChill = celsius(22);
        if (const auto uv = value(23))
            r.UV = exchange::stationUv(*uv);
        if (!sink(record, line))
            return true;
    }
    if (q.lastError().isValid())
        return fail(q.lastError().text(), line + 1);
    return true;
}

}  // namespace nimbrel
