#include "Interrupt.h"

#include <windows.h>

namespace {

StopTarget* const* g_targets = nullptr;
volatile size_t g_count = 0;
volatile LONG g_interrupted = 0;

// Runs on a thread of its own that the console starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    const bool second = InterlockedExchange(&g_interrupted, 1) != 0;
    OnInterrupt(g_targets, g_count, second);
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
    g_targets = targets;
    g_count = count;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void ClearInterruptTargets() {
    g_count = 0;
}

bool Interrupted() {
    return g_interrupted != 0;
}
