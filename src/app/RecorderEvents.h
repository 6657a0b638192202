// What the background recorder tells of the engine's snapshots, one
// sentence per event: the station found, gone and back, full reads, records
// stored, a failing history, the upload and MQTT failing and recovering,
// the station's clock running ahead, the station handed over.
//
// A failure that lasts (the upload, MQTT, the clocks) is told when it
// starts, then at most once an hour while it lasts, by the program's clock,
// and its end is told too. Nothing here reads the clock itself.
#pragma once

#include "StationSnapshot.h"

#include <QDateTime>
#include <QString>
#include <functional>

namespace nimbrel {

// A failure that lasts: when to tell of it.
class LastingFailure {
public:
    enum class Tell { Nothing, Started, Lasts, Ended };
    // failing: the newest word on it; now: the program's clock.
    Tell note(bool failing, const QDateTime &now);

private:
    bool failing_ = false;
    QDateTime toldAt_;
};

class RecorderEvents {
public:
    RecorderEvents(std::function<QDateTime()> now, std::function<void(const QString &)> say);

    void show(const StationSnapshot &s);

private:
    void showConnection(const StationSnapshot &s);
    void showPublishing(const QStringList &lines);
    void showClock(const StationSnapshot &s);

    std::function<QDateTime()> now_;
    std::function<void(const QString &)> say_;
    bool stationKnown_ = false;  // the first link check since the station was taken was told
    bool connected_ = false;
    StationSnapshot readStart_;
    long long stored_ = 0;
    int continued_ = 0;
    bool reading_ = false;
    LastingFailure upload_;
    LastingFailure mqtt_;
    bool mqttSeen_ = false;  // MQTT was connected or told failing before
    LastingFailure clock_;
};

}  // namespace nimbrel
