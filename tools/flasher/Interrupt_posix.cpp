#include "Interrupt.h"

#include <csignal>
#include <unistd.h>

namespace {

CVug_CommsDLL* g_link = nullptr;
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    if (g_interrupted)
        _exit(130);
    g_interrupted = 1;
    if (g_link) {
        g_link->m_Abort = 1;
        g_link->m_Cancel = 1;
    }
    static const char note[] = "\nStopping at the next block boundary (Ctrl-C again to force)...\n";
    ssize_t ignored = write(STDERR_FILENO, note, sizeof note - 1);
    (void)ignored;
}

} // namespace

void InstallInterruptHandler(CVug_CommsDLL* link) {
    g_link = link;
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Interrupted() {
    return g_interrupted != 0;
}
