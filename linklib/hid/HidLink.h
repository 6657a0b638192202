// One open station: the device, a reader thread that moves its input reports
// into a receive buffer, and the recovery from an unplugged station.
//
// The program drives the link from its GUI thread and must never be held up:
// waiting() and read() only look at what the reader thread has already
// buffered. The reader waits on the device with a short time-out so that
// close() can stop it promptly.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <atomic>

#include "HidDevice.h"
#include "usblink.h"

namespace nimbrel::hid {

// The library's error codes, as USBGetError reports them.
enum class LinkError : std::int32_t {
    None = 0,
    NoDevice = 1,     // nothing to open, or a handle that is not (or no longer) open
    WriteFailed = 2,  // an output report did not go out
    DeviceGone = 3,   // the station was unplugged
    Overflow = 4,     // received bytes arrived faster than they were read; the oldest were dropped
};

// Where the link stands now, in the codes USBGetError reports. Unlike
// LinkError, which records the last thing that went wrong, this follows the
// link: it is Open exactly while the station is attached and open, and
// otherwise says why not.
enum class LinkState : std::int32_t {
    Open = USBLINK_OK,
    NoDevice = USBLINK_NO_DEVICE,          // not present, unplugged, or the link is closed
    NoPermission = USBLINK_NO_PERMISSION,  // present, but this user may not open it
    OpenFailed = USBLINK_OPEN_FAILED,      // present, but it would not open
};

struct LinkStats {
    std::uint64_t reportsIn = 0;         // input reports taken from the device, malformed ones included
    std::uint64_t bytesIn = 0;           // payload bytes put into the receive buffer
    std::uint64_t bytesDropped = 0;      // oldest bytes dropped because the buffer was full
    std::uint64_t malformedReports = 0;  // input reports ignored for breaking the framing
};

class HidLink {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        std::size_t capacity = 64 * 1024;  // receive buffer bound, bytes
        int readTimeoutMs = 100;           // longest a single device read waits; bounds close()
        Clock::duration reopenInterval = std::chrono::seconds(1);
        // Told about every error as it happens, from whichever thread meets it.
        std::function<void(LinkError)> onError;
    };

    HidLink(std::unique_ptr<HidDevice> device, std::uint16_t vendorId, std::uint16_t productId);
    HidLink(std::unique_ptr<HidDevice> device, std::uint16_t vendorId, std::uint16_t productId,
            Options options);
    ~HidLink();

    HidLink(const HidLink &) = delete;
    HidLink &operator=(const HidLink &) = delete;

    // Opens the device and starts the reader. False (error NoDevice) when the
    // device does not open; state() then says why, and check() keeps trying.
    bool open();

    // Stops and joins the reader, then closes the device. The link stays
    // closed: check() does not reopen it.
    void close();

    // False once the device has reported itself gone.
    bool attached() const { return attached_.load(); }

    // The once-a-second link check. While the station is gone, tries to open
    // it again, at most once per reopenInterval; a successful reopen starts
    // with an empty receive buffer. Returns attached().
    bool check() { return check(Clock::now()); }
    bool check(Clock::time_point now);

    // Bytes waiting in the receive buffer.
    std::size_t waiting() const;

    // Moves up to n waiting bytes into buffer, oldest first; returns how many.
    std::size_t read(std::uint8_t *buffer, std::size_t n);

    // Sends n bytes as output reports. Returns n, or -1 (error WriteFailed,
    // or DeviceGone when the station is not attached).
    int write(const std::uint8_t *buffer, std::size_t n);

    LinkError lastError() const { return lastError_.load(); }
    LinkState state() const { return state_.load(); }
    LinkStats stats() const;

    // Blocks until the device has gone; false on time-out. For callers that
    // can afford to wait, which the GUI never does.
    bool waitForDetach(std::chrono::milliseconds timeout) const;

private:
    bool start();
    void stopReader();
    void readerLoop();
    void store(const std::uint8_t *bytes, std::size_t n);
    void fail(LinkError error);

    std::unique_ptr<HidDevice> device_;
    const std::uint16_t vendorId_;
    const std::uint16_t productId_;
    const Options options_;

    std::thread reader_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> attached_{false};
    std::atomic<LinkError> lastError_{LinkError::None};
    std::atomic<LinkState> state_{LinkState::NoDevice};
    bool deviceOpen_ = false;
    bool closed_ = true;  // not opened yet, or close() was called
    std::optional<Clock::time_point> lastReopen_;

    mutable std::mutex mutex_;  // guards buffer_ and stats_; attached_ changes under it
    mutable std::condition_variable detached_;
    std::deque<std::uint8_t> buffer_;
    LinkStats stats_;
};

}  // namespace nimbrel::hid
