// SPDX-License-Identifier: GPL-3.0-or-later
// libUSB.so: the seven link operations for a station on USB HID.
#include <usblink.h>

#include <memory>

#include "HidapiDevice.h"
#include "LinkTable.h"

namespace {

nimbrel::hid::LinkTable &links()
{
    // Destroyed when the library is unloaded: any link the program left open
    // is closed and its reader joined before the code goes away.
    static nimbrel::hid::LinkTable table(
        [] { return std::make_unique<nimbrel::hid::HidapiDevice>(); });
    return table;
}

}  // namespace

extern "C" {

USBHandle USBOpen(USBHandle current, int32_t vendorId, int32_t productId, int32_t /*inputSize*/,
                  int32_t /*outputSize*/, int32_t /*flags*/)
{
    return links().open(current, vendorId, productId);
}

int32_t USBCheck(USBHandle device)
{
    return links().check(device);
}

int32_t USBWrite(USBHandle device, const uint8_t *buffer, int32_t length, int32_t /*flags*/)
{
    return links().write(device, buffer, length);
}

int32_t USBGetStatus(USBHandle device, int32_t *waiting, int32_t *other)
{
    return links().getStatus(device, waiting, other);
}

int32_t USBRead(USBHandle device, uint8_t *buffer, int32_t length)
{
    return links().read(device, buffer, length);
}

int32_t USBClose(USBHandle device, int32_t /*flags*/)
{
    return links().close(device);
}

int32_t USBGetError(void)
{
    return links().status();
}

}  // extern "C"
