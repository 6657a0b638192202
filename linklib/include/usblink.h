// SPDX-License-Identifier: GPL-3.0-or-later
/*
 * The station link library: seven C operations through which the program
 * reaches the weather station. The program loads a shared library named
 * "USB" (libUSB.so, USB.dll) at start-up and resolves these names; any
 * library that exports them serves, the USB HID link and the simulated
 * station alike.
 *
 * Handles are opaque pointer-sized values; counts and results are 32-bit
 * signed integers. The program calls:
 *   USBOpen      once at start-up: (NULL, 0x1130, 0x6801, 2048, 2048, 0)
 *   USBCheck     every second while the handle is not NULL
 *   USBWrite     read command (4 bytes) and block write frame (37 bytes)
 *   USBGetStatus after a read command, until 34 bytes are waiting
 *   USBRead      flush (1024), read answer (34), write acknowledgement (1)
 *   USBClose     at exit, with 0
 *   USBGetError  to say why a station is not reached (see the codes below)
 */
#ifndef NIMBREL_USBLINK_H
#define NIMBREL_USBLINK_H

#include <stdint.h>

#if defined(_WIN32)
#define USBLINK_EXPORT __declspec(dllexport)
#else
#define USBLINK_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *USBHandle;

/* Where the most recently opened link stands, as USBGetError reports it. */
#define USBLINK_OK            0 /* the station is attached and open */
#define USBLINK_NO_DEVICE     1 /* no station on the cable (or no link opened) */
#define USBLINK_NO_PERMISSION 2 /* a station is there but this user may not open it */
#define USBLINK_OPEN_FAILED   3 /* a station is there but would not open for another reason */

/* Opens the device with the given vendor and product identifiers. The two
 * 2048 values and the trailing 0 are passed through as the program always
 * has; libraries may ignore them. A station that is not (yet) there still
 * gets a handle: USBCheck is 0 until it appears. NULL only for identifiers
 * the library does not serve, or when it cannot work at all. */
USBLINK_EXPORT USBHandle USBOpen(USBHandle current, int32_t vendorId, int32_t productId,
                                 int32_t inputSize, int32_t outputSize, int32_t flags);

/* Non-zero while the station is attached. */
USBLINK_EXPORT int32_t USBCheck(USBHandle device);

/* Sends length bytes. The result is not relied on. */
USBLINK_EXPORT int32_t USBWrite(USBHandle device, const uint8_t *buffer, int32_t length, int32_t flags);

/* *waiting := number of received bytes waiting to be read; *other is unused. */
USBLINK_EXPORT int32_t USBGetStatus(USBHandle device, int32_t *waiting, int32_t *other);

/* Moves up to length waiting bytes into buffer; returns the number moved. */
USBLINK_EXPORT int32_t USBRead(USBHandle device, uint8_t *buffer, int32_t length);

/* Closes the device. */
USBLINK_EXPORT int32_t USBClose(USBHandle device, int32_t flags);

/* The state of the most recently opened link: one of the USBLINK_ codes. */
USBLINK_EXPORT int32_t USBGetError(void);

typedef USBHandle (*USBOpenFn)(USBHandle, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*USBCheckFn)(USBHandle);
typedef int32_t (*USBWriteFn)(USBHandle, const uint8_t *, int32_t, int32_t);
typedef int32_t (*USBGetStatusFn)(USBHandle, int32_t *, int32_t *);
typedef int32_t (*USBReadFn)(USBHandle, uint8_t *, int32_t);
typedef int32_t (*USBCloseFn)(USBHandle, int32_t);
typedef int32_t (*USBGetErrorFn)(void);

#ifdef __cplusplus
}
#endif

#endif
