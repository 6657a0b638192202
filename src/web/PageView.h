// The two JSON documents about the current conditions:
//
// /api/current is for machines: the MQTT state message's keys, base units
// and nulls (the same function builds both), plus "connected".
//
// /api/display is what the page shows: every value already converted to
// the user's units and written by the program's number formatter, the unit
// captions beside them and the page's words in the user's language. The
// page only puts these texts into place, so it shows what the window shows.
#pragma once

#include "WebSnapshot.h"

#include <QJsonObject>

namespace nimbrel::web {

QJsonObject currentJson(const WebSnapshot &s);

// `words` from pageWords() for the snapshot's language.
QJsonObject displayJson(const WebSnapshot &s, const QJsonObject &words);

}  // namespace nimbrel::web
