// SPDX-License-Identifier: GPL-3.0-or-later
#include "HidLink.h"

#include <algorithm>
#include <array>
#include <climits>
#include <utility>

#include "HidFraming.h"

namespace nimbrel::hid {

HidLink::HidLink(std::unique_ptr<HidDevice> device, std::uint16_t vendorId, std::uint16_t productId)
    : HidLink(std::move(device), vendorId, productId, Options{})
{
}

HidLink::HidLink(std::unique_ptr<HidDevice> device, std::uint16_t vendorId, std::uint16_t productId,
                 Options options)
    : device_(std::move(device)), vendorId_(vendorId), productId_(productId), options_(std::move(options))
{
}

HidLink::~HidLink()
{
    close();
}

bool HidLink::open()
{
    if (attached_.load())
        return true;
    closed_ = false;
    stopReader();
    if (deviceOpen_) {
        device_->close();
        deviceOpen_ = false;
    }
    if (start())
        return true;
    // The reopen interval counts from this attempt too.
    lastReopen_ = Clock::now();
    return false;
}

void HidLink::close()
{
    closed_ = true;
    stopReader();
    if (deviceOpen_) {
        device_->close();
        deviceOpen_ = false;
    }
    {
        std::lock_guard lock(mutex_);
        attached_ = false;
        state_ = LinkState::NoDevice;
    }
    detached_.notify_all();
}

bool HidLink::check(Clock::time_point now)
{
    if (attached_.load())
        return true;
    if (closed_)
        return false;
    // A station that is being plugged in, or one whose hidraw node is not yet
    // readable, would otherwise be hammered by every caller.
    if (lastReopen_ && now - *lastReopen_ < options_.reopenInterval)
        return false;
    lastReopen_ = now;
    // The reader ended by itself when the device went away; this only reaps it.
    stopReader();
    if (deviceOpen_) {
        device_->close();
        deviceOpen_ = false;
    }
    return start();
}

std::size_t HidLink::waiting() const
{
    std::lock_guard lock(mutex_);
    return buffer_.size();
}

std::size_t HidLink::read(std::uint8_t *buffer, std::size_t n)
{
    if (buffer == nullptr)
        return 0;
    std::lock_guard lock(mutex_);
    const std::size_t take = std::min(n, buffer_.size());
    const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(take);
    std::copy(buffer_.begin(), end, buffer);
    buffer_.erase(buffer_.begin(), end);
    return take;
}

int HidLink::write(const std::uint8_t *buffer, std::size_t n)
{
    if (n == 0)
        return 0;
    if (buffer == nullptr || n > static_cast<std::size_t>(INT_MAX))
        return -1;
    if (!attached_.load()) {
        fail(LinkError::DeviceGone);
        return -1;
    }
    for (const OutputReport &report : frameOutput({buffer, n})) {
        if (!device_->writeReport(report)) {
            fail(LinkError::WriteFailed);
            return -1;
        }
    }
    return static_cast<int>(n);
}

LinkStats HidLink::stats() const
{
    std::lock_guard lock(mutex_);
    return stats_;
}

bool HidLink::waitForDetach(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return detached_.wait_for(lock, timeout, [&] { return !attached_.load(); });
}

bool HidLink::start()
{
    const OpenResult result = device_->open(vendorId_, productId_);
    if (result != OpenResult::Opened) {
        state_ = result == OpenResult::NotFound       ? LinkState::NoDevice
                 : result == OpenResult::NoPermission ? LinkState::NoPermission
                                                      : LinkState::OpenFailed;
        fail(LinkError::NoDevice);
        return false;
    }
    deviceOpen_ = true;
    {
        // Whatever was buffered belongs to the station's previous life.
        std::lock_guard lock(mutex_);
        buffer_.clear();
        attached_ = true;
        state_ = LinkState::Open;
    }
    stopping_ = false;
    reader_ = std::thread(&HidLink::readerLoop, this);
    return true;
}

void HidLink::stopReader()
{
    stopping_ = true;
    if (reader_.joinable())
        reader_.join();
    stopping_ = false;
}

void HidLink::readerLoop()
{
    std::array<std::uint8_t, kInputReportCapacity> report{};
    while (!stopping_.load()) {
        const int got = device_->readReport(report, options_.readTimeoutMs);
        if (got < 0) {
            // The error is recorded before anyone can see the link detached.
            fail(LinkError::DeviceGone);
            {
                std::lock_guard lock(mutex_);
                attached_ = false;
                state_ = LinkState::NoDevice;
            }
            detached_.notify_all();
            return;
        }
        if (got == 0)
            continue;
        const std::size_t length = std::min(static_cast<std::size_t>(got), report.size());
        const InputPayload payload = unframeInput({report.data(), length});
        bool overflowed = false;
        {
            std::lock_guard lock(mutex_);
            ++stats_.reportsIn;
            if (payload.malformed)
                ++stats_.malformedReports;
            else if (!payload.bytes.empty()) {
                const std::uint64_t droppedBefore = stats_.bytesDropped;
                store(payload.bytes.data(), payload.bytes.size());
                overflowed = stats_.bytesDropped != droppedBefore;
                if (overflowed)
                    lastError_ = LinkError::Overflow;
            }
        }
        if (overflowed && options_.onError)
            options_.onError(LinkError::Overflow);
    }
}

// Appends received bytes; called with mutex_ held. A full buffer gives up
// its oldest bytes: the program flushes before every exchange, so whatever
// is old is also what it would have thrown away.
void HidLink::store(const std::uint8_t *bytes, std::size_t n)
{
    stats_.bytesIn += n;
    const std::size_t capacity = options_.capacity;
    if (buffer_.size() + n > capacity) {
        const std::size_t excess = buffer_.size() + n - capacity;
        const std::size_t fromOld = std::min(excess, buffer_.size());
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(fromOld));
        // Only a buffer smaller than one report gets here with excess left.
        const std::size_t fromNew = excess - fromOld;
        bytes += fromNew;
        n -= fromNew;
        stats_.bytesDropped += excess;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + n);
}

void HidLink::fail(LinkError error)
{
    lastError_ = error;
    if (options_.onError)
        options_.onError(error);
}

}  // namespace nimbrel::hid
