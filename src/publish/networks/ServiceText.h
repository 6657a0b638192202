// SPDX-License-Identifier: GPL-3.0-or-later
// What the weather networks over HTTP share when they write a record and
// read an answer: numbers with a point whatever the locale, the record's
// time in UTC, wind directions as whole degrees, and the service's words
// made safe for a status line.
#pragma once

#include "CurrentConditions.h"
#include "HttpService.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace nimbrel::networks {

// `value` rounded to `decimals` as the panels round it, with a point:
// -3.25 → "-3.3"; a value that rounds to zero has no sign.
QString decimalText(double value, int decimals);
// `value` in tenths as a whole number: -5.25 → "-53", 1013.2 → "10132".
QString tenthsText(double value);

// The record's wall-clock time (the computer's local time) in UTC; invalid
// when the record has none.
QDateTime recordUtc(const CurrentConditions &c);

// A direction as whole degrees 0..359: north is 0 whether written 0 or 360.
std::optional<int> compassDegrees(std::optional<double> degrees);

// The outdoor channel (1..5; out of range counts as 1), or null when it has
// no sensor.
const ChannelConditions *outdoorChannel(const CurrentConditions &c, int channel);

// The words of an answer as a status line may show them: one line of
// printable characters, at most 200, "an empty answer" for none.
QString shownWords(const QByteArray &body);

// The verdict on an answer that is no HTTP success: no answer, 429 and 5xx
// retry; 401 and 403 refuse the credentials; any other status rejects the
// record. nullopt for a 2xx status, which each service reads itself.
std::optional<Answer> httpFailure(const HttpAnswer &answer);

}  // namespace nimbrel::networks
