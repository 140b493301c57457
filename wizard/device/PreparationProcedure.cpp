#include "PreparationProcedure.h"

#include <windows.h>

#include <vector>

namespace {

// Test hook, until this build can ask the handset anything over ActiveSync: with the
// environment variable KOV_TEST_NORMAL_ROAD set, the procedure takes the normal road as if a
// handset had answered with the variable's value as its version text (an empty value: as if
// its version could not be read).
bool TestHookNormalRoad(PreparationOutcome& outcome) {
    const wchar_t* name = L"KOV_TEST_NORMAL_ROAD";
    const DWORD length = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return false;
    std::vector<wchar_t> value(length);
    const DWORD got = ::GetEnvironmentVariableW(name, value.data(), length);
    outcome.road = PreparationRoad::Normal;
    outcome.versionRead = got > 0;
    outcome.handsetVersion.assign(value.data(), got);
    outcome.waitWindow = WaitWindowThread(L"NORMAL");
    return true;
}

} // namespace

// Without a handset answering over ActiveSync the road is the rescue road: the
// connect-the-handset window shows, and the user powers the handset on into its boot loader
// and plugs in the cable while the rescue update page tries to open the link.
PreparationOutcome RunPreparationProcedure() {
    PreparationOutcome outcome;
    if (TestHookNormalRoad(outcome))
        return outcome;
    outcome.road = PreparationRoad::Rescue;
    outcome.waitWindow = WaitWindowThread(L"SUPER");
    return outcome;
}
