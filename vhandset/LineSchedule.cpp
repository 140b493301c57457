#include "LineSchedule.h"

#include <algorithm>

namespace {

constexpr uint64_t kNanosPerSecond = 1000000000;

} // namespace

LineSchedule::LineSchedule(uint64_t bytesPerSecond, uint64_t burstBytes)
    : rate_(bytesPerSecond),
      burst_(static_cast<Duration::rep>(burstBytes * kNanosPerSecond / bytesPerSecond)) {}

LineSchedule::Duration LineSchedule::Take(uint64_t bytes, Duration now) {
    // An idle line catches up to now, less what it may bank.
    if (free_ < now - burst_)
        free_ = now - burst_;
    // Whole seconds and the rest apart, so that a transfer of any size cannot overflow.
    const uint64_t seconds = bytes / rate_;
    const uint64_t rest = (bytes % rate_) * kNanosPerSecond + carry_;
    carry_ = rest % rate_;
    free_ += std::chrono::seconds(seconds) + Duration(rest / rate_);
    return std::max(free_ - now, Duration::zero());
}
