#include "Interrupt.h"

#include <cstdio>
#include <windows.h>

namespace {

CVug_CommsDLL* g_link = nullptr;
volatile LONG g_interrupted = 0;

// Runs on a thread of its own that the console starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (InterlockedExchange(&g_interrupted, 1))
        ExitProcess(130);
    if (g_link) {
        g_link->m_Abort = 1;
        g_link->m_Cancel = 1;
    }
    std::fputs("\nStopping at the next block boundary (Ctrl-C again to force)...\n", stderr);
    return TRUE;
}

} // namespace

void InstallInterruptHandler(CVug_CommsDLL* link) {
    g_link = link;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() {
    return g_interrupted != 0;
}
