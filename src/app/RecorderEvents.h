// What the background recorder tells of the engine's snapshots, one
// sentence per event: the station found, gone and back, full reads, records
// stored, a failing history, each destination (MQTT, the upload, every
// weather network) failing and recovering, the station's clock running
// ahead, the station handed over.
//
// A failure that lasts (a destination, the clocks) is told when it starts,
// then at most once an hour while it lasts, by the program's clock, and its
// end is told too:
//   upload: Upload failed: the service answered "..."; next try in 30 s
//   upload: recovered (Uploaded 09:10)
// Nothing here reads the clock itself.
#pragma once

#include "StationSnapshot.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <map>
#include <vector>

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
    void showDestinations(const std::vector<DestinationStatus> &destinations);
    void showClock(const StationSnapshot &s);

    std::function<QDateTime()> now_;
    std::function<void(const QString &)> say_;
    bool stationKnown_ = false;  // the first link check since the station was taken was told
    bool connected_ = false;
    StationSnapshot readStart_;
    long long stored_ = 0;
    int continued_ = 0;
    bool reading_ = false;
    std::map<QString, LastingFailure> destinations_;  // by DestinationStatus::name
    LastingFailure clock_;
};

}  // namespace nimbrel
