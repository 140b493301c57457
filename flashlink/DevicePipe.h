#pragma once

#include <string>

#include "BytePipe.h"

// The platform's USB serial device as a byte pipe: the Win32 device "\\.\WCEUSBSH001", or on
// POSIX systems a tty (a USB serial adapter, or a pty that a simulator serves) in raw mode.
// One implementation file per platform.
class DevicePipe : public BytePipe {
public:
    explicit DevicePipe(const char* path);
    ~DevicePipe() override;

    DeviceHandle Open() override;
    void Close() override;
    bool WriteAll(const uint8_t* data, uint32_t length) override;
    bool ReadAll(uint8_t* data, uint32_t length) override;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    DeviceHandle handle_ = INVALID_DEVICE_HANDLE;
};
