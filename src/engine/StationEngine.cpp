#include "StationEngine.h"

#include "AutoBackup.h"
#include "ClockSkew.h"
#include "HistoryCheck.h"
#include "ConsoleSummary.h"
#include "StationCity.h"
#include "ExtremesView.h"
#include "HistoryStore.h"
#include "LangTable.h"
#include "Publishing.h"

#include "DataFolderLock.h"
#include "HandoverMirror.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace nimbrel {

namespace {

constexpr int kAltitudeAddress = 90;  // bytes 90, 91: magnitude; 92: 8 when negative

// The translation table as a language switch finds it: it must hold rows,
// or there is nothing to switch to.
std::unique_ptr<LangTable> openLangTable(const QString &path, const QDateTime &now, const QString &shipped,
                                         LangTable::Opened *details = nullptr)
{
    LangTable::Opened opened = LangTable::open(path, now, shipped);
    std::unique_ptr<LangTable> table = std::move(opened.table);
    if (table && table->rowCount() == 0) {
        table.reset();
        opened.error = QStringLiteral("%1 holds no translations").arg(path);
    }
    if (details) {
        details->problem = opened.problem;
        details->setAside = opened.setAside;
        details->error = opened.error;
    }
    return table;
}

// Whether a background recorder of another process waits on the folder for
// the station: closing this program hands the station to it. Its lock file
// is only read, never taken, so a recorder starting meanwhile is not refused.
bool recorderWaits(const QString &folder)
{
    const DataFolderLock recorderLock(folder, DataFolderLock::recorderFileName());
    const qint64 pid = recorderLock.holderPid();
    if (pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

StationEngine::StationEngine(const AppContext &context, QObject *parent)
    : QObject(parent), context_(context), recorder_(new Recorder(this))
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
    r->setUserCity([this] { return userCityOverride(); });
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
        next_.conditions = currentConditions(record, recorder_->summary(), history_.get(), recorder_->headerRead());
        holdStationState_ = false;
        feedStationState();
        if (publishing_)
            publishing_->publishCurrent(next_.conditions);
    });
    connect(r, &Recorder::recordTaken, this, [this] {
        location_.reset();  // the header was decoded again
        holdStationState_ = false;
        feedStationState();  // a full read may bring no record new to the program
        deriveFromHistory();
        emitChange(SnapshotChange::Record);
    });
    connect(r, &Recorder::storedDataLoaded, this, [this] {
        location_.reset();
        holdStationState_ = false;
        feedStationState();
        deriveFromHistory();
        next_.conditions = currentConditions(recorder_->measurement(), recorder_->summary(), history_.get(),
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
        location_.reset();
        next_.writeAddress = address;
        next_.writeResult = error;
        emitChange(SnapshotChange::SettingWritten);
    });
}

// ---- Start-up and shut-down ----------------------------------------------------

void StationEngine::noteTableProblem(const QString &sentence)
{
    if (!sentence.isEmpty())
        tableProblems_ += (tableProblems_.isEmpty() ? QString() : QStringLiteral(" ")) + sentence;
}

void StationEngine::openTables()
{
    const QDateTime opening = now();
    tableProblems_.clear();

    // The translation table, only looked at: each language switch reads it.
    const QString langPath = filePath(QStringLiteral("lang"));
    // First start in this folder: begin with the tables the program ships.
    if (!context_.defaultLangTable.isEmpty())
        installDefaultLangTable(context_.defaultLangTable, langPath);
    LangTable::Opened lang;
    translationsUsable_ = bool(openLangTable(langPath, opening, context_.defaultLangTable, &lang));
    if (translationsUsable_)
        noteTableProblem(tableProblemSentence(QStringLiteral("lang"), lang.problem, lang.setAside));
    else
        qWarning("The translation table cannot be used: %s", qPrintable(lang.error));

    auto note = [this](const char *name, TableProblem problem, const QString &setAside, const QString &error,
                       bool used) {
        const QString sentence = tableProblemSentence(QLatin1String(name), problem, setAside, used);
        if (sentence.isEmpty())
            return;
        qWarning("%s (%s)", qPrintable(sentence), qPrintable(error));
        noteTableProblem(sentence);
    };
    HistoryStore::Opened opened = HistoryStore::open(filePath(QStringLiteral("datat")), opening);
    note("datat", opened.problem, opened.setAside, opened.error, bool(opened.store));
    historyCheck_.reset();
    history_ = std::move(opened.store);
    // After an unclean end a large history is checked page by page in the
    // background while the window shows and recording goes on.
    if (history_ && opened.fullCheckPending) {
        historyCheck_ = std::make_unique<HistoryCheck>(history_->path(), opening, this,
                                                       [this](const HistoryCheckOutcome &o) { historyChecked(o); });
    }
    SettingsStore::Opened settings = SettingsStore::open(filePath(QStringLiteral("datsum")), opening);
    note("datsum", settings.problem, settings.setAside, settings.error, bool(settings.store));
    settingsStore_ = std::move(settings.store);
    recorder_->setHistory(history_.get());
    recorder_->setHeaderCopyPath(filePath(QStringLiteral("sumlocal.bin")));
    recorder_->setHandoverPath(filePath(QLatin1String(kHandoverFileName)));

    const QString cityPath = filePath(QStringLiteral("citycodes"));
    if (!context_.defaultCityTable.isEmpty())
        installDefaultCityTable(context_.defaultCityTable, cityPath);
    // A damaged table is replaced by the shipped one, not an empty one.
    CityTable::Opened city = CityTable::open(cityPath, opening, context_.defaultCityTable);
    note("citycodes", city.problem, city.setAside, city.error, bool(city.table));
    cityTable_ = std::move(city.table);

    if (const std::optional<Settings> stored = settingsStore_ ? settingsStore_->load() : std::nullopt)
        stored_ = *stored;
    kept_ = stored_;
    units_ = {stored_.Temp, stored_.Press, stored_.Speed, stored_.Rain, stored_.UVI, 0};
    language_ = translationsUsable_ ? stored_.Lang : -1;
    userCity_ = stored_.UserCoord != 0;
    next_.units = units_;
    next_.language = language_;
    next_.userCity = userCity_;

    // MQTT and the weather-network upload, as nimbrel.ini asks, before the
    // first read so that they see every record taken over.
    publishing_ = std::make_unique<Publishing>(context_);
    // Carrying on after a program that handed the station over: the
    // station's availability is told once this program has read it, and
    // never "offline" on the way.
    holdStationState_ = publishing_->continuing();
    // Each destination's outbox reads the history after its cursor.
    publishing_->setHistory(history_.get(), [this](const HistoryRow &row) {
        // A stored row keeps no sensor states: those of the current record
        // stand in (a channel without a sensor stays without one).
        Measurement m = recorder_->measurement();
        loadMeasurement(row, m);
        return currentConditions(m, recorder_->summary(), history_.get(), recorder_->headerRead());
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
        context_.workDir, publishing_->settings().backup, [this] { return now(); },
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
    if (held_ && recorderWaits(context_.workDir))
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
    settingsStore_.reset();
    cityTable_.reset();
    if (linkApi_.close && deviceHandle_)
        linkApi_.close(deviceHandle_, 0);
    deviceHandle_ = nullptr;
    recorder_->setLink(&linkApi_, nullptr);
    recorder_->setHistory(nullptr);
    publishing_.reset();
    historyCheck_.reset();
    history_.reset();
}

void StationEngine::historyChecked(const HistoryCheckOutcome &outcome)
{
    using Finding = HistoryCheckOutcome::Finding;
    if (outcome.finding == Finding::NotChecked)
        qWarning("The history could not be checked: %s", qPrintable(outcome.why));
    if (outcome.finding != Finding::Damaged || !history_)
        return;
    // The file changes under the recorder only between exchanges.
    if (recorder_->busy()) {
        QTimer::singleShot(50, this, [this, outcome] { historyChecked(outcome); });
        return;
    }
    historyCheck_.reset();
    recorder_->setHistory(nullptr);
    HistoryReplaced replaced = replaceDamagedHistory(std::move(history_), outcome, now());
    history_ = std::move(replaced.store);
    recorder_->setHistory(history_.get());
    const QString sentence = historyRebuiltSentence(replaced, outcome);
    qWarning("%s", qPrintable(sentence));
    noteTableProblem(sentence);
    next_.tableNotice = sentence;
    deriveFromHistory();
    emitChange(SnapshotChange::HistoryRebuilt);
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
    if (!settingsStore_)
        return;
    Settings s = kept_;
    // Without a translation table the stored language stays for the next start.
    if (language_ >= 0)
        s.Lang = language_;
    s.Temp = units_.temperature;
    s.Press = units_.pressure;
    s.Speed = units_.speed;
    s.Rain = units_.rain;
    s.UVI = units_.uv;
    s.UserCoord = userCity_ ? 1 : 0;
    if (!settingsStore_->save(s))
        shutDownProblems_ << QStringLiteral("The settings could not be saved: %1").arg(settingsStore_->lastError());
}

void StationEngine::saveCityTable()
{
    if (!cityTable_ || !userDefinedCity_)
        return;
    const UserDefinedCity &c = *userDefinedCity_;
    if (!cityTable_->updateUserDefined(c.code, c.latMin, c.latSec, c.longMin, c.longSec, c.south, c.east,
                                       c.timeZone))
        shutDownProblems_ << QStringLiteral("The user-defined city could not be saved: %1").arg(cityTable_->lastError());
}

std::unique_ptr<LangTable> StationEngine::openTranslations() const
{
    return openLangTable(filePath(QStringLiteral("lang")), now(), context_.defaultLangTable);
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
    userCity_ = on;
    next_.userCity = on;
}

void StationEngine::showLocation(const LocationOverride &location)
{
    location_ = location;
    emitChange(SnapshotChange::Location);
}

void StationEngine::keepCity(int cityCode)
{
    kept_.CityCode = cityCode;
}

void StationEngine::keepUserDefinedCity(const UserDefinedCity &city)
{
    userDefinedCity_ = city;
}

bool StationEngine::writeAltitude(int metres)
{
    if (!recorder_->connected())
        return false;
    recorder_->requestWrite({kAltitudeAddress, [metres](StationImage &image) {
                                 const int magnitude = metres < 0 ? -metres : metres;
                                 image[kAltitudeAddress] = static_cast<std::uint8_t>(magnitude & 0xFF);
                                 image[kAltitudeAddress + 1] = static_cast<std::uint8_t>(magnitude >> 8);
                                 image[kAltitudeAddress + 2] = metres < 0 ? 8 : 0;
                             }});
    return true;
}

bool StationEngine::writeHistoryInterval(int code)
{
    if (!recorder_->connected() || code < 1)
        return false;
    recorder_->requestWrite({kPeriodByte, [code](StationImage &image) {
                                 image[kPeriodByte] = static_cast<std::uint8_t>(code);
                             }});
    return true;
}

StationEngine::ClearOutcome StationEngine::clearHistory()
{
    using Result = ClearOutcome::Result;
    ClearOutcome outcome;
    if (recorder_->busy()) {
        outcome.result = Result::StationBusy;
        return outcome;
    }
    // No table to clear (datat unusable, or handed over with the station):
    // saying it was cleared would be untrue.
    if (!history_) {
        outcome.result = Result::NotCleared;
        outcome.why = QStringLiteral("the history file is not open");
        return outcome;
    }
    if (history_->count() > 0) {
        // Two clearings within a second get copies of their own.
        const QString stem = QStringLiteral("datat.cleared-") + now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        outcome.copyPath = filePath(stem);
        for (int n = 2; QFileInfo::exists(outcome.copyPath) || QFileInfo(outcome.copyPath).isSymLink(); ++n)
            outcome.copyPath = filePath(QStringLiteral("%1-%2").arg(stem).arg(n));
        if (!history_->copyTo(outcome.copyPath)) {
            outcome.result = Result::NotCopied;
            outcome.why = history_->lastError();
            outcome.copyPath.clear();
            return outcome;
        }
    }
    if (!recorder_->clearHistory()) {
        outcome.result = Result::NotCleared;
        outcome.why = history_->lastError();
        qWarning("The history could not be cleared: %s", qPrintable(outcome.why));
    }
    deriveFromHistory();
    emitChange(SnapshotChange::HistoryCleared);
    return outcome;
}

// ---- What the history says ------------------------------------------------------

// The user's chosen city, which replaces the station's location when the
// header is decoded.
std::optional<LocationOverride> StationEngine::userCityOverride() const
{
    if (!userCity_ || !cityTable_)
        return std::nullopt;
    const std::optional<CityRow> row = cityTable_->find(kept_.CityCode);
    if (!row)
        return std::nullopt;
    LocationOverride o;
    o.LatMin = row->LatMin;
    o.LatSec = row->LatSec;
    o.LongMin = row->LongMin;
    o.LongSec = row->LongSec;
    o.Hemispheres = row->IsLon + 2 * row->IsLat;
    o.TimeZone = row->TimeZone;
    return o;
}

std::optional<CityRow> StationEngine::shownCity() const
{
    if (!cityTable_)
        return std::nullopt;
    if (userCity_)
        return cityTable_->find(kept_.CityCode);
    const bool stationKnown = recorder_->headerRead();
    const StationSummary &s = recorder_->summary();
    std::optional<CityRow> row = cityTable_->find(stationKnown ? s.CityCode : kept_.CityCode);
    if (row && stationKnown &&
        !astro::cityFitsStation(*row, {s.LatMin, s.LatSec, s.LongMin, s.LongSec, s.Hemispheres, s.TimeZone, s.DstCode}))
        row.reset();
    return row;
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
    next_.rain = rainWindows(history_.get(), at);
    next_.wind = windDays(history_.get(), at);
    next_.extremes = history_ ? recordedExtremes(*history_) : RecordedExtremes{};
}

void StationEngine::publish(const Measurement &record)
{
    next_.conditions = currentConditions(record, recorder_->summary(), history_.get(), recorder_->headerRead());
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
    if (location_) {
        s.summary.LatMin = location_->LatMin;
        s.summary.LatSec = location_->LatSec;
        s.summary.LongMin = location_->LongMin;
        s.summary.LongSec = location_->LongSec;
        s.summary.Hemispheres = location_->Hemispheres;
        s.summary.TimeZone = location_->TimeZone;
    }
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
