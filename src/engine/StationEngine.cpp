#include "StationEngine.h"

#include "AutoBackup.h"
#include "ClockSkew.h"
#include "ConsoleSummary.h"
#include "ExtremesView.h"
#include "HistoryStore.h"
#include "LangTable.h"
#include "Publishing.h"

#include <QDir>
#include <QTimer>
#include <utility>

namespace nimbrel {

StationEngine::StationEngine(const AppContext &context, QObject *parent)
    : QObject(parent),
      context_(context),
      recorder_(new Recorder(this)),
      tables_(std::make_unique<EngineTables>(context, *recorder_)),
      settingsWriter_(*recorder_)
{
    recorder_->setObjectName(QStringLiteral("Recorder"));
    connectRecorder();
    snapshot_ = std::make_shared<const StationSnapshot>(next_);
}

StationEngine::~StationEngine()
{
    shutDown();
}

QDateTime StationEngine::now() const
{
    return context_.clock ? context_.clock->now() : QDateTime::currentDateTime();
}

QString StationEngine::filePath(const QString &name) const
{
    return QDir(context_.workDir).filePath(name);
}

void StationEngine::useLink(const LinkApi &api)
{
    linkApi_ = api;
    linkInjected_ = true;
}

void StationEngine::connectRecorder()
{
    Recorder *r = recorder_;
    r->setClock([this] { return now(); });
    r->setUserCity([this] { return location_.userCityOverride(tables_->cityTable()); });
    connect(tables_.get(), &EngineTables::historyReplaced, this, [this](const QString &sentence) {
        next_.tableNotice = sentence;
        deriveFromHistory();
        emitChange(SnapshotChange::HistoryRebuilt);
    });
    connect(tables_.get(), &EngineTables::historyCleared, this, [this] {
        deriveFromHistory();
        emitChange(SnapshotChange::HistoryCleared);
    });
    connect(r, &Recorder::connectionChanged, this, [this](bool connected) {
        next_.connected = connected;
        feedStationState();
        emitChange(SnapshotChange::Connection);
    });
    connect(r, &Recorder::linkErrorChanged, this, [this](int code) {
        next_.linkError = code;
        emitChange(SnapshotChange::LinkError);
    });
    connect(r, &Recorder::fullReadActive, this, [this](bool active) {
        next_.fullReadActive = active;
        emitChange(SnapshotChange::FullRead);
    });
    connect(r, &Recorder::exchangeActive, this, [this](bool active) {
        next_.exchangeActive = active;
        emitChange(SnapshotChange::Exchange);
        // A handover waits for the running exchange; it goes on once the
        // exchange's handler has returned to the event loop.
        if (!active && releasing_)
            QTimer::singleShot(0, this, &StationEngine::finishRelease);
    });
    connect(r, &Recorder::stageChanged, this, [this](ReadStage stage) {
        next_.stage = stage;
        next_.stageAttempt = 1;
        emitChange(SnapshotChange::Stage);
    });
    connect(r, &Recorder::retrying, this, [this](int, int attempt) {
        next_.stageAttempt = attempt;
        emitChange(SnapshotChange::Stage);
    });
    connect(r, &Recorder::progressChanged, this, [this](int position) {
        next_.progress = position;
        emitChange(SnapshotChange::Progress);
    });
    // Each record new to the program is published as it was taken over.
    connect(r, &Recorder::recordTakenOver, this, &StationEngine::publish);
    // One stored before is the current conditions all the same: shown on
    // every face and sent over MQTT, not uploaded again.
    connect(r, &Recorder::currentRecordRead, this, [this](const Measurement &record) {
        next_.conditions = currentConditions(record, recorder_->summary(), tables_->history(), recorder_->headerRead());
        holdStationState_ = false;
        feedStationState();
        if (publishing_)
            publishing_->publishCurrent(next_.conditions);
    });
    connect(r, &Recorder::recordTaken, this, [this] {
        location_.forgetShown();  // the header was decoded again
        holdStationState_ = false;
        feedStationState();  // a full read may bring no record new to the program
        deriveFromHistory();
        emitChange(SnapshotChange::Record);
    });
    connect(r, &Recorder::storedDataLoaded, this, [this] {
        location_.forgetShown();
        holdStationState_ = false;
        feedStationState();
        deriveFromHistory();
        next_.conditions = currentConditions(recorder_->measurement(), recorder_->summary(), tables_->history(),
                                             recorder_->headerRead());
        emitChange(SnapshotChange::StoredData);
    });
    connect(r, &Recorder::headerCopyUnreadable, this,
            [this] { emitChange(SnapshotChange::HeaderCopyUnreadable); });
    connect(r, &Recorder::headerCopyNotSaved, this, [this](const QString &why) {
        next_.headerCopyError = why;
        emitChange(SnapshotChange::HeaderCopyNotSaved);
    });
    connect(r, &Recorder::storeFailed, this, [this](const QString &why) {
        next_.storeError = why;
        emitChange(SnapshotChange::StoreFailed);
    });
    connect(r, &Recorder::repaintRequested, this, [this] { emitChange(SnapshotChange::Repaint); });
    // The station now holds what it confirmed (or what it kept): the header
    // is decoded from the block read back.
    connect(r, &Recorder::writeFinished, this, [this](int address, WriteError error) {
        recorder_->redecodeHeader();
        location_.forgetShown();
        next_.writeAddress = address;
        next_.writeResult = error;
        emitChange(SnapshotChange::SettingWritten);
    });
}

// ---- Start-up and shut-down ----------------------------------------------------

const PublishSettings &StationEngine::publishSettings() const
{
    static const PublishSettings none;
    return context_.publishSettings ? *context_.publishSettings : none;
}

void StationEngine::openTables()
{
    tables_->open(now());
    if (!context_.publishSettings)
        context_.publishSettings = readPublishSettings(context_.workDir);
    if (const std::optional<Settings> stored = tables_->loadSettings())
        stored_ = *stored;
    location_.load(stored_);
    units_ = {stored_.Temp, stored_.Press, stored_.Speed, stored_.Rain, stored_.UVI, 0};
    language_ = tables_->translationsUsable() ? stored_.Lang : -1;
    next_.units = units_;
    next_.language = language_;
    next_.userCity = location_.userCity();

    // MQTT and the weather-network upload, as nimbrel.ini asks, before the
    // first read so that they see every record taken over.
    publishing_ = std::make_unique<Publishing>(context_, *context_.publishSettings,
                                               !std::exchange(publishProblemsTold_, true));
    // Carrying on after a program that handed the station over: the
    // station's availability is told once this program has read it, and
    // never "offline" on the way.
    holdStationState_ = publishing_->continuing();
    // Each destination's outbox reads the history after its cursor.
    publishing_->setHistory(tables_->history(), [this](const HistoryRow &row) {
        // A stored row keeps no sensor states: those of the current record
        // stand in (a channel without a sensor stays without one).
        Measurement m = recorder_->measurement();
        loadMeasurement(row, m);
        return currentConditions(m, recorder_->summary(), tables_->history(), recorder_->headerRead());
    });
    auto showPublishing = [this] {
        next_.publishWord = publishing_->word();
        next_.publishLines = publishing_->lines();
        next_.destinations = publishing_->destinations();
    };
    showPublishing();
    connect(publishing_.get(), &Publishing::stateChanged, this, [this, showPublishing] {
        showPublishing();
        emitChange(SnapshotChange::Publishing);
    });
    // Daily backups, as [backup] asks: stepped between exchanges, never
    // during a full read.
    autoBackup_ = std::make_unique<AutoBackup>(
        context_.workDir, context_.publishSettings->backup, [this] { return now(); },
        [this] { return held_ && !recorder_->busy() && !recorder_->fullReadRunning(); });
    deriveFromHistory();
    emitChange(SnapshotChange::Opened);
}

LinkLoadError StationEngine::loadLink()
{
    if (linkInjected_ || linkApi_.open)
        return LinkLoadError::None;
    const LinkLoadError error = library_.load(context_.libraryFolders);
    if (error == LinkLoadError::None)
        linkApi_ = library_.api();
    return error;
}

LinkLoadError StationEngine::openStation()
{
    deviceHandle_ = nullptr;
    const LinkLoadError error = loadLink();
    if (error != LinkLoadError::None)
        return error;
    openDevice();
    return LinkLoadError::None;
}

QString StationEngine::linkLibraryName() const
{
    if (linkInjected_)
        return QStringLiteral("the built-in link");
    return QDir::toNativeSeparators(library_.fileName());
}

void StationEngine::openDevice()
{
    deviceHandle_ = linkApi_.open(nullptr, kStationVendorId, kStationProductId, kLinkInputSize, kLinkOutputSize, 0);
    recorder_->setLink(&linkApi_, deviceHandle_);
    next_.linkAvailable = deviceHandle_ != nullptr;
}

void StationEngine::start()
{
    recorder_->start();
}

void StationEngine::shutDown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    releasing_ = false;
    releaseDone_.clear();
    recorder_->shutDown();
    // A background recorder waiting for the station carries on from here.
    // While another program has the station, this one's mirror is old.
    if (held_ && stationWanted_ && stationWanted_())
        leaveHandover();
    closeTables();
    recorder_->setLink(nullptr, nullptr);
    library_.unload();
}

