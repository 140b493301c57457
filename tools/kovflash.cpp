// kovflash: updates handsets from a kit directory without the wizard, on the same update worker
// and flash link, for a terminal, a script or CI; several handsets at once, each on its own link.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "Format.h"
#include "KitReport.h"
#include "ToolTexts.h"
#include "UpdateKit.h"
#include "flasher/DeviceList.h"
#include "flasher/DeviceRun.h"
#include "flasher/FlasherOptions.h"
#include "flasher/Interrupt.h"
#include "flasher/LiveTerminal.h"
#include "flasher/Outcome.h"
#include "flasher/TerminalPage.h"

namespace {

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + JsonString(items[i]);
    return out + "]";
}

// The run as a whole ends: what state, and the exit status.
int Finish(TerminalPage& page, int code, const std::string& state) {
    if (!state.empty())
        page.Say("state", state, true);
    page.Event("result", "\"exit\":" + std::to_string(code) +
                             ",\"finished\":" + (code == EXIT_FINISHED ? "true" : "false"));
    return code;
}

// Parses the command line; an exit status when the run ends here (help, version, bad usage).
std::optional<int> ReadOptions(int argc, char** argv, FlasherOptions& o) {
    std::string error;
    switch (ParseFlasherArgs(argc, argv, o, error)) {
    case ParseResult::Help:
        std::fputs(TXT_FLASH_USAGE, stdout);
        return EXIT_FINISHED;
    case ParseResult::Version:
        PrintVersion("kovflash");
        return EXIT_FINISHED;
    case ParseResult::Usage:
        std::fputs(error.c_str(), stderr);
        std::fputs(TXT_FLASH_USAGE, stderr);
        return EXIT_USAGE;
    case ParseResult::Run:
        break;
    }
    if (!o.check && !o.all && o.devices.empty()) {
        const std::string fallback = DefaultDevice();
        if (fallback.empty()) {
            std::fputs(TXT_FLASH_NAME_DEVICE, stderr);
            std::fputs(TXT_FLASH_USAGE, stderr);
            return EXIT_USAGE;
        }
        o.devices.push_back(fallback);
    }
    return std::nullopt;
}

// Reads the kit and says what it holds; false when it cannot be flashed.
bool ReadKit(TerminalPage& page, Console& console, const FlasherOptions& o, CImageLoader& loader,
             ImageRecord& ipl, ImageRecord& update) {
    const KitOutcome outcome = ReadUpdateKit(loader, ipl, update, o.kit);
    const KitReport report = DescribeKit(ipl, update, outcome);
    const std::string dir = o.kit.empty() ? std::string(".") : o.kit;
    if (console.Mode() == OutputMode::Json) {
        page.Event("kit", "\"directory\":" + JsonString(dir) +
                              ",\"lines\":" + JsonList(report.lines) +
                              ",\"problems\":" + JsonList(report.problems) +
                              ",\"wizard\":" + JsonList(report.wizardTexts));
    } else {
        page.Say("kit", Format(TXT_KIT_IN, dir.c_str()));
        for (const std::string& line : report.lines)
            page.Say("kit", Format(TXT_KIT_LINE, line.c_str()));
        for (const std::string& problem : report.problems)
            page.Say("problem", Format(TXT_KIT_PROBLEM, problem.c_str()), true);
        for (const std::string& text : report.wizardTexts)
            page.Say("problem", Format(TXT_KIT_WIZARD_TEXT, text.c_str()), true);
    }
    return report.problems.empty();
}

// Several devices end with a summary: each device's result, time and handset state.
int Summarise(TerminalPage& page, Console& console, const std::vector<DeviceOutcome>& outcomes) {
    const int exit = CombinedExit(outcomes);
    int finished = 0;
    std::string devices;
    for (const DeviceOutcome& o : outcomes) {
        finished += o.exit == EXIT_FINISHED;
        devices += std::string(devices.empty() ? "" : ",") + "{\"device\":" + JsonString(o.device) +
                   ",\"exit\":" + std::to_string(o.exit) + ",\"result\":" + JsonString(o.result) +
                   ",\"state\":" + JsonString(o.state) +
                   ",\"seconds\":" + std::to_string(o.seconds) + "}";
    }
    if (console.Mode() == OutputMode::Json) {
        page.Event("summary", "\"exit\":" + std::to_string(exit) +
                                  ",\"finished\":" + (exit == EXIT_FINISHED ? "true" : "false") +
                                  ",\"devices\":[" + devices + "]");
        return exit;
    }
    page.Say("summary", Format(TXT_SUMMARY, finished, static_cast<int>(outcomes.size())), true);
    for (const std::string& line : SummaryLines(outcomes))
        page.Say("summary", line, true);
    return exit;
}

