// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpNetwork.h"

#include "DateFormat.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace nimbrel {

namespace {

// The service's words in a status line: one line, no longer than this.
constexpr int kMaxWordsShown = 200;

HttpNetworkPauses &pausesInUse()
{
    static HttpNetworkPauses pauses;
    return pauses;
}

// The first line of a server's answer as a status line may show it.
QString firstLine(const QByteArray &body)
{
    QString line = QString::fromUtf8(body.trimmed());
    line = line.left(line.indexOf(QLatin1Char('\n'))).trimmed();
    // Control characters of a hostile or broken server never reach a log line.
    for (QChar &c : line)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (line.size() > kMaxWordsShown)
        line = line.left(kMaxWordsShown - 1) + QChar(0x2026);
    return line;
}

class HttpNetwork final : public Destination {
public:
    HttpNetwork(QString name, std::unique_ptr<HttpService> service, const DestinationContext &context)
        : name_(std::move(name)),
          title_(service->title()),
          service_(std::move(service)),
          now_(context.now),
          userAgent_(QStringLiteral("Nimbrel ") + context.softwareVersion),
          pauses_(pausesInUse()),
          network_(new QNetworkAccessManager(this)),
          wait_(new QTimer(this)),
          deadline_(new QTimer(this))
    {
        pauses_.firstRetryMs = std::max(1, pauses_.firstRetryMs);
        pauses_.largestRetryMs = std::max(pauses_.firstRetryMs, pauses_.largestRetryMs);
        pauses_.timeoutMs = std::max(1, pauses_.timeoutMs);
        delayMs_ = pauses_.firstRetryMs;
        wait_->setSingleShot(true);
        deadline_->setSingleShot(true);
        connect(wait_, &QTimer::timeout, this, [this] { next(); });
        connect(deadline_, &QTimer::timeout, this, [this] {
            if (reply_) {
                timedOut_ = true;
                reply_->abort();  // finishes the reply at once
            }
        });
    }

    ~HttpNetwork() override
    {
        // Aborting finishes the reply at once; nobody must hear of it now.
        if (reply_) {
            reply_->disconnect(this);
            reply_->abort();
        }
    }

    QString name() const override { return name_; }
    Reach reach() const override { return service_->reach(); }
    // A present-only service holds the record in flight and the newest one
    // waiting its turn; one that takes the past holds one record.
    int capacity() const override { return service_->reach().past ? 1 : 2; }
    bool ready() const override { return !refused_; }
    void setStationState(const StationState &state) override
    {
        station_ = state;
        service_->setStationState(state);
    }

    void take(const CurrentConditions &c) override
    {
        if (refused_ || !c.time.isValid()) {
            Q_EMIT released(c.time);
            return;
        }
        if (service_->reach().past) {
            if (lastTaken_.isValid() && lastTaken_.secsTo(c.time) < intervalMs() / 1000) {
                Q_EMIT released(c.time);
                return;
            }
            pending_ = c;
        } else if (pending_ && pending_->time >= c.time) {
            Q_EMIT released(c.time);
            return;
        } else {
            const std::optional<CurrentConditions> replaced = std::exchange(pending_, c);
            if (replaced)
                Q_EMIT released(replaced->time);
        }
        next();
        Q_EMIT statusChanged();
    }

    DestinationState state() const override
    {
        if (refused_ || failing_)
            return DestinationState::Failing;
        if (reply_ || pending_)
            return DestinationState::Sending;
        return delivered_.isValid() ? DestinationState::Ok : DestinationState::Waiting;
    }
    QString line() const override { return text_; }
    QString sentence() const override
    {
        if (!text_.isEmpty())
            return text_;
        if (reply_ || pending_)
            return title_ + QStringLiteral(": sending");
        return title_ + QStringLiteral(": waiting for a record");
    }
    QString troubleWord() const override { return title_ + QStringLiteral(" failed"); }

private:
    enum class Phase { Preparing, Delivering };

    QDateTime now() const { return now_ ? now_() : QDateTime::currentDateTime(); }
    int intervalMs() const
    {
        return pauses_.intervalMs >= 0 ? pauses_.intervalMs : std::max(0, service_->intervalSecs()) * 1000;
    }
    static QString clockText(const QDateTime &t) { return formatDateTime(t, QStringLiteral("hh:mm")); }