// Saves the choices, closes the device and every table file, and stops
// publishing: what the program holds of a data folder, so that another
// program may take it.
void StationEngine::closeTables()
{
    autoBackup_.reset();  // its read of the tables ends before they are saved and closed
    if (!keepStoredSettings_) {
        saveSettings();
        saveCityTable();
    }
    if (linkApi_.close && deviceHandle_)
        linkApi_.close(deviceHandle_, 0);
    deviceHandle_ = nullptr;
    recorder_->setLink(&linkApi_, nullptr);
    // The outboxes read the history: they go first.
    publishing_.reset();
    tables_->close();
}

// ---- The station between programs -------------------------------------------

void StationEngine::releaseStation(std::function<void()> done)
{
    if (shutDown_)
        return;
    if (!held_) {
        if (done)
            QTimer::singleShot(0, this, done);
        return;
    }
    if (done)
        releaseDone_.push_back(std::move(done));
    if (releasing_)
        return;
    releasing_ = true;
    // Nothing new starts; a running exchange ends first (exchangeActive).
    recorder_->suspend();
    QTimer::singleShot(0, this, &StationEngine::finishRelease);
}

void StationEngine::finishRelease()
{
    if (!releasing_ || shutDown_ || recorder_->busy())
        return;
    releasing_ = false;
    held_ = false;
    leaveHandover();
    closeTables();
    next_.connected = false;
    next_.linkAvailable = false;
    next_.fullReadActive = false;
    next_.stationHeld = false;
    emitChange(SnapshotChange::Handover);
    const std::vector<std::function<void()>> done = std::move(releaseDone_);
    releaseDone_.clear();
    for (const std::function<void()> &call : done)
        call();
}

