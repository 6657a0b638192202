// The times of the recorded extremes beside each maximum and minimum, and
// the largest and smallest stored pressure, from the extremes the history
// keeps (earliest record among equal values). The channel labels follow the
// selected channel.
#pragma once

#include "HistoryAggregates.h"
#include "HistoryStore.h"
#include "Measurement.h"

#include <QString>

namespace nimbrel {

struct ExtremesView {
    QString FromTempDoorLM;  // indoor maximum
    QString FromTempDoorLN;  // indoor minimum
    QString FromTempCHLM;    // selected channel maximum
    QString FromTempCHLN;    // selected channel minimum
    QString FromWindSpeedL;
    QString FromWindGustL;
    QString FromPressureLM;
    QString FromPressureLN;
    QString MaxPressureL;
    QString MinPressureL;
    // hPa, kept in the Measurement for the pressure unit handler.
    double PressureMax = 0;
    double PressureMin = 0;
};

// From kept extremes. An empty history shows the zero date-time in every
// label and 0 for both pressures. For a channel index outside 0..4 the
// channel labels show the oldest record's time.
ExtremesView extremesView(const Measurement &m, const RecordedExtremes &e);
// The same reading the store's kept extremes (null: no history).
ExtremesView extremesView(const Measurement &m, const HistoryStore *store);

// MaxPressureL / MinPressureL from the Measurement's PressureMax/PressureMin:
// "----,-" when the current pressure is not valid, else the chosen unit, one
// decimal.
QString formatMaxPressure(const Measurement &m);
QString formatMinPressure(const Measurement &m);

// Writes PressureMax and PressureMin into the Measurement.
void keepPressureExtremes(const ExtremesView &view, Measurement &m);

}  // namespace nimbrel
