// parallelbench: handsets on a service bench. Updates one virtual handset over a link of a real
// handset's speed, then four at once, each time the real kovflash against real kovvboot
// processes on ptys, and prints both times and their ratio: handsets that share nothing but the
// PC should take no longer together than one alone. Every handset's flashed bytes are checked.
//
//   parallelbench [MEGABYTES] [RATE] [ROUNDS]     (16, 1M: full-speed USB, and 1 by default)
//
// The four go through one kovflash given four --device options.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SampleKit.h"
#include "TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kHandsets = 4;

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

struct Run {
    double seconds = -1; // -1: a handset did not end with exactly the image's payload
    double cpuSeconds = 0;
};

// The exit code of a program that ended by itself within `seconds`; -1 otherwise.
int ExitCode(ChildProcess& child, int seconds) {
    const ChildProcess::Status status =
        child.WaitUntil(Clock::now() + std::chrono::seconds(seconds));
    return status.ended && !status.signaled ? status.code : -1;
}

// Updates `count` handsets at once through one kovflash, timed from its start to its end.
Run UpdateAtOnce(int count, const TempDir& dir, const std::string& rate,
                 const std::vector<uint8_t>& payload) {
    std::vector<std::unique_ptr<ChildProcess>> handsets;
    std::vector<std::string> saved, devices;
    for (int i = 0; i < count; ++i) {
        saved.push_back(dir.File("handset" + std::to_string(i)));
        handsets.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{
            KOVVBOOT_PATH, "--once", "--line-rate", rate, "--save", saved.back()}));
        std::string pty; // kovvboot's first line; ten seconds bound a broken start
        if (!handsets.back()->ReadLine(pty, Clock::now() + std::chrono::seconds(10))) {
            std::fprintf(stderr, "parallelbench: kovvboot %d gave no pty\n", i);
            return {};
        }
        devices.push_back(pty);
    }

    const double cpuBefore = CpuSecondsOfChildren();
    const Clock::time_point start = Clock::now();
    std::vector<std::string> args = {KOVFLASH_PATH, "--quiet"};
    for (const std::string& device : devices)
        args.insert(args.end(), {"--device", device});
    args.push_back(dir.File("kit"));
    ChildProcess flasher(args);
    const int flasherExit = ExitCode(flasher, 3600);
    bool ok = flasherExit == 0;
    if (!ok)
        std::fprintf(stderr, "parallelbench: kovflash ended with %d:\n%s", flasherExit,
                     flasher.Output().c_str());
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (int i = 0; i < count; ++i) {
        const int status = ExitCode(*handsets[i], 15);
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

    Run one{1e9, 0}, four{1e9, 0};
    for (int round = 0; round < rounds; ++round) {
        const Run a = UpdateAtOnce(1, dir, rate, payload);
        const Run b = UpdateAtOnce(kHandsets, dir, rate, payload);
        if (a.seconds < 0 || b.seconds < 0)
            return 1;
        one = a.seconds < one.seconds ? a : one;
        four = b.seconds < four.seconds ? b : four;
    }

    const double mb = payload.size() / 1e6;
    std::printf("OS image of %d MiB to each handset, emulated line rate %s bytes/s, best of %d\n",
                megabytes, rate.c_str(), rounds);
    std::printf("four handsets through one kovflash with four --device\n");
    std::printf("one handset      : %7.2f s  %6.2f MB/s per handset  CPU %5.2f s\n", one.seconds,
                mb / one.seconds, one.cpuSeconds);
    std::printf("four handsets    : %7.2f s  %6.2f MB/s per handset  CPU %5.2f s\n", four.seconds,
                mb / four.seconds, four.cpuSeconds);
    std::printf("four / one ratio : %7.3f  (goal: at most 1.1)\n", four.seconds / one.seconds);
    return 0;
}
