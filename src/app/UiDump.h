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

}  // namespace nimbrel
