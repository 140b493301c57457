#pragma once

#include "AppSettings.h"
#include "CVug_CommsDLL.h"
#include "DialogBase.h"
#include "PageLook.h"
#include "resource.h"

// The preparation page: how to connect the handset, normally or for a rescue. Its Next runs
// the preparation procedure.
class CNem_2 : public CDialogBase {
public:
    enum { IDD = IDD_NEM_2 };
    CNem_2();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    int EnterButtonId() const override { return IDC_BUTTON_NEXT2; }

private:
    HICON m_hIcon;
    HWND m_btnNext = nullptr;      // control 1001
    HWND m_staticRescue = nullptr; // control 1040
    CAppSettings m_Config;
    CVug_CommsDLL m_Comms;
    HeadingFont m_HeadingFont;
    SidePicture m_SidePicture;
};
