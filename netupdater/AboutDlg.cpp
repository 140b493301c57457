#include "AboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg() : CDialogBase(IDD_ABOUTBOX) {}

bool CAboutDlg::OnCommand(int controlId, int /*notifyCode*/) {
    if (controlId != IDOK)
        return false;
    OnCancel();
    return true;
}
