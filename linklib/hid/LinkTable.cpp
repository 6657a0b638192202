#include "LinkTable.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace nimbrel::hid {

namespace {

bool isUsbId(std::int32_t id)
{
    return id >= 0 && id <= 0xFFFF;
}

}  // namespace

LinkTable::LinkTable(DeviceFactory factory) : LinkTable(std::move(factory), HidLink::Options{}) {}

LinkTable::LinkTable(DeviceFactory factory, HidLink::Options options)
    : factory_(std::move(factory)), options_(std::move(options))
{
}

LinkTable::~LinkTable()
{
    std::map<std::uintptr_t, std::shared_ptr<HidLink>> open;
    {
        std::lock_guard lock(mutex_);
        open.swap(links_);
    }
    for (auto &entry : open)
        entry.second->close();
}

void *LinkTable::open(void *current, std::int32_t vendorId, std::int32_t productId)
{
    if (current != nullptr && find(current))
        close(current);
    {
        std::lock_guard lock(mutex_);
        latest_ = 0;
    }
    if (!isUsbId(vendorId) || !isUsbId(productId) || !factory_)
        return nullptr;
    std::unique_ptr<HidDevice> device = factory_();
    if (!device)
        return nullptr;
    auto link = std::make_shared<HidLink>(std::move(device), static_cast<std::uint16_t>(vendorId),
                                          static_cast<std::uint16_t>(productId), options_);
    // A station that is absent or not yet allowed is waited for: the link
    // check reopens it, at most once per reopen interval, and the handle
    // is the same before and after.
    link->open();
    std::lock_guard lock(mutex_);
    const std::uintptr_t id = nextId_++;
    links_.emplace(id, std::move(link));
    latest_ = id;
    return reinterpret_cast<void *>(id);
}

std::int32_t LinkTable::check(void *handle)
{
    const auto link = find(handle);
    return link && link->check() ? 1 : 0;
}

std::int32_t LinkTable::write(void *handle, const std::uint8_t *buffer, std::int32_t length)
{
    const auto link = find(handle);
    if (!link || length < 0 || (buffer == nullptr && length > 0))
        return -1;
    return link->write(buffer, static_cast<std::size_t>(length));
}

std::int32_t LinkTable::getStatus(void *handle, std::int32_t *waiting, std::int32_t *other)
{
    if (other != nullptr)
        *other = 0;
    const auto link = find(handle);
    if (waiting != nullptr) {
        const std::size_t count = link ? link->waiting() : 0;
        *waiting = static_cast<std::int32_t>(std::min<std::size_t>(count, INT32_MAX));
    }
    return link ? 0 : -1;
}

std::int32_t LinkTable::read(void *handle, std::uint8_t *buffer, std::int32_t length)
{
    const auto link = find(handle);
    if (!link || buffer == nullptr || length <= 0)
        return 0;
    return static_cast<std::int32_t>(link->read(buffer, static_cast<std::size_t>(length)));
}

std::int32_t LinkTable::close(void *handle)
{
    std::shared_ptr<HidLink> link;
    {
        std::lock_guard lock(mutex_);
        const auto found = links_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found != links_.end()) {
            link = std::move(found->second);
            links_.erase(found);
        }
    }
    if (!link)
        return -1;
    // Outside the table lock: joining the reader may take one read time-out.
    link->close();
    return 0;
}

std::int32_t LinkTable::status()
{
    std::shared_ptr<HidLink> link;
    {
        std::lock_guard lock(mutex_);
        const auto found = links_.find(latest_);
        if (found != links_.end())
            link = found->second;
    }
    return static_cast<std::int32_t>(link ? link->state() : LinkState::NoDevice);
}

std::shared_ptr<HidLink> LinkTable::find(void *handle)
{
    std::lock_guard lock(mutex_);
    const auto found = links_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == links_.end() ? nullptr : found->second;
}

}  // namespace nimbrel::hid
