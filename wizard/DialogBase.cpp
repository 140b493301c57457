#include "DialogBase.h"

#include <vector>

CDialogBase* CDialogBase::s_pMainWnd = nullptr;

void DataExchange::Text(int controlId, std::wstring& value) {
    HWND control = ::GetDlgItem(m_hDialog, controlId);
    if (!control)
        return;
    if (!m_bSaving) {
        ::SetWindowTextW(control, value.c_str());
        return;
    }
    const int length = ::GetWindowTextLengthW(control);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    const int got = ::GetWindowTextW(control, text.data(), length + 1);
    value.assign(text.data(), static_cast<size_t>(got > 0 ? got : 0));
}

CDialogBase::CDialogBase(UINT templateId) : m_nTemplateId(templateId) {}

CDialogBase::~CDialogBase() {
    if (s_pMainWnd == this)
        s_pMainWnd = nullptr;
}

HWND CDialogBase::MainWindowHandle() {
    return s_pMainWnd && ::IsWindow(s_pMainWnd->m_hWnd) ? s_pMainWnd->m_hWnd : nullptr;
}

INT_PTR CDialogBase::DoModal() {
    // The main window belongs to the user-interface thread; a page run on another thread (a
    // wait window) has no owner, or the two threads' input would be tied together.
    HWND owner = MainWindowHandle();
    if (owner && ::GetWindowThreadProcessId(owner, nullptr) != ::GetCurrentThreadId())
        owner = nullptr;
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), owner,
                             &CDialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialogBase::OnCancel() {
    if (m_hWnd)
        ::EndDialog(m_hWnd, IDCANCEL);
}

BOOL CDialogBase::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialogBase::DoDataExchange(DataExchange&) {}

bool CDialogBase::OnCommand(int, int) {
    return false;
}

int CDialogBase::EnterButtonId() const {
    return 0;
}

bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

void CDialogBase::UpdateData(bool saveAndValidate) {
    DataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(dx);
}

void CDialogBase::SetWindowText(const std::wstring& text) {
    ::SetWindowTextW(m_hWnd, text.c_str());
}

bool CDialogBase::IsChecked(int controlId) const {
    return ::IsDlgButtonChecked(m_hWnd, controlId) == BST_CHECKED;
}

void CDialogBase::EnableControl(int controlId, bool enable) {
    ::EnableWindow(GetDlgItem(controlId), enable ? TRUE : FALSE);
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* page;
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<CDialogBase*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        page->m_hWnd = window;
        return page->OnInitDialog();
    }
    // Messages that come before WM_INITDIALOG (WM_SETFONT and the like) find no page yet.
    page = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (!page)
        return FALSE;

    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (page->OnCommand(id, code))
            return TRUE;
        if (id == IDCANCEL) {
            page->OnCancel();
            return TRUE;
        }
        if (id == IDOK) {
            // Enter: as a click on the page's Next when a user could click it.
            const int enter = page->EnterButtonId();
            HWND button = enter ? page->GetDlgItem(enter) : nullptr;
            if (button && ::IsWindowVisible(button) && ::IsWindowEnabled(button))
                page->OnCommand(enter, BN_CLICKED);
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        page->m_hWnd = nullptr;
        return FALSE;
    }
    INT_PTR result = 0;
    return page->OnMessage(message, wParam, lParam, result) ? result : FALSE;
}
