// SPDX-License-Identifier: GPL-3.0-or-later
// Query strings of the weather networks' GET requests.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

namespace nimbrel {

using QueryItems = QList<QPair<QString, QString>>;

// A number as the services read it: a point whatever the locale, rounded
// to `decimals`, no needless zeros, never "-0".
QString queryNumber(double value, int decimals);
// Appends key=number when the value has a reading; a missing value is left
// out, never sent as 0.
void addNumber(QueryItems &items, const char *key, std::optional<double> value, int decimals);

// `url` with the items after those it carries already. Every character
// outside the unreserved set is percent-encoded: a '+' in a key would
// otherwise reach the server as a space.
QUrl withQuery(QUrl url, const QueryItems &items);

}  // namespace nimbrel
