#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "BytePipe.h"
#include "LinkClock.h"

// A byte pipe whose device side the test writes: queued bytes to read, a record of every
// piece written, and failures on demand.
class FakePipe : public BytePipe {
public:
    DeviceHandle Open() override {
        ++openCalls;
        if (!present)
            return INVALID_DEVICE_HANDLE;
        open = true;
        return reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(7));
    }
    void Close() override {
        ++closeCalls;
        open = false;
    }
    bool WriteAll(const uint8_t* data, uint32_t length) override {
        writeSizes.push_back(length);
        if (failWriteAt >= 0 && static_cast<int>(writeSizes.size()) > failWriteAt)
            return false;
        if (static_cast<int>(writeSizes.size()) - 1 == failOneWriteAt)
            return false;
        written.insert(written.end(), data, data + length);
        return true;
    }
    bool ReadAll(uint8_t* data, uint32_t length) override {
        readSizes.push_back(length);
        if (toRead.size() < length)
            return false;
        for (uint32_t i = 0; i < length; ++i) {
            data[i] = toRead.front();
            toRead.pop_front();
        }
        return true;
    }

    void SetSilenceLimit(uint32_t milliseconds) override { silenceLimits.push_back(milliseconds); }

    void QueueWord(uint32_t word) {
        for (int i = 0; i < 4; ++i)
            toRead.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }

    bool present = true;
    bool open = false;
    int openCalls = 0;
    int closeCalls = 0;
    int failWriteAt = -1; // the index of the first piece that fails, or -1
    // The index of one piece that fails while the pieces after it go through, as when the
    // device stalls past the silence limit for one write and then takes the next; or -1.
    int failOneWriteAt = -1;
    std::vector<uint32_t> writeSizes;
    std::vector<uint32_t> readSizes;
    std::vector<uint32_t> silenceLimits; // every limit the link set, in order
    std::vector<uint8_t> written;
    std::deque<uint8_t> toRead;
};

// A clock that moves on by one second at every reading.
class SteppingClock : public LinkClock {
public:
    uint32_t NowSeconds() override { return now++; }
    uint32_t now = 1000;
};
