#include "TransferClock.h"

#include <chrono>
#include <thread>

TransferClock::~TransferClock() = default;

namespace {

class SystemClock : public TransferClock {
public:
    int64_t NowSeconds() override {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::seconds>(now).count();
    }
    uint64_t NowMilliseconds() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Pause(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

TransferClock& TransferClock::System() {
    static SystemClock clock;
    return clock;
}
