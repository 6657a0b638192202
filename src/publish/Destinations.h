// SPDX-License-Identifier: GPL-3.0-or-later
// The destinations nimbrel.ini asks for, and the two there are today:
//
//   mqtt    the MQTT broker (MqttPublisher). Each state carries its own
//           record's time, so past records are taken, all of them: after an
//           outage the broker gets every record it missed, oldest first.
//   upload  the weather-network upload (WeatherUpload). Its service takes a
//           record dated by dateutc, but only within ten minutes of its
//           time (kUploadMaxAgeSecs, the upload's own staleness rule): the
//           back-fill window. One record at a time.
#pragma once

#include "Destination.h"
#include "PublishSettings.h"

#include <QStringList>

#include <QDateTime>
#include <functional>
#include <memory>
#include <vector>

namespace nimbrel {

// What the MQTT destination keeps of a handover between programs in the data folder.
inline constexpr char kMqttHandoverFile[] = "handover-mqtt.json";

// What every destination is made with.
struct DestinationContext {
    QString dataDir;          // the data folder: handover and registration files
    QString softwareVersion;  // "1.4.0"
    std::function<QDateTime()> now;  // the program's clock (empty: the computer's)
    int outdoorChannel = 1;   // 1..5: whose temperature and humidity are "outdoor"
};

// One destination per enabled section, MQTT and the upload first, then the
// others in the order their sections stand in nimbrel.ini. A section that
// cannot be used is reported into `problems` and left off.
std::vector<std::unique_ptr<Destination>> makeDestinations(const PublishSettings &settings,
                                                           const DestinationContext &context,
                                                           QStringList *problems = nullptr);

}  // namespace nimbrel
