#pragma once

#include <string>

#include "WaitWindowThread.h"

// What the preparation page's Next does once the page has ended: finds out what the connected
// handset answers and chooses the road the wizard takes. It starts the wait window that stays
// up while the road's update page opens the link, and hands it over with the road; the page
// chain then runs the road's page.

enum class PreparationRoad {
    Rescue, // no handset answers over ActiveSync: the rescue update page
    Normal, // the handset was sent to its boot loader: the normal update page
};

struct PreparationOutcome {
    PreparationRoad road = PreparationRoad::Rescue;
    WaitWindowThread waitWindow; // for the update page to end
    bool versionRead = false;    // normal road: whether the handset's version could be read
    std::wstring handsetVersion;

    // The handset's version as the normal update page takes it: null when it was not read.
    const wchar_t* HandsetVersion() const { return versionRead ? handsetVersion.c_str() : nullptr; }
};

PreparationOutcome RunPreparationProcedure();
