// kovflash: updates handsets from a kit directory without the wizard, on the same update worker
// and flash link, for a terminal, a script or CI; several handsets at once, each on its own link.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
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

// Updates every device at once, each on its own thread, and waits for all of them.
int UpdateDevices(Console& console, TerminalPage& page, const std::vector<std::string>& devices,
                  FleetKit& kit) {
    const bool several = devices.size() > 1;
    std::vector<std::unique_ptr<DeviceRun>> runs;
    std::vector<StopTarget*> targets;
    for (size_t i = 0; i < devices.size(); ++i) {
        runs.push_back(std::make_unique<DeviceRun>(console, devices[i], i, several, kit));
        targets.push_back(&runs.back()->Stop());
    }
    InstallInterruptHandler(targets.data(), targets.size());
    if (several) {
        for (auto& run : runs)
            run->Start();
        for (auto& run : runs)
            run->Join();
    } else {
        runs.front()->Run();
    }
    ClearInterruptTargets();
    console.EndBoard();

    std::vector<DeviceOutcome> outcomes;
    for (auto& run : runs)
        outcomes.push_back(run->Outcome());
    return several ? Summarise(page, console, outcomes) : outcomes.front().exit;
}

} // namespace

int main(int argc, char** argv) {
    FlasherOptions o;
    if (const std::optional<int> exit = ReadOptions(argc, argv, o))
        return *exit;
    const std::vector<std::string> devices = o.all ? BootLoaderDevices() : o.devices;
    Console console(o.mode, stdout, LiveTerminal(stdout), o.check ? 0 : devices.size());
    TerminalPage page(console);

    CImageLoader loader;
    ImageRecord ipl, update;
    if (!ReadKit(page, console, o, loader, ipl, update))
        return Finish(page, EXIT_KIT, TXT_KIT_CANNOT_FLASH);
    if (o.check)
        return Finish(page, EXIT_FINISHED, TXT_KIT_CAN_FLASH);
    update.crcCheck = o.crcCheck ? 1 : 0;
    if (devices.empty())
        return Finish(page, EXIT_NO_DEVICE, TXT_NO_HANDSETS);

    FleetKit kit{update, ipl, o.waitSeconds, o.timeouts};
    return UpdateDevices(console, page, devices, kit);
}
