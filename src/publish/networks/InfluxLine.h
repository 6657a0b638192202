// SPDX-License-Identifier: GPL-3.0-or-later
// InfluxDB's side of a record: the line protocol point one record becomes,
// the write request of a batch of them, and what InfluxDB's answer means.
// Pure functions, no network.
//
// One line per record, not one per channel: a record is one point (one
// series, one timestamp), so a write is all or nothing per record, sending
// it again overwrites the same point, the number of points is the number of
// records, and indoor and outdoor values are compared without a join. The
// five channels are a fixed small set, so channel-numbered field names
// (channel2_temperature_c) lose nothing a channel tag would give.
//
//   weather,station=home indoor_temperature_c=21.5,indoor_humidity_pct=45,
//   channel1_temperature_c=-3.2,...,wind_speed_ms=2.24,wind_direction_deg=0,
//   wind_direction_point="N",rain_counter_mm=84.3125 1765101600
//
// Every value in its base unit, named in the field: °C, % relative
// humidity, hPa, m/s (the exact factor, not the panels' rounded one),
// degrees from north 0 ≤ d < 360, mm of rain (one tip is 0.6875 mm, kept
// exact so sums add up), UV index. Numbers are floats, humidity included:
// a field's type is fixed by its first write, and a float never conflicts.
// A value without a reading is left out, never written as 0; a channel
// without a sensor has no fields. The timestamp is the record's own time
// in whole seconds (precision=s), so a record sent twice is one point.
#pragma once

#include "CurrentConditions.h"
#include "HttpService.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace nimbrel {

// How the points are named: the measurement and the `station` tag.
struct InfluxNaming {
    QString measurement = QStringLiteral("weather");
    QString station;
};

// Where and how the batches are written.
struct InfluxSettings {
    QUrl url;          // the server's base address ("http://localhost:8086")
    QString database;  // 1.x: POST /write?db=
    QString org;       // 2.x/3.x: POST /api/v2/write?org=&bucket=
    QString bucket;
    QString user;      // 1.x: Basic authentication
    QString password;
    QString token;     // Authorization: Token
    InfluxNaming naming;
};

// Line protocol escapes: a measurement escapes commas and spaces; tag keys,
// tag values and field keys commas, equals signs and spaces; a string field
// value double quotes and backslashes. A line break, which no element may
// hold, becomes a space.
QByteArray influxMeasurement(const QString &name);
QByteArray influxKey(const QString &name);
QByteArray influxString(const QString &value);

// The point of one record, without a line end; empty when the record has no
// value at all (a point needs a field) or no valid time.
QByteArray influxLine(const CurrentConditions &c, const InfluxNaming &naming);

// The write of `body` (lines joined by '\n'): 1.x when a database is set,
// else 2.x/3.x; precision=s; the query items of the configured address
// stay in front.
HttpCall influxWrite(const InfluxSettings &settings, const QByteArray &body);

// 204 and 200 are delivered; 401, 403 refused, and 404 too (the database,
// bucket or organisation does not exist: a setting to correct, not records
// to drop); 413, 429, 5xx, any other status and no answer are tried again;
// every other 4xx is rejected. The words are InfluxDB's ("error" of 1.x and
// 3.x, "message" of 2.x), else the body's start, after the HTTP status.
Answer influxAnswer(const HttpAnswer &answer);

}  // namespace nimbrel
