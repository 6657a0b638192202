// The subcommands of nimbrel-tool. Each takes its own arguments (without the
// subcommand's name) and returns the process exit status: 0 success, 2 bad
// arguments or unreadable input, 1 any other failure.
#pragma once

#include <QStringList>

namespace nimbrel::tool {

int runDecode(const QStringList &arguments);
int runExport(const QStringList &arguments);
int runGenHistory(const QStringList &arguments);
int runAstro(const QStringList &arguments);

}  // namespace nimbrel::tool
