// The station's own settings the user changes from the program (the
// altitude, the history interval), encoded into the header bytes the
// station keeps them in and written through the recorder: the block is read
// fresh, changed and written back between exchanges (Recorder::requestWrite),
// and writeFinished tells how it went.
#pragma once

#include "Recorder.h"

namespace nimbrel {

// The edits themselves. Altitude in metres: bytes 90 and 91 hold the
// magnitude (low byte first), byte 92 is 8 for a height below sea level.
// The history interval: the period code 1..11 in byte 254.
StationWrite altitudeWrite(int metres);
StationWrite historyIntervalWrite(int code);

class StationSettingsWriter {
public:
    explicit StationSettingsWriter(Recorder &recorder) : recorder_(recorder) {}

    // False without a station (or for a period code below 1): nothing is
    // written and nothing changes.
    bool writeAltitude(int metres);
    bool writeHistoryInterval(int code);

private:
    Recorder &recorder_;
};

}  // namespace nimbrel
