// SPDX-License-Identifier: GPL-3.0-or-later
// CWOP as a destination: one short APRS-IS connection per packet, on the
// event loop (a slow or dead server never delays a poll or a repaint).
//
// Packets go out at a fixed point of every five-minute slot (CwopPacket.h:
// cwopSlotOffsetMs), no sooner than `interval` minutes after the last one,
// so an interval that is not a multiple of five becomes the next multiple.
// Only then does the destination take a record: the newest one, never one
// older than kCwopStaleSecs, and never one already sent. An exchange:
// connect, read the server's greeting, send the login, wait for its
// "# logresp" answer, send the packet and close; the record counts as
// delivered when the packet was written and the connection closed cleanly.
// Every step has its timeout and every line read its length limit. A
// failure is tried again after a pause of 30 s that doubles up to 10 min;
// a refused login stops all tries until the settings change (a new
// destination is made). Without a usable position nothing is sent.
#pragma once

#include "CwopPacket.h"
#include "Destination.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class QTcpSocket;
class QTimer;

namespace nimbrel {

// The most of one line of the server read (APRS-IS lines are at most 512
// bytes with their end), and of everything read before the login answer.
inline constexpr int kCwopMaxLineBytes = 512;
inline constexpr int kCwopMaxGreetingBytes = 8 * 1024;

struct CwopTimings {
    qint64 slotMs = 5 * 60 * 1000;
    qint64 offsetMs = -1;   // into each slot; -1: cwopSlotOffsetMs of the station
    qint64 intervalMs = -1; // -1: the settings' interval
    int stepTimeoutMs = 20000;  // connecting, the greeting, the login answer, the close
    int firstRetryMs = 30000;
    int largestRetryMs = 600000;
};

class CwopDestination : public Destination {
public:
    CwopDestination(CwopSettings settings, std::function<QDateTime()> now, QObject *parent = nullptr);
    ~CwopDestination() override;

    // Shorter pauses for tests; the schedule starts again from now.
    void setTimings(const CwopTimings &timings);
    // When the next packet or try is due (the computer's clock); invalid:
    // none (refused).
    QDateTime nextAttempt() const;

    QString name() const override { return QStringLiteral("cwop"); }
    Reach reach() const override { return {false, kCwopStaleSecs}; }
    int capacity() const override { return 1; }
    bool ready() const override;
    void take(const CurrentConditions &conditions) override;
    void setStationState(const StationState &state) override;

    DestinationState state() const override;
    QString line() const override;
    QString sentence() const override;
    QString troubleWord() const override { return QStringLiteral("CWOP failing"); }

private:
    enum class Step { Idle, Connecting, Greeting, Login, Closing };

    void openWindow();
    void planFrom(qint64 earliestMs);
    void readLines();
    void onLine(const QByteArray &line);
    void onClosed();
    void onTimeout();
    void succeed();
    void fail(const QString &why, bool refused = false);
    void dropSocket();
    bool positionUsable() const;
    qint64 nowMs() const;

    CwopSettings settings_;
    std::function<QDateTime()> now_;
    CwopTimings timings_;
    std::optional<GeoPosition> position_;
    QTimer *planned_;     // the next window: a slot or a retry
    QTimer *stepTimer_;   // the running step's timeout
    qint64 plannedMs_ = 0;
    qint64 windowMs_ = 0; // when the running window was planned to open
    bool open_ = false;   // a window is open: the outbox may hand a record
    QTcpSocket *socket_ = nullptr;
    Step step_ = Step::Idle;
    QByteArray login_;
    QByteArray packet_;   // with its line end
    QByteArray buffer_;
    qint64 readBytes_ = 0;
    qint64 toWrite_ = 0;  // bytes of the login and the packet not yet written
    QString lastComment_; // the server's last words before the login answer
    QDateTime sending_;   // the record the exchange carries
    QString text_;
    bool failing_ = false;
    bool refused_ = false;
    int retryMs_ = 30000;
};

}  // namespace nimbrel
