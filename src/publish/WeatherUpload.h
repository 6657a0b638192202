// SPDX-License-Identifier: GPL-3.0-or-later
// The personal-weather-station upload most weather networks accept: one
// HTTP GET per record, the station's ID and key and the conditions in
// imperial units in the query string.
//
// Only current conditions are sent: a record older than ten minutes (the
// catch-up of a full read, or a retry that waited too long) is not sent,
// and each record at most once. Nor is a record dated ahead of the
// computer's clock by more than one history period: the station's clock and
// the computer's differ, and the network would take it for the weather of
// another hour. A value without a reading is left out of
// the query, never sent as 0. A failed request (no answer, an HTTP error
// such as 429 or 500) is tried again after a pause that doubles from 30 s
// up to 10 min (a Retry-After of the server is honoured within that); a
// newer record that comes meanwhile takes the waiting one's place. Requests
// run on the event loop and never block it.
#pragma once

#include "CurrentConditions.h"
#include "PublishSettings.h"

#include <QDateTime>
#include <QObject>
#include <QUrlQuery>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace nimbrel {

// Records older than this are not uploaded.
inline constexpr int kUploadMaxAgeSecs = 600;
// The most of the service's answer that is read; a longer one is a failure.
inline constexpr int kUploadMaxAnswerBytes = 4096;

// The query of one upload: ID, PASSWORD, action, dateutc, then the values
// that have a reading (tempf, humidity, dewptf from the outdoor channel;
// windspeedmph, windgustmph, winddir, rainin for the last hour, dailyrainin
// since local midnight, baromin, UV) and softwaretype.
QUrlQuery uploadQuery(const UploadSettings &settings, const CurrentConditions &c, const QString &softwareType);

class WeatherUpload : public QObject {
    Q_OBJECT
public:
    WeatherUpload(const UploadSettings &settings, const QString &softwareType, QObject *parent = nullptr);
    ~WeatherUpload() override;

    // The program's clock, which decides whether a record is current.
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    // The pause after the first failure and the largest one.
    void setRetryDelays(int firstMs, int largestMs);
    // The station's history period in minutes (0: not known, ten minutes
    // then stand in): how far ahead of the computer's clock a record may be
    // dated and still be sent.
    void setHistoryPeriod(int minutes) { periodMinutes_ = minutes; }

    // A record taken over: uploaded now, or when the running request or
    // pause is over, unless it is stale or not newer than the last offered.
    void offer(const CurrentConditions &conditions);

    bool waiting() const;  // a request or a retry is pending

Q_SIGNALS:
    void uploaded(const QDateTime &recordTime);
    // A sentence for the status bar, e.g. "Upload failed: HTTP 500; next try in 30 s",
    // or 'Upload failed: the service answered "…"; next try in 30 s'.
    void uploadFailed(const QString &why);

private:
    void sendPending();
    void finished(QNetworkReply *reply);
    bool stale(const CurrentConditions &c) const;
    qint64 secsAhead(const CurrentConditions &c) const;
    QDateTime now() const;

    UploadSettings settings_;
    QString softwareType_;
    std::function<QDateTime()> now_;
    QNetworkAccessManager *network_;
    QTimer *retry_;
    QNetworkReply *reply_ = nullptr;
    QByteArray answer_;          // what reply_ has answered so far
    bool answerTooLong_ = false;
    std::optional<CurrentConditions> pending_;   // the record to send next
    std::optional<CurrentConditions> inFlight_;  // the record reply_ carries
    QDateTime lastOffered_;
    int periodMinutes_ = 0;
    int firstDelayMs_ = 30000;
    int largestDelayMs_ = 600000;
    int delayMs_ = 30000;
};

}  // namespace nimbrel
