#pragma once

#include "Navigation.h"

class CDialogBase;

// Runs a page the way every move does: constructed with no owner, run modally, destroyed
// when its run returns.
void RunWelcomePage();
void RunPreparationPage();
void RunErrorPage(int mode);

// Carries out `move` from `page`, inside the handler of the control that asked for it.
void FollowMove(CDialogBase& page, PageMove move);
