#pragma once

#include "DialogBase.h"

// The About box that the updater window's system menu opens.
class CAboutDlg : public CDialogBase {
public:
    CAboutDlg();
};
