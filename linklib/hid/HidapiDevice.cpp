#include "HidapiDevice.h"

#include <hidapi/hidapi.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

namespace nimbrel::hid {

namespace {

// Why a device node that hidapi could not open stays closed: hidapi keeps
// no errno, so the node is tried once more directly. A node the user may not
// open (no udev rule) is what a desktop user meets most, and the program
// says so.
OpenResult whyNotOpened(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return OpenResult::Failed;
    }
    return errno == EACCES || errno == EPERM ? OpenResult::NoPermission : OpenResult::Failed;
}

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

OpenResult HidapiDevice::open(std::uint16_t vendorId, std::uint16_t productId)
{
    close();
    // Enumerating reads sysfs, which needs no permission on the device node:
    // a station is seen even when it cannot be opened.
    hid_device_info *devices = hid_enumerate(vendorId, productId);
    if (devices == nullptr)
        return OpenResult::NotFound;
    const std::string path = devices->path != nullptr ? devices->path : "";
    hid_free_enumeration(devices);
    if (path.empty())
        return OpenResult::Failed;
    handle_ = hid_open_path(path.c_str());
    if (handle_ != nullptr)
        return OpenResult::Opened;
    return whyNotOpened(path);
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
