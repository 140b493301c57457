#pragma once

#include "Navigation.h"
#include "WaitWindowThread.h"

class CDialogBase;

// Runs a page the way every move does: constructed with no owner, run modally, destroyed
// when its run returns.
void RunWelcomePage();
void RunPreparationPage();
void RunErrorPage(int mode);

// The update pages at the end of the preparation procedure's roads. Each takes over the wait
// window its road started and ends it once it has tried to open the link.
void RunRescueUpdatePage(WaitWindowThread connectWindow);
// `handsetVersion` is the version the handset reported, or null when it could not be read.
void RunNormalUpdatePage(WaitWindowThread verifyingWindow, const wchar_t* handsetVersion);

// Carries out `move` from `page`, inside the handler of the control that asked for it.
void FollowMove(CDialogBase& page, PageMove move);
