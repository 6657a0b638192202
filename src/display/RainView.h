// What the rain panel shows: the rain of the last hour and of the last 24
// hours, the chosen period, the total since the newest rain-marked record,
// the alarm limit and state and the rain gauge's battery.
//
// Hour, day and total come from the gauge's running tip counter in the
// history: the rain of a window is the newest count minus the count of the
// window's newest marked record (`RainState` 1 or 2), or of its oldest record
// when none is marked. A window is (end - span, end], end the time of the
// current record. A counter that went backwards (including the station's
// 16-bit counter passing 65535 and starting again at 0) gives a negative
// rain, which shows as 0 for that window; it is kept unclamped in the
// Measurement. Results outside 0..2000 in the chosen unit show as 0.
#pragma once

#include "HistoryAggregates.h"
#include "HistoryStore.h"
#include "Measurement.h"
#include "StationSummary.h"

#include <QDateTime>
#include <QString>

namespace nimbrel {

// RainBox items.
enum class RainPeriod : int { Yesterday = 0, Week = 1, Month = 2 };

// RainLL and RainLV for the chosen period (RainBoxChange).
struct RainPeriodView {
    bool shown = false;  // false for an item index outside 0..2: both keep what they show
    QString RainLL;      // always two decimals, also in mm
    double RainLV = 0;   // gauge 0..100, the same value
};

struct RainView {
    QString RainLHL;   // last hour; "0" when the gauge reports no valid reading
    double RainLHV = 0;
    QString RainLDL;   // last 24 hours
    double RainLDV = 0;
    RainPeriodView period;
    QString RAL;       // "Hi:" and the alarm limit
    QString AllRainL;  // total rain
    QString FromRainL; // start of the total, "dd.mm.yyyy hh:mm"
    int RAS = 0;       // AlarmList index
    int BatRain = 0;   // VrBitmapList1 index: 2 no valid reading, else the battery flag
    QString unitCaption;  // RL1..RL4: "inch" or "mm"; empty for an unknown code (keep them)

    // Unclamped, in the chosen unit; what the Measurement keeps.
    double RainLastHour = 0;
    double RainLast24h = 0;
    double RainTotal = 0;
    QDateTime RainTotalStart;  // invalid for an empty history
};

// Tip factor of the unit code: 0.0271 inch, any other code 0.6875 mm.
double rainFactor(int rainUnit);

// What the panel reads from the history, once per record: the gauge's
// counts of the last hour and the last 24 hours ending at the record, and
// of the whole history. All empty without a history.
struct RainWindows {
    RainCounts hour;
    RainCounts day;
    RainCounts total;
};
RainWindows rainWindows(const HistoryStore *store, const QDateTime &readingsTime);

// The whole panel from the current record (Dat, RainState, RainUnit), the
// summary and the history (null: no history). rainBoxIndex is RainBox's item.
// Before any record the hour, day and total figures show "--,-".
RainView rainView(const Measurement &m, const StationSummary &s, const HistoryStore *store, int rainBoxIndex);
RainView rainView(const Measurement &m, const StationSummary &s, const RainWindows &windows, int rainBoxIndex);

// The period gauge alone, for RainBoxChange.
RainPeriodView rainPeriodView(const StationSummary &s, int rainUnit, int rainBoxIndex);

// Writes the results the Measurement keeps: RainLastHour, RainLast24h (which
// ends up holding the total, as the refresh leaves it) and RainTotalStart.
void keepRainResults(const RainView &view, Measurement &m);

}  // namespace nimbrel
