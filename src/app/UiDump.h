// A JSON description of every named component of the two windows: its kind,
// texts, visibility and what it shows. Used by --dump-ui and the tests.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>

class QWidget;

namespace nimbrel {

QJsonObject dumpComponents(const QObject *window);
// {"TForm1": {...}, "TForm3": {...}, "timings": {...}}; the timings only when
// some were set.
QJsonObject dumpWindows(const QList<const QWidget *> &windows);

// A measured figure for the dump's "timings" object (milliseconds, or an
// object of them).
void setDumpTiming(const QString &key, const QJsonValue &value);

}  // namespace nimbrel
