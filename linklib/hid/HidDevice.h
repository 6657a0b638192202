// The little the link needs from a HID device. The real station sits behind
// hidapi (HidapiDevice); tests put a scripted station here instead.
//
// Threading: readReport runs on the link's reader thread while writeReport
// runs on the caller's thread, both on the same open device (hidapi allows
// exactly this pairing). open and close are only ever called while no read
// is in progress.
#pragma once

#include <cstdint>
#include <span>

namespace nimbrel::hid {

// How an attempt to open the station ended.
enum class OpenResult {
    Opened,
    NotFound,      // no device with these identifiers is present
    NoPermission,  // it is present, but this user may not open it (EACCES/EPERM)
    Failed,        // it is present, but opening it failed for another reason
};

class HidDevice {
public:
    // readReport's answer once the device has gone away (unplugged) or is
    // not open.
    static constexpr int kGone = -1;

    virtual ~HidDevice() = default;

    // Opens the first device with these identifiers.
    virtual OpenResult open(std::uint16_t vendorId, std::uint16_t productId) = 0;

    // Waits at most timeoutMs for one input report and copies it into report.
    // Returns its length, 0 when none came in time, or kGone.
    virtual int readReport(std::span<std::uint8_t> report, int timeoutMs) = 0;

    // Sends one output report, report id first. False when it did not go out.
    virtual bool writeReport(std::span<const std::uint8_t> report) = 0;

    // Releases the device; harmless when it is not open.
    virtual void close() = 0;
};

}  // namespace nimbrel::hid
