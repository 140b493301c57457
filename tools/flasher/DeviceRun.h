#pragma once

#include <string>
#include <thread>

#include "CVug_CommsDLL.h"
#include "Interrupt.h"
#include "Outcome.h"
#include "TerminalPage.h"
#include "UpdateImage.h"

// What every device's update shares: the kit, read once and only read from then on, and the
// settings of each device's link.
struct FleetKit {
    ImageRecord& update;
    ImageRecord& ipl;
    int waitSeconds = 60;
    LinkTimeouts timeouts;
};

// One device's update on a thread of its own, with its own link and page: it waits for the
// handset, runs the update worker and says in what state the handset is. A device that fails
// stops nothing but itself.
class DeviceRun {
public:
    DeviceRun(Console& console, const std::string& device, size_t slot, bool labelled,
              const FleetKit& kit);
    DeviceRun(const DeviceRun&) = delete;
    DeviceRun& operator=(const DeviceRun&) = delete;
    ~DeviceRun();

    void Start();
    void Join();
    const DeviceOutcome& Outcome() const { return outcome_; }
    StopTarget& Stop() { return stop_; }

    // The whole run on the calling thread.
    void Run();

private:
    bool FindDevice();
    void Finish(int exit, const std::string& result, const std::string& state);

    const FleetKit& kit_;
    std::string device_;
    CVug_CommsDLL link_;
    TerminalPage page_;
    StopTarget stop_;
    DeviceOutcome outcome_;
    std::thread thread_;
};
