// SPDX-License-Identifier: GPL-3.0-or-later
#include "WeatherUpload.h"

#include "DurationText.h"
#include "NumberFormat.h"
#include "Units.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>

namespace nimbrel {

namespace {

constexpr int kTransferTimeoutMs = 20000;
// The service's words in a status line: one line, no longer than this.
constexpr int kMaxWordsShown = 200;

// Numbers in the query: a point whatever the locale, no needless zeros.
QString text(double value, int decimals)
{
    return formatTrimmed(value, decimals);
}

void addIf(QUrlQuery &q, const char *key, std::optional<double> value, int decimals)
{
    if (value)
        q.addQueryItem(QString::fromLatin1(key), text(*value, decimals));
}

std::optional<double> fahrenheit(std::optional<double> celsius)
{
    return celsius ? std::optional(fahrenheitFromCelsius(*celsius)) : std::nullopt;
}

std::optional<double> inches(std::optional<int> tips)
{
    return tips ? std::optional(tipsToInch(*tips)) : std::nullopt;
}

// A server's answer as a status line may show it.
QString shownWords(const QByteArray &answer)
{
    QString words = QString::fromUtf8(answer).simplified();
    // Control characters of a hostile or broken server never reach a log line.
    for (QChar &c : words)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (words.isEmpty())
        return QStringLiteral("an empty answer");
    if (words.size() > kMaxWordsShown)
        words = words.left(kMaxWordsShown - 1) + QChar(0x2026);
    return words;
}

// Empty when the answer is the service's success, else the words to show.
QString uploadRefusal(const QByteArray &answer)
{
    if (QString::fromUtf8(answer).trimmed().compare(QLatin1String("success"), Qt::CaseInsensitive) == 0)
        return {};
    return shownWords(answer);
}

}  // namespace

QUrlQuery uploadQuery(const UploadSettings &settings, const CurrentConditions &c, const QString &softwareType)
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("ID"), settings.stationId);
    q.addQueryItem(QStringLiteral("PASSWORD"), settings.key);
    q.addQueryItem(QStringLiteral("action"), QStringLiteral("updateraw"));
    const QDateTime local(c.time.date(), c.time.time());
    q.addQueryItem(QStringLiteral("dateutc"), local.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    const int channel = std::clamp(settings.channel, 1, kChannelCount) - 1;
    const ChannelConditions &outdoor = c.channels[channel];
    if (outdoor.present) {
        addIf(q, "tempf", fahrenheit(outdoor.temperatureC), 1);
        if (outdoor.humidity)
            q.addQueryItem(QStringLiteral("humidity"), QString::number(*outdoor.humidity));
        addIf(q, "dewptf", fahrenheit(outdoor.dewPointC), 1);
    }
    addIf(q, "windspeedmph", c.windSpeedMph, 1);
    addIf(q, "windgustmph", c.windGustMph, 1);
    addIf(q, "winddir", c.windDirectionDeg, 1);
    addIf(q, "rainin", inches(c.rainLastHourTips), 2);
    addIf(q, "dailyrainin", inches(c.rainSinceMidnightTips), 2);
    addIf(q, "baromin",
          c.pressureSeaLevelHpa ? std::optional(pressureInUnit(*c.pressureSeaLevelHpa, unitCode(PressureUnit::InchHg)))
                                : std::nullopt,
          2);
    addIf(q, "UV", c.uvIndex, 1);
    q.addQueryItem(QStringLiteral("softwaretype"), softwareType);
    return q;
}

WeatherUpload::WeatherUpload(const UploadSettings &settings, const QString &softwareType, QObject *parent)
    : QObject(parent),
      settings_(settings),
      softwareType_(softwareType),
      network_(new QNetworkAccessManager(this)),
      retry_(new QTimer(this))
{
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &WeatherUpload::sendPending);
}

