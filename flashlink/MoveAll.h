#pragma once

#include <cstdint>

// What one try of a transfer reports when the transfer has failed.
constexpr long long kMoveFailed = -1;

// The one loop that continues short reads and writes until every byte has moved: host files,
// the device pipe, the pty line and the in-memory wire all move their bytes through it.
// `step(done, left)` tries once to move some of the `left` bytes that follow the first `done`,
// waiting for the other end as its medium needs, and returns how many it moved: 0 when none
// moved this time but the transfer goes on, kMoveFailed when the transfer has failed.
template <typename Step> bool MoveAll(uint32_t length, Step step) {
    uint32_t done = 0;
    while (done < length) {
        const long long moved = step(done, length - done);
        if (moved < 0)
            return false;
        done += static_cast<uint32_t>(moved);
    }
    return true;
}
