#include "Interrupt.h"

#include <atomic>
#include <windows.h>

namespace {

// The handler runs on a thread of its own while the devices' threads read these.
std::atomic<StopTarget* const*> g_targets{nullptr};
std::atomic<size_t> g_count{0};
std::atomic<int> g_interrupted{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    const bool second = g_interrupted.exchange(1) != 0;
    OnInterrupt(g_targets.load(), g_count.load(), second);
    if (second)
        ExitProcess(130);
    return TRUE;
}

} // namespace

void WriteToStderr(const char* text, size_t length) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    while (length > 0) {
        DWORD written = 0;
        const DWORD piece = length > 65536 ? 65536 : static_cast<DWORD>(length);
        if (!WriteFile(err, text, piece, &written, nullptr) || written == 0)
            return;
        text += written;
        length -= written;
    }
}

void InstallInterruptHandler(StopTarget* const* targets, size_t count) {
    g_count.store(0);
    g_targets.store(targets);
    g_count.store(count);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
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
