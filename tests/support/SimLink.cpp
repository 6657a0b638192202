#include "SimLink.h"

#include <stdexcept>

namespace nimbrel::test {

namespace {

SimLink *current = nullptr;
int handleToken = 0;  // the handle is its address: non-null and stable

USBHandle simOpen(USBHandle, int32_t vendor, int32_t product, int32_t, int32_t, int32_t)
{
    if (!current || vendor != kStationVendorId || product != kStationProductId)
        return nullptr;
    ++current->opens;
    return &handleToken;
}

int32_t simCheck(USBHandle h)
{
    return current && h == &handleToken && current->station().attached() ? 1 : 0;
}

int32_t simWrite(USBHandle h, const uint8_t *buffer, int32_t length, int32_t)
{
    if (!current || h != &handleToken)
        return 0;
    if (length >= 3)
        current->sent.push_back({buffer[0], buffer[1] | (buffer[2] << 8)});
    current->station().receive(buffer, length);
    return length;
}

int32_t simGetStatus(USBHandle h, int32_t *waiting, int32_t *other)
{
    if (other)
        *other = 0;
    if (!current || h != &handleToken) {
        *waiting = 0;
        return 0;
    }
    ++current->statusPolls;
    if (current->whileWaiting) {
        auto hook = current->whileWaiting;
        hook();
    }
    *waiting = current->station().waiting();
    return 1;
}

int32_t simRead(USBHandle h, uint8_t *buffer, int32_t length)
{
    if (!current || h != &handleToken)
        return 0;
    return current->station().send(buffer, length);
}

int32_t simClose(USBHandle h, int32_t)
{
    if (current && h == &handleToken)
        ++current->closes;
    return 1;
}
int32_t simGetError() { return 0; }

}  // namespace

SimLink::SimLink(const sim::SimConfig &config) : station_(std::make_unique<sim::SimulatedStation>(config))
{
    if (current)
        throw std::logic_error("one SimLink at a time");
    current = this;
}

SimLink::~SimLink()
{
    current = nullptr;
}

LinkApi SimLink::api() const
{
    LinkApi api;
    api.open = simOpen;
    api.check = simCheck;
    api.write = simWrite;
    api.getStatus = simGetStatus;
    api.read = simRead;
    api.close = simClose;
    api.getError = simGetError;
    return api;
}

std::vector<int> SimLink::readAddresses() const
{
    std::vector<int> out;
    for (const SentCommand &c : sent)
        if (c.kind == 0xAF)
            out.push_back(c.address);
    return out;
}

}  // namespace nimbrel::test
