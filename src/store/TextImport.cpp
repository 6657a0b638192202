#include "TextImport.h"

#include "ExchangeUnits.h"
#include "HistoryCsv.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace nimbrel {

namespace {

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

}  // namespace

bool readNimbrelCsv(TextLines &lines, const QByteArray &header, const ImportSink &sink, ImportDamage &damaged)
{
    static const QByteArray kOlderHeader =
        "Dat,DayWeek,TempDoor,HumDoor,TempCH1,HumCH1,TempCH2,HumCH2,TempCH3,HumCH3,TempCH4,HumCH4,TempCH5,HumCH5,"
        "UV,PressLocal,Weather,WindChill,WindGust,WindSpeed,RainCount,RainState,WindDirection";
    const bool older = header == kOlderHeader;
    if (!older && !isSiCsvHeader(header)) {
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
        r.Dat = clockFromText(cells[0].constData(), cells[0].size());
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

bool looksLikeCumulus(const QByteArray &line)
{
    const char sep = line.contains(';') ? ';' : ',';
    const QList<QByteArray> cells = line.split(sep);
    return cells.size() >= 2 && cumulusDate(cells[0].trimmed(), cells[1].trimmed()).isValid();
}

// A Cumulus monthly log; its rain comes from "rain today", which starts
// again at 0 each day.
bool readCumulusLog(TextLines &lines, QByteArray line, int outdoorChannel, const ImportSink &sink, ImportDamage &damaged)
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

}  // namespace nimbrel
