// SPDX-License-Identifier: GPL-3.0-or-later
// The seven link operations over one simulated station, built as libUSB.so
// so the program can run without hardware. The station is set up from
// stationsim.ini in the working directory when the link is opened, and its
// clock runs from that moment on the monotonic clock, so scheduled attach
// changes, jumps and new records happen in real time (or faster, with the
// [station] key speed). With the [station] key stateFile the station outlives
// the process: USBClose keeps its memory, timeline and the wall-clock time,
// and the next USBOpen (in this process or another) carries on from there,
// advanced by the wall-clock seconds that passed in between.
#include "usblink.h"

#include "SimulatedStation.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace {

using nimbrel::sim::SimulatedStation;

constexpr int32_t kVendorId = 0x1130;
constexpr int32_t kProductId = 0x6801;

std::int64_t wallClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Link {
    explicit Link(const nimbrel::sim::SimConfig &config)
        : station(config), speed(config.speed), stateFile(config.stateFilePath)
    {
        if (stateFile.empty()) return;
        if (const auto kept = nimbrel::sim::loadStationState(stateFile)) {
            station.resume(*kept);
            // A wall clock set back meanwhile passes no time.
            const double passed = std::max<std::int64_t>(0, wallClockMs() - kept->closedAtMs) / 1000.0;
            base = kept->stationSeconds + passed * speed;
        }
    }

    double stationSeconds() const
    {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - opened;
        return base + elapsed.count() * speed;
    }

    SimulatedStation station;
    double speed;  // station seconds per wall-clock second
    std::string stateFile;
    double base = 0;  // station seconds at USBOpen: 0, or where the kept station stood plus the time passed
    std::chrono::steady_clock::time_point opened = std::chrono::steady_clock::now();
};

// One station per process, like the one device on the cable. The program
// works on one thread, but the lock costs nothing and keeps tools that poll
// from a second thread safe.
std::mutex gLock;
std::unique_ptr<Link> gLink;

// The link for a handle this library gave out, brought up to the present;
// nullptr for anything else.
Link *linkFor(USBHandle handle)
{
    if (!handle || handle != gLink.get()) return nullptr;
    gLink->station.advanceTo(gLink->stationSeconds());
    return gLink.get();
}

}  // namespace

extern "C" {

USBLINK_EXPORT USBHandle USBOpen(USBHandle, int32_t vendorId, int32_t productId, int32_t, int32_t, int32_t)
{
    const std::lock_guard<std::mutex> lock(gLock);
    if (vendorId != kVendorId || productId != kProductId) return nullptr;
    if (!gLink) {
        std::string error;
        const nimbrel::sim::SimConfig config = nimbrel::sim::loadSimConfig("stationsim.ini", &error);
        if (!error.empty()) std::fprintf(stderr, "stationsim.ini: %s\n", error.c_str());
        gLink = std::make_unique<Link>(config);
    }
    linkFor(gLink.get());
    return gLink.get();
}

USBLINK_EXPORT int32_t USBCheck(USBHandle device)
{
    const std::lock_guard<std::mutex> lock(gLock);
    Link *link = linkFor(device);
    return link && link->station.attached() ? 1 : 0;
}

USBLINK_EXPORT int32_t USBWrite(USBHandle device, const uint8_t *buffer, int32_t length, int32_t)
{
    const std::lock_guard<std::mutex> lock(gLock);
    Link *link = linkFor(device);
    if (!link || !buffer || length <= 0 || !link->station.attached()) return 0;
    link->station.receive(buffer, length);
    return length;
}

USBLINK_EXPORT int32_t USBGetStatus(USBHandle device, int32_t *waiting, int32_t *other)
{
    const std::lock_guard<std::mutex> lock(gLock);
    Link *link = linkFor(device);
    if (waiting) *waiting = link ? link->station.waiting() : 0;
    if (other) *other = 0;
    return link ? 1 : 0;
}

USBLINK_EXPORT int32_t USBRead(USBHandle device, uint8_t *buffer, int32_t length)
{
    const std::lock_guard<std::mutex> lock(gLock);
    Link *link = linkFor(device);
    return link ? link->station.send(buffer, length) : 0;
}

USBLINK_EXPORT int32_t USBClose(USBHandle device, int32_t)
{
    const std::lock_guard<std::mutex> lock(gLock);
    if (!device || device != gLink.get()) return 0;
    // What the station holds at the end, written before it is released.
    const double at = gLink->stationSeconds();
    gLink->station.advanceTo(at);
    if (!gLink->station.saveImage())
        std::fprintf(stderr, "stationsim: the memory image cannot be written at close\n");
    if (!gLink->stateFile.empty()) {
        nimbrel::sim::StationState state = gLink->station.state(at);
        state.closedAtMs = wallClockMs();
        if (!nimbrel::sim::saveStationState(gLink->stateFile, state))
            std::fprintf(stderr, "stationsim: the station cannot be kept in %s\n", gLink->stateFile.c_str());
    }
    gLink.reset();
    return 1;
}

// The station is either on the cable or not; it never refuses to open.
USBLINK_EXPORT int32_t USBGetError(void)
{
    const std::lock_guard<std::mutex> lock(gLock);
    const Link *link = gLink ? linkFor(gLink.get()) : nullptr;
    return link && link->station.attached() ? USBLINK_OK : USBLINK_NO_DEVICE;
}

}  // extern "C"
