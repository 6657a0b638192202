#include "HistoryImport.h"

#include "ExchangeUnits.h"
#include "HistoryCsv.h"
#include "TableFile.h"
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
constexpr qint64 kLongestLine = 4096;
constexpr int kCounterWrap = 65536;

struct Damaged {
    QString why;
    long long line = 0;
};

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

// "YYYY-MM-DDTHH:MM:SS" as a clock reading held in UTC (a local one asks
// the C library for the zone at every construction); invalid otherwise.
QDateTime clockFromText(const QByteArray &text)
{
    if (text.size() != 19 || text.at(4) != '-' || text.at(7) != '-' || text.at(10) != 'T' || text.at(13) != ':' ||
        text.at(16) != ':')
        return {};
    int parts[6];
    const int at[6][2] = {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}};
    for (int i = 0; i < 6; ++i) {
        int value = 0;
        for (int k = at[i][0]; k < at[i][0] + at[i][1]; ++k) {
            const char c = text.at(k);
            if (c < '0' || c > '9')
                return {};
            value = value * 10 + (c - '0');
        }
        parts[i] = value;
    }
    const QDate date(parts[0], parts[1], parts[2]);
    const QTime time(parts[3], parts[4], parts[5]);
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

// Reads a text file line by line; a line too long is damage.
class TextLines {
public:
    explicit TextLines(QFile &file) : file_(file) {}
    // False at the end or on damage (damaged() then says so).
    bool next(QByteArray &line)
    {
        if (file_.atEnd())
            return false;
        line = file_.readLine(kLongestLine + 2);
        ++number_;
        if (line.size() > kLongestLine && !line.endsWith('\n')) {
            damage_ = QStringLiteral("the line is longer than %1 characters").arg(kLongestLine);
            return false;
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return true;
    }
    long long number() const { return number_; }
    const QString &damage() const { return damage_; }

private:
    QFile &file_;
    long long number_ = 0;
    QString damage_;
};

// A number cell: empty is missing; anything else must read as a finite number.
bool numberCell(const QByteArray &text, std::optional<double> &value)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty()) {
        value.reset();
        return true;
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// Nimbrel's CSV, SI header (historyCsvHeader()) or the older stored-value header.
bool readNimbrelCsv(TextLines &lines, const QByteArray &header, const ImportSink &sink, Damaged &damaged)
{
    static const QByteArray kOlderHeader =
        "Dat,DayWeek,TempDoor,HumDoor,TempCH1,HumCH1,TempCH2,HumCH2,TempCH3,HumCH3,TempCH4,HumCH4,TempCH5,HumCH5,"
        "UV,PressLocal,Weather,WindChill,WindGust,WindSpeed,RainCount,RainState,WindDirection";
    const bool older = header == kOlderHeader;
    if (!older && header + '\n' != historyCsvHeader()) {
        damaged = {QStringLiteral("the header is not that of a CSV exported in SI units (--units si)"), 1};
        return false;
    }
    constexpr int kMostFields = 24;
    const int kFields = older ? 23 : 24;
    QByteArray line;
    while (lines.next(line)) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> cells = line.split(',');
        if (cells.size() != kFields) {
            damaged = {QStringLiteral("%1 fields where the header names %2").arg(cells.size()).arg(kFields),
                       lines.number()};
            return false;
        }
        std::optional<double> v[kMostFields];
        for (int i = 1; i < kFields; ++i) {
            if (!numberCell(cells[i], v[i])) {
                damaged = {QStringLiteral("field %1 \"%2\" is not a number").arg(i + 1).arg(QString::fromUtf8(cells[i])),
                           lines.number()};
                return false;
            }
        }
        ImportedRecord record;
        HistoryRow &r = record.row;
        r.Dat = clockFromText(cells[0]);
        if (!r.Dat.isValid()) {
            damaged = {QStringLiteral("\"%1\" is not a date YYYY-MM-DDTHH:MM:SS").arg(QString::fromUtf8(cells[0])),
                       lines.number()};
            return false;
        }
        auto num = [&](int i) { return v[i].value_or(0.0); };
        auto whole = [&](int i) { return int(std::lround(num(i))); };
        record.hasCounter = true;
        r.DayWeek = whole(1);
        r.TempDoor = exchange::stationTemperature(num(2));
        r.HumDoor = whole(3);
        for (int c = 0; c < kChannelCount; ++c) {
            r.TempCH[c] = exchange::stationTemperature(num(4 + 2 * c));
            r.HumCH[c] = whole(5 + 2 * c);
        }
        r.UV = exchange::stationUv(num(14));
        r.PressLocal = exchange::stationPressure16(num(15));
        r.Weather = whole(16);
        r.WindChill = exchange::stationTemperature(num(17));
        if (older) {
            r.WindGust = exchange::stationWind(num(18));
            r.WindSpeed = exchange::stationWind(num(19));
            r.RainCount = whole(20);
            r.RainState = whole(21);
            r.WindDirection = whole(22);
        } else {
            r.WindGust = exchange::stationWind(exchange::mphFromMs(num(18)));
            r.WindSpeed = exchange::stationWind(exchange::mphFromMs(num(19)));
            r.WindDirection = exchange::pointFromDegrees(num(20));
            r.RainCount = whole(22);
            r.RainState = whole(23);
        }
        if (!sink(record, lines.number()))
            return true;
    }
    if (!lines.damage().isEmpty()) {
        damaged = {lines.damage(), lines.number()};
        return false;
    }
    return true;
}

