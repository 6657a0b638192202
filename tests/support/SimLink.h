// The link's seven operations routed to a simulated station owned by the
// test, with a log of every command sent and a hook that runs while the
// program waits for an answer (to inject events mid-exchange).
#pragma once

#include "LinkApi.h"
#include "SimulatedStation.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace nimbrel::test {

struct SentCommand {
    std::uint8_t kind = 0;  // 0xAF read, 0xAE write
    int address = 0;
};

class SimLink {
public:
    explicit SimLink(const sim::SimConfig &config = {});
    ~SimLink();

    sim::SimulatedStation &station() { return *station_; }
    LinkApi api() const;

    std::vector<SentCommand> sent;       // in order
    int statusPolls = 0;
    int opens = 0;
    int closes = 0;
    // Runs inside USBGetStatus, i.e. while the program waits for an answer.
    std::function<void()> whileWaiting;

    // Addresses of the read commands sent, in order.
    std::vector<int> readAddresses() const;

private:
    std::unique_ptr<sim::SimulatedStation> station_;
};

}  // namespace nimbrel::test
