#include "PreparationProcedure.h"

#include <windows.h>

#include <utility>

#include "DialogBase.h"
#include "PageChain.h"
#include "PageLook.h"
#include "PreparationRoads.h"
#include "RapiLink.h"
#include "WaitWindowThread.h"
#include "WizardState.h"

namespace {

// The procedure's windows as the wizard shows them. The wait-window thread it holds goes to
// the update page that ends the road, or is ended here.
class WizardSteps : public PreparationSteps {
public:
    explicit WizardSteps(CDialogBase& preparationPage) : m_page(preparationPage) {}

    void EndPreparationPage() override { m_page.OnCancel(); }
    void StartWaitWindow(const wchar_t* argument) override {
        m_waitWindow = WaitWindowThread(argument);
    }
    void EndWaitWindow() override { m_waitWindow = WaitWindowThread(); }
    void RunRescueUpdatePage() override { ::RunRescueUpdatePage(std::move(m_waitWindow)); }
    void RunNormalUpdatePage(const wchar_t* handsetVersion) override {
        ::RunNormalUpdatePage(std::move(m_waitWindow), handsetVersion);
    }
    void RunErrorPage(int mode) override { ::RunErrorPage(mode); }
    void ShowMessage(const wchar_t* text, const wchar_t* caption) override {
        ShowPageMessage(m_page.GetSafeHwnd(), text, caption);
    }
    void Pause(uint32_t milliseconds) override { ::Sleep(milliseconds); }

private:
    CDialogBase& m_page;
    WaitWindowThread m_waitWindow;
};

} // namespace

void RunPreparationProcedure(CDialogBase& preparationPage) {
    WizardSteps steps(preparationPage);
    RunPreparationRoads(TheHandsetOperations(), steps, TheWizardState().updateMode);
}
