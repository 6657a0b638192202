// The station as hidapi's hidraw backend reaches it on Linux.
#pragma once

#include "HidDevice.h"

struct hid_device_;

namespace nimbrel::hid {

class HidapiDevice final : public HidDevice {
public:
    HidapiDevice();
    ~HidapiDevice() override;

    HidapiDevice(const HidapiDevice &) = delete;
    HidapiDevice &operator=(const HidapiDevice &) = delete;

    OpenResult open(std::uint16_t vendorId, std::uint16_t productId) override;
    int readReport(std::span<std::uint8_t> report, int timeoutMs) override;
    bool writeReport(std::span<const std::uint8_t> report) override;
    void close() override;

private:
    hid_device_ *handle_ = nullptr;
};

}  // namespace nimbrel::hid
