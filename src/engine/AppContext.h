// What the engine is given from outside: the data folder that holds the
// table files, the folders searched for the link library, and the clock.
#pragma once

#include "Clock.h"

#include <QString>
#include <QStringList>

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
};

// The context of a program started in `startFolder` from `executableFolder`
// (its shipped tables and link library are found from there) that keeps its
// files in `dataFolder`.
AppContext programContext(const QString &dataFolder, const QString &startFolder, const QString &executableFolder,
                          const Clock *clock);

}  // namespace nimbrel