WeatherUpload::~WeatherUpload()
{
    // Aborting finishes the reply at once; nobody must hear of it now.
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void WeatherUpload::setRetryDelays(int firstMs, int largestMs)
{
    firstDelayMs_ = delayMs_ = std::max(1, firstMs);
    largestDelayMs_ = std::max(firstDelayMs_, largestMs);
}

QDateTime WeatherUpload::now() const
{
    return now_ ? now_() : QDateTime::currentDateTime();
}

bool WeatherUpload::stale(const CurrentConditions &c) const
{
    const QDateTime local(c.time.date(), c.time.time());
    return !local.isValid() || local.secsTo(now()) > kUploadMaxAgeSecs;
}

qint64 WeatherUpload::secsAhead(const CurrentConditions &c) const
{
    const QDateTime local(c.time.date(), c.time.time());
    const qint64 ahead = now().secsTo(local);
    const qint64 allowed = periodMinutes_ > 0 ? qint64(periodMinutes_) * 60 : kUploadMaxAgeSecs;
    return ahead > allowed ? ahead : 0;
}

bool WeatherUpload::waiting() const
{
    return reply_ || retry_->isActive();
}

void WeatherUpload::offer(const CurrentConditions &conditions)
{
    if (!conditions.time.isValid() || (lastOffered_.isValid() && conditions.time <= lastOffered_))
        return;
    // Not remembered as offered: once the clocks agree again, the records
    // dated before this one are current and go out.
    if (const qint64 ahead = secsAhead(conditions)) {
        Q_EMIT uploadFailed(QStringLiteral("Upload failed: the record is dated %1 ahead of the computer's clock; "
                                           "the station's clock and the computer's differ")
                                .arg(durationText(ahead)));
        return;
    }
    lastOffered_ = conditions.time;
    if (stale(conditions))
        return;
    pending_ = conditions;
    if (!waiting())
        sendPending();
}

void WeatherUpload::sendPending()
{
    if (pending_ && stale(*pending_)) {
        // Only a retry gets here: fresh offers of old records are refused.
        pending_.reset();
        Q_EMIT uploadFailed(QStringLiteral("Upload given up: the record is older than ten minutes"));
    }
    if (!pending_ || reply_)
        return;
    // Every character outside the unreserved set is percent-encoded: a '+'
    // in a key would otherwise reach the server as a space. Items the
    // configured address carries already stay in front.
    QUrl url = settings_.url;
    QStringList items;
    if (url.hasQuery())
        items << url.query(QUrl::FullyEncoded);
    for (const auto &[key, value] : uploadQuery(settings_, *pending_, softwareType_).queryItems(QUrl::FullyDecoded))
        items << QString::fromLatin1(QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value));
    url.setQuery(items.join(QLatin1Char('&')), QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, softwareType_);
    reply_ = network_->get(request);
    answer_.clear();
    answerTooLong_ = false;
    inFlight_ = std::move(pending_);
    pending_.reset();
    connect(reply_, &QNetworkReply::readyRead, this, [this, reply = reply_] {
        if (reply != reply_)
            return;
        answer_ += reply->read(kUploadMaxAnswerBytes + 1 - answer_.size());
        if (answer_.size() > kUploadMaxAnswerBytes) {
            answerTooLong_ = true;
            reply->abort();
        }
    });
    connect(reply_, &QNetworkReply::finished, this, [this, reply = reply_] { finished(reply); });
}

void WeatherUpload::finished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != reply_)
        return;
    reply_ = nullptr;
    std::optional<CurrentConditions> sent = std::move(inFlight_);
    inFlight_.reset();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!answerTooLong_)
        answer_ += reply->read(kUploadMaxAnswerBytes - answer_.size());
    const bool httpOk = !answerTooLong_ && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    const QString refusal = httpOk ? uploadRefusal(answer_) : QString();
    if (httpOk && refusal.isEmpty()) {
        delayMs_ = firstDelayMs_;
        Q_EMIT uploaded(sent ? sent->time : QDateTime());
        sendPending();  // a newer record that came during the request
        return;
    }

    // The record that failed is tried again unless a newer one is waiting.
    if (!pending_)
        pending_ = std::move(sent);
    int wait = delayMs_;
    bool ok = false;
    const int retryAfterSecs = reply->rawHeader("Retry-After").toInt(&ok);
    if (ok && retryAfterSecs > 0)
        wait = std::clamp(std::min(retryAfterSecs, largestDelayMs_ / 1000) * 1000, delayMs_, largestDelayMs_);
    delayMs_ = std::min(delayMs_ * 2, largestDelayMs_);
    QString why;
    if (answerTooLong_)
        why = QStringLiteral("the answer is longer than %1 bytes").arg(kUploadMaxAnswerBytes);
    else if (httpOk)
        why = QStringLiteral("the service answered \"%1\"").arg(refusal);
    else if (status > 0)
        why = answer_.trimmed().isEmpty() ? QStringLiteral("HTTP %1").arg(status)
                                          : QStringLiteral("HTTP %1 \"%2\"").arg(status).arg(shownWords(answer_));
    else
        why = reply->errorString();
    Q_EMIT uploadFailed(QStringLiteral("Upload failed: %1; next try in %2 s").arg(why).arg((wait + 999) / 1000));
    retry_->start(wait);
}

}  // namespace nimbrel
