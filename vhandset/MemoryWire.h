#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "BytePipe.h"
#include "DeviceLine.h"

// A USB cable in memory: the host's end is a byte pipe for the link (USBInterface::SetPipe),
// the device's end a DeviceLine for the virtual boot loader. Each direction is a bounded
// queue, so a writer waits for its reader as on a real line.
class MemoryWire {
public:
    // The longest a host read or write waits without moving a byte, whatever silence limit the
    // link asks for: a test whose device stopped answering ends instead of waiting out the
    // link's minutes.
    static constexpr uint32_t kDefaultSilenceCapMs = 20000;

    explicit MemoryWire(uint32_t capacity = 1u << 20);
    ~MemoryWire();
    MemoryWire(const MemoryWire&) = delete;
    MemoryWire& operator=(const MemoryWire&) = delete;

    BytePipe& HostEnd() { return host_; }
    DeviceLine& DeviceEnd() { return device_; }

    // Whether the host's Open finds the device (true at first).
    void SetPresent(bool present);
    // Both ends fail from now on; whatever was in flight is lost.
    void PullCable();
    void SetSilenceCap(uint32_t milliseconds);

private:
    struct Queue {
        explicit Queue(uint32_t capacity) : bytes(capacity) {}
        std::vector<uint8_t> bytes;
        uint32_t head = 0;
        uint32_t size = 0;
        uint32_t Put(const uint8_t* data, uint32_t length);
        uint32_t Take(uint8_t* data, uint32_t length);
    };

    class HostEndPipe : public BytePipe {
    public:
        explicit HostEndPipe(MemoryWire& wire) : wire_(wire) {}
        DeviceHandle Open() override;
        void Close() override;
        bool WriteAll(const uint8_t* data, uint32_t length) override;
        bool ReadAll(uint8_t* data, uint32_t length) override;
        // The link's limit for the phase; the wire's cap still bounds it.
        void SetSilenceLimit(uint32_t milliseconds) override;

    private:
        MemoryWire& wire_;
    };

    class DeviceEndLine : public DeviceLine {
    public:
        explicit DeviceEndLine(MemoryWire& wire) : wire_(wire) {}
        Wait WaitForData(int timeoutMs) override;
        bool Read(uint8_t* data, uint32_t length) override;
        bool Write(const uint8_t* data, uint32_t length) override;
        void PullCable() override { wire_.PullCable(); }

    private:
        MemoryWire& wire_;
    };

    // The host's side of a transfer, under `lock`: `move(done, left)` puts or takes what it
    // can; while it can do nothing, waits until `ready()`, up to the silence limit.
    template <typename Move, typename Ready>
    bool HostTransfer(std::unique_lock<std::mutex>& lock, uint32_t length, Move move, Ready ready);

    // The device sees a hang-up once a host that had opened the wire has closed it again
    // and everything it sent has been read.
    bool HostGoneLocked() const { return cut_ || (everOpened_ && !hostOpen_); }

    std::mutex mutex_;
    std::condition_variable changed_;
    Queue toDevice_;
    Queue toHost_;
    bool present_ = true;
    bool hostOpen_ = false;
    bool everOpened_ = false;
    bool cut_ = false;
    uint32_t silenceCapMs_ = kDefaultSilenceCapMs;
    uint32_t linkLimitMs_ = kDefaultSilenceCapMs;
    HostEndPipe host_;
    DeviceEndLine device_;
};
