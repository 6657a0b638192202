// import: records of a weewx archive, a Cumulus log or a Nimbrel CSV merged
// into the history (HistoryImport.h), the hourly and daily summaries brought
// up to date after. Nimbrel must not be running on the folder meanwhile.
#include "Commands.h"
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "FolderHold.h"
#include "FolderSettings.h"
#include "HistoryImport.h"
#include "HistoryStore.h"
#include "HistorySummary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <vector>

namespace nimbrel::tool {

namespace {

constexpr const char *kUsage =
    "usage: nimbrel-tool import [--data-dir DIR] [--dry-run] FILE\n"
    "  merges the records of FILE (a weewx archive, a Cumulus monthly log or a CSV written by\n"
    "  nimbrel-tool export) into DIR/datat; dates already stored keep their records. DIR is the\n"
    "  folder of ./datat when it exists, else Nimbrel's data folder. --dry-run stores nothing and\n"
    "  says what would be added, skipped and refused. Nimbrel must not be running.\n";

constexpr const char *kCommand = "import";

int badArguments(const QString &why)
{
    return report(kCommand, why, 2, kUsage);
}

}  // namespace

int runImport(const QStringList &arguments)
{
    QString folder;
    QString file;
    bool dryRun = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString why;
        if (takeDataDir(arguments, i, folder, why)) {
            if (!why.isEmpty())
                return badArguments(why);
        } else if (argument == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return badArguments(QStringLiteral("unknown option \"%1\"").arg(argument));
        } else if (file.isEmpty()) {
            file = argument;
        } else {
            return badArguments(QStringLiteral("only one FILE, not \"%1\" as well").arg(argument));
        }
    }
    if (file.isEmpty())
        return badArguments(QStringLiteral("FILE is missing"));
    if (folder.isEmpty())
        folder = QFileInfo(defaultHistoryFile()).absolutePath();
    if (!QFileInfo(folder).isDir())
        return report(kCommand, QStringLiteral("%1 is not a folder").arg(folder), 2);
    const QString target = QDir(folder).filePath(QStringLiteral("datat"));
    if (QFileInfo(file).absoluteFilePath() == QFileInfo(target).absoluteFilePath())
        return badArguments(QStringLiteral("FILE is datat itself"));

    std::vector<std::unique_ptr<DataFolderLock>> locks;
    int status = 0;
    const std::unique_ptr<HistoryStore> held = holdHistory(kCommand, folder, locks, status);
    if (!held)
        return status;

    // The summaries go with the import's transaction and are rebuilt after:
    // through their trigger ten years took half as long again.
    const ImportOutcome outcome = importHistory(*held, file, outdoorChannel(folder), dryRun,
                                                dryRun ? QStringList() : history::dropHistorySummarySql());
    switch (outcome.status) {
    case ImportOutcome::Status::FileRefused:
        return report(kCommand, QStringLiteral("%1 is refused, nothing was imported: %2").arg(file, outcome.why), 2);
    case ImportOutcome::Status::Failed:
        return report(kCommand, QStringLiteral("writing %1 failed, nothing was imported: %2").arg(target, outcome.why),
                      1);
    case ImportOutcome::Status::Done: break;
    }
    if (!dryRun) {
        QSqlDatabase db = held->database();
        QString why;
        if (history::prepareHistorySummary(db, why) == history::SummaryState::Unusable)
            std::fprintf(stderr, "nimbrel-tool %s: the records are in, but the summaries could not be brought up "
                                 "to date (the window rebuilds them): %s\n",
                         kCommand, qPrintable(why));
    }
    std::printf("%s%s: %lld %sadded, %lld skipped (already stored), %lld refused\n",
                dryRun ? "dry run, nothing stored: " : "", qPrintable(outcome.format), outcome.added,
                dryRun ? "would be " : "", outcome.skipped, outcome.refused);
    for (const QString &reason : outcome.reasons)
        std::printf("  %s\n", qPrintable(reason));
    return 0;
}

}  // namespace nimbrel::tool
