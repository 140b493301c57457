// kovvboot: the virtual boot loader on a pty. Prints the pty's path on its first line of
// standard output, then answers whatever opens it as a handset's boot loader would.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

const char kUsage[] =
    "usage: kovvboot [options]\n"
    "\n"
    "A handset's boot loader in software, on a pty. The first line of standard output is the\n"
    "pty's path: open it as the handset's USB serial device (kovflash --device PATH), or under\n"
    "Wine link it as $WINEPREFIX/dosdevices/wceusbsh001 for \\\\.\\WCEUSBSH001.\n"
    "\n"
    "  --once                   end after one update: after the message stream's last word\n"
    "                           (once the host has closed the device, 10 s at most), or when\n"
    "                           the host hangs up or the cable is pulled\n"
    "  --save DIR               write what was flashed to DIR (made if missing): ipl.bin,\n"
    "                           os.bin, cp.bin, one file per flashed partition, after each\n"
    "                           connection\n"
    "  --verbose                say on standard error what each connection brought\n"
    "  --help                   this text\n"
    "\n"
    "%s"
    "\n"
    "Pulling the cable closes the pty, so kovvboot ends there.\n"
    "Exit status with --once: 0 the update ended with WORD_ACK; 3 it ended with a firmware\n"
    "error; 4 the host hung up or the cable was pulled before the end; 1 no pty or --save\n"
    "failed; 2 bad usage.\n";

struct Options {
    BootLoaderScript script;
    bool once = false;
    bool verbose = false;
    std::string saveDir;
};

bool ParseArgs(int argc, char** argv, Options& o, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--once") {
            o.once = true;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--save" && i + 1 < argc) {
            o.saveDir = argv[++i];
        } else if (IsScriptOption(a) && i + 1 < argc) {
            std::string error;
            if (!ApplyScriptOption(a, argv[++i], o.script, &error)) {
                std::fprintf(stderr, "kovvboot: %s\n", error.c_str());
                return false;
            }
        } else {
            std::fprintf(stderr, "kovvboot: unknown or incomplete option %s\n", a.c_str());
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
            std::fprintf(stderr, "kovvboot: cannot write %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    return true;
}

void Report(const VirtualBootLoader& device, VirtualBootLoader::End end) {
    static const char* const names[kFlashPartitions] = {"IPL", "OS", "CP"};
    const char* how = end == VirtualBootLoader::End::CablePulled   ? "the cable was pulled"
                      : end == VirtualBootLoader::End::UpdateEnded ? "the update ended"
                                                                   : "the host hung up";
    std::fprintf(stderr, "kovvboot: connection over (%s); %llu bytes from the host\n", how,
                 static_cast<unsigned long long>(device.BytesFromHost()));
    for (uint32_t mode : device.FlashModes())
        std::fprintf(stderr, "kovvboot:   flash mode 0x%08X\n", mode);
    for (int p = 0; p < kFlashPartitions; ++p)
        if (device.HasFlashed(static_cast<FlashPartition>(p)))
            std::fprintf(stderr, "kovvboot:   flashed %s: %zu bytes\n", names[p],
                         device.Flashed(static_cast<FlashPartition>(p)).size());
    if (device.UpdatesEnded())
        std::fprintf(stderr, "kovvboot:   last stream ended with %s %d\n",
                     device.LastUpdateFailed() ? "firmware error" : "WORD_ACK",
                     static_cast<int>(device.LastErrorCode()));
    for (const std::string& problem : device.Problems())
        std::fprintf(stderr, "kovvboot:   problem: %s\n", problem.c_str());
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
    bool help = false;
    if (!ParseArgs(argc, argv, o, help)) {
        std::fprintf(stderr, kUsage, ScriptOptionsHelp().c_str());
        return EXIT_USAGE;
    }
    if (help) {
        std::printf(kUsage, ScriptOptionsHelp().c_str());
        return 0;
    }

    if (!o.saveDir.empty() && ::mkdir(o.saveDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "kovvboot: cannot make %s: %s\n", o.saveDir.c_str(),
                     std::strerror(errno));
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
        std::fprintf(stderr, "kovvboot: %s\n", why.c_str());
        return EXIT_SETUP;
    }
    line.TakeAsControllingTerminal();
    std::printf("%s\n", line.SlavePath().c_str());
    std::fflush(stdout);

    VirtualBootLoader device(o.script);
    for (;;) {
        if (!line.WaitForHost(-1))
            return EXIT_SETUP;
        VirtualBootLoader::End end = device.Serve(line, o.once);
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
