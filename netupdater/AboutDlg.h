#pragma once

#include "DialogBase.h"

// The About box that the updater window's system menu opens.
class CAboutDlg : public CDialogBase {
public:
    CAboutDlg();

protected:
    // Its OK button closes it: the dialog base leaves OK to each window, since no wizard page
    // may end on it.
    bool OnCommand(int controlId, int notifyCode) override;
};
