// SPDX-License-Identifier: GPL-3.0-or-later
// A place the stored records are sent to (an MQTT broker, a weather
// network). The outbox hands it records oldest first, as many as it holds
// unacknowledged; the destination says which ones its server acknowledged,
// and how it fares in a word and a sentence. It lives in the publishing
// library beside the services it wraps, so the engine knows only this seam
// and the factory, never a service's type. Nothing here may wait for the
// network: a slow or dead server never delays a poll or a repaint.
#pragma once

#include "CurrentConditions.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <optional>

namespace nimbrel {

// Where the station stands: the location the user chose (the station's
// own, or a city from the table), signed degrees north and east.
struct GeoPosition {
    double latitude = 0;
    double longitude = 0;
    double altitudeM = 0;
};

// What the engine knows of the station.
struct StationState {
    bool connected = false;
    bool headerRead = false;
    QDateTime newestRecord;  // the station's wall clock, as Measurement::Dat
    int periodMinutes = 0;   // the history period; 0: not known
    std::optional<GeoPosition> position;  // known once the header was read
};

enum class DestinationState { Ok, Sending, Waiting, Failing, Off };

// "ok", "sending", "waiting", "failing", "off": the words of /api/status.
QString destinationStateWord(DestinationState state);

// Which stored records a destination takes.
struct Reach {
    // true: every record after the cursor, oldest first; false: only the
    // newest record (the service dates what it gets on arrival).
    bool past = false;
    // Records older than this are never handed (0: no limit). For a
    // present-only service its staleness limit, for one that takes past
    // records its back-fill window.
    qint64 limitSecs = 0;
};

struct DestinationStatus {
    QString name;
    DestinationState state = DestinationState::Waiting;
    QString sentence;
    QDateTime delivered;  // the newest record acknowledged (station wall clock); invalid: none
};

class Destination : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Destination() override = default;

    // The name in nimbrel.ini, the cursor file and /api/status ("mqtt").
    virtual QString name() const = 0;
    virtual Reach reach() const = 0;
    // How many records it holds handed but not acknowledged.
    virtual int capacity() const = 0;
    // Whether it takes records now (connected to its server).
    virtual bool ready() const = 0;
    // One stored record, oldest first; answered later by acknowledged or
    // released with its time.
    virtual void take(const CurrentConditions &conditions) = 0;
    // The newest record again, already delivered (a server that lost what
    // it held is filled again); no answer is expected.
    virtual void refresh(const CurrentConditions &) {}
    virtual void setStationState(const StationState &state) = 0;

    virtual DestinationState state() const = 0;
    // What the status bar's hint says; empty while there is nothing to say.
    virtual QString line() const = 0;
    // The sentence of /api/status: line(), or what it is waiting for.
    virtual QString sentence() const = 0;
    // The status bar's word while failing ("MQTT offline").
    virtual QString troubleWord() const = 0;

    // Another program takes the station over at once (see MqttPublisher).
    virtual void handOver() {}
    // Carrying on after a program that handed the station over.
    virtual bool continuing() const { return false; }

Q_SIGNALS:
    // The server acknowledged the record of that time and all before it.
    void acknowledged(const QDateTime &recordTime);
    // The record of that time will not be sent (stale, refused for good).
    void released(const QDateTime &recordTime);
    // true: it takes records now; false: the connection went, records
    // handed and not acknowledged must be handed again.
    void readyChanged(bool ready);
    void statusChanged();
};

}  // namespace nimbrel
