#pragma once

#include "CVug_CommsDLL.h"

// Ctrl-C asks the link to stop between blocks (and to stop waiting for the device); a second
// Ctrl-C ends the program at once.
void InstallInterruptHandler(CVug_CommsDLL* link);
bool Interrupted();
