// Records from another program's files merged into the history by date:
// a weewx archive (HistoryImport recognises the SQLite file), a Cumulus-style
// monthly log (lines "dd/mm/yy,hh:mm,outdoor temperature,humidity,dew point,
// wind speed,gust,bearing,rain rate,rain today,pressure,rain counter,indoor
// temperature,indoor humidity[,...]"; ';' between fields with a decimal
// comma; read as °C, hPa, km/h and mm since the log names no units), and
// Nimbrel's own CSV (HistoryCsv.h, SI units; also the older header
// "Dat,DayWeek,..." with the stored values).
//
// Values are converted to the base units and rounded to what the station
// resolves (ExchangeUnits.h). A date already stored keeps its stored record.
// A record whose values the history cannot hold (a humidity above 100 %,
// a temperature beyond ±100 °C, a wind of 266 mph or more, a pressure
// beyond 4095 hPa, a UV index above 99) is refused and counted; a line that
// cannot be read at all (a missing field, a number or date that is none)
// refuses the whole file, and nothing of it is stored. Everything goes in
// as one transaction.
//
// Where the file has no rain counter, the rain of each record (in tips,
// the fractions carried on) continues the counter of the newest stored
// record before the first imported one, or starts at 0; it wraps at 65536
// like the station's.
#pragma once

#include "HistoryStore.h"

#include <QString>
#include <QStringList>

namespace nimbrel {

struct ImportOutcome {
    enum class Status { Done, FileRefused, Failed };
    Status status = Status::Done;
    QString format;        // "weewx archive", "Cumulus log", "Nimbrel CSV"
    QString why;           // FileRefused: "line N: ..." ; Failed: the store's error
    long long added = 0;
    long long skipped = 0;  // dates already stored (or twice in the file)
    long long refused = 0;
    QStringList reasons;    // the first few refusals, "line N: ..."
};

// Reads `path` and merges it into `store`; with `dryRun` nothing is kept,
// the counts say what would happen. `outdoorChannel` (1..5) receives a
// weewx archive's outTemp and outHumidity and a Cumulus log's outdoor
// values. `firstSql` runs in the import's transaction before the records
// (and is undone with them).
ImportOutcome importHistory(HistoryStore &store, const QString &path, int outdoorChannel, bool dryRun,
                            const QStringList &firstSql = {});

// Reasons listed in ImportOutcome::reasons at most.
inline constexpr int kImportReasonsKept = 5;

}  // namespace nimbrel
