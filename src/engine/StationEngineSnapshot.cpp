// What the engine hands out: what the history says about the current
// record, the current conditions for the destinations, and the snapshot
// every face reads.
#include "StationEngine.h"

#include "Calibration.h"
#include "ClockSkew.h"
#include "ConsoleSummary.h"
#include "ExtremesView.h"
#include "HistoryStore.h"
#include "LangTable.h"
#include "Publishing.h"

namespace nimbrel {

// ---- What the history says ------------------------------------------------------

// The recorder's record (as the station sent it and as it is stored) with the
// user's corrections, as every face shows it.
Measurement StationEngine::corrected(Measurement record) const
{
    applyCalibration(publishSettings().calibration, record);
    return record;
}

std::optional<CityRow> StationEngine::shownCity() const
{
    return location_.shownCity(tables_->cityTable(), recorder_->headerRead(), recorder_->summary());
}

// The link state in the chosen language, as the main window's status bar
// says it; the label's name when the translation table lacks it.
QString StationEngine::conditionsSummary() const
{
    const QString label = linkStateLabel(*snapshot_);
    QString station = label;
    if (const std::unique_ptr<LangTable> table = openTranslations()) {
        for (int form : {1, 2})
            for (const LangRow &row : table->rows(form))
                if (row.Name == label && !row.text(language_).isEmpty())
                    station = row.text(language_);
    }
    const std::optional<CityRow> city = shownCity();
    return nimbrel::conditionsSummary(*snapshot_, station, city ? city->Name : QString(), now());
}

// Once per record: the rain windows, the wind chart's days and the kept
// extremes, each read on the store's indexes and summaries, so that this
// costs the same at ten years of records as at a day's.
void StationEngine::deriveFromHistory()
{
    const QDateTime at = recorder_->measurement().Dat;
    const HistoryStore *history = tables_->history();
    next_.rain = rainWindows(history, at);
    next_.wind = windDays(history, at);
    next_.extremes = history ? recordedExtremes(*history) : RecordedExtremes{};
}

void StationEngine::publish(const Measurement &record)
{
    next_.conditions =
        currentConditions(corrected(record), recorder_->summary(), tables_->history(), recorder_->headerRead());
    // The station's state (and with it the configs' expiry) before the
    // record, so that the first state sent finds the configs complete.
    holdStationState_ = false;
    feedStationState();
    if (publishing_)
        publishing_->publish(next_.conditions);
}

// MQTT's station availability: the station is there and its newest record
// is recent enough for the period it records at.
void StationEngine::feedStationState()
{
    if (!publishing_ || holdStationState_)
        return;
    StationState state{recorder_->connected(), recorder_->headerRead(), ageFrom(recorder_->measurement().Dat, now()),
                       historyPeriodMs(recorder_->image()[kPeriodByte]) / 60000, std::nullopt};
    if (recorder_->headerRead()) {
        // The location the header holds, the user's city written in.
        const StationSummary &s = recorder_->summary();
        const double north = s.LatMin + s.LatSec / 60.0;
        const double east = s.LongMin + s.LongSec / 60.0;
        state.position = GeoPosition{(s.Hemispheres & 2) ? -north : north, (s.Hemispheres & 1) ? east : -east,
                                     double(s.Altitude)};
    }
    publishing_->setStationState(state);
}

// The snapshot: the recorder's record and header as decoded, the choices
// written into the record's unit fields, the location shown, and the
// figures that depend on the units computed from what was derived.
void StationEngine::emitChange(SnapshotChange change)
{
    StationSnapshot &s = next_;
    s.change = change;
    s.units = units_;
    s.language = language_;
    s.record = corrected(recorder_->measurement());
    applyUnitChoices(s.record, units_);
    s.summary = recorder_->summary();
    location_.applyShown(s.summary);
    keepRainResults(rainView(s.record, s.summary, s.rain, 0), s.record);
    keepPressureExtremes(extremesView(s.record, s.extremes), s.record);
    s.headerRead = recorder_->headerRead();
    s.stationPeriodCode = recorder_->image()[kPeriodByte];
    s.clockAheadSecs =
        clockSkew(s.record.Dat, now(), historyPeriodMs(s.stationPeriodCode) / 60000).aheadSecs;
    // While another program has the station this one is not connected to it.
    s.connected = held_ && recorder_->connected();
    s.slotsTakenOver = recorder_->slotsTakenOver();
    s.handoversContinued = recorder_->handoversContinued();
    s.recordsStored = recorder_->recordsStored();
    s.stationHeld = held_;
    snapshot_ = std::make_shared<const StationSnapshot>(s);
    // A copy: a face's request during the emission makes a newer snapshot,
    // and the faces after it must still see this one.
    const SnapshotPtr emitted = snapshot_;
    Q_EMIT changed(emitted);
}

}  // namespace nimbrel
