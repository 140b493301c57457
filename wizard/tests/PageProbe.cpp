// kovshop_probe: one of KovShop's windows on its own, for the window tests of windows that
// no road through the wizard reaches yet.
//
//   kovshop_probe error MODE     the error page with mode MODE, or without one for "none"
//   kovshop_probe wait KIND      the wait window for thread argument KIND ("NORMAL", "SUPER");
//                                ended once the event "kovshop_probe_end" is set
//
// Exit code 0; 2 for a wrong command line; 3 when the wait window's thread did not end.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "ShowError.h"
#include "WaitWindowThread.h"

namespace {

int ShowErrorPage(const std::wstring& mode) {
    CShowError page;
    if (mode != L"none")
        page.SetMode(std::wcstol(mode.c_str(), nullptr, 10));
    CDialogBase::SetMainWindow(&page);
    page.DoModal();
    return 0;
}

int ShowWaitWindow(const std::wstring& kind) {
    HANDLE end = ::CreateEventW(nullptr, TRUE, FALSE, L"kovshop_probe_end");
    WaitWindowThread thread(kind == L"SUPER" ? L"SUPER" : L"NORMAL");
    // Bounded, so that a test that never sets the event cannot leave the probe behind.
    ::WaitForSingleObject(end, 120000);
    const bool ended = thread.End();
    DWORD code = 0;
    ::GetExitCodeThread(thread.Handle(), &code);
    ::CloseHandle(end);
    return ended && code == 1 ? 0 : 3;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    int result = 2;
    if (argv && argc == 3 && std::wcscmp(argv[1], L"error") == 0)
        result = ShowErrorPage(argv[2]);
    else if (argv && argc == 3 && std::wcscmp(argv[1], L"wait") == 0)
        result = ShowWaitWindow(argv[2]);
    ::LocalFree(argv);
    return result;
}