// Every device's update, each on its own thread (a single one on this thread), and the summary.
// With --all --wait, handsets plugged in while the wait lasts join the run as they come.
class Fleet {
public:
    Fleet(Console& console, FleetKit& kit, size_t present, bool several, int lookSeconds)
        : console_(console), kit_(kit), several_(several), lookSeconds_(lookSeconds) {
        // Ctrl-C's handler reads the targets while later ones are added: they never move.
        targets_.reserve(present + (lookSeconds > 0 ? kMostLateDevices : 0));
    }

    int Run(TerminalPage& page, const std::vector<std::string>& present) {
        for (const std::string& device : present)
            Add(device, runs_.size());
        InstallInterruptHandler(targets_.data(), targets_.size());
        if (several_) {
            for (auto& run : runs_)
                run->Start();
            if (lookSeconds_ > 0)
                TakeLateDevices(page);
            for (auto& run : runs_)
                run->Join();
        } else {
            runs_.front()->Run();
        }
        ClearInterruptTargets();
        console_.EndBoard();
        if (runs_.empty())
            return Interrupted() ? Finish(page, EXIT_INTERRUPTED, TXT_STOPPED_LOOKING)
                                 : Finish(page, EXIT_NO_DEVICE, TXT_NO_HANDSETS);

        std::vector<DeviceOutcome> outcomes;
        for (auto& run : runs_)
            outcomes.push_back(run->Outcome());
        return several_ ? Summarise(page, console_, outcomes) : outcomes.front().exit;
    }

private:
    // More than a PC has USB ports for handsets.
    static constexpr size_t kMostLateDevices = 64;

    void Add(const std::string& device, size_t slot) {
        runs_.push_back(std::make_unique<DeviceRun>(console_, device, slot, several_, kit_));
        targets_.push_back(&runs_.back()->Stop());
        taken_.push_back(device);
    }

    // Looks for handsets that were not there at the start until the wait has passed or Ctrl-C
    // ends it, and starts an update for each one that shows up.
    void TakeLateDevices(TerminalPage& page) {
        static const std::string stopLine = TXT_STOPPING_SEARCH;
        SetSearchStopLine(&stopLine);
        page.Say("search", Format(TXT_LOOKING, lookSeconds_));
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(lookSeconds_);
        for (auto now = std::chrono::steady_clock::now(); now < until && !Interrupted();
             now = std::chrono::steady_clock::now()) {
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(kLookAgain, until - now));
            for (const std::string& device : BootLoaderDevices()) {
                if (Interrupted() || targets_.size() == targets_.capacity())
                    break;
                if (std::find(taken_.begin(), taken_.end(), device) != taken_.end())
                    continue;
                Add(device, console_.AddProgressLine());
                SetInterruptTargetCount(targets_.size());
                // A Ctrl-C that came just before the handler knew of this device still reaches it.
                if (Interrupted())
                    targets_.back()->RequestStop();
                runs_.back()->Start();
            }
        }
        SetSearchStopLine(nullptr);
    }

    Console& console_;
    FleetKit& kit_;
    const bool several_;
    const int lookSeconds_;
    std::vector<std::unique_ptr<DeviceRun>> runs_;
    std::vector<StopTarget*> targets_;
    std::vector<std::string> taken_;
};

} // namespace

int main(int argc, char** argv) {
    FlasherOptions o;
    if (const std::optional<int> exit = ReadOptions(argc, argv, o))
        return *exit;
    const std::vector<std::string> devices = o.all ? BootLoaderDevices() : o.devices;
    // --all alone takes what is there; with --wait it also looks for handsets plugged in later.
    const int lookSeconds = o.all && o.waitNamed ? o.waitSeconds : 0;
    Console console(o.mode, stdout, LiveTerminal(stdout), o.check ? 0 : devices.size());
    TerminalPage page(console);

    CImageLoader loader;
    ImageRecord ipl, update;
    if (!ReadKit(page, console, o, loader, ipl, update))
        return Finish(page, EXIT_KIT, TXT_KIT_CANNOT_FLASH);
    if (o.check)
        return Finish(page, EXIT_FINISHED, TXT_KIT_CAN_FLASH);
    update.crcCheck = o.crcCheck ? 1 : 0;
    if (devices.empty() && lookSeconds == 0)
        return Finish(page, EXIT_NO_DEVICE, TXT_NO_HANDSETS);

    FleetKit kit{update, ipl, o.waitSeconds, o.timeouts};
    Fleet fleet(console, kit, devices.size(), devices.size() > 1 || lookSeconds > 0, lookSeconds);
    return fleet.Run(page, devices);
}
