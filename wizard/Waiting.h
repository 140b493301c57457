#pragma once

#include "AppSettings.h"
#include "DialogBase.h"
#include "resource.h"

// The two wait windows: no caption, no buttons, system-modal. Their title is never seen but
// carries the SoftwareVersion text in front of the wizard title, which is what a second copy
// of the program looks for.

// "Verifying the information on your device, please wait...", centred on the screen.
class CWaiting : public CDialogBase {
public:
    enum { IDD = IDD_WAITING };
    CWaiting();

protected:
    BOOL OnInitDialog() override;

private:
    CAppSettings m_Config;
    HWND m_staticText = nullptr; // control 1010
};

// "Please connect the handset with PC using USB cable.", at the screen's top-left corner.
class CWaiting_2 : public CDialogBase {
public:
    enum { IDD = IDD_WAITING_2 };
    CWaiting_2();

protected:
    BOOL OnInitDialog() override;

private:
    CAppSettings m_Config;
};
