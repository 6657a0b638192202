// The program without a face, as a coordinator. The engine owns the station
// as a device (StationDevice), the recorder with its timers, the four table
// files (EngineTables: history, settings, cities, translations), the user's
// choices (the location among them: LocationChoice), the station settings
// written (StationSettingsWriter) and the publishing of records, and after
// every change hands out an immutable snapshot of what it knows
// (StationSnapshot, composed in StationEngineSnapshot.cpp). A face (the main window, the history
// window, the console, a web page) reads snapshots and the const
// accessors, and sends requests; none writes into the engine's state.
//
// A record's way: link -> recorder -> store (committed) -> engine, which
// computes what the history says about it once -> snapshot -> every face.
#pragma once

#include "AppContext.h"
#include "CityTable.h"
#include "Decoding.h"
#include "EngineTables.h"
#include "LocationChoice.h"
#include "Recorder.h"
#include "SettingsStore.h"
#include "StationDevice.h"
#include "StationSettingsWriter.h"
#include "StationSnapshot.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace nimbrel {

class AutoBackup;
class HistoryStore;
class LangTable;
class Publishing;

class StationEngine : public QObject {
    Q_OBJECT
public:
    explicit StationEngine(const AppContext &context, QObject *parent = nullptr);
    ~StationEngine() override;

    // A scripted link in place of the loaded library (tests, the simulator
    // built in); before openStation().
    void useLink(const LinkApi &api);

    // Start-up, in this order. openTables: the table files (a damaged one is
    // set aside, see tableProblems) and the stored choices; publishing as
    // nimbrel.ini asks. openStation: the link library and the device; an
    // error other than None means the program cannot talk to a station at
    // all (loadLink alone loads the library without opening the device).
    // start: the link check runs and the first full read is due.
    void openTables();
    LinkLoadError loadLink();
    LinkLoadError openStation();
    void start();
    // The link library in use ("the simulator" or the file), after loadLink.
    QString linkLibraryName() const;
    // Why loadLink failed, in the system's words (the file and the reason).
    QString linkLoadProblem() const { return device_.loadProblem(); }

    // ---- The station between programs ------------------------------------
    // One program at a time talks to the station and writes the tables of a
    // data folder. releaseStation stops the running exchange at its block
    // (a full read resumes there later), commits what it stored, leaves
    // the mirror of the station for the program taking it
    // (HandoverMirror.h), saves the choices, closes the device, the tables
    // and publishing (MQTT quietly: the station stays online), and then
    // calls `done` (from the event loop, never from inside an exchange).
    // takeStation opens them again and carries on from the mirror that
    // program left, or starts over with a full read without one; either
    // catches up with what the station recorded meanwhile, and records
    // already stored are skipped by their dates. The shut-down hands over
    // the same way when a background recorder waits for the station.
    void releaseStation(std::function<void()> done);
    void takeStation();
    bool stationHeld() const { return held_; }
    // Asked by the shut-down while this program holds the station: whether
    // another program waits to take it (StationHandover.h); it is then left
    // the mirror and MQTT ends quietly. Unset: nobody waits.
    void setStationWanted(std::function<bool()> wanted) { stationWanted_ = std::move(wanted); }
    // Saves the choices and the user-defined city, closes the device and
    // unloads the library. Runs once; nothing starts again.
    void shutDown();
    // The shut-down saves neither the settings nor the city table: a run
    // that was refused leaves them as they were.
    void keepStoredSettings() { keepStoredSettings_ = true; }
    // What the shut-down could not save, one sentence each; empty when all was saved.
    QStringList shutDownProblems() const { return shutDownProblems_; }

