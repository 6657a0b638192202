#include "HistoryCsv.h"

#include "SafeFile.h"

#include <QDate>
#include <QTime>

namespace nimbrel {

namespace {

// Shortest text that reads back as the stored value, in the C locale.
void appendReal(QByteArray &line, double value)
{
    line += ',';
    line += QByteArray::number(value == 0 ? 0.0 : value, 'g', 15);  // no "-0"
}

void appendInteger(QByteArray &line, int value)
{
    line += ',';
    line += QByteArray::number(value);
}

}  // namespace

QByteArray historyCsvHeader()
{
    return QByteArrayLiteral("Dat,DayWeek,TempDoor,HumDoor,TempCH1,HumCH1,TempCH2,HumCH2,TempCH3,HumCH3,"
                             "TempCH4,HumCH4,TempCH5,HumCH5,UV,PressLocal,Weather,WindChill,WindGust,WindSpeed,"
                             "RainCount,RainState,WindDirection\n");
}

QByteArray historyCsvLine(const HistoryRow &r)
{
    QByteArray line = HistoryStore::dateText(r.Dat).toLatin1();
    appendInteger(line, r.DayWeek);
    appendReal(line, r.TempDoor);
    appendInteger(line, r.HumDoor);
    for (int c = 0; c < kChannelCount; ++c) {
        // A channel without a reading (no sensor, or one reporting too low,
        // too high or an error) is stored as 0.0 °C and 0 %, which no sensor
        // reads: two empty cells, so a spreadsheet does not average a 0 in.
        if (r.TempCH[c] == 0.0 && r.HumCH[c] == 0) {
            line += ",,";
            continue;
        }
        appendReal(line, r.TempCH[c]);
        appendInteger(line, r.HumCH[c]);
    }
    appendReal(line, r.UV);
    appendReal(line, r.PressLocal);
    appendInteger(line, r.Weather);
    appendReal(line, r.WindChill);
    appendReal(line, r.WindGust);
    appendReal(line, r.WindSpeed);
    appendInteger(line, r.RainCount);
    appendInteger(line, r.RainState);
    appendInteger(line, r.WindDirection);
    line += '\n';
    return line;
}

bool writeHistoryCsv(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo,
                     const std::function<bool(const QByteArray &)> &put)
{
    bool written = put(historyCsvHeader());
    QByteArray buffer;
    store.forEachBetween(after, upTo, RowOrder::OldestFirst, [&](const HistoryRow &row) {
        buffer += historyCsvLine(row);
        if (buffer.size() >= 1 << 16) {
            written = written && put(buffer);
            buffer.clear();
        }
        return written;
    });
    written = written && put(buffer);
    return written && store.lastError().isEmpty();
}

bool exportHistoryCsv(const HistoryStore &store, const QString &path, QString *why)
{
    // Every stored date lies between these.
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
    SafeFile file(path);
    if (!file.open()) {
        if (why)
            *why = file.errorString();
        return false;
    }
    const bool written = writeHistoryCsv(store, first, last, [&](const QByteArray &bytes) { return file.write(bytes); });
    if (!written || !file.commit()) {
        if (why)
            *why = !store.lastError().isEmpty() ? store.lastError() : file.errorString();
        return false;
    }
    return true;
}

}  // namespace nimbrel
