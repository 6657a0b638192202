// The seven operations of a loaded station link library, as function
// pointers. The program fills them from the library it loads; tests fill them
// with a scripted link.
#pragma once

#include "usblink.h"

namespace nimbrel {

struct LinkApi {
    USBOpenFn open = nullptr;
    USBCheckFn check = nullptr;
    USBWriteFn write = nullptr;
    USBGetStatusFn getStatus = nullptr;
    USBReadFn read = nullptr;
    USBCloseFn close = nullptr;
    USBGetErrorFn getError = nullptr;

    bool complete() const
    {
        return open && check && write && getStatus && read && close && getError;
    }
};

// What USBOpen is always called with: the station's vendor and product
// identifiers and the three values the link has always been given.
constexpr int kStationVendorId = 0x1130;   // 4400
constexpr int kStationProductId = 0x6801;  // 26625
constexpr int kLinkInputSize = 2048;
constexpr int kLinkOutputSize = 2048;

}  // namespace nimbrel
