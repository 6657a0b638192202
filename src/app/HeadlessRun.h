// The background recorder: the station engine with no window, on a
// QCoreApplication, so that it needs no display (`nimbrel --headless`).
//
// It records, publishes and uploads as the window does and tells what
// happens, one line per event, on standard error:
//   2026-12-07T14:30:00 nimbrel: station connected
// (RecorderEvents says which events and how often a lasting failure is told.)
// A window started on the same data folder asks it for the station; it
// hands the station over and takes it back when the window ends
// (StationHandover.h).
#pragma once

#include <QDateTime>
#include <QString>

namespace nimbrel {

struct HeadlessOptions {
    QString dataDir;       // --data-dir; empty: the usual choice
    QDateTime clockStart;  // --clock; invalid: the computer's clock
};

// Runs until SIGTERM, SIGINT or SIGHUP. Exit status: 0 when stopped so,
// 1 when the link library cannot be loaded, the folder cannot be locked or
// another background recorder runs on it, 2 when the data folder cannot be
// made.
int runHeadless(int argc, char *argv[], const HeadlessOptions &options);

}  // namespace nimbrel
