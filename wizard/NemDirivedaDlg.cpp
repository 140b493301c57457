#include "NemDirivedaDlg.h"

#include "PageChain.h"
#include "SettingsRules.h"
#include "UpdateKit.h"
#include "WelcomeImage.h"
#include "WizardTexts.h"

CNemDirivedaDlg::CNemDirivedaDlg() : CDialogBase(IDD), m_hIcon(ApplicationIcon()) {}

BOOL CNemDirivedaDlg::OnInitDialog() {
    m_SidePicture.ShowDefault(m_hWnd);
    SetWindowText(WIZARD_TITLE);
    CDialogBase::OnInitDialog();
    m_btnNext = GetDlgItem(IDC_BUTTON_NEXT);
    m_HeadingFont.ApplyTo(m_hWnd, IDC_STATIC_WELCOME);
    SetPageIcons(m_hWnd);
    RaiseMainWindowAndCentre(m_hWnd);
    CheckImage();
    return TRUE;
}

void CNemDirivedaDlg::CheckImage() {
    const WelcomeImageCheck check = CheckWelcomeImage(UPDATE_IMAGE_NAME);
    switch (check.outcome) {
    case ImageCheckOutcome::Missing:
        ShowPageMessage(m_hWnd, TXT_IMAGE_NOT_FOUND, TXT_ERROR_CAPTION);
        OnCancel();
        return;
    case ImageCheckOutcome::Unreadable:
        return;
    case ImageCheckOutcome::Read:
        RememberImageCheck(TheWizardState(), check);
        m_SidePicture.Show(m_hWnd);
        return;
    }
}

bool CNemDirivedaDlg::OnCommand(int controlId, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return false;
    const bool ticked = IsChecked(IDC_CHECK_WARNING);
    switch (controlId) {
    case IDC_CHECK_WARNING:
        ::EnableWindow(m_btnNext, ticked ? TRUE : FALSE);
        return true;
    case IDC_BUTTON_NEXT:
        FollowMove(*this, MoveFor(WizardPage::Welcome, PageControl::Next, ticked));
        return true;
    case IDCANCEL:
        FollowMove(*this, MoveFor(WizardPage::Welcome, PageControl::Cancel, ticked));
        return true;
    }
    return false;
}

bool CNemDirivedaDlg::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message == WM_PAINT && ::IsIconic(m_hWnd)) {
        PaintIconic();
        result = TRUE;
        return true;
    }
    if (message == WM_QUERYDRAGICON) {
        result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    }
    return false;
}

void CNemDirivedaDlg::PaintIconic() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
}
