// SPDX-License-Identifier: GPL-3.0-or-later
#include "CwopDestination.h"

#include "DateFormat.h"
#include "FromTimeText.h"
#include "Networks.h"

#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace nimbrel {

namespace {

// The server's words in a status line: one line, no longer than this.
constexpr int kMaxWordsShown = 200;

QString shownWords(const QByteArray &line)
{
    QString words = QString::fromUtf8(line).simplified();
    // Control characters of a hostile or broken server never reach a log line.
    for (QChar &c : words)
        if (!c.isPrint())
            c = QLatin1Char('?');
    if (words.size() > kMaxWordsShown)
        words = words.left(kMaxWordsShown - 1) + QChar(0x2026);
    return words;
}

QString clockText(const QDateTime &t)
{
    return formatDateTime(t, QStringLiteral("hh:nn"));
}

}  // namespace

CwopDestination::CwopDestination(CwopSettings settings, std::function<QDateTime()> now, QObject *parent)
    : Destination(parent),
      settings_(std::move(settings)),
      now_(std::move(now)),
      planned_(new QTimer(this)),
      stepTimer_(new QTimer(this))
{
    planned_->setSingleShot(true);
    planned_->setTimerType(Qt::PreciseTimer);  // a coarse one may fire seconds early
    stepTimer_->setSingleShot(true);
    connect(planned_, &QTimer::timeout, this, &CwopDestination::openWindow);
    connect(stepTimer_, &QTimer::timeout, this, &CwopDestination::onTimeout);
    setTimings(timings_);
}

CwopDestination::~CwopDestination()
{
    // Nobody must hear of an exchange cut short now.
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
    }
}

void CwopDestination::setTimings(const CwopTimings &timings)
{
    timings_ = timings;
    if (timings_.offsetMs < 0)
        timings_.offsetMs = cwopSlotOffsetMs(settings_.stationId);
    if (timings_.intervalMs < 0)
        timings_.intervalMs = qint64(std::max(settings_.intervalMinutes, kCwopMinIntervalMinutes)) * 60 * 1000;
    timings_.firstRetryMs = std::max(1, timings_.firstRetryMs);
    timings_.largestRetryMs = std::max(timings_.firstRetryMs, timings_.largestRetryMs);
    retryMs_ = timings_.firstRetryMs;
    if (!refused_ && !socket_)
        planFrom(nowMs());
}

qint64 CwopDestination::nowMs() const
{
    return (now_ ? now_() : QDateTime::currentDateTime()).toMSecsSinceEpoch();
}

QDateTime CwopDestination::nextAttempt() const
{
    if (!planned_->isActive())
        return {};
    return QDateTime::fromMSecsSinceEpoch(plannedMs_);
}

void CwopDestination::planFrom(qint64 earliestMs)
{
    plannedMs_ = cwopNextSlot(std::max(earliestMs, nowMs()), timings_.slotMs, timings_.offsetMs);
    planned_->start(static_cast<int>(std::clamp<qint64>(plannedMs_ - nowMs(), 0, timings_.slotMs + 1000)));
}

bool CwopDestination::positionUsable() const
{
    return position_ && cwopPositionUsable(*position_);
}

bool CwopDestination::ready() const
{
    return open_ && !refused_ && !socket_ && positionUsable();
}

void CwopDestination::openWindow()
{
    if (refused_ || socket_)
        return;
    // A timer cut short by a clock that was set back: the slot is still ahead.
    if (nowMs() < plannedMs_) {
        planned_->start(static_cast<int>(std::min<qint64>(plannedMs_ - nowMs(), timings_.slotMs + 1000)));
        return;
    }
    windowMs_ = plannedMs_;
    if (!positionUsable()) {
        planFrom(windowMs_ + 1);
        return;
    }
    // The outbox hands the record due, if any, while it hears of the window.
    open_ = true;
    Q_EMIT readyChanged(true);
    if (open_) {
        // Nothing due (none newer than the one sent, or none fresh enough):
        // the next slot.
        open_ = false;
        Q_EMIT readyChanged(false);
        if (!socket_ && !refused_)
            planFrom(windowMs_ + 1);
    }
}

