#include "Interrupt.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

#include "ToolTexts.h"

namespace {

// The handler may run on any thread of the process while others read these, so they are
// lock-free atomics rather than volatile: only those are safe both across threads and in a
// signal handler.
std::atomic<CVug_CommsDLL*> g_link{nullptr};
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<CVug_CommsDLL*>::is_always_lock_free, "used in a signal handler");

void OnInterrupt(int) {
    if (g_interrupted.exchange(1))
        _exit(130);
    if (CVug_CommsDLL* link = g_link.load()) {
        link->m_Abort.store(1);
        link->m_Cancel.store(1);
    }
    ssize_t ignored = write(STDERR_FILENO, TXT_STOPPING, sizeof TXT_STOPPING - 1);
    (void)ignored;
}

} // namespace

void InstallInterruptHandler(CVug_CommsDLL* link) {
    g_link.store(link);
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Interrupted() {
    return g_interrupted.load() != 0;
}
