#include "Interrupt.h"

#include <csignal>
#include <unistd.h>

namespace {

StopTarget* const* g_targets = nullptr;
volatile size_t g_count = 0;
volatile sig_atomic_t g_interrupted = 0;

void OnSignal(int) {
    const bool second = g_interrupted != 0;
    g_interrupted = 1;
    OnInterrupt(g_targets, g_count, second);
    if (second)
        _exit(130);
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
    g_targets = targets;
    g_count = count;
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void ClearInterruptTargets() {
    g_count = 0;
}

bool Interrupted() {
    return g_interrupted != 0;
}