    // Sends what is due: the preparation once, then the waiting record once
    // the interval since the last request is over.
    void next()
    {
        while (!reply_ && !refused_ && !wait_->isActive() && pending_) {
            const Reach reach = service_->reach();
            // A record that waited (retries, the interval) past what the
            // service takes is passed over.
            const QDateTime recordTime(pending_->time.date(), pending_->time.time());
            if (reach.limitSecs > 0 && recordTime.secsTo(QDateTime(now().date(), now().time())) > reach.limitSecs) {
                Q_EMIT released(std::exchange(pending_, std::nullopt)->time);
                continue;
            }
            // Asked again until one succeeded: a service may have nothing
            // to prepare yet (a registration waits for the location).
            if (!prepared_) {
                if (const std::optional<HttpCall> preparation = service_->preparation()) {
                    send(*preparation, Phase::Preparing);
                    return;
                }
            }
            if (lastRequest_.isValid() && lastRequest_.elapsed() < intervalMs()) {
                wait_->start(static_cast<int>(intervalMs() - lastRequest_.elapsed()));
                return;
            }
            QString why;
            const std::optional<HttpCall> call = service_->call(*pending_, station_, &why);
            const CurrentConditions record = *std::exchange(pending_, std::nullopt);
            if (!call) {
                text_ = QStringLiteral("%1: the record of %2 is not sent: %3").arg(title_, clockText(record.time), why);
                Q_EMIT released(record.time);
                Q_EMIT statusChanged();
                continue;
            }
            inFlight_ = record;
            lastTaken_ = record.time;
            lastRequest_.start();
            send(*call, Phase::Delivering);
        }
    }

    void send(const HttpCall &call, Phase phase)
    {
        phase_ = phase;
        QNetworkRequest request(call.url);
        request.setHeader(QNetworkRequest::UserAgentHeader, userAgent_);
        // No transfer timeout of Qt's own: the deadline covers the whole
        // exchange, a server that trickles its answer included.
        request.setTransferTimeout(0);
        for (const auto &[header, value] : call.headers)
            request.setRawHeader(header, value);
        if (call.method == "GET")
            reply_ = network_->get(request);
        else if (call.method == "POST")
            reply_ = network_->post(request, call.body);
        else if (call.method == "PUT")
            reply_ = network_->put(request, call.body);
        else
            reply_ = network_->sendCustomRequest(request, call.method, call.body);
        answer_.clear();
        tooLong_ = false;
        timedOut_ = false;
        deadline_->start(pauses_.timeoutMs);
        connect(reply_, &QNetworkReply::readyRead, this, [this, reply = reply_] {
            if (reply != reply_)
                return;
            answer_ += reply->read(kHttpNetworkMaxAnswerBytes + 1 - answer_.size());
            if (answer_.size() > kHttpNetworkMaxAnswerBytes) {
                tooLong_ = true;
                reply->abort();
            }
        });
        connect(reply_, &QNetworkReply::finished, this, [this, reply = reply_] { finished(reply); });
    }

    void finished(QNetworkReply *reply)
    {
        reply->deleteLater();
        if (reply != reply_)
            return;
        reply_ = nullptr;
        deadline_->stop();
        HttpAnswer got;
        got.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!tooLong_)
            answer_ += reply->read(kHttpNetworkMaxAnswerBytes - answer_.size());
        got.body = answer_;
        bool ok = false;
        const int retryAfter = reply->rawHeader("Retry-After").trimmed().toInt(&ok);
        got.retryAfterSecs = ok && retryAfter >= 0 ? retryAfter : -1;
        Answer said;
        if (tooLong_ || timedOut_) {
            // A cut answer is no answer: its end might have said otherwise.
            said.verdict = Verdict::Retry;
            said.words = tooLong_ ? QStringLiteral("the answer is longer than %1 bytes").arg(kHttpNetworkMaxAnswerBytes)
                                  : QStringLiteral("no answer within %1 s").arg((pauses_.timeoutMs + 999) / 1000);
        } else {
            if (got.status == 0)
                got.error = reply->errorString();
            said = phase_ == Phase::Preparing ? service_->prepared(got) : service_->answer(got);
        }
        settle(said, got.retryAfterSecs);
    }

