// kovvboot: the virtual boot loader on a pty. Prints the pty's path on its first line of
// standard output, then answers whatever opens it as a handset's boot loader would.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CommandLine.h"
#include "HandsetTexts.h"
#include "PacedLine.h"
#include "PtyLine.h"
#include "ScriptOptions.h"
#include "VirtualBootLoader.h"

namespace {

// Exit status with --once.
enum Exit {
    EXIT_UPDATED = 0, // the message stream ended with WORD_ACK
    EXIT_SETUP = 1,   // no pty, or --save cannot be written
    EXIT_USAGE = 2,
    EXIT_FIRMWARE_ERROR = 3, // the message stream ended with a firmware error
    EXIT_CUT_SHORT = 4,      // the host hung up, or the cable was pulled, before the end
};

// After the last word of an update, how long to wait for the host to close the device before
// closing the pty anyway; closing earlier could throw away the word before the host reads it.
constexpr int kCloseWaitMs = 10000;

struct Options {
    BootLoaderScript script;
    bool once = false;
    bool verbose = false;
    std::string saveDir;
};

bool ParseArgs(int argc, char** argv, Options& o, bool& help, bool& version) {
    ArgReader args(argc, argv);
    std::string value;
    while (args.Next()) {
        const std::string& a = args.Name();
        if (args.Is("--help", "-h")) {
            help = true;
        } else if (args.Is("--version")) {
            version = true;
        } else if (args.Is("--once") && !args.HasAttachedValue()) {
            o.once = true;
        } else if (args.Is("--verbose") && !args.HasAttachedValue()) {
            o.verbose = true;
        } else if (args.Is("--save") && args.TakeValue(value)) {
            o.saveDir = value;
        } else if (IsScriptOption(a) && args.TakeValue(value)) {
            const Result applied = ApplyScriptOption(a, value, o.script);
            if (!applied) {
                std::fprintf(stderr, TXT_VBOOT_ERROR, applied.Message().c_str());
                return false;
            }
        } else {
            std::fprintf(stderr, TXT_VBOOT_BAD_OPTION, a.c_str());
            return false;
        }
    }
    return true;
}

bool SaveFlashed(const VirtualBootLoader& device, const std::string& dir) {
    static const char* const names[kFlashPartitions] = {"ipl.bin", "os.bin", "cp.bin"};
    for (int p = 0; p < kFlashPartitions; ++p) {
        const FlashPartition which = static_cast<FlashPartition>(p);
        if (!device.HasFlashed(which))
            continue;
        const std::string path = dir + "/" + names[p];
        const std::vector<uint8_t>& bytes = device.Flashed(which);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool ok =
            f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
        if (f)
            ok = std::fclose(f) == 0 && ok;
        if (!ok) {
            std::fprintf(stderr, TXT_VBOOT_CANNOT_WRITE, path.c_str(), std::strerror(errno));
            return false;
        }
    }
    return true;
}

void Report(const VirtualBootLoader& device, VirtualBootLoader::End end) {
    static const char* const names[kFlashPartitions] = {"IPL", "OS", "CP"};
    const char* how = end == VirtualBootLoader::End::CablePulled   ? TXT_VBOOT_CABLE_PULLED
                      : end == VirtualBootLoader::End::UpdateEnded ? TXT_VBOOT_UPDATE_ENDED
                                                                   : TXT_VBOOT_HUNG_UP;
    std::fprintf(stderr, TXT_VBOOT_CONNECTION_OVER, how,
                 static_cast<unsigned long long>(device.BytesFromHost()));
    for (uint32_t mode : device.FlashModes())
        std::fprintf(stderr, TXT_VBOOT_FLASH_MODE, mode);
    for (int p = 0; p < kFlashPartitions; ++p)
        if (device.HasFlashed(static_cast<FlashPartition>(p)))
            std::fprintf(stderr, TXT_VBOOT_FLASHED, names[p],
                         device.Flashed(static_cast<FlashPartition>(p)).size());
    if (device.UpdatesEnded())
        std::fprintf(stderr, TXT_VBOOT_STREAM_ENDED,
                     device.LastUpdateFailed() ? TXT_VBOOT_FIRMWARE_ERROR : "WORD_ACK",
                     static_cast<int>(device.LastErrorCode()));
    for (const std::string& problem : device.Problems())
        std::fprintf(stderr, TXT_VBOOT_PROBLEM, problem.c_str());
}

pid_t g_child = 0;

void ForwardSignal(int signal) {
    if (g_child > 0)
        ::kill(g_child, signal);
}

// A pty can become the controlling terminal only of a session leader. A process that already
// leads its process group (started by an interactive shell) cannot start a session, so it
// forks: the child leads the new session and does the work, the parent stays where the shell
// expects it, passes on Ctrl-C and SIGTERM, and exits with the child's status.
bool LeadOwnSession(int& parentExit) {
    if (::setsid() >= 0)
        return true;
    g_child = ::fork();
    if (g_child < 0)
        return true; // carry on without a session of our own; only Wine's comfort suffers
    if (g_child == 0) {
        ::setsid();
        return true;
    }
    std::signal(SIGINT, ForwardSignal);
    std::signal(SIGTERM, ForwardSignal);
    int status = 0;
    while (::waitpid(g_child, &status, 0) < 0 && errno == EINTR) {
    }
    parentExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false, version = false;
    if (!ParseArgs(argc, argv, o, help, version)) {
        std::fprintf(stderr, TXT_VBOOT_USAGE, ScriptOptionsHelp().c_str());
        return EXIT_USAGE;
    }
    if (help) {
        std::printf(TXT_VBOOT_USAGE, ScriptOptionsHelp().c_str());
        return 0;
    }
    if (version) {
        PrintVersion("kovvboot");
        return 0;
    }

    if (!o.saveDir.empty() && ::mkdir(o.saveDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, TXT_VBOOT_CANNOT_MAKE, o.saveDir.c_str(), std::strerror(errno));
        return EXIT_SETUP;
    }

    int parentExit = 0;
    if (!LeadOwnSession(parentExit))
        return parentExit;
    // The pty is our controlling terminal: its hang-up must not end us. A host that goes away
    // while we write must not either.
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);

    PtyLine line;
    std::string why;
    if (!line.Ok(&why)) {
        std::fprintf(stderr, TXT_VBOOT_ERROR, why.c_str());
        return EXIT_SETUP;
    }
    line.TakeAsControllingTerminal();
    std::printf("%s\n", line.SlavePath().c_str());
    std::fflush(stdout);

    VirtualBootLoader device(o.script);
    std::unique_ptr<PacedLine> paced;
    if (o.script.lineRate != 0)
        paced = std::make_unique<PacedLine>(line, o.script.lineRate);
    DeviceLine& served = paced ? static_cast<DeviceLine&>(*paced) : line;
    for (;;) {
        if (!line.WaitForHost(-1))
            return EXIT_SETUP;
        VirtualBootLoader::End end = device.Serve(served, o.once);
        if (end == VirtualBootLoader::End::UpdateEnded)
            line.WaitForHostToClose(kCloseWaitMs);
        if (o.verbose)
            Report(device, end);
        if (!o.saveDir.empty() && !SaveFlashed(device, o.saveDir))
            return EXIT_SETUP;
        if (end == VirtualBootLoader::End::CablePulled || o.once) {
            if (end != VirtualBootLoader::End::UpdateEnded)
                return EXIT_CUT_SHORT;
            return device.LastUpdateFailed() ? EXIT_FIRMWARE_ERROR : EXIT_UPDATED;
        }
        device.ResetConnection();
    }
}
