#pragma once

#include <cstdint>
#include <string>

#include "BytePipe.h"

// The platform's USB serial device as a byte pipe: the Win32 device "\\.\WCEUSBSH001", or on
// POSIX systems a tty (a USB serial adapter, or a pty that a simulator serves) in raw mode.
// One implementation file per platform.
//
// Short reads and writes from the driver are continued until the request is complete. A
// device that hangs up (a pulled cable, a closed pty master) fails the transfer at once; one
// that stays silent fails it once nothing has moved for the silence limit.
class DevicePipe : public BytePipe {
public:
    // Long enough for a handset that erases or writes flash between two of its messages,
    // short enough that a frozen device does not hold an update for ever. A pulled cable
    // does not wait for it: the hang-up is seen at once.
    static constexpr uint32_t kDefaultSilenceLimitMs = 60000;

    explicit DevicePipe(const char* path);
    ~DevicePipe() override;

    DeviceHandle Open() override;
    void Close() override;
    bool WriteAll(const uint8_t* data, uint32_t length) override;
    bool ReadAll(uint8_t* data, uint32_t length) override;

    // How long a read or write may go without moving a byte before it fails.
    void SetSilenceLimit(uint32_t milliseconds) { silenceLimitMs_ = milliseconds; }

private:
    std::string path_;
    DeviceHandle handle_ = INVALID_DEVICE_HANDLE;
    uint32_t silenceLimitMs_ = kDefaultSilenceLimitMs;
    [[maybe_unused]] bool commTimeouts_ =
        false; // Win32: the device took the time-outs its reads rely on
};
