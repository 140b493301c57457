#include "Nem_2.h"

#include "PageChain.h"
#include "SettingsRules.h"
#include "WizardTexts.h"

CNem_2::CNem_2() : CDialogBase(IDD), m_hIcon(ApplicationIcon()) {}

BOOL CNem_2::OnInitDialog() {
    m_SidePicture.ShowDefault(m_hWnd);
    m_SidePicture.Show(m_hWnd);
    CDialogBase::OnInitDialog();
    m_btnNext = GetDlgItem(IDC_BUTTON_NEXT2);
    m_staticRescue = GetDlgItem(IDC_STATIC_RESCUE);
    SetWindowText(WIZARD_TITLE);
    ::SetWindowTextW(m_staticRescue, TXT_RESCUE_INSTRUCTIONS);
    m_HeadingFont.ApplyTo(m_hWnd, IDC_STATIC_TEXT);
    SetPageIcons(m_hWnd);
    RaiseMainWindowAndCentre(m_hWnd);
    return TRUE;
}

bool CNem_2::OnCommand(int controlId, int notifyCode) {
    if (notifyCode != BN_CLICKED)
        return false;
    const bool ticked = IsChecked(IDC_CHECK_COMPLETED);
    switch (controlId) {
    case IDC_CHECK_COMPLETED:
        ::EnableWindow(m_btnNext, ticked ? TRUE : FALSE);
        return true;
    case IDC_BUTTON_NEXT2:
        FollowMove(*this, MoveFor(WizardPage::Preparation, PageControl::Next, ticked));
        return true;
    case IDC_BUTTON_BACK:
        FollowMove(*this, MoveFor(WizardPage::Preparation, PageControl::Back, ticked));
        return true;
    case IDCANCEL:
        FollowMove(*this, MoveFor(WizardPage::Preparation, PageControl::Cancel, ticked));
        return true;
    }
    return false;
}
