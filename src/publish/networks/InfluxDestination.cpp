// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfluxDestination.h"

#include "DateFormat.h"
#include "Networks.h"

#include <QDir>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>

namespace nimbrel {

namespace {

const QString kNoControl = QStringLiteral(R"([^\x00-\x1f\x7f\\]+)");

// The data folder's name, as a tag value: stable while the folder stays.
QString defaultStation(const QString &dataDir)
{
    QString name = QDir(dataDir).dirName();
    for (QChar &c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QLatin1Char('\\'))
            c = QLatin1Char('_');
    return name.isEmpty() || name == QLatin1String(".") ? QStringLiteral("nimbrel") : name;
}

}  // namespace

InfluxDestination::InfluxDestination(InfluxSettings settings, QString userAgent)
    : settings_(std::move(settings)), userAgent_(std::move(userAgent))
{
    gather_.setSingleShot(true);
    gather_.setInterval(0);
    retry_.setSingleShot(true);
    connect(&gather_, &QTimer::timeout, this, &InfluxDestination::send);
    connect(&retry_, &QTimer::timeout, this, &InfluxDestination::send);
}

InfluxDestination::~InfluxDestination()
{
    // Aborting finishes the reply at once; nobody must hear of it now.
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
}

void InfluxDestination::setRetryDelays(int firstMs, int largestMs)
{
    firstDelayMs_ = delayMs_ = std::max(1, firstMs);
    largestDelayMs_ = std::max(firstDelayMs_, largestMs);
}

void InfluxDestination::take(const CurrentConditions &c)
{
    if (refused_)
        return;
    pending_.push_back({c.time, influxLine(c, settings_.naming)});
    if (!reply_ && !retry_.isActive() && !gather_.isActive())
        gather_.start();
    if (pending_.size() == 1)
        Q_EMIT statusChanged();
}

DestinationState InfluxDestination::state() const
{
    if (refused_ || failing_)
        return DestinationState::Failing;
    if (reply_ || !pending_.empty())
        return DestinationState::Sending;
    return text_.isEmpty() ? DestinationState::Waiting : DestinationState::Ok;
}

QString InfluxDestination::sentence() const
{
    if (!text_.isEmpty())
        return text_;
    return pending_.empty() ? QStringLiteral("InfluxDB: waiting for a record") : QStringLiteral("InfluxDB: sending");
}

void InfluxDestination::send()
{
    if (reply_ || refused_)
        return;
    retry_.stop();
    QByteArray body;
    std::size_t count = 0;
    while (count < pending_.size() && count < static_cast<std::size_t>(batchLines_)) {
        const QByteArray &line = pending_[count++].line;
        if (line.isEmpty())
            continue;
        if (!body.isEmpty())
            body += '\n';
        body += line;
    }
    if (count == 0)
        return;
    if (body.isEmpty()) {
        // Records without a single value: nothing to write, nothing lost.
        const QDateTime newest = pending_[count - 1].time;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
        Q_EMIT acknowledged(newest);
        if (!pending_.empty() && !gather_.isActive())
            gather_.start();
        return;
    }
    const HttpCall call = influxWrite(settings_, body);
    QNetworkRequest request(call.url);
    request.setTransferTimeout(timeoutMs_);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
    for (const auto &[name, value] : call.headers)
        request.setRawHeader(name, value);
    inFlight_ = count;
    answer_.clear();
    answerSize_ = 0;
    reply_ = network_.post(request, call.body);
    connect(reply_, &QNetworkReply::readyRead, this, [this, reply = reply_] {
        if (reply != reply_)
            return;
        // Keep the start for its words, read the rest only to let the
        // answer end, and no more than the limit.
        const QByteArray chunk = reply->read(kInfluxAnswerLimit + 1 - answerSize_);
        answerSize_ += chunk.size();
        answer_ += chunk.left(std::max<qsizetype>(0, kInfluxAnswerKept - answer_.size()));
        if (answerSize_ > kInfluxAnswerLimit)
            reply->abort();
    });
    connect(reply_, &QNetworkReply::finished, this, [this, reply = reply_] { finished(reply); });
}

void InfluxDestination::finished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != reply_)
        return;
    reply_ = nullptr;
    const std::size_t count = std::exchange(inFlight_, 0);
    if (answerSize_ <= kInfluxAnswerLimit) {
        const QByteArray rest = reply->read(kInfluxAnswerLimit + 1 - answerSize_);
        answerSize_ += rest.size();
        answer_ += rest.left(std::max<qsizetype>(0, kInfluxAnswerKept - answer_.size()));
    }
    HttpAnswer a;
    const bool tooLong = answerSize_ > kInfluxAnswerLimit;
    if (!tooLong)
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    a.body = answer_;
    const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError ||
                          reply->error() == QNetworkReply::TimeoutError;
    if (tooLong)
        a.error = QStringLiteral("the answer is longer than %1 bytes").arg(kInfluxAnswerLimit);
    else if (timedOut)
        a.error = QStringLiteral("no answer within %1 s").arg((timeoutMs_ + 999) / 1000);
    else
        a.error = reply->errorString();
    bool ok = false;
    a.retryAfterSecs = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
    if (!ok)
        a.retryAfterSecs = -1;
    const Answer verdict = influxAnswer(a);
    const QDateTime newest = pending_[count - 1].time;
    switch (verdict.verdict) {
    case Verdict::Delivered:
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
        delayMs_ = firstDelayMs_;
        failing_ = false;
        text_ = QStringLiteral("InfluxDB: delivered %1").arg(formatDateTime(newest, QStringLiteral("hh:mm")));
        Q_EMIT acknowledged(newest);
        Q_EMIT statusChanged();
        break;
    case Verdict::Rejected:
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
        failing_ = true;
        text_ = QStringLiteral("InfluxDB: failing: %1 %2 rejected: %3")
                    .arg(count)
                    .arg(count == 1 ? QStringLiteral("record") : QStringLiteral("records"), verdict.words);
        Q_EMIT released(newest);
        Q_EMIT statusChanged();
        break;
    case Verdict::Refused:
        refused_ = true;
        pending_.clear();
        text_ = QStringLiteral("InfluxDB: failing: %1; no more tries until the settings change").arg(verdict.words);
        Q_EMIT statusChanged();
        Q_EMIT readyChanged(false);
        return;
    case Verdict::Retry:
        if (a.status == 413 && count > 1) {
            batchLines_ = static_cast<int>(count / 2);
            break;
        }
        int wait = delayMs_;
        if (a.retryAfterSecs > 0)
            wait = std::clamp(int(std::min<qint64>(a.retryAfterSecs, largestDelayMs_ / 1000) * 1000), delayMs_,
                              largestDelayMs_);
        delayMs_ = std::min(delayMs_ * 2, largestDelayMs_);
        fail(verdict.words, wait);
        return;
    }
    if (!pending_.empty() && !gather_.isActive())
        gather_.start();
}

