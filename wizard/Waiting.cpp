#include "Waiting.h"

#include "SettingsRules.h"

namespace {

// A system-modal dialog belongs in the topmost band; Wine leaves it out, so the window
// puts itself there, which changes nothing where the system already did.
void StayOnTop(HWND window) {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace

CWaiting::CWaiting() : CDialogBase(IDD) {}

BOOL CWaiting::OnInitDialog() {
    CDialogBase::OnInitDialog();
    m_staticText = GetDlgItem(IDC_STATIC_TEXT);
    SetWindowText(DecoratedTitle(m_Config.ReadSoftwareVersion()));
    StayOnTop(m_hWnd);
    return TRUE;
}

CWaiting_2::CWaiting_2() : CDialogBase(IDD) {}

BOOL CWaiting_2::OnInitDialog() {
    CDialogBase::OnInitDialog();
    SetWindowText(DecoratedTitle(m_Config.ReadSoftwareVersion()));
    StayOnTop(m_hWnd);
    return TRUE;
}
