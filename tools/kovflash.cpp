// kovflash: updates a handset from a kit directory without the wizard, on the same update
// worker and flash link, for a terminal, a script or CI.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "CVug_CommsDLL.h"
#include "KitReport.h"
#include "UpdateKit.h"
#include "UpdateWorker.h"
#include "flasher/Interrupt.h"
#include "flasher/TerminalPage.h"

namespace {

// Exit status: 0 only for a finished update.
enum Exit {
    EXIT_FINISHED = 0,
    EXIT_LINK_FAILED = 1, // a flash mode or a partition did not get across
    EXIT_USAGE = 2,
    EXIT_KIT = 3,           // the kit cannot be flashed; nothing was sent
    EXIT_NO_DEVICE = 4,     // the handset never appeared
    EXIT_REFUSED = 5,       // the handset refused the key or a version
    EXIT_FLASHING = 6,      // the handset failed, or stopped answering, while writing flash
    EXIT_INTERRUPTED = 130, // Ctrl-C
};

const char kUsage[] =
    "usage: kovflash [options] [KIT_DIR]\n"
    "\n"
    "Updates a handset waiting in its boot loader with the kit in KIT_DIR (default: the\n"
    "current directory): WMUPDAT.DIP, and WMIPL.DIP when present.\n"
    "\n"
    "  -d, --device PATH   the handset's USB serial device (a tty such as /dev/ttyACM0, or\n"
    "                      the pty of the virtual boot loader); on Windows the handset is\n"
    "                      always \\\\.\\WCEUSBSH001 and this option is not taken\n"
    "  -c, --check         check the kit and say what would be flashed; no device is used\n"
    "  -w, --wait SECONDS  how long to wait for the device to appear (default 60)\n"
    "  -q, --quiet         print only errors and the result\n"
    "      --json          one JSON event per line on standard output\n"
    "  -h, --help          this text\n"
    "\n"
    "Exit status: 0 update finished; 1 a flash mode or a partition did not get across;\n"
    "2 bad usage; 3 the kit cannot be flashed (nothing sent); 4 the device never appeared;\n"
    "5 the handset refused the key or a version; 6 the handset failed while writing its\n"
    "flash; 130 stopped by Ctrl-C.\n";

struct Options {
    std::string kit;
    std::string device;
    bool check = false;
    int waitSeconds = 60;
    OutputMode mode = OutputMode::Human;
};

bool ParseArgs(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            help = true;
        } else if (a == "-c" || a == "--check") {
            o.check = true;
        } else if (a == "-q" || a == "--quiet") {
            o.mode = OutputMode::Quiet;
        } else if (a == "--json") {
            o.mode = OutputMode::Json;
        } else if (a == "-d" || a == "--device") {
            if (!value(o.device))
                return false;
#if defined(_WIN32)
            std::fprintf(stderr, "kovflash: on Windows the handset is always \\\\.\\WCEUSBSH001\n");
            return false;
#endif
        } else if (a == "-w" || a == "--wait") {
            std::string s;
            char* end = nullptr;
            if (!value(s))
                return false;
            long v = std::strtol(s.c_str(), &end, 10);
            if (*end || v < 0 || v > 86400)
                return false;
            o.waitSeconds = static_cast<int>(v);
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "kovflash: unknown option %s\n", a.c_str());
            return false;
        } else if (o.kit.empty()) {
            o.kit = a;
        } else {
            return false;
        }
    }
    return true;
}

