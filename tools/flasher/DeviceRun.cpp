#include "DeviceRun.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "DeviceList.h"
#include "Format.h"
#include "ToolTexts.h"
#include "UpdateWorker.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class DeviceWait { Opened, TimedOut, Stopped };

// Waits for the device, one attempt to open it at a time. The link's own open tries again
// without pause, which would keep a processor busy for the whole wait.
DeviceWait WaitForDevice(CVug_CommsDLL& link, int seconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        // Ctrl-C asks the link to cancel its open; here the request is taken the same way.
        if (link.m_Cancel.exchange(0))
            return DeviceWait::Stopped;
        if (link.USBInterface::OpenUsbSyncDriver() == USB_OPEN_OK)
            return DeviceWait::Opened;
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return DeviceWait::TimedOut;
        std::this_thread::sleep_for(std::min<Clock::duration>(kLookAgain, deadline - now));
    }
}

} // namespace

DeviceRun::DeviceRun(Console& console, const std::string& device, size_t slot, bool labelled,
                     const FleetKit& kit)
    : kit_(kit), device_(device), page_(console, device, slot, labelled),
      stop_(link_, labelled ? Format(TXT_DEVICE_LABEL, device.c_str()) : std::string()) {
    outcome_.device = device;
    link_.SetDevicePath(device.c_str());
    link_.m_pProgress = &page_;
    link_.m_pCrcCheck = &kit.update.crcCheck;
    link_.SetMessageSink(&page_);
    link_.SetTimeouts(kit.timeouts);
    page_.SetStopTarget(&stop_);
}

DeviceRun::~DeviceRun() {
    Join();
}

void DeviceRun::Start() {
    thread_ = std::thread([this] { Run(); });
}

void DeviceRun::Join() {
    if (thread_.joinable())
        thread_.join();
}

void DeviceRun::Finish(int exit, const std::string& result, const std::string& state) {
    outcome_.exit = exit;
    outcome_.result = result;
    outcome_.state = state;
    page_.EndRun(state);
    page_.ShowState(result);
    page_.Say("state", state, true);
    page_.Event("result", "\"exit\":" + std::to_string(exit) +
                              ",\"finished\":" + (exit == EXIT_FINISHED ? "true" : "false"));
}

bool DeviceRun::FindDevice() {
    page_.ShowState(TXT_DEVICE_WAITING);
    page_.Say("device", Format(TXT_WAITING, device_.c_str(), kit_.waitSeconds));
    switch (WaitForDevice(link_, kit_.waitSeconds)) {
    case DeviceWait::Opened:
        page_.Say("device", Format(TXT_FOUND, device_.c_str()));
        return true;
    case DeviceWait::Stopped:
        Finish(EXIT_INTERRUPTED, TXT_RESULT_INTERRUPTED, TXT_STOPPED_WAITING);
        return false;
    case DeviceWait::TimedOut:
        break;
    }
    Finish(EXIT_NO_DEVICE, TXT_RESULT_NO_DEVICE,
           Format(TXT_NEVER_APPEARED, device_.c_str(), kit_.waitSeconds));
    return false;
}

void DeviceRun::Run() {
    const Clock::time_point start = Clock::now();
    if (FindDevice()) {
        const Clock::time_point updateStart = Clock::now();
        // The worker, not its thread entry: the entry would release the kit that the other
        // devices still read, and set the wizard's process-wide succeeded flag.
        UpdateRun run(link_, kit_.update, kit_.ipl, page_, PageKind::Normal);
        UpdateWorker(run);
        const double seconds = std::chrono::duration<double>(Clock::now() - updateStart).count();
        page_.Say("elapsed", Format(TXT_ELAPSED, seconds));
        page_.Event("elapsed", "\"seconds\":" + std::to_string(seconds));
        const UpdateFailure failure = run.failure;
        // The worker's texts for a key or version that never got an answer are those of a
        // refusal; say what really happened. The message loop's own text already says it.
        if (failure != UpdateFailure::None && failure != UpdateFailure::MessageLoop &&
            link_.DeviceFailed())
            page_.Say("problem", TXT_CONNECTION_LOST, true);
        if (failure != UpdateFailure::None)
            link_.CloseUSBSyncDriver();
        const std::string state = HandsetState(failure, page_.Phase());
        if (failure != UpdateFailure::None && stop_.StoppedTheTransfer())
            Finish(EXIT_INTERRUPTED, TXT_RESULT_INTERRUPTED,
                   Format(TXT_STOPPED_AT_REQUEST, state.c_str()));
        else
            Finish(ExitFor(failure), ResultOf(failure), state);
    }
    outcome_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}
