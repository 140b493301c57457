#include "Interrupt.h"

#include <atomic>
#include <cstdio>
#include <windows.h>

#include "ToolTexts.h"

namespace {

// The handler runs on a thread of its own that the console starts for the event, while the
// update reads these on its thread.
std::atomic<CVug_CommsDLL*> g_link{nullptr};
std::atomic<int> g_interrupted{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (g_interrupted.exchange(1))
        ExitProcess(130);
    if (CVug_CommsDLL* link = g_link.load()) {
        link->m_Abort.store(1);
        link->m_Cancel.store(1);
    }
    std::fputs(TXT_STOPPING, stderr);
    return TRUE;
}

} // namespace

void InstallInterruptHandler(CVug_CommsDLL* link) {
    g_link.store(link);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool Interrupted() {
    return g_interrupted.load() != 0;
}
