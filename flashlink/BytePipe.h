#pragma once

#include <cstdint>

#include "ZentroApi.h"

// Handle of an opened device: a Win32 HANDLE on Windows, an opaque token elsewhere.
typedef void* DeviceHandle;
#define INVALID_DEVICE_HANDLE (reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1)))

// The seam under USBInterface. A Win32 device, a POSIX tty or pty, an in-memory pair or the
// virtual boot loader each provide these operations; the protocol layers never know which.
class ZENTRO_API BytePipe {
public:
    virtual ~BytePipe();

    // Opens the device. Returns its handle, or INVALID_DEVICE_HANDLE when it cannot be opened.
    virtual DeviceHandle Open() = 0;

    // Closes what Open returned. Safe to call when nothing is open.
    virtual void Close() = 0;

    // Hands every one of `length` bytes to the device, in order. A short transfer from the
    // driver is continued, never reported as success. False when the device failed or is gone.
    virtual bool WriteAll(const uint8_t* data, uint32_t length) = 0;

    // Fills all `length` bytes, waiting for the device. False when the device failed or is
    // gone; a pipe may also give up after a silence it documents, so that a pulled cable can
    // never block its caller forever.
    virtual bool ReadAll(uint8_t* data, uint32_t length) = 0;

    // How long a read or write may go without moving a byte before it fails. The link sets it
    // for each phase of an update; a pipe with no time limit of its own ignores it.
    virtual void SetSilenceLimit(uint32_t milliseconds);
};
