#include "DevicePipe.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int FdOf(DeviceHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

} // namespace

DevicePipe::DevicePipe(const char* path) : path_(path ? path : "") {}

DevicePipe::~DevicePipe() { Close(); }

DeviceHandle DevicePipe::Open() {
    if (path_.empty())
        return INVALID_DEVICE_HANDLE;
    int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return INVALID_DEVICE_HANDLE;
    // The device carries binary words: no line discipline may translate or swallow bytes.
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &tio);
    }
    handle_ = reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(fd));
    return handle_;
}

void DevicePipe::Close() {
    if (handle_ != INVALID_DEVICE_HANDLE) {
        ::close(FdOf(handle_));
        handle_ = INVALID_DEVICE_HANDLE;
    }
}

bool DevicePipe::WriteAll(const uint8_t* data, uint32_t length) {
    if (handle_ == INVALID_DEVICE_HANDLE)
        return false;
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::write(FdOf(handle_), data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool DevicePipe::ReadAll(uint8_t* data, uint32_t length) {
    if (handle_ == INVALID_DEVICE_HANDLE)
        return false;
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::read(FdOf(handle_), data + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        // 0 is end of file: the far side hung up (a pulled cable, a closed pty master).
        if (n <= 0)
            return false;
        done += static_cast<uint32_t>(n);
    }
    return true;
}
