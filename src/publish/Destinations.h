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

#include <QDateTime>
#include <functional>
#include <memory>
#include <vector>

namespace nimbrel {

// What the MQTT destination keeps of a handover between programs in the data folder.
inline constexpr char kMqttHandoverFile[] = "handover-mqtt.json";

// One destination per enabled section, MQTT first. `dataDir` holds the
// handover file; `now` is the program's clock (empty: the computer's).
std::vector<std::unique_ptr<Destination>> makeDestinations(const PublishSettings &settings, const QString &dataDir,
                                                           const QString &softwareVersion,
                                                           const std::function<QDateTime()> &now);

}  // namespace nimbrel
