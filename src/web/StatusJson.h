// SPDX-License-Identifier: GPL-3.0-or-later
// GET /api/status: each configured destination's state word, its sentence
// and the newest record it delivered, {"destinations": [{"name": "mqtt",
// "state": "ok", "sentence": "...", "delivered": "2026-12-07T11:05:00+01:00"}]}
// ("delivered" is null before the first acknowledgement).
#pragma once

#include "Destination.h"

#include <QByteArray>
#include <vector>

namespace nimbrel::web {

QByteArray destinationsJson(const std::vector<DestinationStatus> &destinations);

}  // namespace nimbrel::web
