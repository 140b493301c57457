#include "MemoryWire.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

DeviceHandle WireHandle() {
    return reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(0x5157));
}

} // namespace

uint32_t MemoryWire::Queue::Put(const uint8_t* data, uint32_t length) {
    const uint32_t capacity = static_cast<uint32_t>(bytes.size());
    const uint32_t n = std::min(length, capacity - size);
    const uint32_t tail = (head + size) % capacity;
    const uint32_t first = std::min(n, capacity - tail);
    std::memcpy(bytes.data() + tail, data, first);
    std::memcpy(bytes.data(), data + first, n - first);
    size += n;
    return n;
}

uint32_t MemoryWire::Queue::Take(uint8_t* data, uint32_t length) {
    const uint32_t capacity = static_cast<uint32_t>(bytes.size());
    const uint32_t n = std::min(length, size);
    const uint32_t first = std::min(n, capacity - head);
    std::memcpy(data, bytes.data() + head, first);
    std::memcpy(data + first, bytes.data(), n - first);
    head = (head + n) % capacity;
    size -= n;
    return n;
}

MemoryWire::MemoryWire(uint32_t capacity)
    : toDevice_(capacity), toHost_(capacity), host_(*this), device_(*this) {}

MemoryWire::~MemoryWire() = default;

void MemoryWire::SetPresent(bool present) {
    std::lock_guard<std::mutex> lock(mutex_);
    present_ = present;
}

void MemoryWire::PullCable() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cut_ = true;
        toDevice_.size = 0;
        toHost_.size = 0;
    }
    changed_.notify_all();
}

void MemoryWire::SetSilenceLimit(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    silenceLimitMs_ = milliseconds;
}

DeviceHandle MemoryWire::HostEndPipe::Open() {
    std::lock_guard<std::mutex> lock(wire_.mutex_);
    if (!wire_.present_ || wire_.cut_ || wire_.hostOpen_)
        return INVALID_DEVICE_HANDLE;
    wire_.hostOpen_ = true;
    wire_.everOpened_ = true;
    return WireHandle();
}

void MemoryWire::HostEndPipe::Close() {
    {
        std::lock_guard<std::mutex> lock(wire_.mutex_);
        wire_.hostOpen_ = false;
        wire_.toHost_.size = 0;
    }
    wire_.changed_.notify_all();
}

bool MemoryWire::HostEndPipe::WriteAll(const uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    auto lastMove = std::chrono::steady_clock::now();
    uint32_t done = 0;
    while (done < length || length == 0) {
        if (wire_.cut_ || !wire_.hostOpen_)
            return false;
        if (length == 0)
            return true;
        const uint32_t n = wire_.toDevice_.Put(data + done, length - done);
        if (n) {
            done += n;
            lastMove = std::chrono::steady_clock::now();
            wire_.changed_.notify_all();
            continue;
        }
        if (!wire_.changed_.wait_until(
                lock, lastMove + std::chrono::milliseconds(wire_.silenceLimitMs_),
                [&] { return wire_.cut_ || wire_.toDevice_.size < wire_.toDevice_.bytes.size(); }))
            return false;
    }
    return true;
}

bool MemoryWire::HostEndPipe::ReadAll(uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    auto lastMove = std::chrono::steady_clock::now();
    uint32_t done = 0;
    while (done < length || length == 0) {
        if (wire_.cut_ || !wire_.hostOpen_)
            return false;
        if (length == 0)
            return true;
        const uint32_t n = wire_.toHost_.Take(data + done, length - done);
        if (n) {
            done += n;
            lastMove = std::chrono::steady_clock::now();
            wire_.changed_.notify_all();
            continue;
        }
        if (!wire_.changed_.wait_until(lock,
                                       lastMove + std::chrono::milliseconds(wire_.silenceLimitMs_),
                                       [&] { return wire_.cut_ || wire_.toHost_.size > 0; }))
            return false;
    }
    return true;
}

DeviceLine::Wait MemoryWire::DeviceEndLine::WaitForData(int timeoutMs) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    auto ready = [&] { return wire_.cut_ || wire_.toDevice_.size > 0 || wire_.HostGoneLocked(); };
    if (timeoutMs < 0)
        wire_.changed_.wait(lock, ready);
    else if (!wire_.changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return Wait::TimedOut;
    if (wire_.cut_ || wire_.toDevice_.size == 0)
        return Wait::HungUp;
    return Wait::Data;
}

bool MemoryWire::DeviceEndLine::Read(uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    uint32_t done = 0;
    while (done < length) {
        if (wire_.cut_)
            return false;
        const uint32_t n = wire_.toDevice_.Take(data + done, length - done);
        if (n) {
            done += n;
            wire_.changed_.notify_all();
            continue;
        }
        if (wire_.HostGoneLocked())
            return false;
        wire_.changed_.wait(lock);
    }
    return true;
}

bool MemoryWire::DeviceEndLine::Write(const uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    uint32_t done = 0;
    while (done < length) {
        if (wire_.HostGoneLocked())
            return false;
        const uint32_t n = wire_.toHost_.Put(data + done, length - done);
        if (n) {
            done += n;
            wire_.changed_.notify_all();
            continue;
        }
        wire_.changed_.wait(lock);
    }
    return true;
}
