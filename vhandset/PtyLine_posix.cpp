#include "PtyLine.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "MoveAll.h"

namespace {

// Reads from the master are gathered in this much, so that a stream of small words does not
// cost a system call each.
constexpr uint32_t kBufferBytes = 256 * 1024;
constexpr uint32_t kDirectReadBytes = 4096;

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

PtyLine::PtyLine() : buffer_(kBufferBytes) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ::fcntl(master_, F_SETFL, O_NONBLOCK) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make a pty: ") + std::strerror(errno);
        return;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error_ = std::string("cannot name the pty: ") + std::strerror(errno);
        return;
    }
    slavePath_ = name;
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio;
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        error_ = std::string("cannot open the pty's slave: ") + std::strerror(errno);
    } else {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        if (tcsetattr(slave, TCSANOW, &tio) != 0)
            error_ = std::string("cannot make the pty raw: ") + std::strerror(errno);
    }
    if (slave >= 0)
        ::close(slave);
}

PtyLine::~PtyLine() {
    PullCable();
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

bool PtyLine::Ok(std::string* why) const {
    if (why)
        *why = error_;
    return error_.empty() && master_ >= 0;
}

bool PtyLine::TakeAsControllingTerminal() {
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return false;
    const bool ok = ::ioctl(slave, TIOCSCTTY, 0) == 0;
    // The session keeps its terminal without an open descriptor, and holding none lets the
    // master see when the host closes the slave.
    ::close(slave);
    return ok;
}

PtyLine::Ready PtyLine::WaitReady(short events, int timeoutMs) {
    int fd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pulled_)
            return Ready::Pulled;
        fd = master_;
    }
    pollfd p[2] = {{fd, events, 0}, {wake_[0], POLLIN, 0}};
    int n;
    do
        n = ::poll(p, 2, timeoutMs);
    while (n < 0 && errno == EINTR);
    std::lock_guard<std::mutex> lock(mutex_);
    if (pulled_)
        return Ready::Pulled;
    if (n == 0)
        return Ready::TimedOut;
    if (n > 0 && (p[0].revents & events))
        return Ready::Yes;
    return Ready::HungUp;
}

bool PtyLine::WaitForHost(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // A pty without a host reads as hung up; the first open clears that.
        const Ready r = WaitReady(POLLIN, 0);
        if (r == Ready::Pulled)
            return false;
        if (r != Ready::HungUp)
            return true;
        if (timeoutMs >= 0 && Remaining(deadline) == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kHostPollMs));
    }
}

bool PtyLine::WaitForHostToClose(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t sink[4096];
    for (;;) {
        switch (WaitReady(POLLIN, Remaining(deadline))) {
        case Ready::Yes: {
            std::lock_guard<std::mutex> lock(mutex_);
            const ssize_t n = ::read(master_, sink, sizeof sink);
            if (n == 0 || (n < 0 && errno == EIO))
                return true;
            break;
        }
        case Ready::TimedOut:
            return false;
        case Ready::HungUp:
        case Ready::Pulled:
            return true;
        }
    }
}

DeviceLine::Wait PtyLine::WaitForData(int timeoutMs) {
    if (bufferSize_ > 0)
        return Wait::Data;
    switch (WaitReady(POLLIN, timeoutMs)) {
    case Ready::Yes:
        return Wait::Data;
    case Ready::TimedOut:
        return Wait::TimedOut;
    default:
        return Wait::HungUp;
    }
}

bool PtyLine::Read(uint8_t* data, uint32_t length) {
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        uint8_t* const to = data + done;
        if (bufferSize_ > 0) {
            const uint32_t n = left < bufferSize_ ? left : bufferSize_;
            std::memcpy(to, buffer_.data() + bufferHead_, n);
            bufferHead_ += n;
            bufferSize_ -= n;
            return n;
        }
        // A block goes straight to its destination; a word fills the buffer, so that the next
        // few words cost no system call.
        const bool direct = left >= kDirectReadBytes;
        ssize_t n;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pulled_)
                return kMoveFailed;
            n = ::read(master_, direct ? to : buffer_.data(), direct ? left : kBufferBytes);
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return WaitReady(POLLIN, -1) == Ready::Yes ? 0 : kMoveFailed;
        // EIO: no host has the slave open any more.
        if (n <= 0)
            return kMoveFailed;
        if (direct)
            return n;
        bufferHead_ = 0;
        bufferSize_ = static_cast<uint32_t>(n);
        return 0;
    });
}

bool PtyLine::Write(const uint8_t* data, uint32_t length) {
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        ssize_t n;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pulled_)
                return kMoveFailed;
            n = ::write(master_, data + done, left);
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return WaitReady(POLLOUT, -1) == Ready::Yes ? 0 : kMoveFailed;
        return n > 0 ? n : kMoveFailed;
    });
}

void PtyLine::PullCable() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pulled_ || master_ < 0)
            return;
        pulled_ = true;
        ::close(master_);
        master_ = -1;
    }
    if (wake_[1] >= 0) {
        const char byte = 1;
        ssize_t ignored = ::write(wake_[1], &byte, 1);
        (void)ignored;
    }
}
