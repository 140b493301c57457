#include "PageChain.h"

#include <utility>

#include "NemDirivedaDlg.h"
#include "Nem_2.h"
#include "Nem_4.h"
#include "Nem_SUPER.h"
#include "PreparationProcedure.h"
#include "ShowError.h"

void RunWelcomePage() {
    CNemDirivedaDlg dlg;
    dlg.DoModal();
}

void RunPreparationPage() {
    CNem_2 dlg;
    dlg.DoModal();
}

void RunErrorPage(int mode) {
    CShowError showError;
    showError.SetMode(mode);
    showError.DoModal();
}

void RunRescueUpdatePage(WaitWindowThread connectWindow) {
    CNem_SUPER page;
    page.TakeWaitWindow(std::move(connectWindow));
    page.DoModal();
}

void RunNormalUpdatePage(WaitWindowThread verifyingWindow, const wchar_t* handsetVersion) {
    CNem_4 page;
    page.TakeWaitWindow(std::move(verifyingWindow));
    page.SetHandsetVersion(handsetVersion);
    page.DoModal();
}

void FollowMove(CDialogBase& page, PageMove move) {
    switch (move) {
    case PageMove::Stay:
        return;
    case PageMove::EndChain:
        page.OnCancel();
        return;
    case PageMove::NewWelcome:
        page.OnCancel();
        RunWelcomePage();
        return;
    case PageMove::Preparation:
        page.OnCancel();
        RunPreparationPage();
        return;
    case PageMove::PreparationProcedure:
        RunPreparationProcedure(page);
        return;
    }
}
