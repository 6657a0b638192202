// restore-cleared: puts the records of a cleared history back. Clearing the
// history keeps its rows as `datat.cleared-YYYYMMDD-HHMMSS` in the data
// folder; this merges such a copy into `datat`. Records stored since the
// clearing stay, a date already stored keeps its stored row, and the copy
// is left where it is. Nimbrel must not be running on the folder meanwhile.
#include "Commands.h"
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "FolderHold.h"
#include "HistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <vector>

namespace nimbrel::tool {

namespace {

constexpr const char *kUsage =
    "usage: nimbrel-tool restore-cleared [--data-dir DIR] [COPY]\n"
    "  merges the records of a cleared history back into DIR/datat; COPY is one of the\n"
    "  datat.cleared-YYYYMMDD-HHMMSS files in DIR, by default the newest. DIR is the folder\n"
    "  of ./datat when it exists, else Nimbrel's data folder. Nimbrel must not be running.\n";

constexpr const char *kCommand = "restore-cleared";
// A history of the station's shortest interval for a century stays far below.
constexpr qint64 kLargestCopy = qint64(4) << 30;

int badArguments(const QString &why)
{
    return report(kCommand, why, 2, kUsage);
}

// The newest copy by its name, which sorts by the time of the clearing.
QString newestCopy(const QDir &folder)
{
    QStringList names = folder.entryList({QStringLiteral("datat.cleared-*")}, QDir::Files | QDir::NoSymLinks,
                                         QDir::Name);
    return names.isEmpty() ? QString() : folder.filePath(names.last());
}

}  // namespace

int runRestoreCleared(const QStringList &arguments)
{
    QString folder;
    QString copy;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString why;
        if (takeDataDir(arguments, i, folder, why)) {
            if (!why.isEmpty())
                return badArguments(why);
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return badArguments(QStringLiteral("unknown option \"%1\"").arg(argument));
        } else if (copy.isEmpty()) {
            copy = argument;
        } else {
            return badArguments(QStringLiteral("only one COPY, not \"%1\" as well").arg(argument));
        }
    }
    if (folder.isEmpty())
        folder = QFileInfo(defaultHistoryFile()).absolutePath();
    if (!QFileInfo(folder).isDir())
        return report(kCommand, QStringLiteral("%1 is not a folder").arg(folder), 2);
    if (copy.isEmpty()) {
        copy = newestCopy(QDir(folder));
        if (copy.isEmpty())
            return report(kCommand, QStringLiteral("%1 holds no cleared history (datat.cleared-*)").arg(folder), 2);
    }
    const QFileInfo copyInfo(copy);
    if (copyInfo.isSymLink() || !copyInfo.isFile() || copyInfo.size() > kLargestCopy)
        return report(kCommand, QStringLiteral("%1 is not a cleared history: not a regular file of sensible size")
                                    .arg(copy), 2);
    const QString target = QDir(folder).filePath(QStringLiteral("datat"));
    if (QFileInfo(copyInfo.absoluteFilePath()) == QFileInfo(target))
        return badArguments(QStringLiteral("COPY is datat itself"));

    QString why;
    const std::unique_ptr<HistoryStore> source = HistoryStore::openForReading(copy, &why);
    if (!source)
        return report(kCommand, QStringLiteral("cannot read %1: %2").arg(copy, why), 2);
    std::vector<std::unique_ptr<DataFolderLock>> locks;
    int status = 0;
    const std::unique_ptr<HistoryStore> held = holdHistory(kCommand, folder, locks, status);
    if (!held)
        return status;
    HistoryStore &store = *held;

    long long restored = 0;
    long long present = 0;
    bool failed = false;
    {
        HistoryStore::Batch batch(store);
        const QDateTime first(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
        const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
        source->forEachBetween(first, last, RowOrder::OldestFirst, [&](const HistoryRow &row) {
            switch (store.appendRow(row)) {
            case AppendResult::Appended: ++restored; break;
            case AppendResult::Duplicate: ++present; break;
            case AppendResult::Failed: failed = true; return false;
            }
            return true;
        });
        if (!failed && !batch.commit())
            failed = true;
    }
    if (failed)
        return report(kCommand, QStringLiteral("writing %1 failed: %2").arg(target, store.lastError()), 1);
    // Rows are committed as they are read; what came before a failed read stays.
    if (!source->lastError().isEmpty())
        return report(kCommand, QStringLiteral("reading %1 stopped after %2 restored records: %3")
                                    .arg(copy)
                                    .arg(restored)
                                    .arg(source->lastError()),
                      1);
    std::printf("restored %lld records from %s into %s (%lld were there already); the copy is kept\n", restored,
                qPrintable(QDir::toNativeSeparators(copy)), qPrintable(QDir::toNativeSeparators(target)), present);
    return 0;
}

}  // namespace nimbrel::tool
