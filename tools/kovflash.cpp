// kovflash: updates a handset from a kit directory without the wizard, on the same update
// worker and flash link, for a terminal, a script or CI.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
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
#include "Format.h"
#include "KitReport.h"
#include "ToolTexts.h"
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

struct Options {
    std::string kit;
    std::string device;
    bool check = false;
    bool crcCheck = false;
    int waitSeconds = 60;
    int transferTimeout = LinkTimeouts::kDefaultTransferMs / 1000;
    int flashTimeout = LinkTimeouts::kDefaultFlashMs / 1000;
    OutputMode mode = OutputMode::Human;
};

// The usage text states these defaults.
static_assert(LinkTimeouts::kDefaultTransferMs == 60 * 1000, "see TXT_FLASH_USAGE");
static_assert(LinkTimeouts::kDefaultFlashMs == 600 * 1000, "see TXT_FLASH_USAGE");

bool ParseArgs(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        // A whole number of seconds, from `least` up to a day.
        auto seconds = [&](int& out, long least) {
            std::string s;
            char* end = nullptr;
            if (!value(s))
                return false;
            const long v = std::strtol(s.c_str(), &end, 10);
            if (s.empty() || *end || v < least || v > 86400)
                return false;
            out = static_cast<int>(v);
            return true;
        };
        if (a == "-h" || a == "--help") {
            help = true;
        } else if (a == "-c" || a == "--check") {
            o.check = true;
        } else if (a == "-q" || a == "--quiet") {
            o.mode = OutputMode::Quiet;
        } else if (a == "--crc-check") {
            o.crcCheck = true;
        } else if (a == "--json") {
            o.mode = OutputMode::Json;
        } else if (a == "-d" || a == "--device") {
            if (!value(o.device))
                return false;
#if defined(_WIN32)
            std::fputs(TXT_FLASH_NO_DEVICE_ON_WINDOWS, stderr);
            return false;
#endif
        } else if (a == "-w" || a == "--wait") {
            if (!seconds(o.waitSeconds, 0))
                return false;
        } else if (a == "--transfer-timeout") {
            if (!seconds(o.transferTimeout, 1))
                return false;
        } else if (a == "--flash-timeout") {
            if (!seconds(o.flashTimeout, 1))
                return false;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, TXT_FLASH_UNKNOWN_OPTION, a.c_str());
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
            link.m_Cancel.store(1);
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
    link.m_Cancel.store(0);
    return opened;
}

