#include "DevicePipe.h"
#include "MoveAll.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int FdOf(DeviceHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

// Waits until the descriptor is ready for `events` or has hung up. False when the silence
// limit, counted from `since`, ran out or the device is gone.
bool WaitReady(int fd, short events, Clock::time_point since, uint32_t limitMs) {
    for (;;) {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
        if (spent >= static_cast<long long>(limitMs))
            return false;
        pollfd p = {fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(limitMs - spent));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            continue;
        // A hang-up may still leave bytes to read; the read itself then reports the end.
        if (p.revents & events)
            return true;
        return false;
    }
}

// One read or write of the device, as MoveAll counts it: when the device cannot take or give
// bytes yet, waits for it, up to the silence limit counted from the last byte that moved.
long long Moved(ssize_t n, int fd, short events, Clock::time_point& lastMove, uint32_t limitMs) {
    if (n > 0) {
        lastMove = Clock::now();
        return n;
    }
    if (n < 0 && errno == EINTR)
        return 0;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return WaitReady(fd, events, lastMove, limitMs) ? 0 : kMoveFailed;
    // 0 is the end of the stream and EIO a pty whose master is gone: the device hung up.
    return kMoveFailed;
}

} // namespace

DevicePipe::DevicePipe(const char* path) : path_(path ? path : "") {}

DevicePipe::~DevicePipe() {
    Close();
}

DeviceHandle DevicePipe::Open() {
    if (path_.empty() || handle_ != INVALID_DEVICE_HANDLE)
        return INVALID_DEVICE_HANDLE;
    // Non-blocking, so that neither the open (a serial line waiting for its carrier) nor a
    // transfer can block past the silence limit; poll does the waiting.
    int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return INVALID_DEVICE_HANDLE;
    // The device carries binary words: no line discipline may translate, echo or swallow a
    // byte. Something that is not a terminal (a FIFO, a socket) is taken as it is.
    termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        if (tcsetattr(fd, TCSANOW, &tio) != 0) {
            ::close(fd);
            return INVALID_DEVICE_HANDLE;
        }
    }
    handle_ = reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(fd));
    return handle_;
}

void DevicePipe::SetSilenceLimit(uint32_t milliseconds) {
    silenceLimitMs_ = milliseconds;
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
    const int fd = FdOf(handle_);
    Clock::time_point lastMove = Clock::now();
    return MoveAll(length, [&](uint32_t done, uint32_t left) {
        return Moved(::write(fd, data + done, left), fd, POLLOUT, lastMove, silenceLimitMs_);
    });
}

bool DevicePipe::ReadAll(uint8_t* data, uint32_t length) {
    if (handle_ == INVALID_DEVICE_HANDLE)
        return false;
    const int fd = FdOf(handle_);
    Clock::time_point lastMove = Clock::now();
    return MoveAll(length, [&](uint32_t done, uint32_t left) {
        return Moved(::read(fd, data + done, left), fd, POLLIN, lastMove, silenceLimitMs_);
    });
}
