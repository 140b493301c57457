#pragma once

#include <string>
#include <vector>

#include "UpdatePageView.h"
#include "UpdateWorker.h"

// Exit status of kovflash: for one device, how its update ended.
enum Exit {
    EXIT_FINISHED = 0,
    EXIT_LINK_FAILED = 1, // a flash mode or a partition did not get across
    EXIT_USAGE = 2,
    EXIT_KIT = 3,            // the kit cannot be flashed; nothing was sent
    EXIT_NO_DEVICE = 4,      // the handset never appeared
    EXIT_REFUSED = 5,        // the handset refused the key or a version
    EXIT_FLASHING = 6,       // the update failed while the handset wrote its flash
    EXIT_DEVICES_DIFFER = 7, // several devices, which did not all end the same way
    EXIT_INTERRUPTED = 130,  // Ctrl-C
};

// How one device's run ended.
struct DeviceOutcome {
    std::string device;
    int exit = EXIT_FINISHED;
    std::string result; // what happened, in a few words
    std::string state;  // the handset's state afterwards
    double seconds = 0;
};

const char* HandsetState(UpdateFailure failure, UpdatePhase phase);
int ExitFor(UpdateFailure failure);
// A few words on how an update ended, for the summary.
const char* ResultOf(UpdateFailure failure);

// The exit status of a run over several devices: 0 when every one finished; the status they
// share when all ended the same way; else EXIT_DEVICES_DIFFER. One device gives its own.
int CombinedExit(const std::vector<DeviceOutcome>& outcomes);

// The summary's lines: device, result, time and state, in columns.
std::vector<std::string> SummaryLines(const std::vector<DeviceOutcome>& outcomes);
