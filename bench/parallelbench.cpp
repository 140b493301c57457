// parallelbench: handsets on a service bench. Updates one virtual handset over a link of a real
// handset's speed, then four at once, each time the real kovflash against real kovvboot
// processes on ptys, and prints both times and their ratio: handsets that share nothing but the
// PC should take no longer together than one alone. Every handset's flashed bytes are checked.
//
//   parallelbench [MEGABYTES] [RATE] [ROUNDS]     (16, 1M: full-speed USB, and 1 by default)
//
// The four go through one kovflash given four --device options when it takes several devices
// (its help offers --all); otherwise through four kovflash processes at once, and it says so.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "SampleKit.h"
#include "TempDir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kHandsets = 4;

// A program started with its standard output going to `outPath`, or to a pipe whose first
// line FirstLine reads.
class Child {
public:
    Child(std::vector<std::string> args, const std::string& outPath = "") {
        int out[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (outPath.empty()) {
            if (::pipe(out) != 0)
                return;
            posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
            posix_spawn_file_actions_addclose(&actions, out[0]);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
            posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (out[1] >= 0)
            ::close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        if (out_ >= 0)
            ::close(out_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The first line it prints; ten seconds bound a broken start.
    std::string FirstLine() {
        std::string line;
        char c;
        pollfd p = {out_, POLLIN, 0};
        while (pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Its exit status; -1 when it has not ended within `seconds`, and it is ended.
    int Wait(int seconds) {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
        while (pid_ > 0) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (Clock::now() > deadline)
                break;
            ::usleep(10000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

double CpuSecondsOfChildren() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Whether this kovflash updates several devices in one run.
bool TakesSeveralDevices(const TempDir& dir) {
    const std::string help = dir.File("help.txt");
    Child child({KOVFLASH_PATH, "--help"}, help);
    child.Wait(10);
    const std::vector<uint8_t> text = FileBytes(help);
    return std::string(text.begin(), text.end()).find("--all") != std::string::npos;
}

struct Run {
    double seconds = -1; // -1: a handset did not end with exactly the image's payload
    double cpuSeconds = 0;
};

// Updates `count` handsets at once and times it from the first kovflash's start to the last
// one's end.
Run UpdateAtOnce(int count, bool oneFlasher, const TempDir& dir, const std::string& rate,
                 const std::vector<uint8_t>& payload) {
    std::vector<std::unique_ptr<Child>> handsets;
    std::vector<std::string> saved, devices;
    for (int i = 0; i < count; ++i) {
        saved.push_back(dir.File("handset" + std::to_string(i)));
        handsets.push_back(std::make_unique<Child>(std::vector<std::string>{
            KOVVBOOT_PATH, "--once", "--line-rate", rate, "--save", saved.back()}));
        devices.push_back(handsets.back()->FirstLine());
        if (devices.back().empty()) {
            std::fprintf(stderr, "parallelbench: kovvboot %d gave no pty\n", i);
            return {};
        }
    }

    const double cpuBefore = CpuSecondsOfChildren();
    const Clock::time_point start = Clock::now();
    std::vector<std::unique_ptr<Child>> flashers;
    for (int i = 0; i < count; ++i) {
        if (oneFlasher && i > 0)
            break;
        std::vector<std::string> args = {KOVFLASH_PATH, "--quiet"};
        for (int d = oneFlasher ? 0 : i; d < (oneFlasher ? count : i + 1); ++d)
            args.insert(args.end(), {"--device", devices[d]});
        args.push_back(dir.File("kit"));
        flashers.push_back(
            std::make_unique<Child>(args, dir.File("kovflash" + std::to_string(i) + ".log")));
    }
    bool ok = true;
    for (size_t i = 0; i < flashers.size(); ++i) {
        const int status = flashers[i]->Wait(3600);
        if (status != 0) {
            std::fprintf(stderr, "parallelbench: kovflash ended with %d; see %s\n", status,
                         dir.File("kovflash" + std::to_string(i) + ".log").c_str());
            ok = false;
        }
    }
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (int i = 0; i < count; ++i) {
        const int status = handsets[i]->Wait(15);
        const bool same = FileBytes(saved[i] + "/os.bin") == payload;
        if (status != 0 || !same) {
            std::fprintf(stderr, "parallelbench: handset %d (%s): kovvboot ended with %d, %s\n", i,
                         devices[i].c_str(), status,
                         same ? "its flash holds the payload" : "its flash is not the payload");
            ok = false;
        }
    }
    run.cpuSeconds = CpuSecondsOfChildren() - cpuBefore;
    if (!ok)
        run.seconds = -1;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 16;
    const std::string rate = argc > 2 ? argv[2] : "1M";
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 1;
    if (megabytes < 1 || megabytes > 1024 || rounds < 1) {
        std::fprintf(stderr, "usage: parallelbench [MEGABYTES] [RATE] [ROUNDS]\n");
        return 2;
    }

    TempDir dir;
    SampleImageSpec spec;
    spec.osSizeMiB = static_cast<uint16_t>(megabytes);
    const std::vector<uint8_t> image = BuildSampleImage(spec);
    const std::vector<uint8_t> payload(image.begin() + 1024, image.end());
    std::filesystem::create_directories(dir.File("kit"));
    if (!WriteSampleImage(dir.File("kit") + "/WMUPDAT.DIP", spec)) {
        std::fprintf(stderr, "parallelbench: cannot write the kit\n");
        return 1;
    }
    const bool oneFlasher = TakesSeveralDevices(dir);

    Run one{1e9, 0}, four{1e9, 0};
    for (int round = 0; round < rounds; ++round) {
        const Run a = UpdateAtOnce(1, true, dir, rate, payload);
        const Run b = UpdateAtOnce(kHandsets, oneFlasher, dir, rate, payload);
        if (a.seconds < 0 || b.seconds < 0)
            return 1;
        one = a.seconds < one.seconds ? a : one;
        four = b.seconds < four.seconds ? b : four;
    }

    const double mb = payload.size() / 1e6;
    std::printf("OS image of %d MiB to each handset, emulated line rate %s bytes/s, best of %d\n",
                megabytes, rate.c_str(), rounds);
    std::printf("four handsets through %s\n",
                oneFlasher ? "one kovflash with four --device"
                           : "four kovflash processes (this kovflash takes one --device)");
    std::printf("one handset      : %7.2f s  %6.2f MB/s per handset  CPU %5.2f s\n", one.seconds,
                mb / one.seconds, one.cpuSeconds);
    std::printf("four handsets    : %7.2f s  %6.2f MB/s per handset  CPU %5.2f s\n", four.seconds,
                mb / four.seconds, four.cpuSeconds);
    std::printf("four / one ratio : %7.3f  (goal: at most 1.1)\n", four.seconds / one.seconds);
    return 0;
}