void InfluxDestination::fail(const QString &words, int waitMs)
{
    failing_ = true;
    text_ = QStringLiteral("InfluxDB: failing: %1; next try in %2 s").arg(words).arg((waitMs + 999) / 1000);
    retry_.start(waitMs);
    Q_EMIT statusChanged();
}

std::unique_ptr<Destination> makeInfluxDestination(SectionReader &reader, const DestinationContext &context)
{
    InfluxSettings s;
    s.url = reader.url(QStringLiteral("url"), QUrl(QStringLiteral("http://localhost:8086")));
    s.database = reader.text(QStringLiteral("database")).trimmed();
    s.org = reader.text(QStringLiteral("org")).trimmed();
    s.bucket = reader.text(QStringLiteral("bucket")).trimmed();
    s.user = reader.text(QStringLiteral("user"));
    // 2.x and 3.x write with a token only; 1.x with a user and password, or
    // a token where its successors serve the 1.x write.
    s.token = reader.secret(QStringLiteral("token"), QStringLiteral("tokenFile"), false);
    s.password = reader.secret(QStringLiteral("password"), QStringLiteral("passwordFile"), false);
    const bool v1 = !s.database.isEmpty();
    const bool user = !s.user.isEmpty();
    if (v1 == !s.bucket.isEmpty())
        reader.refuse(v1 ? QStringLiteral("bucket") : QStringLiteral("database"),
                      v1 ? QStringLiteral("has both database (InfluxDB 1.x) and bucket (2.x, 3.x); keep one")
                         : QStringLiteral("is enabled but has neither database (InfluxDB 1.x) nor bucket (2.x, 3.x)"));
    else if (!v1 && user)
        reader.refuse(QStringLiteral("user"), QStringLiteral("user and password go with database (InfluxDB 1.x); "
                                                             "a bucket is written with a token"));
    else if (!v1 && s.token.isEmpty())
        reader.refuse(QStringLiteral("bucket"), QStringLiteral("is enabled but has neither token nor tokenFile"));
    else if (user && !s.token.isEmpty())
        reader.refuse(QStringLiteral("token"), QStringLiteral("has both a user and a token; keep one"));
    else if (user && s.password.isEmpty())
        reader.refuse(QStringLiteral("user"), QStringLiteral("has a user but neither password nor passwordFile"));
    else if (!user && !s.password.isEmpty())
        reader.refuse(QStringLiteral("password"), QStringLiteral("has a password but no user"));
    s.naming.measurement = reader.shaped(
        QStringLiteral("measurement"), QStringLiteral(R"([^_\x00-\x1f\x7f\\][^\x00-\x1f\x7f\\]*)"),
        QStringLiteral("a name that does not begin with _ and has no backslash or control character"),
        QStringLiteral("weather"));
    s.naming.station = reader.shaped(QStringLiteral("station"), kNoControl,
                                     QStringLiteral("a name without backslash or control character"),
                                     defaultStation(context.dataDir));
    if (!reader.ok())
        return nullptr;
    return std::make_unique<InfluxDestination>(std::move(s), QStringLiteral("Nimbrel ") + context.softwareVersion);
}

}  // namespace nimbrel
