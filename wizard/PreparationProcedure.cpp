#include "PreparationProcedure.h"

#include "DialogBase.h"
#include "PageChain.h"
#include "WaitWindowThread.h"

// This build cannot ask the handset anything yet, so it always takes the road of a handset
// that does not answer, the rescue road: the connect-the-handset window shows and stays above
// the last page. That page is the error page saying the device cannot be reached, which is
// where the rescue road ends without a boot loader to talk to; the window goes when the user
// leaves it.
void RunPreparationProcedure(CDialogBase& preparationPage) {
    preparationPage.OnCancel();
    WaitWindowThread connectHandset(L"SUPER");
    RunErrorPage(0);
    connectHandset.End();
}