    void settle(const Answer &said, int retryAfterSecs)
    {
        const std::optional<CurrentConditions> sent = std::exchange(inFlight_, std::nullopt);
        const QString words = said.words.isEmpty() ? QStringLiteral("an answer without words") : said.words;
        switch (said.verdict) {
        case Verdict::Delivered:
            delayMs_ = pauses_.firstRetryMs;
            failing_ = false;
            if (phase_ == Phase::Preparing) {
                prepared_ = true;
                break;
            }
            if (sent) {
                delivered_ = sent->time;
                text_ = QStringLiteral("%1: delivered %2").arg(title_, clockText(sent->time));
                Q_EMIT acknowledged(sent->time);
            }
            break;
        case Verdict::Rejected:
            if (phase_ == Phase::Delivering) {
                failing_ = true;
                text_ = QStringLiteral("%1: failing: %2").arg(title_, words);
                if (sent)
                    Q_EMIT released(sent->time);
                break;
            }
            // A preparation the service turned down is tried again later,
            // the record kept.
            [[fallthrough]];
        case Verdict::Retry: {
            int wait = delayMs_;
            if (retryAfterSecs > 0)
                wait = std::clamp(static_cast<int>(std::min<qint64>(retryAfterSecs, pauses_.largestRetryMs / 1000) * 1000),
                                  delayMs_, pauses_.largestRetryMs);
            delayMs_ = std::min(delayMs_ * 2, pauses_.largestRetryMs);
            failing_ = true;
            text_ = QStringLiteral("%1: failing: %2; next try in %3 s").arg(title_, words).arg((wait + 999) / 1000);
            // The pause runs before anyone hears of the record: a newer one
            // handed meanwhile waits for it too.
            wait_->start(wait);
            // The record is kept unless a newer one took its place.
            if (sent && !pending_)
                pending_ = sent;
            else if (sent)
                Q_EMIT released(sent->time);
            break;
        }
        case Verdict::Refused:
            // No more tries: a wrong key tried again and again can get the
            // station or the account barred.
            refused_ = true;
            wait_->stop();
            pending_.reset();
            text_ = QStringLiteral("%1: failing: %2; check the settings").arg(title_, words);
            Q_EMIT statusChanged();
            Q_EMIT readyChanged(false);
            return;
        }
        Q_EMIT statusChanged();
        next();
    }

    QString name_;
    QString title_;
    std::unique_ptr<HttpService> service_;
    std::function<QDateTime()> now_;
    QString userAgent_;
    HttpNetworkPauses pauses_;
    StationState station_;
    QNetworkAccessManager *network_;
    QTimer *wait_;      // the interval or a retry pause
    QTimer *deadline_;  // the request in flight
    QNetworkReply *reply_ = nullptr;
    Phase phase_ = Phase::Delivering;
    QByteArray answer_;
    bool tooLong_ = false;
    bool timedOut_ = false;
    std::optional<CurrentConditions> pending_;   // the record to send next
    std::optional<CurrentConditions> inFlight_;  // the record reply_ carries
    QElapsedTimer lastRequest_;  // the last record sent, on the monotonic clock
    QDateTime lastTaken_;        // the time of the last record sent
    QDateTime delivered_;
    QString text_;
    int delayMs_ = 30000;
    bool prepared_ = false;
    bool failing_ = false;
    bool refused_ = false;
};

}  // namespace

void setHttpNetworkPauses(const HttpNetworkPauses &pauses)
{
    pausesInUse() = pauses;
}

Answer commonAnswer(const HttpAnswer &answer, bool ok)
{
    const bool success = answer.status >= 200 && answer.status < 300;
    if (success && ok)
        return {Verdict::Delivered, {}};
    QString words;
    if (answer.status == 0) {
        words = answer.error.isEmpty() ? QStringLiteral("no answer") : answer.error;
    } else {
        words = QStringLiteral("HTTP %1").arg(answer.status);
        const QString line = firstLine(answer.body);
        if (!line.isEmpty())
            words += QStringLiteral(": ") + line;
    }
    Verdict verdict = Verdict::Rejected;
    if (answer.status == 401 || answer.status == 403)
        verdict = Verdict::Refused;
    else if (answer.status == 0 || answer.status == 429 || answer.status >= 500)
        verdict = Verdict::Retry;
    return {verdict, words};
}

std::unique_ptr<Destination> makeHttpNetwork(const QString &name, std::unique_ptr<HttpService> service,
                                             const DestinationContext &context)
{
    if (!service)
        return nullptr;
    return std::make_unique<HttpNetwork>(name, std::move(service), context);
}

}  // namespace nimbrel
