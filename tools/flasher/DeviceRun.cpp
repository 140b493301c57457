#include "DeviceRun.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Format.h"
#include "ToolTexts.h"
#include "UpdateWorker.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for the device: the link's own open retries for a minute, so a longer wait asks again,
// and a shorter one cancels it at the deadline.
bool WaitForDevice(CVug_CommsDLL& link, int seconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::atomic<bool> timedOut{false};
    std::thread watcher([&] {
        std::unique_lock<std::mutex> lock(m);
        if (!cv.wait_until(lock, deadline, [&] { return done; })) {
            timedOut = true;
            link.m_Cancel = 1;
        }
    });
    bool opened = false;
    while (!opened && !timedOut && !Interrupted())
        opened = link.OpenUsbSyncDriver() == 1;
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_one();
    watcher.join();
    link.m_Cancel = 0;
    return opened;
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
    if (WaitForDevice(link_, kit_.waitSeconds)) {
        page_.Say("device", Format(TXT_FOUND, device_.c_str()));
        return true;
    }
    if (Interrupted())
        Finish(EXIT_INTERRUPTED, TXT_RESULT_INTERRUPTED, TXT_STOPPED_WAITING);
    else
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
        if (Interrupted() && failure != UpdateFailure::None)
            Finish(EXIT_INTERRUPTED, TXT_RESULT_INTERRUPTED,
                   Format(TXT_STOPPED_AT_REQUEST, state.c_str()));
        else
            Finish(ExitFor(failure), ResultOf(failure), state);
    }
    outcome_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}
