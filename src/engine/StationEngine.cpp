#include "StationEngine.h"

#include "AutoBackup.h"
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
    device_.useLink(api);
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
        next_.conditions =
            currentConditions(corrected(record), recorder_->summary(), tables_->history(), recorder_->headerRead());
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
        next_.conditions = currentConditions(corrected(recorder_->measurement()), recorder_->summary(), tables_->history(),
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
    // Read first: the history is opened with the user's corrections.
    if (!context_.publishSettings)
        context_.publishSettings = readPublishSettings(context_.workDir);
    tables_->open(now());
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
        return currentConditions(corrected(m), recorder_->summary(), tables_->history(), recorder_->headerRead());
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
    return device_.load(context_.libraryFolders);
}

LinkLoadError StationEngine::openStation()
{
    const LinkLoadError error = loadLink();
    if (error != LinkLoadError::None)
        return error;
    openDevice();
    return LinkLoadError::None;
}

QString StationEngine::linkLibraryName() const
{
    return device_.libraryName();
}

void StationEngine::openDevice()
{
    recorder_->setLink(device_.api(), device_.open());
    next_.linkAvailable = device_.handle() != nullptr;
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
    device_.unload();
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
    device_.close();
    recorder_->setLink(device_.api(), nullptr);
    // The recorder lets go of the history first (records it kept while the
    // history failed get their last try); the outboxes read the history, so
    // they go before it closes.
    recorder_->setHistory(nullptr);
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

}  // namespace nimbrel
