#include "Navigation.h"

#include <cwchar>

PageMove MoveFor(WizardPage page, PageControl control, bool boxTicked) {
    if (control == PageControl::Cancel)
        return PageMove::EndChain;
    switch (page) {
    case WizardPage::Welcome:
        if (control == PageControl::Next)
            return boxTicked ? PageMove::Preparation : PageMove::Stay;
        break;
    case WizardPage::Preparation:
        if (control == PageControl::Back)
            return PageMove::NewWelcome;
        if (control == PageControl::Next)
            return boxTicked ? PageMove::PreparationProcedure : PageMove::Stay;
        break;
    }
    return PageMove::Stay;
}

WaitWindowKind WaitWindowKindFor(const wchar_t* argument) {
    return argument && std::wcscmp(argument, L"SUPER") == 0 ? WaitWindowKind::ConnectHandset
                                                            : WaitWindowKind::Verifying;
}

ErrorPageTexts ErrorTextsFor(int mode) {
    ErrorPageTexts texts;
    texts.checklist = L"Check the follow";
    if (mode == 1)
        texts.explanation = L"Update process is interrupted for unknown battery status.";
    else if (mode == 2)
        texts.explanation = L"Update process is interrupted for unknown reason.";
    else
        texts.explanation = L"The Update Utility cannot connect to your device. Please check "
                            L"whether the USB cable is connected properly between pc and the "
                            L"device.";
    return texts;
}