const char* HandsetState(UpdateFailure failure, UpdatePhase phase) {
    switch (failure) {
    case UpdateFailure::None:
        return TXT_STATE_UPDATED;
    case UpdateFailure::DamagedImage:
    case UpdateFailure::IplMismatch:
    case UpdateFailure::UnknownMode:
        return TXT_STATE_NOTHING_SENT;
    case UpdateFailure::KeyRefused:
    case UpdateFailure::VersionRefused:
        return TXT_STATE_REFUSED;
    case UpdateFailure::FlashMode:
    case UpdateFailure::Transfer:
        return phase == UpdatePhase::Key ? TXT_STATE_KEPT : TXT_STATE_NOT_WHOLE;
    case UpdateFailure::MessageLoop:
        return TXT_STATE_STOPPED_FLASHING;
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

// Parses the command line; an exit status when the run ends here (help, or bad usage).
std::optional<int> ReadOptions(int argc, char** argv, Options& o) {
    bool help = false;
    if (!ParseArgs(argc, argv, o, help)) {
        std::fputs(TXT_FLASH_USAGE, stderr);
        return EXIT_USAGE;
    }
    if (help) {
        std::fputs(TXT_FLASH_USAGE, stdout);
        return EXIT_FINISHED;
    }
#if !defined(_WIN32)
    if (!o.check && o.device.empty()) {
        std::fputs(TXT_FLASH_NAME_DEVICE, stderr);
        std::fputs(TXT_FLASH_USAGE, stderr);
        return EXIT_USAGE;
    }
#endif
    return std::nullopt;
}

// Reads the kit and says what it holds; false when it cannot be flashed.
bool ReadKit(TerminalPage& page, const Options& o, CImageLoader& loader, ImageRecord& ipl,
             ImageRecord& update) {
    const KitOutcome outcome = ReadUpdateKit(loader, ipl, update, o.kit);
    const KitReport report = DescribeKit(ipl, update, outcome);
    const std::string dir = o.kit.empty() ? std::string(".") : o.kit;
    if (o.mode == OutputMode::Json) {
        page.Event("kit", "\"directory\":" + JsonString(dir) +
                              ",\"lines\":" + JsonList(report.lines) +
                              ",\"problems\":" + JsonList(report.problems));
    } else {
        page.Say("kit", Format(TXT_KIT_IN, dir.c_str()));
        for (const std::string& line : report.lines)
            page.Say("kit", Format(TXT_KIT_LINE, line.c_str()));
        for (const std::string& problem : report.problems)
            page.Say("problem", Format(TXT_KIT_PROBLEM, problem.c_str()), true);
    }
    return report.problems.empty();
}

std::string DevicePath(const Options& o) {
#if defined(_WIN32)
    (void)o;
    return USB_SYNC_DEVICE_PATH;
#else
    return o.device;
#endif
}

// Wires the link to the page and the update's CRC check, and waits for the handset; an exit
// status when it never appeared.
std::optional<int> FindDevice(TerminalPage& page, CVug_CommsDLL& link, const Options& o,
                              ImageRecord& update) {
    const std::string where = DevicePath(o);
#if !defined(_WIN32)
    link.SetDevicePath(where.c_str());
#endif
    link.m_pProgress = &page;
    link.m_pCrcCheck = &update.crcCheck;
    link.SetMessageSink(&page);
    LinkTimeouts timeouts;
    timeouts.transferMs = static_cast<uint32_t>(o.transferTimeout) * 1000;
    timeouts.flashMs = static_cast<uint32_t>(o.flashTimeout) * 1000;
    link.SetTimeouts(timeouts);
    InstallInterruptHandler(&link);

    page.Say("device", Format(TXT_WAITING, where.c_str(), o.waitSeconds));
    if (!WaitForDevice(link, o.waitSeconds)) {
        if (Interrupted())
            return Finish(page, EXIT_INTERRUPTED, TXT_STOPPED_WAITING);
        return Finish(page, EXIT_NO_DEVICE,
                      Format(TXT_NEVER_APPEARED, where.c_str(), o.waitSeconds));
    }
    page.Say("device", Format(TXT_FOUND, where.c_str()));
    return std::nullopt;
}

// Runs the update on the open link and says how long it took.
UpdateFailure RunUpdate(TerminalPage& page, CVug_CommsDLL& link, ImageRecord& update,
                        ImageRecord& ipl, OutputMode mode) {
    const auto start = std::chrono::steady_clock::now();
    UpdateRun run(link, update, ipl, page, PageKind::Normal);
    UpdateThreadEntry(run);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    page.Say("elapsed", Format(TXT_ELAPSED, seconds));
    if (mode == OutputMode::Json)
        page.Event("elapsed", "\"seconds\":" + std::to_string(seconds));
    return run.failure;
}

// Closes a link the update left open, and says in what state the handset is.
int Report(TerminalPage& page, CVug_CommsDLL& link, UpdateFailure failure) {
    // The worker's texts for a key or version that never got an answer are those of a
    // refusal; say what really happened. The message loop's own text already says it.
    if (failure != UpdateFailure::None && failure != UpdateFailure::MessageLoop &&
        link.DeviceFailed())
        page.Say("problem", TXT_CONNECTION_LOST, true);
    if (failure != UpdateFailure::None)
        link.CloseUSBSyncDriver();
    if (Interrupted() && failure != UpdateFailure::None)
        return Finish(page, EXIT_INTERRUPTED,
                      Format(TXT_STOPPED_AT_REQUEST, HandsetState(failure, page.Phase())));
    return Finish(page, ExitFor(failure), HandsetState(failure, page.Phase()));
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (const std::optional<int> exit = ReadOptions(argc, argv, o))
        return *exit;
    TerminalPage page(o.mode, stdout, isatty(fileno(stdout)) != 0);

    CImageLoader loader;
    ImageRecord ipl, update;
    if (!ReadKit(page, o, loader, ipl, update))
        return Finish(page, EXIT_KIT, TXT_KIT_CANNOT_FLASH);
    if (o.check)
        return Finish(page, EXIT_FINISHED, TXT_KIT_CAN_FLASH);
    update.crcCheck = o.crcCheck ? 1 : 0;

    CVug_CommsDLL link;
    if (const std::optional<int> exit = FindDevice(page, link, o, update))
        return *exit;
    const UpdateFailure failure = RunUpdate(page, link, update, ipl, o.mode);
    return Report(page, link, failure);
}
