// What the engine is given from outside: the data folder that holds the
// table files, the folders searched for the link library, the clock, and
// nimbrel.ini as read once at the program's start.
#pragma once

#include "Clock.h"
#include "PublishSettings.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace nimbrel {

struct AppContext {
    QString workDir;
    QStringList libraryFolders;
    const Clock *clock = nullptr;
    // The city table the program ships, copied into workDir on first start.
    QString defaultCityTable;
    // The translation table the program ships, copied the same way.
    QString defaultLangTable;
    // Start-up messages go to stderr instead of message boxes (diagnostic runs).
    bool quietMessages = false;
    // nimbrel.ini of workDir, read once when the program starts and shared
    // by publishing, the web page and the backups; taking the station back
    // after a handover reads it no more. Null: the engine reads it itself.
    std::shared_ptr<const PublishSettings> publishSettings;
};

// nimbrel.ini of the data folder, read (a missing file turns everything off).
std::shared_ptr<const PublishSettings> readPublishSettings(const QString &dataFolder);

// The context of a program started in `startFolder` from `executableFolder`
// (its shipped tables and link library are found from there) that keeps its
// files in `dataFolder`; its nimbrel.ini is read here.
AppContext programContext(const QString &dataFolder, const QString &startFolder, const QString &executableFolder,
                          const Clock *clock);

}  // namespace nimbrel
