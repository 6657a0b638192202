// SPDX-License-Identifier: GPL-3.0-or-later
// InfluxDB as a destination, [influxdb] in nimbrel.ini:
//
//   url          the server, default http://localhost:8086 (a path in front
//                of /write or /api/v2/write is kept, for a proxy)
//   database     1.x: written with user and password/passwordFile (Basic
//                authentication) or a token/tokenFile, or none
//   org, bucket  2.x and 3.x (3.x needs no org): written with token/tokenFile
//   measurement  default weather
//   station      the station tag, default the data folder's name
//
// It takes past records without a limit: after an outage or on a first
// catch-up every record after the cursor goes, oldest first. What is handed
// within one turn of the event loop, and what arrives while a request is
// out, goes in one request of up to kInfluxBatchLines points; the newest of
// them is acknowledged only when InfluxDB answers 204 (or 200). One request
// at a time, on the event loop.
//
// A refused login (401, 403) or a database that does not exist (404) stops
// the writes until the settings change: the records stay in the history
// and go once the destination is made again. A batch InfluxDB rejects for
// good (another 4xx, its words in the status) is passed over. No answer, a
// 429 or a server error is tried again after a pause of 30 s doubling up to
// 10 min (a longer Retry-After in seconds is honoured within that); records
// that arrive meanwhile join the next request. A 413 (body too large)
// halves the batch and tries again at once.
#pragma once

#include "Destination.h"
#include "InfluxLine.h"

#include <QNetworkAccessManager>
#include <QTimer>
#include <deque>

class QNetworkReply;

namespace nimbrel {

// The most points in one request, and so the records the outbox hands it
// unacknowledged.
inline constexpr int kInfluxBatchLines = 5000;
// The most of an answer kept for its words, and the most read at all: a
// longer answer is cut off and counts as no answer.
inline constexpr int kInfluxAnswerKept = 4096;
inline constexpr int kInfluxAnswerLimit = 256 * 1024;

class InfluxDestination : public Destination {
public:
    InfluxDestination(InfluxSettings settings, QString userAgent);
    ~InfluxDestination() override;

    // The pause after the first failure and the largest one, and the time
    // a request may go without any byte moving.
    void setRetryDelays(int firstMs, int largestMs);
    void setTimeout(int ms) { timeoutMs_ = ms; }

    QString name() const override { return QStringLiteral("influxdb"); }
    Reach reach() const override { return {true, 0}; }
    int capacity() const override { return kInfluxBatchLines; }
    bool ready() const override { return !refused_; }
    void take(const CurrentConditions &c) override;
    void setStationState(const StationState &) override {}

    DestinationState state() const override;
    QString line() const override { return text_; }
    QString sentence() const override;
    QString troubleWord() const override { return QStringLiteral("InfluxDB failing"); }

private:
    struct Point {
        QDateTime time;
        QByteArray line;  // empty: nothing to write (no values)
    };

    void send();
    void finished(QNetworkReply *reply);
    void fail(const QString &words, int waitMs);

    InfluxSettings settings_;
    QString userAgent_;
    QNetworkAccessManager network_;
    QTimer gather_;  // zero-time: what one turn of the event loop hands goes in one request
    QTimer retry_;
    QNetworkReply *reply_ = nullptr;
    QByteArray answer_;
    qint64 answerSize_ = 0;
    std::deque<Point> pending_;  // oldest first; the first `inFlight_` are in reply_
    std::size_t inFlight_ = 0;
    int batchLines_ = kInfluxBatchLines;
    int timeoutMs_ = 30000;
    int firstDelayMs_ = 30000;
    int largestDelayMs_ = 600000;
    int delayMs_ = 30000;
    QString text_;
    bool failing_ = false;
    bool refused_ = false;
};

}  // namespace nimbrel
