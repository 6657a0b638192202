/* A link library that lacks six of its seven operations. */
#include "usblink.h"

USBHandle USBOpen(USBHandle current, int32_t vendorId, int32_t productId, int32_t inputSize, int32_t outputSize,
                  int32_t flags)
{
    (void)current;
    (void)vendorId;
    (void)productId;
    (void)inputSize;
    (void)outputSize;
    (void)flags;
    return 0;
}
