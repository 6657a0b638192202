// What the web interface is fed on every change: the current conditions as
// they were handed to MQTT, whether the station is connected, the pressure
// trend and the user's unit and language choices. The server never reaches
// into a window or the recorder for them.
#pragma once

#include "CurrentConditions.h"
#include "Destination.h"
#include "DisplayRules.h"

#include <array>

namespace nimbrel::web {

struct WebSnapshot {
    // False until the first record is taken over (or loaded from the
    // history): the page then shows placeholders.
    bool hasConditions = false;
    CurrentConditions conditions;
    bool connected = false;
    int pressureTrend = kTrendSteady;  // kTrendFalling, kTrendRising, kTrendSteady
    UnitChoices units;                  // the selectors' codes (datsum)
    int language = 1;                   // 0 RUS .. 4 ITA
    // The station's clock runs this far ahead of the computer's (0: they
    // agree within a history period), and the sentence that says so.
    qint64 clockAheadSecs = 0;
    QString clockNote;
    std::vector<DestinationStatus> destinations;  // for /api/status
    // [channels] of nimbrel.ini: the names (empty: "CHn") and the channel
    // (1..5) whose temperature and humidity are the page's headline instead
    // of the indoor ones; 0: the indoor ones.
    std::array<QString, 5> channelNames;
    int headlineChannel = 0;
};

}  // namespace nimbrel::web