    // ---- Reading ---------------------------------------------------------
    SnapshotPtr snapshot() const { return snapshot_; }
    // The committed history; null when datat cannot be used at all.
    const HistoryStore *history() const { return tables_->history(); }
    const CityTable *cityTable() const { return tables_->cityTable(); }
    // The choices as stored when the program started.
    const Settings &storedSettings() const { return stored_; }
    // Whether the translation table holds translations, and the table
    // itself, opened fresh (null when it has gone missing meanwhile).
    bool translationsUsable() const { return tables_->translationsUsable(); }
    std::unique_ptr<LangTable> openTranslations() const;
    // What is wrong with the table files found at start-up, one sentence per
    // file; empty when all are well.
    QString tableProblems() const { return tables_->problems(); }
    const AppContext &context() const { return context_; }
    // nimbrel.ini as read once for the program (AppContext::publishSettings);
    // read at the first openTables when the context brought none.
    const PublishSettings &publishSettings() const;
    QString filePath(const QString &name) const;
    QDateTime now() const;
    // The city whose location is shown (LocationChoice::shownCity).
    std::optional<CityRow> shownCity() const;
    // The current conditions as text, for the console.
    QString conditionsSummary() const;
    const Recorder &recorder() const { return *recorder_; }
    // The recorder's handlers, for the faces' timer names and for tests.
    Recorder &recorder() { return *recorder_; }

    // ---- Requests --------------------------------------------------------
    void setUnits(const UnitChoices &units);
    // -1: no language can be chosen; the stored choice is kept.
    void setLanguage(int language);
    // The stored city replaces the station's location from the next decode.
    void setUserCity(bool on);
    // The location shown until the next header decode (a city picked in the
    // city box, or the station's own city as the city table places it).
    void showLocation(const LocationOverride &location);
    // The city kept for the next start, and the user-defined city's
    // coordinates, saved at shut-down.
    void keepCity(int cityCode) { location_.keepCity(cityCode); }
    void keepUserDefinedCity(const UserDefinedCity &city) { location_.keepUserDefinedCity(city); }
    // Station settings written through the recorder. False without a station:
    // nothing is written and nothing changes.
    bool writeAltitude(int metres) { return settingsWriter_.writeAltitude(metres); }
    bool writeHistoryInterval(int code) { return settingsWriter_.writeHistoryInterval(code); }
    // Empties the history; the next link check starts a full read. The
    // rows are first kept in the data folder as `datat.cleared-YYYYMMDD-HHMMSS`
    // (`nimbrel-tool restore-cleared` puts them back); without that copy
    // nothing is cleared. Refused while the station is being read: the rows
    // a read stores and the mirror it fills would go half-way.
    using ClearOutcome = HistoryClearOutcome;
    ClearOutcome clearHistory() { return tables_->clearHistory(now()); }

Q_SIGNALS:
    // After every change, with what changed in snapshot->change.
    void changed(const nimbrel::SnapshotPtr &snapshot);

private:
    void connectRecorder();
    void openDevice();
    void finishRelease();
    void closeTables();
    void leaveHandover();
    // Recomputes what the history says about the current record.
    void deriveFromHistory();
    Measurement corrected(Measurement record) const;
    void publish(const Measurement &record);
    void feedStationState();
    void emitChange(SnapshotChange change);
    void saveSettings();
    void saveCityTable();

    AppContext context_;
    StationDevice device_;
    Recorder *recorder_ = nullptr;  // a child: its timers are found by name below the engine
    std::unique_ptr<EngineTables> tables_;  // outlives publishing and the backups, which read the history
    StationSettingsWriter settingsWriter_;
    std::unique_ptr<Publishing> publishing_;
    std::unique_ptr<AutoBackup> autoBackup_;  // reads the tables' files: ends before they close
    bool shutDown_ = false;
    bool keepStoredSettings_ = false;
    bool publishProblemsTold_ = false;  // nimbrel.ini's problems go to stderr once per program
    QStringList shutDownProblems_;
    bool held_ = true;
    bool releasing_ = false;
    bool holdStationState_ = false;  // no MQTT station word before the first read after a handover
    std::vector<std::function<void()>> releaseDone_;
    std::function<bool()> stationWanted_;

    // The user's choices.
    Settings stored_;
    UnitChoices units_;
    int language_ = -1;
    LocationChoice location_;

    // What the history said about the current record, and the state the
    // next snapshot carries.
    StationSnapshot next_;
    SnapshotPtr snapshot_;
};

}  // namespace nimbrel
