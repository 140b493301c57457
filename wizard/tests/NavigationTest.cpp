#include <gtest/gtest.h>

#include "Navigation.h"

namespace {

TEST(Navigation, EachControlLeadsWhereThePageChainGoes) {
    const struct {
        WizardPage page;
        PageControl control;
        bool ticked;
        PageMove move;
    } cases[] = {
        {WizardPage::Welcome, PageControl::Next, true, PageMove::Preparation},
        {WizardPage::Welcome, PageControl::Next, false, PageMove::Stay},
        {WizardPage::Welcome, PageControl::Cancel, false, PageMove::EndChain},
        {WizardPage::Welcome, PageControl::Cancel, true, PageMove::EndChain},
        {WizardPage::Welcome, PageControl::Back, true, PageMove::Stay},
        {WizardPage::Preparation, PageControl::Next, true, PageMove::PreparationProcedure},
        {WizardPage::Preparation, PageControl::Next, false, PageMove::Stay},
        {WizardPage::Preparation, PageControl::Back, false, PageMove::NewWelcome},
        {WizardPage::Preparation, PageControl::Back, true, PageMove::NewWelcome},
        {WizardPage::Preparation, PageControl::Cancel, true, PageMove::EndChain},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MoveFor(c.page, c.control, c.ticked), c.move)
            << "page " << static_cast<int>(c.page) << " control " << static_cast<int>(c.control)
            << " ticked " << c.ticked;
}

TEST(Navigation, OnlyExactlySuperAsksForTheConnectTheHandsetWindow) {
    EXPECT_EQ(WaitWindowKindFor(L"SUPER"), WaitWindowKind::ConnectHandset);
    for (const wchar_t* other : {L"NORMAL", L"super", L"SUPER ", L"SUPERB", L""})
        EXPECT_EQ(WaitWindowKindFor(other), WaitWindowKind::Verifying) << other;
    EXPECT_EQ(WaitWindowKindFor(nullptr), WaitWindowKind::Verifying);
}

TEST(Navigation, TheErrorPageExplainsEachMode) {
    const std::wstring cannotConnect =
        L"The Update Utility cannot connect to your device. Please check whether the USB cable "
        L"is connected properly between pc and the device.";
    const struct {
        int mode;
        std::wstring explanation;
    } cases[] = {
        {1, L"Update process is interrupted for unknown battery status."},
        {2, L"Update process is interrupted for unknown reason."},
        {0, cannotConnect},
        {3, cannotConnect},
        {-1, cannotConnect},
    };
    for (const auto& c : cases) {
        const ErrorPageTexts texts = ErrorTextsFor(c.mode);
        EXPECT_EQ(texts.explanation, c.explanation) << "mode " << c.mode;
        EXPECT_EQ(texts.checklist, L"Check the follow") << "mode " << c.mode;
    }
}

} // namespace
