#pragma once

#include "AppSettings.h"
#include "DialogBase.h"
#include "PageLook.h"
#include "resource.h"

// The welcome page: warns that the update erases the handset, checks the update image and
// recognises its type. Start-up runs the first one as the application's main window.
class CNemDirivedaDlg : public CDialogBase {
public:
    enum { IDD = IDD_NEMDIRIVEDA_DIALOG };
    CNemDirivedaDlg();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int controlId, int notifyCode) override;
    int EnterButtonId() const override { return IDC_BUTTON_NEXT; }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void CheckImage();
    void PaintIconic();

    HICON m_hIcon;
    HWND m_btnNext = nullptr; // control 1000
    CAppSettings m_Config;
    HeadingFont m_HeadingFont;
    SidePicture m_SidePicture;
};
