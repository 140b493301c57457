#include "ShowError.h"

#include "Navigation.h"
#include "SettingsRules.h"

CShowError::CShowError()
    : CDialogBase(IDD), m_hIcon(ApplicationIcon()), m_Title(RGB(255, 0, 0), RGB(236, 233, 216)) {}

void CShowError::SetMode(int mode) {
    ErrorPageTexts texts = ErrorTextsFor(mode);
    m_strExplanation = texts.explanation;
    m_strChecklist = texts.checklist;
}

void CShowError::DoDataExchange(DataExchange& dx) {
    dx.Text(IDC_STATIC_EXPLANATION, m_strExplanation);
    dx.Text(IDC_GROUP_CHECKLIST, m_strChecklist);
}

BOOL CShowError::OnInitDialog() {
    m_SidePicture.ShowDefault(m_hWnd);
    CDialogBase::OnInitDialog();
    SetWindowText(WIZARD_TITLE);
    ::SetDlgItemTextW(m_hWnd, IDC_STATIC_EXPLANATION, m_strExplanation.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_GROUP_CHECKLIST, m_strChecklist.c_str());
    m_HeadingFont.ApplyTo(m_hWnd, IDC_STATIC_ERROR_TITLE);
    m_SidePicture.Show(m_hWnd);
    SetPageIcons(m_hWnd);
    RaiseMainWindowAndCentre(m_hWnd);
    return TRUE;
}

bool CShowError::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message != WM_CTLCOLORSTATIC ||
        ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_STATIC_ERROR_TITLE)
        return false;
    result = m_Title.Paint(reinterpret_cast<HDC>(wParam));
    return true;
}
