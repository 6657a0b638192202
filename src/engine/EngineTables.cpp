#include "EngineTables.h"

#include "HandoverMirror.h"
#include "HistoryCheck.h"
#include "HistoryStore.h"
#include "LangTable.h"
#include "PublishSettings.h"
#include "Recorder.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace nimbrel {

namespace {

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

}  // namespace

EngineTables::EngineTables(const AppContext &context, Recorder &recorder, QObject *parent)
    : QObject(parent), context_(context), recorder_(recorder)
{
}

EngineTables::~EngineTables()
{
    historyCheck_.reset();  // its thread reads the file
}

QString EngineTables::filePath(const QString &name) const
{
    return QDir(context_.workDir).filePath(name);
}

void EngineTables::noteProblem(const QString &sentence)
{
    if (!sentence.isEmpty())
        problems_ += (problems_.isEmpty() ? QString() : QStringLiteral(" ")) + sentence;
}

void EngineTables::open(const QDateTime &opening)
{
    problems_.clear();

    // The translation table, only looked at: each language switch reads it.
    const QString langPath = filePath(QStringLiteral("lang"));
    // First start in this folder: begin with the tables the program ships.
    if (!context_.defaultLangTable.isEmpty())
        installDefaultLangTable(context_.defaultLangTable, langPath);
    LangTable::Opened lang;
    translationsUsable_ = bool(openLangTable(langPath, opening, context_.defaultLangTable, &lang));
    if (translationsUsable_)
        noteProblem(tableProblemSentence(QStringLiteral("lang"), lang.problem, lang.setAside));
    else
        qWarning("The translation table cannot be used: %s", qPrintable(lang.error));

    auto note = [this](const char *name, TableProblem problem, const QString &setAside, const QString &error,
                       bool used) {
        const QString sentence = tableProblemSentence(QLatin1String(name), problem, setAside, used);
        if (sentence.isEmpty())
            return;
        qWarning("%s (%s)", qPrintable(sentence), qPrintable(error));
        noteProblem(sentence);
    };
    HistoryStore::Opened opened = HistoryStore::open(filePath(QStringLiteral("datat")), opening);
    note("datat", opened.problem, opened.setAside, opened.error, bool(opened.store));
    historyCheck_.reset();
    history_ = std::move(opened.store);
    calibrateHistory();
    // After an unclean end a large history is checked page by page in the
    // background while the window shows and recording goes on.
    if (history_ && opened.fullCheckPending) {
        historyCheck_ = std::make_unique<HistoryCheck>(history_->path(), opening, this,
                                                       [this](const HistoryCheckOutcome &o) { historyChecked(o); });
    }
    SettingsStore::Opened settings = SettingsStore::open(filePath(QStringLiteral("datsum")), opening);
    note("datsum", settings.problem, settings.setAside, settings.error, bool(settings.store));
    settingsStore_ = std::move(settings.store);
    recorder_.setHistory(history_.get());
    recorder_.setHeaderCopyPath(filePath(QStringLiteral("sumlocal.bin")));
    recorder_.setHandoverPath(filePath(QLatin1String(kHandoverFileName)));

    const QString cityPath = filePath(QStringLiteral("citycodes"));
    if (!context_.defaultCityTable.isEmpty())
        installDefaultCityTable(context_.defaultCityTable, cityPath);
    // A damaged table is replaced by the shipped one, not an empty one.
    CityTable::Opened city = CityTable::open(cityPath, opening, context_.defaultCityTable);
    note("citycodes", city.problem, city.setAside, city.error, bool(city.table));
    cityTable_ = std::move(city.table);
}

void EngineTables::close()
{
    settingsStore_.reset();
    cityTable_.reset();
    recorder_.setHistory(nullptr);
    historyCheck_.reset();
    history_.reset();
}

std::optional<Settings> EngineTables::loadSettings() const
{
    return settingsStore_ ? settingsStore_->load() : std::nullopt;
}

bool EngineTables::saveSettings(const Settings &settings, QString *why)
{
    if (!settingsStore_ || settingsStore_->save(settings))
        return true;
    if (why)
        *why = settingsStore_->lastError();
    return false;
}

std::unique_ptr<LangTable> EngineTables::openTranslations(const QDateTime &now) const
{
    return openLangTable(filePath(QStringLiteral("lang")), now, context_.defaultLangTable);
}

void EngineTables::historyChecked(const HistoryCheckOutcome &outcome)
{
    using Finding = HistoryCheckOutcome::Finding;
    if (outcome.finding == Finding::NotChecked)
        qWarning("The history could not be checked: %s", qPrintable(outcome.why));
    if (outcome.finding != Finding::Damaged || !history_)
        return;
    // The file changes under the recorder only between exchanges.
    if (recorder_.busy()) {
        QTimer::singleShot(50, this, [this, outcome] { historyChecked(outcome); });
        return;
    }
    historyCheck_.reset();
    recorder_.setHistory(nullptr);
    const QDateTime now = context_.clock ? context_.clock->now() : QDateTime::currentDateTime();
    HistoryReplaced replaced = replaceDamagedHistory(std::move(history_), outcome, now);
    history_ = std::move(replaced.store);
    calibrateHistory();
    recorder_.setHistory(history_.get());
    const QString sentence = historyRebuiltSentence(replaced, outcome);
    qWarning("%s", qPrintable(sentence));
    noteProblem(sentence);
    Q_EMIT historyReplaced(sentence);
}

HistoryClearOutcome EngineTables::clearHistory(const QDateTime &now)
{
    using Result = HistoryClearOutcome::Result;
    HistoryClearOutcome outcome;
    if (recorder_.busy()) {
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
        const QString stem = QStringLiteral("datat.cleared-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
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
    if (!recorder_.clearHistory()) {
        outcome.result = Result::NotCleared;
        outcome.why = history_->lastError();
        qWarning("The history could not be cleared: %s", qPrintable(outcome.why));
    }
    Q_EMIT historyCleared();
    return outcome;
}

// The user's corrections go with the history: every face reading it shows
// corrected values.
void EngineTables::calibrateHistory()
{
    if (history_ && context_.publishSettings)
        history_->setCalibration(
            std::shared_ptr<const Calibration>(context_.publishSettings, &context_.publishSettings->calibration));
}

}  // namespace nimbrel
