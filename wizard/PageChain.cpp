#include "PageChain.h"

#include "NemDirivedaDlg.h"
#include "Nem_2.h"
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
