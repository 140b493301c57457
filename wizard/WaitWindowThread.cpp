#include "WaitWindowThread.h"

#include <memory>
#include <utility>

#include "Navigation.h"
#include "Waiting.h"

namespace {

// Long enough for a loaded machine to take a window down; short enough that a wait window
// that never answers cannot keep the wizard from going on.
const DWORD kEndTimeoutMs = 10000;
const DWORD kAskAgainMs = 50;

BOOL CALLBACK AskDialogToClose(HWND window, LPARAM) {
    // A thread's windows include system ones (an input-method window, for one): only the
    // wait window itself, a dialog, is asked.
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") == 0)
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

DWORD WINAPI WaitWindowThreadProc(LPVOID argument) {
    std::unique_ptr<CDialogBase> window;
    if (WaitWindowKindFor(static_cast<const wchar_t*>(argument)) == WaitWindowKind::ConnectHandset)
        window = std::make_unique<CWaiting_2>();
    else
        window = std::make_unique<CWaiting>();
    window->DoModal();
    return 1;
}

bool EndWaitWindowThread(DWORD threadId, HANDLE thread) {
    if (!thread)
        return true;
    const DWORD start = ::GetTickCount();
    for (;;) {
        // Asked again each round: the window may not have been made yet when first asked.
        ::EnumThreadWindows(threadId, AskDialogToClose, 0);
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= kEndTimeoutMs)
            return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        const DWORD round =
            kEndTimeoutMs - waited < kAskAgainMs ? kEndTimeoutMs - waited : kAskAgainMs;
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, round, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_OBJECT_0 + 1) {
            // Serves the sent messages only; posted input stays queued for the page's loop.
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        if (woke == WAIT_FAILED)
            return false;
    }
}

WaitWindowThread::WaitWindowThread(const wchar_t* argument) {
    m_hThread = ::CreateThread(nullptr, 0, WaitWindowThreadProc, const_cast<wchar_t*>(argument), 0,
                               &m_dwThreadId);
}

WaitWindowThread::~WaitWindowThread() {
    End();
    Close();
}

WaitWindowThread::WaitWindowThread(WaitWindowThread&& other) noexcept
    : m_hThread(std::exchange(other.m_hThread, nullptr)),
      m_dwThreadId(std::exchange(other.m_dwThreadId, 0)) {}

WaitWindowThread& WaitWindowThread::operator=(WaitWindowThread&& other) noexcept {
    if (this != &other) {
        End();
        Close();
        m_hThread = std::exchange(other.m_hThread, nullptr);
        m_dwThreadId = std::exchange(other.m_dwThreadId, 0);
    }
    return *this;
}

bool WaitWindowThread::End() {
    return EndWaitWindowThread(m_dwThreadId, m_hThread);
}

void WaitWindowThread::Close() {
    if (m_hThread)
        ::CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_dwThreadId = 0;
}
