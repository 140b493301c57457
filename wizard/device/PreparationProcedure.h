#pragma once

class CDialogBase;

// What the preparation page's Next does: ends `preparationPage`, asks the handset over ActiveSync
// and takes the road its answers lead to, to the rescue or normal update page, the error page
// or the low-battery warning. Whatever window the road ends on, the wizard ends when it closes.
void RunPreparationProcedure(CDialogBase& preparationPage);
