#pragma once

class CDialogBase;

// What the preparation page's Next does: finds out what the connected handset answers and
// takes the road that follows, ending `preparationPage` first. Whatever window that road
// ends on, the wizard ends when it closes.
void RunPreparationProcedure(CDialogBase& preparationPage);
