// The seven link operations over a table of open links, independent of how
// the device is reached (the factory supplies it).
//
// Handles are numbers handed out once and never reused, never pointers: a
// handle kept past its USBClose, or one that was never issued, is looked up,
// not followed, and the operation is refused.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "HidLink.h"

namespace nimbrel::hid {

class LinkTable {
public:
    using DeviceFactory = std::function<std::unique_ptr<HidDevice>()>;

    explicit LinkTable(DeviceFactory factory);
    LinkTable(DeviceFactory factory, HidLink::Options options);
    ~LinkTable();  // closes every link still open

    LinkTable(const LinkTable &) = delete;
    LinkTable &operator=(const LinkTable &) = delete;

    // A live handle passed as current is closed first. A station that is not
    // there, or cannot be opened yet, still gets its handle: check() is 0
    // until it opens. nullptr only for identifiers outside 0..0xFFFF or
    // when no device object can be made.
    void *open(void *current, std::int32_t vendorId, std::int32_t productId);
    std::int32_t check(void *handle);  // 1 attached, 0 not (or bad handle)
    std::int32_t write(void *handle, const std::uint8_t *buffer, std::int32_t length);  // length or -1
    std::int32_t getStatus(void *handle, std::int32_t *waiting, std::int32_t *other);   // 0 or -1
    std::int32_t read(void *handle, std::uint8_t *buffer, std::int32_t length);         // bytes moved
    std::int32_t close(void *handle);                                                   // 0 or -1
    // USBGetError: the USBLINK_ code of the link opened last; USBLINK_NO_DEVICE
    // once it is closed or when none was opened. Refused handles leave it be.
    std::int32_t status();

private:
    // The link behind a handle; nullptr for a handle not in the table.
    std::shared_ptr<HidLink> find(void *handle);

    DeviceFactory factory_;
    HidLink::Options options_;
    std::mutex mutex_;  // guards links_, nextId_ and latest_
    std::map<std::uintptr_t, std::shared_ptr<HidLink>> links_;
    std::uintptr_t nextId_ = 1;
    std::uintptr_t latest_ = 0;  // the handle opened last; 0 = none
};

}  // namespace nimbrel::hid