void CwopDestination::take(const CurrentConditions &c)
{
    const QDateTime now = wallClock(QDateTime::fromMSecsSinceEpoch(nowMs()));
    const bool stale = !c.time.isValid() || wallClock(c.time).secsTo(now) > kCwopStaleSecs;
    if (!ready() || stale) {
        Q_EMIT released(c.time);
        return;
    }
    open_ = false;
    planned_->stop();
    sending_ = c.time;
    login_ = cwopLogin(settings_);
    packet_ = cwopPacket(settings_, c, *position_) + "\r\n";
    toWrite_ = login_.size() + packet_.size();
    buffer_.clear();
    readBytes_ = 0;
    lastComment_.clear();

    socket_ = new QTcpSocket(this);
    socket_->setReadBufferSize(kCwopMaxGreetingBytes);
    step_ = Step::Connecting;
    connect(socket_, &QTcpSocket::connected, this, [this] {
        step_ = Step::Greeting;
        stepTimer_->start(timings_.stepTimeoutMs);
    });
    connect(socket_, &QTcpSocket::readyRead, this, &CwopDestination::readLines);
    connect(socket_, &QTcpSocket::bytesWritten, this, [this](qint64 n) { toWrite_ -= n; });
    connect(socket_, &QTcpSocket::disconnected, this, &CwopDestination::onClosed);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this, s = socket_](QAbstractSocket::SocketError error) {
        // A server that closes the connection: the close says what it means.
        if (error == QAbstractSocket::RemoteHostClosedError && step_ != Step::Connecting)
            return;
        fail(s->errorString());
    });
    stepTimer_->start(timings_.stepTimeoutMs);
    socket_->connectToHost(settings_.server, static_cast<quint16>(settings_.port));
    Q_EMIT statusChanged();
}

void CwopDestination::readLines()
{
    while (socket_) {
        if (step_ == Step::Closing) {
            // What comes after the packet (a keep-alive) is not read.
            socket_->skip(socket_->bytesAvailable());
            return;
        }
        const qsizetype end = buffer_.indexOf('\n');
        if (end < 0) {
            if (buffer_.size() > kCwopMaxLineBytes) {
                fail(QStringLiteral("the server sent a line longer than %1 bytes").arg(kCwopMaxLineBytes));
                return;
            }
            if (socket_->bytesAvailable() <= 0)
                return;
            buffer_ += socket_->read(kCwopMaxLineBytes + 1 - buffer_.size());
            continue;
        }
        QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        readBytes_ += line.size() + 1;
        if (readBytes_ > kCwopMaxGreetingBytes) {
            fail(QStringLiteral("the server sent more than %1 bytes without answering the login")
                     .arg(kCwopMaxGreetingBytes));
            return;
        }
        onLine(line);
    }
}

void CwopDestination::onLine(const QByteArray &line)
{
    if (step_ == Step::Greeting) {
        lastComment_ = shownWords(line);
        step_ = Step::Login;
        stepTimer_->start(timings_.stepTimeoutMs);
        socket_->write(login_);
        return;
    }
    if (step_ != Step::Login)
        return;
    switch (cwopLoginAnswer(line, settings_.passcode)) {
    case CwopLogin::NotYet:
        if (line.startsWith('#'))
            lastComment_ = shownWords(line);
        return;
    case CwopLogin::Refused:
        fail(QStringLiteral("the server refused the login: \"%1\"; check stationId and passcode").arg(shownWords(line)),
             true);
        return;
    case CwopLogin::Accepted:
        step_ = Step::Closing;
        stepTimer_->start(timings_.stepTimeoutMs);
        socket_->write(packet_);
        // Closes once everything is written; disconnected() follows.
        socket_->disconnectFromHost();
        return;
    }
}

void CwopDestination::onClosed()
{
    if (!socket_)
        return;
    if (step_ == Step::Closing && toWrite_ <= 0) {
        succeed();
        return;
    }
    if (step_ == Step::Closing)
        fail(QStringLiteral("the connection closed before the packet was sent"));
    else if (lastComment_.isEmpty())
        fail(QStringLiteral("the server closed the connection before answering the login"));
    else
        fail(QStringLiteral("the server closed the connection before answering the login; it said \"%1\"")
                 .arg(lastComment_));
}

