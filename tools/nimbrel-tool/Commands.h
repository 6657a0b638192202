// The subcommands of nimbrel-tool. Each takes its own arguments (without the
// subcommand's name) and returns the process exit status: 0 success, 2 bad
// arguments or unreadable input, 1 any other failure.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

namespace nimbrel::tool {

int runDecode(const QStringList &arguments);
int runExport(const QStringList &arguments);
int runGenHistory(const QStringList &arguments);
int runImport(const QStringList &arguments);

// Says what went wrong on stderr, as "nimbrel-tool COMMAND: why", with the
// command's usage after it when given; returns status for the caller to exit with.
inline int report(const char *command, const QString &why, int status, const char *usage = nullptr)
{
    std::fprintf(stderr, "nimbrel-tool %s: %s\n%s", command, qPrintable(why), usage ? usage : "");
    return status;
}
int runAstro(const QStringList &arguments);
int runReport(const QStringList &arguments);
int runRestoreCleared(const QStringList &arguments);
int runBackup(const QStringList &arguments);
int runRestore(const QStringList &arguments);

}  // namespace nimbrel::tool
