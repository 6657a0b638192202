// SPDX-License-Identifier: GPL-3.0-or-later
// GET /metrics: the snapshot the page gets, in Prometheus's text exposition
// format 0.0.4, for a Prometheus server that scrapes the program.
//
// Base units in the names: °C, %, hPa, m/s, degrees, mm, seconds. Current
// readings are gauges; the rain gauge's running count is a counter
// (nimbrel_rain_millimeters_total), which Prometheus takes through the
// station's resets and wraps. A value the page would show as a placeholder
// is left out, never written as 0 or NaN: a missing sample is what a query
// sees as "no reading". Each destination has nimbrel_destination_up (1 while
// ok or sending) and one nimbrel_destination_state sample per state word of
// /api/status, 1 for the state it is in.
#pragma once

#include "WebSnapshot.h"

#include <QByteArray>
#include <QDateTime>

namespace nimbrel::web {

// The content type the format asks for.
inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// `now`: the computer's clock, for the newest record's age.
QByteArray metricsText(const WebSnapshot &snapshot, const QDateTime &now);

// A label value as the format quotes it: backslash, double quote and line
// feed escaped, the rest as UTF-8.
QByteArray metricsLabelValue(const QString &value);

}  // namespace nimbrel::web
