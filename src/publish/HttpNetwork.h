// SPDX-License-Identifier: GPL-3.0-or-later
// A weather network over HTTP as a destination: drives one HttpService on
// the event loop (never blocking it), one request at a time, at most one
// record per the service's interval, and says how it fares.
//
// A service that takes past records gets them oldest first; one dated less
// than the service's interval after the last record it took is passed over,
// so that a station logging every minute never falls further and further
// behind a service that takes one record per five minutes. A service that
// takes only the present gets the newest record: one that comes while an
// older one waits takes its place. A refused login stops every try until
// the program starts again with other settings; no answer, a server error
// or too many requests are tried again after a pause of 30 s that doubles
// up to 10 min (a Retry-After of the server is honoured within that).
#pragma once

#include "Destination.h"
#include "Destinations.h"
#include "HttpService.h"

#include <memory>

namespace nimbrel {

// Every request is given up after this long without its whole answer.
inline constexpr int kHttpNetworkTimeoutMs = 30000;
// The most of an answer that is read; a longer one counts as no answer.
inline constexpr int kHttpNetworkMaxAnswerBytes = 16 * 1024;

// The pauses of the destinations made after setHttpNetworkPauses; tests
// shorten them.
struct HttpNetworkPauses {
    int firstRetryMs = 30000;
    int largestRetryMs = 600000;
    int timeoutMs = kHttpNetworkTimeoutMs;
    int intervalMs = -1;  // -1: the service's own interval
};
void setHttpNetworkPauses(const HttpNetworkPauses &pauses);

// `name` is the section's ("wow"): the cursor file and /api/status use it.
std::unique_ptr<Destination> makeHttpNetwork(const QString &name, std::unique_ptr<HttpService> service,
                                             const DestinationContext &context);

}  // namespace nimbrel
