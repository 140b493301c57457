#include "PacedLine.h"

#include <algorithm>
#include <thread>

namespace {

constexpr uint64_t kPiecesPerSecond = 250;
constexpr uint64_t kSmallestPiece = 64;
constexpr uint64_t kLargestPiece = 65536;

class SteadyClock : public LineClock {
public:
    LineSchedule::Duration Now() override {
        return std::chrono::duration_cast<LineSchedule::Duration>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    void Sleep(LineSchedule::Duration duration) override { std::this_thread::sleep_for(duration); }
};

uint32_t PieceFor(uint64_t bytesPerSecond) {
    return static_cast<uint32_t>(
        std::clamp(bytesPerSecond / kPiecesPerSecond, kSmallestPiece, kLargestPiece));
}

} // namespace

LineClock& LineClock::Steady() {
    static SteadyClock clock;
    return clock;
}

// One piece's worth of credit lets a word that follows a pause cross at once, as the few
// bytes of a real link's packet would.
PacedLine::PacedLine(DeviceLine& line, uint64_t bytesPerSecond, LineClock& clock)
    : line_(line), clock_(clock), piece_(PieceFor(bytesPerSecond)),
      schedule_(bytesPerSecond, piece_) {}

void PacedLine::Pace(uint32_t bytes) {
    const LineSchedule::Duration wait = schedule_.Take(bytes, clock_.Now());
    if (wait > LineSchedule::Duration::zero())
        clock_.Sleep(wait);
}

bool PacedLine::Read(uint8_t* data, uint32_t length) {
    do {
        const uint32_t n = std::min(length, piece_);
        if (!line_.Read(data, n))
            return false;
        Pace(n);
        data += n;
        length -= n;
    } while (length > 0);
    return true;
}

bool PacedLine::Write(const uint8_t* data, uint32_t length) {
    do {
        const uint32_t n = std::min(length, piece_);
        Pace(n);
        if (!line_.Write(data, n))
            return false;
        data += n;
        length -= n;
    } while (length > 0);
    return true;
}