// "dd/mm/yy" (or with '-' or '.') and "hh:mm": the clock reading; invalid otherwise.
QDateTime cumulusDate(const QByteArray &date, const QByteArray &time)
{
    if (date.size() != 8 || time.size() != 5 || time.at(2) != ':')
        return {};
    const char sep = date.at(2);
    if ((sep != '/' && sep != '-' && sep != '.') || date.at(5) != sep)
        return {};
    bool ok[5] = {};
    const int day = date.left(2).toInt(&ok[0]);
    const int month = date.mid(3, 2).toInt(&ok[1]);
    const int year = date.mid(6, 2).toInt(&ok[2]);
    const int hour = time.left(2).toInt(&ok[3]);
    const int minute = time.mid(3, 2).toInt(&ok[4]);
    for (bool b : ok) {
        if (!b)
            return {};
    }
    const QDate d(year < 70 ? 2000 + year : 1900 + year, month, day);
    const QTime t(hour, minute);
    return d.isValid() && t.isValid() ? QDateTime(d, t, Qt::UTC) : QDateTime();
}

bool looksLikeCumulus(const QByteArray &line)
{
    const char sep = line.contains(';') ? ';' : ',';
    const QList<QByteArray> cells = line.split(sep);
    return cells.size() >= 2 && cumulusDate(cells[0].trimmed(), cells[1].trimmed()).isValid();
}

// A Cumulus monthly log; its rain comes from "rain today", which starts
// again at 0 each day.
bool readCumulusLog(TextLines &lines, QByteArray line, int outdoorChannel, const ImportSink &sink, Damaged &damaged)
{
    constexpr int kLeastFields = 14;
    const int outdoor = outdoorChannel - 1;
    std::optional<double> rainToday;
    do {
        if (line.trimmed().isEmpty())
            continue;
        const bool decimalComma = line.contains(';');
        const QList<QByteArray> cells = line.split(decimalComma ? ';' : ',');
        if (cells.size() < kLeastFields) {
            damaged = {QStringLiteral("%1 fields, a Cumulus log line has at least %2").arg(cells.size()).arg(kLeastFields),
                       lines.number()};
            return false;
        }
        ImportedRecord record;
        HistoryRow &r = record.row;
        r.Dat = cumulusDate(cells[0].trimmed(), cells[1].trimmed());
        if (!r.Dat.isValid()) {
            damaged = {QStringLiteral("\"%1 %2\" is not a date dd/mm/yy hh:mm")
                           .arg(QString::fromUtf8(cells[0]), QString::fromUtf8(cells[1])),
                       lines.number()};
            return false;
        }
        r.DayWeek = r.Dat.date().dayOfWeek();
        std::optional<double> v[18];
        const int used = std::min<int>(cells.size(), 18);
        for (int i = 2; i < used; ++i) {
            QByteArray cell = cells[i];
            if (decimalComma)
                cell.replace(',', '.');
            if (!numberCell(cell, v[i])) {
                damaged = {QStringLiteral("field %1 \"%2\" is not a number").arg(i + 1).arg(QString::fromUtf8(cells[i])),
                           lines.number()};
                return false;
            }
        }
        auto num = [&](int i) { return v[i].value_or(0.0); };
        r.TempCH[outdoor] = exchange::stationTemperature(num(2));
        r.HumCH[outdoor] = int(std::lround(num(3)));
        r.WindSpeed = exchange::stationWind(exchange::mphFromKmh(num(5)));
        r.WindGust = exchange::stationWind(exchange::mphFromKmh(num(6)));
        r.WindDirection = exchange::pointFromDegrees(num(7));
        r.PressLocal = exchange::stationPressure16(num(10));
        r.TempDoor = exchange::stationTemperature(num(12));
        r.HumDoor = int(std::lround(num(13)));
        r.WindChill = exchange::stationTemperature(v[15].value_or(num(2)));
        r.UV = exchange::stationUv(num(17));
        if (v[9]) {
            if (rainToday)
                record.rainTips = (*v[9] >= *rainToday ? *v[9] - *rainToday : *v[9]) / kMmPerTip;
            rainToday = v[9];
        }
        if (!sink(record, lines.number()))
            return true;
    } while (lines.next(line));
    if (!lines.damage().isEmpty()) {
        damaged = {lines.damage(), lines.number()};
        return false;
    }
    return true;
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

ImportOutcome importHistory(HistoryStore &store, const QString &path, int outdoorChannel, bool dryRun)
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
    Merger merger(store, outcome);
    const ImportSink sink = [&merger](const ImportedRecord &record, long long line) { return merger.add(record, line); };
    Damaged damaged;
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
