// kovflash waiting for handsets, run for real against kovvboot over ptys: the wait for a device
// that is not there costs the PC next to nothing, and --all --wait takes the handsets plugged in
// while it looks as well as those there at the start.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "CaseName.h"
#include "ChildProcess.h"
#include "SampleKit.h"
#include "TempDir.h"

namespace {

using Clock = ChildProcess::Clock;
using std::chrono::seconds;

// What any run may take beyond its own wait: starting the programs, a sanitizer's exit.
constexpr int kSlackS = 10;
// How long kovflash waits for a handset that never comes, and looks for late ones.
constexpr int kWaitS = 4;
constexpr int kLookS = 6;
// A wait that tries the device every 50-100 ms uses a few milliseconds of processor time a
// second; one that tries without pause uses all of a processor.
constexpr double kMostCpuShare = 0.1;

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Reads the program's lines until one holds `text`; false when none did by the deadline.
bool SaysWithin(ChildProcess& program, const std::string& text, Clock::time_point deadline) {
    std::string line;
    while (program.ReadLine(line, deadline))
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

// A kit in the test's own folder: 1 MiB of OS.
class FlasherWait : public ::testing::Test {
protected:
    FlasherWait() {
        EXPECT_TRUE(WriteSampleImage(dir.File("WMUPDAT.DIP"), SampleSpec(0xCE, 1, 0)).Ok());
        const std::vector<uint8_t> image = FileBytes(dir.File("WMUPDAT.DIP"));
        payload.assign(image.begin() + 1024, image.end());
    }

    TempDir dir;
    std::vector<uint8_t> payload;
};

// A virtual boot loader for one update; what it is sent goes into a folder of the test's own.
struct Handset {
    Handset(const TempDir& dir, const std::string& name)
        : saved(dir.File(name)), vboot({KOVVBOOT_PATH, "--once", "--save", saved}) {
        vboot.ReadLine(pty, Clock::now() + seconds(kSlackS));
    }

    std::string saved;
    ChildProcess vboot;
    std::string pty;
};

TEST_F(FlasherWait, WaitingForAnAbsentHandsetLeavesTheProcessorIdle) {
    // Nothing in the test's own folder can ever be a terminal.
    const std::string nowhere = dir.File("no-handset");
    const Clock::time_point start = Clock::now();
    ChildProcess flash(
        {KOVFLASH_PATH, "--device", nowhere, "--wait", std::to_string(kWaitS), dir.Path()});
    const ChildProcess::Status status = flash.WaitUntil(start + seconds(kWaitS + kSlackS));
    const double wallS = std::chrono::duration<double>(Clock::now() - start).count();

    ASSERT_TRUE(status.ended) << "kovflash was still waiting for " << nowhere << " after " << wallS
                              << " s, with --wait " << kWaitS;
    EXPECT_EQ(status.code, 4) << flash.Output();
    EXPECT_NE(flash.Output().find("did not appear on " + nowhere), std::string::npos)
        << flash.Output();
    EXPECT_LT(status.cpuS, kMostCpuShare * wallS)
        << "kovflash used " << status.cpuS << " s of processor time in a wait of " << wallS << " s";
}

struct LateCase {
    const char* name;
    int atStart; // handsets plugged in before kovflash starts; one more comes while it looks
};

void PrintTo(const LateCase& c, std::ostream* os) {
    *os << c.name;
}

class AllWithWait : public FlasherWait, public ::testing::WithParamInterface<LateCase> {};

TEST_P(AllWithWait, TakesTheHandsetsPluggedInWhileItLooks) {
    const std::string links = dir.File("links");
    std::filesystem::create_directories(links);
    std::vector<std::unique_ptr<Handset>> handsets;
    const auto plugIn = [&](const std::string& name) {
        handsets.push_back(std::make_unique<Handset>(dir, name));
        ASSERT_FALSE(handsets.back()->pty.empty())
            << "kovvboot named no pty: " << handsets.back()->vboot.Output();
        std::filesystem::create_symlink(handsets.back()->pty, links + "/ttyACM" + name);
    };
    for (int i = 0; i < GetParam().atStart; ++i)
        plugIn(std::to_string(i));

    const Clock::time_point start = Clock::now();
    ChildProcess flash({KOVFLASH_PATH, "--all", "--wait", std::to_string(kLookS), dir.Path()},
                       {"KOVFLASH_ALL_GLOB=" + links + "/ttyACM*"});
    ASSERT_TRUE(SaysWithin(flash, "Looking for handsets", start + seconds(kSlackS)))
        << "kovflash did not start looking for handsets:\n"
        << flash.Output();
    plugIn("late");

    const ChildProcess::Status status = flash.WaitUntil(start + seconds(kLookS + kSlackS));
    ASSERT_TRUE(status.ended) << "kovflash still ran " << kLookS + kSlackS
                              << " s after its start:\n"
                              << flash.Output();
    EXPECT_EQ(status.code, 0) << flash.Output();
    const std::string summary = "Summary (" + std::to_string(handsets.size()) + " of " +
                                std::to_string(handsets.size()) + " handsets finished):";
    EXPECT_NE(flash.Output().find(summary), std::string::npos) << flash.Output();
    for (const auto& h : handsets) {
        const ChildProcess::Status end = h->vboot.WaitUntil(Clock::now() + seconds(kSlackS));
        EXPECT_TRUE(end.ended && !end.signaled && end.code == 0)
            << h->pty << ": kovvboot did not end after one whole update (" << h->vboot.Output()
            << ")";
        EXPECT_TRUE(FileBytes(h->saved + "/os.bin") == payload)
            << h->pty << ": the flashed OS differs from the image's payload";
    }
}

INSTANTIATE_TEST_SUITE_P(Handsets, AllWithWait,
                         ::testing::Values(LateCase{"NoneAtTheStart", 0},
                                           LateCase{"OneAtTheStart", 1}),
                         CaseName());

// Ctrl-C while kovflash looks, with no handset found yet, ends the run at once and says so.
TEST_F(FlasherWait, CtrlCEndsTheLookForHandsets) {
    const std::string links = dir.File("links");
    std::filesystem::create_directories(links);
    const int lookS = 60;
    const Clock::time_point start = Clock::now();
    ChildProcess flash({KOVFLASH_PATH, "--all", "--wait", std::to_string(lookS), dir.Path()},
                       {"KOVFLASH_ALL_GLOB=" + links + "/ttyACM*"});
    ASSERT_TRUE(SaysWithin(flash, "Looking for handsets", start + seconds(kSlackS)))
        << "kovflash did not start looking for handsets:\n"
        << flash.Output();
    flash.Signal(SIGINT);

    const ChildProcess::Status status = flash.WaitUntil(Clock::now() + seconds(kSlackS));
    ASSERT_TRUE(status.ended) << "kovflash still looked " << kSlackS << " s after Ctrl-C:\n"
                              << flash.Output();
    EXPECT_EQ(status.code, 130) << flash.Output();
    EXPECT_NE(flash.Output().find("No longer looking for handsets."), std::string::npos)
        << flash.Output();
    EXPECT_NE(flash.Output().find("Stopped while looking for handsets; none was found, nothing "
                                  "was sent."),
              std::string::npos)
        << flash.Output();
}

} // namespace