void CwopDestination::onTimeout()
{
    const int secs = (timings_.stepTimeoutMs + 999) / 1000;
    switch (step_) {
    case Step::Connecting:
        fail(QStringLiteral("no connection to %1:%2 within %3 s").arg(settings_.server).arg(settings_.port).arg(secs));
        return;
    case Step::Greeting:
        fail(QStringLiteral("the server sent no greeting within %1 s").arg(secs));
        return;
    case Step::Login:
        fail(QStringLiteral("the server did not answer the login within %1 s").arg(secs));
        return;
    case Step::Closing:
        fail(QStringLiteral("the connection did not close within %1 s after the packet").arg(secs));
        return;
    case Step::Idle:
        return;
    }
}

void CwopDestination::dropSocket()
{
    stepTimer_->stop();
    step_ = Step::Idle;
    if (!socket_)
        return;
    QTcpSocket *s = socket_;
    socket_ = nullptr;
    s->disconnect(this);
    s->abort();
    s->deleteLater();
}

void CwopDestination::succeed()
{
    dropSocket();
    const QDateTime sent = sending_;
    failing_ = false;
    retryMs_ = timings_.firstRetryMs;
    text_ = QStringLiteral("CWOP: sent %1").arg(clockText(sent));
    planFrom(windowMs_ + timings_.intervalMs);
    Q_EMIT statusChanged();
    Q_EMIT acknowledged(sent);
}

void CwopDestination::fail(const QString &why, bool refused)
{
    dropSocket();
    failing_ = true;
    if (refused) {
        refused_ = true;
        planned_->stop();
        text_ = QStringLiteral("CWOP: failing: %1; nothing more is sent until the settings change").arg(why);
        Q_EMIT statusChanged();
        Q_EMIT released(sending_);
        return;
    }
    const int wait = retryMs_;
    retryMs_ = std::min(retryMs_ * 2, timings_.largestRetryMs);
    text_ = QStringLiteral("CWOP: failing: %1; next try in %2 s").arg(why).arg((wait + 999) / 1000);
    plannedMs_ = nowMs() + wait;
    planned_->start(wait);
    Q_EMIT statusChanged();
    // The record handed comes again (or a newer one) when the pause is over.
    Q_EMIT readyChanged(false);
}

void CwopDestination::setStationState(const StationState &state)
{
    const bool before = positionUsable();
    position_ = state.position;
    if (positionUsable() != before)
        Q_EMIT statusChanged();
}

DestinationState CwopDestination::state() const
{
    if (failing_ || refused_)
        return DestinationState::Failing;
    if (socket_)
        return DestinationState::Sending;
    if (!positionUsable() || text_.isEmpty())
        return DestinationState::Waiting;
    return DestinationState::Ok;
}

QString CwopDestination::line() const
{
    if (!failing_ && !refused_ && !positionUsable())
        return QStringLiteral("CWOP: nothing is sent until the station's location is known");
    return text_;
}

QString CwopDestination::sentence() const
{
    const QString said = line();
    if (!said.isEmpty())
        return said;
    return QStringLiteral("CWOP: waiting for a record to send to %1").arg(settings_.server);
}

std::unique_ptr<Destination> makeCwopDestination(SectionReader &reader, const DestinationContext &context)
{
    CwopSettings s;
    s.stationId = reader
                      .shaped(QStringLiteral("stationId"), QLatin1String(kCwopStationIdPattern),
                              QStringLiteral("a callsign such as DL1ABC-13 or a CWOP ID such as EW1234"))
                      .toUpper();
    s.passcode = reader.integer(QStringLiteral("passcode"), -1, 32767, -1);
    s.server = reader.shaped(QStringLiteral("server"), QStringLiteral("[A-Za-z0-9.:-]{1,253}"),
                             QStringLiteral("a host name such as %1").arg(QLatin1String(kCwopServer)),
                             QString::fromLatin1(kCwopServer));
    s.port = reader.integer(QStringLiteral("port"), 1, 65535, kCwopPort);
    s.intervalMinutes =
        reader.integer(QStringLiteral("interval"), kCwopMinIntervalMinutes, 1440, kCwopDefaultIntervalMinutes);
    s.outdoorChannel = context.outdoorChannel;
    s.softwareVersion = context.softwareVersion;
    if (!reader.ok())
        return nullptr;
    return std::make_unique<CwopDestination>(std::move(s), context.now);
}

}  // namespace nimbrel
