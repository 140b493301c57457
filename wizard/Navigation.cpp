#include "Navigation.h"

#include <cwchar>

#include "WizardTexts.h"

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
    texts.checklist = TXT_CHECK_THE_FOLLOW;
    if (mode == 1)
        texts.explanation = TXT_ERROR_BATTERY_STATUS;
    else if (mode == 2)
        texts.explanation = TXT_ERROR_UNKNOWN_REASON;
    else
        texts.explanation = TXT_ERROR_CANNOT_CONNECT;
    return texts;
}
