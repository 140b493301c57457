#include "PreparationRoads.h"

#include "HandsetAccess.h"

namespace {

const int32_t kNoHandset = -2;
const int32_t kNoChargeValue = -1;
const int kBatteryThreshold = 50;
const int kChargeRereads = 2;
const uint32_t kRereadPauseMs = 1000;

const int kErrorCannotConnect = 0;
const int kErrorBatteryStatus = 1;
const int kErrorUnknownReason = 2;

const wchar_t kLowBatteryText[] = L"The power of main battery is less than 50%. In order to make "
                                  L"sure the update successful, please charge it first!";

// The first charge read, re-read while no handset answers: at most three reads, with a pause
// after each re-read that still finds none.
int32_t ReadChargeWaitingForHandset(HandsetAccess& handset, PreparationSteps& steps) {
    int32_t charge = handset.ReadBatteryCharge();
    for (int rereads = 0; rereads < kChargeRereads && charge == kNoHandset;) {
        charge = handset.ReadBatteryCharge();
        if (charge == kNoHandset) {
            steps.Pause(kRereadPauseMs);
            ++rereads;
        }
    }
    return charge;
}

void EndOnErrorPage(PreparationSteps& steps, int mode) {
    steps.EndWaitWindow();
    steps.RunErrorPage(mode);
}

} // namespace

PreparationSteps::~PreparationSteps() = default;

void RunPreparationRoads(HandsetAccess& handset, PreparationSteps& steps, uint8_t updateMode) {
    steps.EndPreparationPage();
    const wchar_t* version = handset.ReadHandsetVersion();
    steps.StartWaitWindow(L"NORMAL");

    if (ReadChargeWaitingForHandset(handset, steps) == kNoHandset) {
        steps.EndWaitWindow();
        steps.StartWaitWindow(L"SUPER");
        steps.RunRescueUpdatePage();
        return;
    }

    // Every check below asks the handset afresh. Without a registry charge the power status
    // decides, with a message of its own; a handset gone meanwhile counts as a low charge.
    if (handset.ReadBatteryCharge() == kNoChargeValue) {
        if (handset.ReadBatteryPercent() == 0)
            return EndOnErrorPage(steps, kErrorCannotConnect);
        if (handset.ReadBatteryPercent() < static_cast<uint32_t>(kBatteryThreshold)) {
            steps.EndWaitWindow();
            steps.ShowMessage(kLowBatteryText, L"WARNING");
            return;
        }
    } else if (handset.ReadBatteryCharge() < kBatteryThreshold) {
        return EndOnErrorPage(steps, kErrorBatteryStatus);
    }

    if (!handset.StartSwitchTool(updateMode))
        return EndOnErrorPage(steps, kErrorUnknownReason);
    steps.RunNormalUpdatePage(version);
}