// The mirror for the program that takes the station at once (a window, the
// recorder taking it back), and MQTT ends quietly: that program carries on.
void StationEngine::leaveHandover()
{
    recorder_->leaveHandover();
    if (publishing_)
        publishing_->handOver();
}

void StationEngine::takeStation()
{
    if (shutDown_ || held_ || releasing_)
        return;
    held_ = true;
    openTables();
    openDevice();
    next_.stationHeld = true;
    emitChange(SnapshotChange::Handover);
    recorder_->resume();
}

void StationEngine::saveSettings()
{
    Settings s = stored_;
    s.CityCode = location_.keptCity();
    // Without a translation table the stored language stays for the next start.
    if (language_ >= 0)
        s.Lang = language_;
    s.Temp = units_.temperature;
    s.Press = units_.pressure;
    s.Speed = units_.speed;
    s.Rain = units_.rain;
    s.UVI = units_.uv;
    s.UserCoord = location_.userCity() ? 1 : 0;
    QString why;
    if (!tables_->saveSettings(s, &why))
        shutDownProblems_ << QStringLiteral("The settings could not be saved: %1").arg(why);
}

void StationEngine::saveCityTable()
{
    QString why;
    if (!location_.saveUserDefinedCity(tables_->cityTable(), &why))
        shutDownProblems_ << QStringLiteral("The user-defined city could not be saved: %1").arg(why);
}

std::unique_ptr<LangTable> StationEngine::openTranslations() const
{
    return tables_->openTranslations(now());
}

// ---- Requests -------------------------------------------------------------------

void StationEngine::setUnits(const UnitChoices &units)
{
    if (units == units_)
        return;
    units_ = units;
    emitChange(SnapshotChange::Units);
}

void StationEngine::setLanguage(int language)
{
    if (language == language_)
        return;
    language_ = language;
    emitChange(SnapshotChange::Language);
}

void StationEngine::setUserCity(bool on)
{
    location_.setUserCity(on);
    next_.userCity = on;
}

void StationEngine::showLocation(const LocationOverride &location)
{
    location_.show(location);
    emitChange(SnapshotChange::Location);
}

// ---- What the history says ------------------------------------------------------

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
    next_.conditions = currentConditions(record, recorder_->summary(), tables_->history(), recorder_->headerRead());
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
    s.record = recorder_->measurement();
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
