#include "MemoryWire.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "MoveAll.h"

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

void MemoryWire::SetSilenceCap(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    silenceCapMs_ = milliseconds;
}

void MemoryWire::HostEndPipe::SetSilenceLimit(uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(wire_.mutex_);
    wire_.linkLimitMs_ = milliseconds;
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

template <typename Move, typename Ready>
bool MemoryWire::HostTransfer(std::unique_lock<std::mutex>& lock, uint32_t length, Move move,
                              Ready ready) {
    // Checked even for an empty transfer: a host without an open device moves nothing.
    if (cut_ || !hostOpen_)
        return false;
    auto lastMove = std::chrono::steady_clock::now();
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        if (cut_ || !hostOpen_)
            return kMoveFailed;
        if (const uint32_t n = move(done, left)) {
            lastMove = std::chrono::steady_clock::now();
            changed_.notify_all();
            return n;
        }
        const auto limit =
            lastMove + std::chrono::milliseconds(std::min(linkLimitMs_, silenceCapMs_));
        return changed_.wait_until(lock, limit, [&] { return cut_ || ready(); }) ? 0 : kMoveFailed;
    });
}

bool MemoryWire::HostEndPipe::WriteAll(const uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    Queue& queue = wire_.toDevice_;
    return wire_.HostTransfer(
        lock, length, [&](uint32_t done, uint32_t left) { return queue.Put(data + done, left); },
        [&] { return queue.size < queue.bytes.size(); });
}

bool MemoryWire::HostEndPipe::ReadAll(uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    Queue& queue = wire_.toHost_;
    return wire_.HostTransfer(
        lock, length, [&](uint32_t done, uint32_t left) { return queue.Take(data + done, left); },
        [&] { return queue.size > 0; });
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
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        if (wire_.cut_)
            return kMoveFailed;
        if (const uint32_t n = wire_.toDevice_.Take(data + done, left)) {
            wire_.changed_.notify_all();
            return n;
        }
        if (wire_.HostGoneLocked())
            return kMoveFailed;
        wire_.changed_.wait(lock);
        return 0;
    });
}

bool MemoryWire::DeviceEndLine::Write(const uint8_t* data, uint32_t length) {
    std::unique_lock<std::mutex> lock(wire_.mutex_);
    return MoveAll(length, [&](uint32_t done, uint32_t left) -> long long {
        if (wire_.HostGoneLocked())
            return kMoveFailed;
        if (const uint32_t n = wire_.toHost_.Put(data + done, left)) {
            wire_.changed_.notify_all();
            return n;
        }
        wire_.changed_.wait(lock);
        return 0;
    });
}