// Waits for the device: the link's own open retries for a minute, so a longer wait asks again,
// and a shorter one cancels it at the deadline.
bool WaitForDevice(CVug_CommsDLL& link, int seconds) {
    using Clock = std::chrono::steady_clock;
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

const char* HandsetState(UpdateFailure failure, UpdatePhase phase) {
    switch (failure) {
    case UpdateFailure::None:
        return "The handset has its new firmware.";
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return "Nothing was sent: the handset is as it was, waiting in its boot loader.";
    case UpdateFailure::KeyRefused:
    case UpdateFailure::VersionRefused:
        return "The handset refused the kit and kept its firmware; it waits in its boot loader.";
    case UpdateFailure::FlashMode:
    case UpdateFailure::Transfer:
        return phase == UpdatePhase::Key
                   ? "The handset kept its firmware and waits in its boot loader."
                   : "The handset did not receive the whole image and was not told to write it; "
                     "it waits in its boot loader. Run the update again.";
    case UpdateFailure::MessageLoop:
        return "The handset stopped while writing its flash: it may not start normally. Leave "
               "it in its boot loader and run the update again.";
    }
    return "";
}

int ExitFor(UpdateFailure failure) {
    switch (failure) {
    case UpdateFailure::None:
        return EXIT_FINISHED;
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return EXIT_KIT;
    case UpdateFailure::KeyRefused:
    case UpdateFailure::VersionRefused:
        return EXIT_REFUSED;
    case UpdateFailure::FlashMode:
    case UpdateFailure::Transfer:
        return EXIT_LINK_FAILED;
    case UpdateFailure::MessageLoop:
        return EXIT_FLASHING;
    }
    return EXIT_LINK_FAILED;
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + JsonString(items[i]);
    return out + "]";
}

int Finish(TerminalPage& page, int code, const std::string& state) {
    if (!state.empty())
        page.Say("state", state, true);
    page.Event("result", "\"exit\":" + std::to_string(code) +
                             ",\"finished\":" + (code == EXIT_FINISHED ? "true" : "false"));
    return code;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false;
    if (!ParseArgs(argc, argv, o, help)) {
        std::fputs(kUsage, stderr);
        return EXIT_USAGE;
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
#if !defined(_WIN32)
    if (!o.check && o.device.empty()) {
        std::fprintf(stderr, "kovflash: name the handset's device with --device PATH\n%s", kUsage);
        return EXIT_USAGE;
    }
#endif

    TerminalPage page(o.mode, stdout, isatty(fileno(stdout)) != 0);
    auto result = [&](int code, const std::string& state) { return Finish(page, code, state); };

    CImageLoader loader;
    ImageRecord ipl, update;
    const KitOutcome outcome = ReadUpdateKit(loader, ipl, update, o.kit);
    const KitReport report = DescribeKit(ipl, update, outcome);
    if (o.mode == OutputMode::Json) {
        page.Event("kit", "\"directory\":" + JsonString(o.kit.empty() ? "." : o.kit) +
                              ",\"lines\":" + JsonList(report.lines) +
                              ",\"problems\":" + JsonList(report.problems));
    } else {
        page.Say("kit", "Kit in " + (o.kit.empty() ? std::string(".") : o.kit) + ":");
        for (const std::string& line : report.lines)
            page.Say("kit", "  " + line);
        for (const std::string& problem : report.problems)
            page.Say("problem", "Error: " + problem, true);
    }
    if (!report.problems.empty())
        return result(EXIT_KIT, "The kit cannot be flashed; nothing was sent to a handset.");
    if (o.check)
        return result(EXIT_FINISHED, "The kit can be flashed.");

    CVug_CommsDLL link;
#if !defined(_WIN32)
    link.SetDevicePath(o.device.c_str());
    const std::string where = o.device;
#else
    const std::string where = USB_SYNC_DEVICE_PATH;
#endif
    link.m_pProgress = &page;
    link.m_pCrcCheck = &update.crcCheck;
    link.SetMessageSink(&page);
    InstallInterruptHandler(&link);

    page.Say("device", "Waiting for the handset on " + where + " (up to " +
                           std::to_string(o.waitSeconds) + " s)...");
    if (!WaitForDevice(link, o.waitSeconds)) {
        if (Interrupted())
            return result(EXIT_INTERRUPTED,
                          "Stopped while waiting for the handset; nothing was sent.");
        return result(EXIT_NO_DEVICE,
                      "The handset did not appear on " + where + " within " +
                          std::to_string(o.waitSeconds) +
                          " s. Check that it is in its boot loader and that the cable is in.");
    }
    page.Say("device", "Handset found on " + where + ".");

    const auto start = std::chrono::steady_clock::now();
    UpdateRun run(link, update, ipl, page, PageKind::Normal);
    UpdateThreadEntry(run);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char elapsed[64];
    std::snprintf(elapsed, sizeof elapsed, "Elapsed: %.1f s", seconds);
    page.Say("elapsed", elapsed);
    if (o.mode == OutputMode::Json)
        page.Event("elapsed", "\"seconds\":" + std::to_string(seconds));

    if (run.failure != UpdateFailure::None)
        link.CloseUSBSyncDriver();
    if (Interrupted() && run.failure != UpdateFailure::None)
        return result(EXIT_INTERRUPTED, std::string("Stopped at your request. ") +
                                            HandsetState(run.failure, page.Phase()));
    return result(ExitFor(run.failure), HandsetState(run.failure, page.Phase()));
}
