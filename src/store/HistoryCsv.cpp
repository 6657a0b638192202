#include "HistoryCsv.h"

#include "Calibration.h"
#include "ExchangeUnits.h"
#include "NumberFormat.h"
#include "SafeFile.h"
#include "Units.h"
#include "WeewxArchive.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <algorithm>
#include <optional>

namespace nimbrel {

namespace {

constexpr QChar kPoint = QLatin1Char('.');

bool indoorMissing(const HistoryRow &r) { return r.TempDoor == 0.0 && r.HumDoor == 0; }
bool channelMissing(const HistoryRow &r, int c) { return r.TempCH[c] == 0.0 && r.HumCH[c] == 0; }
bool windMissing(double mph) { return mph > kSpeedLimitMph; }

// Tips since the record before: none for the first, 0 where the counter
// went back (a reset or a wrap) or jumped beyond what can be rain.
std::optional<int> rainTips(const HistoryRow &row, const HistoryRow *previous)
{
    if (!previous)
        return std::nullopt;
    const int rise = row.RainCount - previous->RainCount;
    return rise < 0 || rise > kRainLimitTips ? 0 : rise;
}

void cell(QByteArray &line, const QString &text)
{
    line += ',';
    line += text.toLatin1();
}

void cell(QByteArray &line, long long value)
{
    line += ',';
    line += QByteArray::number(value);
}

void emptyCell(QByteArray &line) { line += ','; }

QString generalText(double value) { return formatGeneral(value, kPoint); }

QString unitOr(const QString &name, const char *si, bool user)
{
    return user ? name : QString::fromLatin1(si);
}

// A header cell as RFC 4180 wants it: quoted where it holds a separator.
QString csvCell(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// The cells of a header line, quotes honoured.
QStringList headerCells(const QString &line)
{
    QStringList cells(1);
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar ch = line.at(i);
        if (ch == QLatin1Char('"')) {
            if (quoted && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                cells.last() += line.at(++i);
            else
                quoted = !quoted;
        } else if (ch == QLatin1Char(',') && !quoted) {
            cells << QString();
        } else {
            cells.last() += ch;
        }
    }
    return cells;
}

constexpr int kFirstChannelCell = 4;  // after time, day_of_week and the indoor pair

}  // namespace

bool isSiCsvHeader(const QByteArray &line)
{
    const QStringList si = QString::fromUtf8(historyCsvHeader()).trimmed().split(QLatin1Char(','));
    const QStringList cells = headerCells(QString::fromUtf8(line));
    if (cells.size() != si.size())
        return false;
    for (int i = 0; i < si.size(); ++i) {
        if (cells[i] == si[i])
            continue;
        // A named channel: "<name> temperature [C]", "<name> humidity [%]".
        const int channelCell = i - kFirstChannelCell;
        if (channelCell < 0 || channelCell >= 2 * kChannelCount)
            return false;
        const QString unit =
            channelCell % 2 == 0 ? QStringLiteral(" temperature [C]") : QStringLiteral(" humidity [%]");
        if (!cells[i].endsWith(unit) || cells[i].size() == unit.size())
            return false;
    }
    return true;
}

namespace {

QString channelColumn(const CsvUnits &units, int c, const char *quantity, const QString &unit)
{
    const QString &name = units.channelNames[static_cast<std::size_t>(c - 1)];
    if (name.isEmpty())
        return QStringLiteral("channel%1_%2 [%3]").arg(c).arg(QLatin1String(quantity), unit);
    return csvCell(QStringLiteral("%1 %2 [%3]").arg(name, QLatin1String(quantity), unit));
}

}  // namespace

QByteArray historyCsvHeader(const CsvUnits &units)
{
    const Settings &u = units.codes;
    const bool user = units.user;
    const QString temp = unitOr(temperatureUnitName(u.Temp), "C", user);
    QStringList names{QStringLiteral("time"), QStringLiteral("day_of_week"),
                      QStringLiteral("indoor_temperature [%1]").arg(temp), QStringLiteral("indoor_humidity [%]")};
    for (int c = 1; c <= kChannelCount; ++c) {
        names << channelColumn(units, c, "temperature", temp)
              << channelColumn(units, c, "humidity", QStringLiteral("%"));
    }
    names << QStringLiteral("uv [%1]").arg(unitOr(uvUnitName(u.UVI), "UVI", user))
          << QStringLiteral("pressure_sea_level [%1]").arg(unitOr(pressureUnitName(u.Press), "hPa", user))
          << QStringLiteral("forecast [code]") << QStringLiteral("wind_chill [%1]").arg(temp);
    const QString speed = unitOr(speedUnitName(u.Speed), "m/s", user);
    names << QStringLiteral("wind_gust [%1]").arg(speed) << QStringLiteral("wind_speed [%1]").arg(speed)
          << QStringLiteral("wind_direction [deg]")
          << QStringLiteral("rain [%1]").arg(unitOr(rainUnitName(u.Rain), "mm", user))
          << QStringLiteral("rain_counter [tips]") << QStringLiteral("rain_state [code]");
    return names.join(QLatin1Char(',')).toUtf8() + '\n';
}

QByteArray historyCsvLine(const HistoryRow &r, const HistoryRow *previous, const CsvUnits &units, double rainFactor)
{
    const Settings &u = units.codes;
    const bool user = units.user;
    // SI values are the stored ones or exact conversions, written in full so
    // that they read back as the stored value; user units are written with
    // the decimals the window shows.
    auto temperature = [&](QByteArray &line, double c) {
        cell(line, user ? formatFixed(temperatureInUnit(c, u.Temp), 1, kPoint) : generalText(c));
    };
    auto speed = [&](QByteArray &line, double mph) {
        if (windMissing(mph))
            return emptyCell(line);
        cell(line, user ? formatFixed(speedInUnit(mph, u.Speed), 1, kPoint)
                        : formatFixed(exchange::msFromMph(mph), 3, kPoint));
    };

    QByteArray line = HistoryStore::dateText(r.Dat).toLatin1();
    cell(line, r.DayWeek);
    if (indoorMissing(r)) {
        line += ",,";
    } else {
        temperature(line, r.TempDoor);
        cell(line, r.HumDoor);
    }
    for (int c = 0; c < kChannelCount; ++c) {
        if (channelMissing(r, c)) {
            line += ",,";
            continue;
        }
        temperature(line, r.TempCH[c]);
        cell(line, r.HumCH[c]);
    }
    cell(line, user ? formatFixed(uvInUnit(r.UV, u.UVI), 1, kPoint) : generalText(r.UV));
    if (r.PressLocal == 0.0) {
        emptyCell(line);
    } else {
        const int decimals = u.Press == unitCode(PressureUnit::InchHg) ? 2 : 1;
        cell(line, user ? formatFixed(pressureInUnit(r.PressLocal, u.Press), decimals, kPoint)
                        : generalText(r.PressLocal));
    }
    cell(line, r.Weather);
    temperature(line, r.WindChill);
    speed(line, r.WindGust);
    speed(line, r.WindSpeed);
    cell(line, generalText(exchange::degreesFromPoint(r.WindDirection)));
    if (const std::optional<int> rise = rainTips(r, previous)) {
        const double tips = *rise * rainFactor;
        cell(line, user ? formatFixed(rainInUnit(tips, u.Rain), 2, kPoint) : generalText(exchange::mmFromTips(tips)));
    } else {
        emptyCell(line);
    }
    cell(line, r.RainCount);
    cell(line, r.RainState);
    line += '\n';
    return line;
}

QByteArray historyJsonLine(const HistoryRow &r, const HistoryRow *previous, double rainFactor)
{
    QByteArray line = "{\"time\":\"" + HistoryStore::dateText(r.Dat).toLatin1() + "\",\"day_of_week\":" +
                      QByteArray::number(r.DayWeek);
    auto field = [&line](const char *name, const QString &text) {
        line += ",\"";
        line += name;
        line += "\":";
        line += text.isEmpty() ? QByteArray("null") : text.toLatin1();
    };
    auto number = [](double value) { return generalText(value); };
    const bool indoor = !indoorMissing(r);
    field("indoor_temperature", indoor ? number(r.TempDoor) : QString());
    field("indoor_humidity", indoor ? QString::number(r.HumDoor) : QString());
    for (int c = 0; c < kChannelCount; ++c) {
        const bool present = !channelMissing(r, c);
        const QByteArray prefix = "channel" + QByteArray::number(c + 1);
        field(prefix + "_temperature", present ? number(r.TempCH[c]) : QString());
        field(prefix + "_humidity", present ? QString::number(r.HumCH[c]) : QString());
    }
    field("uv_index", number(r.UV));
    field("pressure_sea_level", r.PressLocal == 0.0 ? QString() : number(r.PressLocal));
    field("forecast", QString::number(r.Weather));
    field("wind_chill", number(r.WindChill));
    field("wind_gust_mph", windMissing(r.WindGust) ? QString() : number(r.WindGust));
    field("wind_speed_mph", windMissing(r.WindSpeed) ? QString() : number(r.WindSpeed));
    field("wind_direction", number(exchange::degreesFromPoint(r.WindDirection)));
    const std::optional<int> tips = rainTips(r, previous);
    field("rain_tips", tips ? QString::number(*tips * rainFactor) : QString());
    field("rain_counter", QString::number(r.RainCount));
    field("rain_state", QString::number(r.RainState));
    line += "}\n";
    return line;
}

QDateTime clockFromText(const char *text, qsizetype size)
{
    if (size != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':')
        return {};
    int parts[6];
    static constexpr int kAt[6][2] = {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}};
    for (int i = 0; i < 6; ++i) {
        int value = 0;
        for (int k = kAt[i][0]; k < kAt[i][0] + kAt[i][1]; ++k) {
            if (text[k] < '0' || text[k] > '9')
                return {};
            value = value * 10 + (text[k] - '0');
        }
        parts[i] = value;
    }
    const QDate date(parts[0], parts[1], parts[2]);
    const QTime time(parts[3], parts[4], parts[5]);
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

bool forEachHistoryRow(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo,
                       const std::function<bool(const HistoryRow &, const HistoryRow *)> &visit, QString *why)
{
    constexpr int kBatch = 4096;
    QSqlQuery q(store.database());
    q.setForwardOnly(true);
    const QString columns = QStringLiteral(
        "Dat, DayWeek, TempDoor, HumDoor, TempCH1, HumCH1, TempCH2, HumCH2, TempCH3, HumCH3, TempCH4, HumCH4, "
        "TempCH5, HumCH5, UV, PressLocal, Weather, WindChill, WindGust, WindSpeed, RainCount, RainState, "
        "WindDirection");
    auto fail = [&] {
        if (why)
            *why = q.lastError().text();
        return false;
    };
    const Calibration *calibration = store.calibration();
    HistoryRow previous;
    bool havePrevious = false;
    QString from = HistoryStore::dateText(after);
    const QString to = HistoryStore::dateText(upTo);
    // The record before the first one written gives that one its rain.
    if (!q.prepare(QStringLiteral("SELECT RainCount, Dat FROM MainSet WHERE Dat <= ? ORDER BY Dat DESC LIMIT 1")))
        return fail();
    q.addBindValue(from);
    if (!q.exec())
        return fail();
    if (q.next()) {
        previous.RainCount = q.value(0).toInt();
        const QByteArray dat = q.value(1).toString().toLatin1();
        previous.Dat = clockFromText(dat.constData(), dat.size());
        havePrevious = true;
    }
    q.finish();
    if (!q.prepare(QStringLiteral("SELECT %1 FROM MainSet WHERE Dat > ? AND Dat <= ? ORDER BY Dat LIMIT %2")
                       .arg(columns)
                       .arg(kBatch)))
        return fail();
    for (;;) {
        q.addBindValue(from);
        q.addBindValue(to);
        if (!q.exec())
            return fail();
        int read = 0;
        while (q.next()) {
            ++read;
            HistoryRow r;
            const QString datText = q.value(0).toString();
            const QByteArray dat = datText.toLatin1();
            r.Dat = clockFromText(dat.constData(), dat.size());
            if (!r.Dat.isValid())
                continue;  // not a stored date: never written, never shown
            HistoryStore::readValues(q, r);
            // The rain counter stays as stored: the rain of a row is its rise.
            if (calibration)
                applyCalibration(*calibration, r);
            if (!visit(r, havePrevious ? &previous : nullptr))
                return false;
            previous = r;
            havePrevious = true;
            from = datText;
        }
        if (q.lastError().isValid())
            return fail();
        q.finish();
        if (read < kBatch)
            return true;
    }
}

bool writeHistoryText(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo, TextFormat format,
                      const CsvUnits &units, const std::function<bool(const QByteArray &)> &put, QString *readError)
{
    bool written = format == TextFormat::JsonLines || put(historyCsvHeader(units));
    const double rainFactor = store.calibration() ? store.calibration()->rainAmount(1) : 1.0;
    QByteArray buffer;
    QString why;
    const bool read = forEachHistoryRow(store, after, upTo, [&](const HistoryRow &row, const HistoryRow *previous) {
        buffer += format == TextFormat::Csv ? historyCsvLine(row, previous, units, rainFactor)
                                            : historyJsonLine(row, previous, rainFactor);
        if (buffer.size() >= 1 << 16) {
            written = written && put(buffer);
            buffer.clear();
        }
        return written;
    }, &why);
    if (!read && written && readError)
        *readError = why;
    return written && read && put(buffer);
}

bool writeHistoryCsv(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo,
                     const std::function<bool(const QByteArray &)> &put, QString *readError)
{
    return writeHistoryText(store, after, upTo, TextFormat::Csv, {}, put, readError);
}

bool exportHistoryCsv(const HistoryStore &store, const QString &path, QString *why)
{
    return exportHistory(store, path, ExportFormat::Csv, {}, 1, why);
}

bool exportHistory(const HistoryStore &store, const QString &path, ExportFormat format, const CsvUnits &units,
                   int outdoorChannel, QString *why)
{
    // Every stored date lies between these.
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
    if (format == ExportFormat::WeewxArchive)
        return writeWeewxArchive(store, first, last, outdoorChannel, path, why);
    SafeFile file(path);
    if (!file.open()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    QString readError;
    const bool written = writeHistoryText(
        store, first, last, format == ExportFormat::Csv ? TextFormat::Csv : TextFormat::JsonLines, units,
        [&](const QByteArray &bytes) { return file.write(bytes); }, &readError);
    if (!written || !file.commit()) {
        if (why)
            *why = !readError.isEmpty() ? readError : file.errorString();
        return false;
    }
    return true;
}

}  // namespace nimbrel
