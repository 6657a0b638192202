// SPDX-License-Identifier: GPL-3.0-or-later
// A weather network over HTTP as a destination: drives one HttpService on
// the event loop (never blocking it), one request at a time, at most one
// record per the service's interval, and says how it fares.
#pragma once

#include "Destination.h"
#include "Destinations.h"
#include "HttpService.h"

#include <memory>

namespace nimbrel {

// `name` is the section's ("wow"): the cursor file and /api/status use it.
std::unique_ptr<Destination> makeHttpNetwork(const QString &name, std::unique_ptr<HttpService> service,
                                             const DestinationContext &context);

}  // namespace nimbrel
