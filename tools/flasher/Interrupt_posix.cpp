#include "Interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// The handler may run on any thread while the devices' threads read these: lock-free atomics
// are safe both across threads and in a signal handler.
std::atomic<StopTarget* const*> g_targets{nullptr};
std::atomic<size_t> g_count{0};
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<StopTarget* const*>::is_always_lock_free, "used in a signal handler");
static_assert(std::atomic<size_t>::is_always_lock_free, "used in a signal handler");

// write() may change errno under the thread the signal interrupted.
void OnSignal(int) {
    const int savedErrno = errno;
    const bool second = g_interrupted.exchange(1) != 0;
    OnInterrupt(g_targets.load(), g_count.load(), second);
    if (second)
        _exit(130);
    errno = savedErrno;
}

} // namespace

void WriteToStderr(const char* text, size_t length) {
    while (length > 0) {
        const ssize_t written = write(STDERR_FILENO, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

void InstallInterruptHandler(StopTarget* const* targets, size_t count) {
    g_count.store(0);
    g_targets.store(targets);
    g_count.store(count);
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void SetInterruptTargetCount(size_t count) {
    g_count.store(count);
}

void ClearInterruptTargets() {
    g_count.store(0);
}

bool Interrupted() {
    return g_interrupted.load() != 0;
}
