#pragma once

#include <cstdint>
#include <string>

#include "BytePipe.h"
#include "LinkTimeouts.h"

// The platform's USB serial device as a byte pipe: the Win32 device "\\.\WCEUSBSH001", or on
// POSIX systems a tty (a USB serial adapter, or a pty that a simulator serves) in raw mode.
// One implementation file per platform.
//
// Short reads and writes from the driver are continued until the request is complete. A
// device that hangs up (a pulled cable, a closed pty master) fails the transfer at once; one
// that stays silent fails it once nothing has moved for the silence limit, which the link sets
// for each phase (LinkTimeouts).
class DevicePipe : public BytePipe {
public:
    explicit DevicePipe(const char* path);
    ~DevicePipe() override;

    DeviceHandle Open() override;
    void Close() override;
    bool WriteAll(const uint8_t* data, uint32_t length) override;
    bool ReadAll(uint8_t* data, uint32_t length) override;
    // Takes effect from the next read or write, also on a device already open.
    void SetSilenceLimit(uint32_t milliseconds) override;

private:
    std::string path_;
    DeviceHandle handle_ = INVALID_DEVICE_HANDLE;
    uint32_t silenceLimitMs_ = LinkTimeouts::kDefaultTransferMs;
    // Win32: the device took the time-outs its reads rely on
    [[maybe_unused]] bool commTimeouts_ = false;
};
