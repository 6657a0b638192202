// SPDX-License-Identifier: GPL-3.0-or-later
// A weather network reached over HTTP, as the network destination
// (HttpNetwork.h) drives it: what one record becomes on the wire, and what
// the service's answer means. Pure: no network, no clock of its own, so
// that each service's wire format is tested as a table.
#pragma once

#include "CurrentConditions.h"
#include "Destination.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

namespace nimbrel {

// One HTTP request.
struct HttpCall {
    QByteArray method = "GET";  // "GET", "POST", "PUT"
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;  // beyond User-Agent, which the destination sets
    QByteArray body;
};

// What an answer means.
enum class Verdict {
    Delivered,  // the service took the record
    Rejected,   // it refused this record for good (bad values, too old): not sent again
    Refused,    // it refused the station's credentials: no more tries until the settings change
    Retry,      // no answer, a server error, too many requests: tried again after a pause
};

struct Answer {
    Verdict verdict = Verdict::Retry;
    // The service's own words when it did not take the record ("wrong
    // password", "HTTP 500: Internal Server Error"); empty on success.
    QString words;
};

// What the network answered to one call: the HTTP status (0: no answer,
// with `error` saying why) and the start of the body.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
    QString error;
    int retryAfterSecs = -1;  // the Retry-After header; -1: none
};

class HttpService {
public:
    virtual ~HttpService() = default;

    // What the status sentences call it ("WOW").
    virtual QString title() const = 0;
    // Which records it takes: past ones (within a back-fill window) or only
    // the newest (within a staleness limit).
    virtual Reach reach() const = 0;
    // The least time between two records sent, seconds (the service's own
    // rate limit): a record that comes sooner waits, a newer one takes its
    // place when the service takes only the present.
    virtual int intervalSecs() const = 0;

    // What the engine knows of the station (its position), whenever it
    // changes; before preparation() when known. Nothing by default.
    virtual void setStationState(const StationState &state) { (void)state; }

    // A call to make once before the first record (a station to register);
    // none by default. Its answer goes to prepared().
    virtual std::optional<HttpCall> preparation() const { return std::nullopt; }
    virtual Answer prepared(const HttpAnswer &answer)
    {
        (void)answer;
        return {Verdict::Delivered, {}};
    }

    // The call that delivers `c`, with the station's state (its position)
    // at hand. nullopt: the record cannot be sent (a value the service
    // requires is missing), with `why` in words; it is passed over.
    virtual std::optional<HttpCall> call(const CurrentConditions &c, const StationState &state, QString *why) const = 0;
    // What the service's answer to call() means.
    virtual Answer answer(const HttpAnswer &answer) const = 0;
};

// The common reading of an answer: an HTTP status of 200..299 with `ok`
// true is delivered; 401 and 403 refused; 429 and 5xx and no answer at all
// retry (the words say which); any other status rejected. The words carry
// the status and the first line of the body (at most 200 characters).
Answer commonAnswer(const HttpAnswer &answer, bool ok);

}  // namespace nimbrel
