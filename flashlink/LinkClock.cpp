#include "LinkClock.h"

#include <chrono>

LinkClock::~LinkClock() = default;

namespace {

class SystemClock : public LinkClock {
public:
    uint32_t NowSeconds() override {
        auto now = std::chrono::system_clock::now().time_since_epoch();
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
    }
};

} // namespace

LinkClock& LinkClock::System() {
    static SystemClock clock;
    return clock;
}
