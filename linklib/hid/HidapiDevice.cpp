#include "HidapiDevice.h"

#include <hidapi/hidapi.h>

#include <mutex>

namespace nimbrel::hid {

namespace {

// hidapi keeps library-wide state (udev context, error strings); it is set up
// with the first device object and released with the last, so a library that
// is unloaded after USBClose leaves nothing behind.
std::mutex usersMutex;
int users = 0;

}  // namespace

HidapiDevice::HidapiDevice()
{
    std::lock_guard lock(usersMutex);
    if (users++ == 0)
        hid_init();
}

HidapiDevice::~HidapiDevice()
{
    close();
    std::lock_guard lock(usersMutex);
    if (--users == 0)
        hid_exit();
}

bool HidapiDevice::open(std::uint16_t vendorId, std::uint16_t productId)
{
    close();
    handle_ = hid_open(vendorId, productId, nullptr);
    return handle_ != nullptr;
}

int HidapiDevice::readReport(std::span<std::uint8_t> report, int timeoutMs)
{
    if (handle_ == nullptr)
        return kGone;
    // hidraw reports an unplugged device as a read error; any read error is
    // taken as the device gone, and the link check opens it afresh.
    const int got = hid_read_timeout(handle_, report.data(), report.size(), timeoutMs);
    return got < 0 ? kGone : got;
}

bool HidapiDevice::writeReport(std::span<const std::uint8_t> report)
{
    if (handle_ == nullptr)
        return false;
    return hid_write(handle_, report.data(), report.size()) >= 0;
}

void HidapiDevice::close()
{
    if (handle_ != nullptr) {
        hid_close(handle_);
        handle_ = nullptr;
    }
}

}  // namespace nimbrel::hid
