#include "ShowError.h"

#include "Navigation.h"
#include "SettingsRules.h"

CShowError::CShowError()
    : CDialogBase(IDD), m_hIcon(ApplicationIcon()),
      m_hBrush(::CreateSolidBrush(RGB(236, 233, 216))) {}

CShowError::~CShowError() {
    ::DeleteObject(m_hBrush);
}

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
    // The heading alone: the platform's colours for its text cells, then red text on an
    // opaque background and the page's brush for the rest of the control.
    HDC dc = reinterpret_cast<HDC>(wParam);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, m_crTitle);
    ::SetBkMode(dc, OPAQUE);
    result = reinterpret_cast<INT_PTR>(m_hBrush);
    return true;
}
