#pragma once

#include <windows.h>

// The wait-window thread: shows one wait window with its own modal loop while the
// user-interface thread is busy talking to the handset.

// Thread routine. `argument` is a wide string that must outlive the thread: "SUPER" shows
// the connect-the-handset window, anything else (the wizard passes "NORMAL") the verifying
// window. Returns 1 when the window has closed.
DWORD WINAPI WaitWindowThreadProc(LPVOID argument);

// Ends a wait-window thread without killing it: asks its window to close, then waits for the
// thread to return. A thread killed from outside may die holding the heap or loader lock and
// hang the process; this one leaves its modal loop and returns as it would if the user had
// closed its window. Messages sent to the calling thread are served while it waits, so a
// window activation that crosses threads cannot deadlock. True when the thread has ended
// (within a few seconds; a thread that does not end by then is left alone). The handle stays
// open: it belongs to whoever started the thread.
bool EndWaitWindowThread(DWORD threadId, HANDLE thread);

// One running wait-window thread, ended at the latest when this object goes.
class WaitWindowThread {
public:
    WaitWindowThread() = default;
    // Starts the thread at once with `argument` ("NORMAL" or "SUPER", a string literal).
    explicit WaitWindowThread(const wchar_t* argument);
    ~WaitWindowThread();
    WaitWindowThread(WaitWindowThread&& other) noexcept;
    WaitWindowThread& operator=(WaitWindowThread&& other) noexcept;
    WaitWindowThread(const WaitWindowThread&) = delete;
    WaitWindowThread& operator=(const WaitWindowThread&) = delete;

    DWORD Id() const { return m_dwThreadId; }
    HANDLE Handle() const { return m_hThread; }

    // Ends the thread (see EndWaitWindowThread). Does nothing when none runs.
    bool End();

private:
    void Close();

    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
};
