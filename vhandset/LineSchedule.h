#pragma once

#include <chrono>
#include <cstdint>

// When bytes may cross a line of a fixed rate. A token bucket, kept as the moment the line is
// next free: a line left idle banks at most `burstBytes` of credit, so that bytes that follow
// a pause go at once but no long pause lets a transfer run faster than the line.
//
// Times are durations since any fixed origin, so the schedule is a pure function of what it is
// told: the caller owns the clock and the sleeping.
class LineSchedule {
public:
    using Duration = std::chrono::nanoseconds;

    // `bytesPerSecond` must not be 0 (an unlimited line needs no schedule).
    LineSchedule(uint64_t bytesPerSecond, uint64_t burstBytes);

    // `bytes` start to cross at `now`: how long until the last of them has crossed (zero when
    // the bank covers them).
    Duration Take(uint64_t bytes, Duration now);

    uint64_t BytesPerSecond() const { return rate_; }

private:
    uint64_t rate_;
    Duration burst_;
    Duration free_{Duration::min()};
    // What a byte's crossing time leaves below a nanosecond, carried to the next transfer so
    // that a rate that does not divide a second keeps its long-run pace exactly.
    uint64_t carry_ = 0;
};
