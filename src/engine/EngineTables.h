// The table files of a data folder as the engine holds them: the history
// (datat) with its full check after an unclean end, the stored choices
// (datsum), the city table (citycodes) and a look at the translation table
// (lang, opened afresh by each language switch). A damaged file is set
// aside and named in problems(); the history the recorder writes into is
// handed to it here, and taken from it before the file closes.
#pragma once

#include "AppContext.h"
#include "CityTable.h"
#include "SettingsStore.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace nimbrel {

class HistoryCheck;
struct HistoryCheckOutcome;
class HistoryStore;
class LangTable;
class Recorder;

// What clearing the history came to.
struct HistoryClearOutcome {
    enum class Result { Cleared, StationBusy, NotCopied, NotCleared };
    Result result = Result::Cleared;
    QString copyPath;  // empty when there was no row to keep
    QString why;       // the store's reason for NotCopied and NotCleared
};

class EngineTables : public QObject {
    Q_OBJECT
public:
    EngineTables(const AppContext &context, Recorder &recorder, QObject *parent = nullptr);
    ~EngineTables() override;

    // Opens every table (installing the shipped city and translation
    // tables on a first start) and hands the history to the recorder.
    void open(const QDateTime &opening);
    // The recorder lets go of the history; then every file closes.
    void close();

    // Null when the file cannot be used at all (or the tables are closed).
    HistoryStore *history() const { return history_.get(); }
    CityTable *cityTable() const { return cityTable_.get(); }
    // The stored choices; none on a first start or without the file.
    std::optional<Settings> loadSettings() const;
    // True when saved, or when there is no settings file to save into (its
    // problem was told at start); false with the store's reason.
    bool saveSettings(const Settings &settings, QString *why);

    bool translationsUsable() const { return translationsUsable_; }
    // The translation table, opened fresh; null when it holds no rows or
    // has gone missing meanwhile.
    std::unique_ptr<LangTable> openTranslations(const QDateTime &now) const;
    // One sentence per damaged file, found at opening or by the history's
    // full check; empty when all are well.
    QString problems() const { return problems_; }

    // Empties the history, first keeping its rows in the data folder as
    // `datat.cleared-YYYYMMDD-HHMMSS`; without that copy nothing is
    // cleared. Refused while the recorder runs an exchange.
    HistoryClearOutcome clearHistory(const QDateTime &now);

Q_SIGNALS:
    // The full check found the history damaged and put a rebuilt file in
    // its place (or could not): the sentence for the user.
    void historyReplaced(const QString &sentence);
    // The history was emptied (or the recorder tried and failed to).
    void historyCleared();

private:
    void calibrateHistory();
    QString filePath(const QString &name) const;
    void noteProblem(const QString &sentence);
    void historyChecked(const HistoryCheckOutcome &outcome);

    AppContext context_;
    Recorder &recorder_;
    std::unique_ptr<HistoryStore> history_;
    std::unique_ptr<HistoryCheck> historyCheck_;  // while the full check runs; ends before history_ closes
    std::unique_ptr<SettingsStore> settingsStore_;
    std::unique_ptr<CityTable> cityTable_;
    bool translationsUsable_ = false;
    QString problems_;
};

}  // namespace nimbrel
