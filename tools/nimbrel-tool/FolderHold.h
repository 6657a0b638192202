#pragma once

#include "Commands.h"
#include "DataFolderLock.h"
#include "HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>
#include <memory>
#include <cstdio>
#include <vector>

namespace nimbrel::tool {

// `--data-dir DIR` or `--data-dir=DIR` at arguments[i] (i then stands on
// DIR): true when the argument is one, with `why` set when DIR is missing.
inline bool takeDataDir(const QStringList &arguments, int &i, QString &folder, QString &why)
{
    const QString &argument = arguments.at(i);
    if (argument == QLatin1String("--data-dir")) {
        if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
            why = QStringLiteral("--data-dir needs a folder");
        else
            folder = arguments.at(++i);
        return true;
    }
    if (!argument.startsWith(QLatin1String("--data-dir=")))
        return false;
    folder = argument.mid(int(sizeof("--data-dir=")) - 1);
    if (folder.isEmpty())
        why = QStringLiteral("--data-dir needs a folder");
    return true;
}

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

// Holds the folder and opens its datat for writing. Without a history to
// write, the sentence has been told and `status` is the exit status.
inline std::unique_ptr<HistoryStore> holdHistory(const char *command, const QString &folder,
                                                 std::vector<std::unique_ptr<DataFolderLock>> &locks, int &status)
{
    const QString inUse = holdFolder(folder, locks);
    if (!inUse.isEmpty()) {
        status = report(command, inUse, 1);
        return nullptr;
    }
    const QString target = QDir(folder).filePath(QStringLiteral("datat"));
    HistoryStore::Opened opened = HistoryStore::open(target, QDateTime::currentDateTime());
    if (!opened.store || (opened.problem != TableProblem::None && opened.problem != TableProblem::Empty)) {
        status = report(command, QStringLiteral("cannot write %1: %2")
                                     .arg(target, opened.error.isEmpty() ? toString(opened.problem) : opened.error),
                        1);
        return nullptr;
    }
    if (!opened.setAside.isEmpty())
        std::fprintf(stderr, "nimbrel-tool %s: the damaged %s was kept as %s\n", command, qPrintable(target),
                     qPrintable(opened.setAside));
    return std::move(opened.store);
}

}  // namespace nimbrel::tool
