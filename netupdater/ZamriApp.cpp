// Zamri: sends one file to a handset waiting in its updating state on a network link.
#include <windows.h>

#include <commctrl.h>
#include <winsock2.h>

#include "ZamriDlg.h"
#include "resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);

    WSADATA data;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        wchar_t text[256] = {};
        ::LoadStringW(instance, IDS_SOCKETS_INIT_FAILED, text, 256);
        ::MessageBoxW(nullptr, text, ProgramCaption().c_str(), MB_OK);
        return 1;
    }

    CZamriDlg dlg;
    CDialogBase::SetMainWindow(&dlg);
    dlg.DoModal();
    CDialogBase::SetMainWindow(nullptr);
    g_pUpdaterWindow = nullptr;
    // A transfer still running ends with the process.
    ::ExitProcess(0);
}
