// A JSON description of every named component of the two windows: its kind,
// texts, visibility and what it shows. Used by --dump-ui and the tests.
#pragma once

#include <QJsonObject>
#include <QList>

class QWidget;

namespace nimbrel {

QJsonObject dumpComponents(const QObject *window);
// {"TForm1": {...}, "TForm3": {...}}
QJsonObject dumpWindows(const QList<const QWidget *> &windows);

// What the program measured about itself, beside the windows in the dump as
// "timings". Durations in milliseconds.
struct UiTimings {
    double refreshDisplayMs = 0;  // the last display refresh
};
QJsonObject dumpTimings(const UiTimings &timings);

}  // namespace nimbrel
