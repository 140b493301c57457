#pragma once

#include <cstdint>

#include "DeviceLine.h"
#include "LineSchedule.h"

// The time a paced line reads and sleeps by: the steady clock and a real sleep by default, a
// scripted one in tests.
class LineClock {
public:
    virtual ~LineClock() = default;
    virtual LineSchedule::Duration Now() = 0;
    virtual void Sleep(LineSchedule::Duration duration) = 0;

    // The steady clock, sleeping the thread.
    static LineClock& Steady();
};

// A device line that moves bytes no faster than a real link of the given rate, in both
// directions together, as a USB bus carries one transfer at a time. It sleeps to its schedule
// rather than spinning, so many paced lines at once cost next to no processor time.
//
// Bytes the device writes are held back until the line would have delivered them; bytes the
// host sent are handed to the device only once they would have arrived, and since the device
// then reads its line more slowly, a host that writes ahead soon waits for it.
class PacedLine : public DeviceLine {
public:
    PacedLine(DeviceLine& line, uint64_t bytesPerSecond, LineClock& clock = LineClock::Steady());

    Wait WaitForData(int timeoutMs) override { return line_.WaitForData(timeoutMs); }
    bool Read(uint8_t* data, uint32_t length) override;
    bool Write(const uint8_t* data, uint32_t length) override;
    void PullCable() override { line_.PullCable(); }

    // The most a single sleep covers: about 4 ms of the line's time, between 64 bytes and
    // 64 KiB, so that the pacing is smooth without waking often.
    uint32_t PieceBytes() const { return piece_; }

private:
    // Waits until `bytes` more have crossed the line.
    void Pace(uint32_t bytes);

    DeviceLine& line_;
    LineClock& clock_;
    uint32_t piece_;
    LineSchedule schedule_;
};
