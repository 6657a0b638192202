#pragma once

#include "DataFolderLock.h"

#include <QDir>
#include <QString>
#include <memory>
#include <vector>

namespace nimbrel::tool {

// Both the window and the background recorder write datat: a command that
// changes the history holds both locks while it works, so neither starts
// meanwhile. Returns the sentence that says who holds the folder, or an
// empty text once both locks are held.
inline QString holdFolder(const QString &folder, std::vector<std::unique_ptr<DataFolderLock>> &locks)
{
    for (const QString &name : {DataFolderLock::fileName(), DataFolderLock::recorderFileName()}) {
        auto lock = std::make_unique<DataFolderLock>(folder, name);
        if (lock->tryLock() == DataFolderLock::State::HeldByOther)
            return QStringLiteral("Nimbrel is running on %1 (process %2); close it first")
                .arg(QDir::toNativeSeparators(folder))
                .arg(lock->holderPid());
        locks.push_back(std::move(lock));
    }
    return {};
}

}  // namespace nimbrel::tool
