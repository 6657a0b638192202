// The build-time step that turns a shipped table's text form (data/*.csv,
// data/*.tsv) into its table file beside the program.
#pragma once

#include <QString>
#include <functional>

namespace nimbrel {

// Fills a new table file at `partial` from `source`; an empty text when it
// worked, else the reason ("FILE:LINE: reason").
using TableFill = std::function<QString(const QString &partial, const QString &source)>;

// Runs the command line `PROGRAM SOURCE TABLE`: the table is written under
// another name and renamed, so a failed run leaves no table that looks
// finished. Exit 0, 1 on a failure (said on stderr), 2 for bad arguments.
int runTableFileBuild(const char *program, const char *sourceKind, int argc, char *argv[], const TableFill &fill);

}  // namespace nimbrel
