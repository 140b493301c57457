#include "ZamriDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <memory>
#include <vector>

#include "AboutDlg.h"
#include "DownloadFile.h"
#include "DownloadTransfer.h"
#include "RememberedPath.h"
#include "SkinLibrary.h"
#include "UpdaterSettings.h"
#include "resource.h"

CZamriDlg* g_pUpdaterWindow = nullptr;
const char kRememberedPathFile[] = "C:\\to_path.dat";

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n,
                          nullptr, nullptr);
    return narrow;
}

// The transfer's thread: it owns its copy of the path, so Browse cannot change the file
// being sent.
DWORD WINAPI TransferThread(LPVOID parameter) {
    std::unique_ptr<std::filesystem::path> path(static_cast<std::filesystem::path*>(parameter));
    DiskFile file(*path);
    DownloadTransfer transfer(*g_pUpdaterWindow, SocketLibrary::System(), TransferClock::System());
    transfer.Run(file, ReadUpdaterSettings());
    return 0;
}

} // namespace

// The executable's file name without folder or extension: every message box's caption.
std::wstring ProgramCaption() {
    std::vector<wchar_t> path(32768);
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring name(path.data(), n < path.size() ? n : 0);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

CZamriDlg::CZamriDlg()
    : CDialogBase(IDD_ZAMRI_DIALOG),
      m_strDownloadPath(Wide(ReadRememberedPath(kRememberedPathFile))),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

BOOL CZamriDlg::OnInitDialog() {
    ApplySkin();
    CDialogBase::OnInitDialog();
    ::SetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, m_strDownloadPath.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_STATIC_STATUS, m_strStatus.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_STATIC_PROGRESS, m_strProgress.c_str());

    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    wchar_t about[128] = {};
    if (systemMenu && ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 128) > 0) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    g_pUpdaterWindow = this;
    ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    return TRUE;
}

bool CZamriDlg::OnCommand(int controlId, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return false;
    if (controlId == IDC_BUTTON_BROWSE)
        OnBrowse();
    else if (controlId == IDC_BUTTON_DOWNLOAD)
        OnDownload();
    else
        return false;
    return true;
}

bool CZamriDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
            return false;
        {
            CAboutDlg about;
            about.DoModal();
        }
        result = TRUE;
        return true;
    case WM_PAINT:
        if (!::IsIconic(m_hWnd))
            return false;
        OnPaintIconic();
        result = TRUE;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    default:
        return false;
    }
}

void CZamriDlg::OnPaintIconic() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
}

std::wstring CZamriDlg::PathFieldText() const {
    const int length = ::GetWindowTextLengthW(GetDlgItem(IDC_EDIT_PATH));
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    const int got = ::GetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, text.data(), length + 1);
    return std::wstring(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

int CZamriDlg::Ask(const std::wstring& text, UINT buttons) const {
    return ::MessageBoxW(m_hWnd, text.c_str(), ProgramCaption().c_str(), buttons);
}

void CZamriDlg::OnBrowse() {
    wchar_t chosen[32768] = L"doc.bin";
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = L"Files (doc.bin)\0doc.bin\0";
    ofn.lpstrFile = chosen;
    ofn.nMaxFile = sizeof chosen / sizeof chosen[0];
    ofn.lpstrDefExt = L"my";
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (::GetOpenFileNameW(&ofn))
        ::SetDlgItemTextW(m_hWnd, IDC_EDIT_PATH, chosen);
    m_strDownloadPath = PathFieldText();
    WriteRememberedPath(kRememberedPathFile, Narrow(m_strDownloadPath));
}

void CZamriDlg::OnDownload() {
    m_strDownloadPath = PathFieldText();
    uint64_t length = 0;
    // The path as the field holds it: only C:\to_path.dat keeps it in the ANSI code page.
    const std::filesystem::path path(m_strDownloadPath);
    if (!DiskFile(path).Length(length)) {
        Ask(L"Do not select file or the selected file is not exist!", MB_OK);
        return;
    }
    if (Ask(L"Update process will delete your personal data!Are you confirm to update your "
            L"mobile?",
            MB_OKCANCEL) != IDOK)
        return;
    // Off at once, not only when the worker gets going, so that no second click can start
    // a second transfer in between.
    EnableDownload(false);
    auto copy = std::make_unique<std::filesystem::path>(path);
    HANDLE worker = ::CreateThread(nullptr, 0, &TransferThread, copy.get(), 0, nullptr);
    if (worker) {
        copy.release(); // the thread's now
        ::CloseHandle(worker);
    } else {
        EnableDownload(true);
    }
}

void CZamriDlg::EnableDownload(bool enable) {
    ::EnableWindow(GetDlgItem(IDC_BUTTON_DOWNLOAD), enable ? TRUE : FALSE);
}

void CZamriDlg::SetStatus(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(m_statusLock);
        m_strStatus = Wide(text);
    }
    ::SetDlgItemTextA(m_hWnd, IDC_STATIC_STATUS, text.c_str());
}

void CZamriDlg::SetProgressText(const std::string& text) {
    ::SetDlgItemTextA(m_hWnd, IDC_STATIC_PROGRESS, text.c_str());
}

void CZamriDlg::SetProgressRange(uint16_t maximum) {
    ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void CZamriDlg::SetProgressPosition(uint32_t position) {
    ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS, PBM_SETPOS, position, 0);
}

void CZamriDlg::ShowMessage(const std::string& text) {
    Ask(Wide(text), MB_OK);
}
