#pragma once

#include <cstdint>

// Wall-clock seconds and the transfer's one fixed pause, replaceable so that tests and the
// benchmark need not spend real time on them.
class TransferClock {
public:
    virtual ~TransferClock();

    // Wall-clock time in whole seconds.
    virtual int64_t NowSeconds() = 0;

    virtual void Pause(uint32_t milliseconds) = 0;

    // The process-wide real clock.
    static TransferClock& System();
};
