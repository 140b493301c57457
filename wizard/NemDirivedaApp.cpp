#include "NemDirivedaApp.h"

#include <windows.h>

#include <commctrl.h>
#include <winsock2.h>

#include "AppSettings.h"
#include "NemDirivedaDlg.h"
#include "SettingsRules.h"
#include "resource.h"

CNemDirivedaApp theApp;

namespace {

// The running copy's window with `title`. Later in the chain several pages carry the same
// title, the ended ones hidden; a visible one is the one worth bringing forward.
HWND FindRunningCopy(const std::wstring& title) {
    HWND first = ::FindWindowW(nullptr, title.c_str());
    for (HWND w = first; w; w = ::FindWindowExW(nullptr, w, nullptr, title.c_str()))
        if (::IsWindowVisible(w))
            return w;
    return first;
}

void ActivateRunningCopy() {
    CAppSettings mConfig;
    const std::wstring wndTitle = DecoratedTitle(mConfig.ReadSoftwareVersion());
    HWND running = FindRunningCopy(wndTitle);
    if (!running)
        return;
    if (::IsIconic(running))
        ::ShowWindow(running, SW_RESTORE);
    ::SetForegroundWindow(running);
}

bool StartSockets() {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return false;
    if (data.wVersion != MAKEWORD(1, 1)) {
        ::WSACleanup();
        return false;
    }
    return true;
}

void ShowStartupFailure(UINT textId) {
    wchar_t text[256] = {};
    ::LoadStringW(::GetModuleHandleW(nullptr), textId, text, 256);
    const std::wstring caption = ProgramName(ProgramFilePath());
    ::MessageBoxW(nullptr, text, caption.c_str(), MB_OK);
}

} // namespace

bool CNemDirivedaApp::InitInstance() {
    // Held, never released, until the process ends: its existence is the guard.
    HANDLE instanceGuard = ::CreateMutexW(nullptr, TRUE, L"KovShop.exe");
    if (instanceGuard && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ActivateRunningCopy();
        return false;
    }

    INITCOMMONCONTROLSEX InitCtrls;
    InitCtrls.dwSize = sizeof(InitCtrls);
    InitCtrls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&InitCtrls);

    if (!StartSockets()) {
        ShowStartupFailure(IDS_SOCKETS_INIT_FAILED);
        return false;
    }

    CNemDirivedaDlg dlg;
    CDialogBase::SetMainWindow(&dlg);
    dlg.DoModal();
    CDialogBase::SetMainWindow(nullptr);
    ::WSACleanup();
    return false;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    theApp.InitInstance();
    return 0;
}
