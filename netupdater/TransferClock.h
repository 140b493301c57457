#pragma once

#include <cstdint>

// Wall-clock seconds, the time that waits run on and the transfer's one fixed pause,
// replaceable so that tests and the benchmark need not spend real time on them.
class TransferClock {
public:
    virtual ~TransferClock();

    // Wall-clock time in whole seconds.
    virtual int64_t NowSeconds() = 0;

    // Milliseconds on a clock that only runs forward, for waits that go on across datagrams.
    virtual uint64_t NowMilliseconds() = 0;

    virtual void Pause(uint32_t milliseconds) = 0;

    // The process-wide real clock.
    static TransferClock& System();
};
