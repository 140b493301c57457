// kovflash waiting for handsets, run for real: the wait for a device that is not there costs
// the PC next to nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SampleKit.h"
#include "TempDir.h"

namespace {

using Clock = ChildProcess::Clock;
using std::chrono::seconds;

// What any run may take beyond its own wait: starting the programs, a sanitizer's exit.
constexpr int kSlackS = 10;
// How long kovflash waits for a handset that never comes.
constexpr int kWaitS = 4;
// A wait that tries the device every 50-100 ms uses a few milliseconds of processor time a
// second; one that tries without pause uses all of a processor.
constexpr double kMostCpuShare = 0.1;

// A kit in the test's own folder: 1 MiB of OS.
class FlasherWait : public ::testing::Test {
protected:
    FlasherWait() {
        EXPECT_TRUE(WriteSampleImage(dir.File("WMUPDAT.DIP"), SampleSpec(0xCE, 1, 0)).Ok());
    }

    TempDir dir;
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

} // namespace
