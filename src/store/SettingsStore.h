// The user's choices that survive a restart: the one-row table SumSet in the
// SQLite file `datsum`. Every field holds the item index of its selector.
#pragma once

#include "TableFile.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace nimbrel {

struct Settings {
    int Lang = 1;    // 0 Russian, 1 English, 2 German, 3 French, 4 Italian
    int Temp = 0;    // C, F
    int Press = 0;   // hPa, mBar, mmHg, inchHg
    int Speed = 0;   // km/h, mph, m/s, knots
    int Rain = 0;    // inch, mm
    int UVI = 0;     // UVI, MED/h
    int UserCoord = 0;  // 1: the user's city replaces the station's location
    int CityCode = 0;   // Code of the city chosen in the city box
};

class SettingsStore {
public:
    struct Opened;
    static Opened open(const QString &path, const QDateTime &now);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The stored row; nothing when none was saved yet (first start).
    std::optional<Settings> load() const;
    // Inserts the row or replaces it.
    bool save(const Settings &settings);
    QString lastError() const { return lastError_; }

private:
    explicit SettingsStore(QString connection) : connection_(std::move(connection)) {}
    QString connection_;
    QString lastError_;
};

struct SettingsStore::Opened {
    std::unique_ptr<SettingsStore> store;  // null when the file cannot be used: defaults apply
    TableProblem problem = TableProblem::None;  // read-only or full: load works, save fails
    QString setAside;
    QString error;
};

}  // namespace nimbrel
