#pragma once

#include <string>

#include "AppSettings.h"
#include "DialogBase.h"
#include "PageLook.h"
#include "resource.h"

// The error page: why the update cannot go on, and what to check. Exit ends the wizard.
class CShowError : public CDialogBase {
public:
    enum { IDD = IDD_SHOWERROR };
    CShowError();

    // Chooses the texts before the run: mode 1, mode 2, or any other value. A page run
    // without a mode shows both texts empty.
    void SetMode(int mode);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange& dx) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    HICON m_hIcon;
    CAppSettings m_Config;
    std::wstring m_strExplanation; // control 1021
    std::wstring m_strChecklist;   // group box 1023
    ColouredText m_Title;          // control 1020: red on the page's RGB(236, 233, 216) brush
    HeadingFont m_HeadingFont;
    SidePicture m_SidePicture;
};
