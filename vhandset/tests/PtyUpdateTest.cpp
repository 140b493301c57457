// The real thing natively: the link opens kovvboot's pty as its USB serial device.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CaseName.h"
#include "ChildProcess.h"
#include "DeviceFixture.h"
#include "TempDir.h"

namespace {

// kovvboot started with options; its pty's path is read from its first line.
class Kovvboot {
public:
    explicit Kovvboot(std::vector<std::string> args) : process_(WithProgram(std::move(args))) {
        // The first line comes at once; ten seconds is only the bound of a broken start.
        process_.ReadLine(path_, ChildProcess::Clock::now() + std::chrono::seconds(10));
    }
    const std::string& Path() const { return path_; }

    // The exit status, or -1 if it has not ended within the bound. With --once it ends at once
    // when the host lets go of it, and 10 s after its last word at most.
    int Wait(int seconds = 15) {
        const ChildProcess::Status s =
            process_.WaitUntil(ChildProcess::Clock::now() + std::chrono::seconds(seconds));
        if (!s.ended)
            return -1;
        return s.signaled ? 128 + s.code : s.code;
    }

private:
    static std::vector<std::string> WithProgram(std::vector<std::string> args) {
        args.insert(args.begin(), KOVVBOOT_PATH);
        return args;
    }

    ChildProcess process_;
    std::string path_;
};

// kovvboot answers every word at once. A link silent for this long shows a worker or device that
// hangs, which would otherwise hold the test for the link's own minutes.
LinkTimeouts ShortLimits() {
    LinkTimeouts limits;
    limits.transferMs = 10000;
    limits.flashMs = 10000;
    return limits;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class PtyUpdate : public ::testing::Test {
protected:
    PtyUpdate() { SucceededFlag(PageKind::Normal) = 0; }
    RecordingPage page;
};

struct ByteForByteCase {
    const char* name;
    std::vector<std::string> options;
    uint16_t osMiB;
};

class PtyByteForByte : public PtyUpdate, public ::testing::WithParamInterface<ByteForByteCase> {};

TEST_P(PtyByteForByte, TheImageIsFlashedThroughKovvboot) {
    const ByteForByteCase& c = GetParam();
    TempDir dir;
    HandMadeImage spec;
    spec.osMiB = c.osMiB;
    const std::vector<uint8_t> image = spec.Bytes();
    ASSERT_EQ(image.size(), 1024u + c.osMiB * 1048576u);

    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--once", "--save", dir.Path()});
    Kovvboot vboot(args);
    ASSERT_FALSE(vboot.Path().empty());
    CVug_CommsDLL link;
    link.SetDevicePath(vboot.Path().c_str());
    link.SetTimeouts(ShortLimits());
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    const UpdateThreadOutcome outcome = RunUpdateThread(link, page, image);
    if (outcome.failure != UpdateFailure::None)
        link.CloseUSBSyncDriver(); // as the page's end does, so that kovvboot ends at once

    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(outcome.failure, UpdateFailure::None);
    EXPECT_EQ(vboot.Wait(), 0) << "the worker closed the device after the update";
    EXPECT_TRUE(FileBytes(dir.File("os.bin")) ==
                std::vector<uint8_t>(image.begin() + 1024, image.end()))
        << "the flashed OS partition differs from the image's payload";
    EXPECT_EQ(page.ranges.front(), c.osMiB * 16u) << "a block is 64 KiB";
    EXPECT_EQ(page.entries.back(), L"guidance: Click close to Exit.");
}

INSTANTIATE_TEST_SUITE_P(Lines, PtyByteForByte,
                         ::testing::Values(
                             // 46,138,368 bytes: the shipped image's size.
                             ByteForByteCase{"ShippedSizeAsFastAsThePtyAllows", {}, 44},
                             // Paced in pieces that do not divide a block, both ways.
                             ByteForByteCase{"AtAnEmulatedLineRate", {"--line-rate", "12345k"}, 2}),
                         CaseName());

struct PtyFaultCase {
    const char* name;
    std::vector<std::string> options;
    UpdateFailure failure;
    int exitStatus;
    const wchar_t* lastShown;
};

void PrintTo(const PtyFaultCase& c, std::ostream* os) {
    *os << c.name;
}

class PtyFaults : public PtyUpdate, public ::testing::WithParamInterface<PtyFaultCase> {};

TEST_P(PtyFaults, EndTheUpdateAndKovvboot) {
    const PtyFaultCase& c = GetParam();
    std::vector<std::string> args = c.options;
    args.push_back("--once");
    Kovvboot vboot(args);
    ASSERT_FALSE(vboot.Path().empty());
    CVug_CommsDLL link;
    link.SetDevicePath(vboot.Path().c_str());
    link.SetTimeouts(ShortLimits());
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    HandMadeImage spec;
    spec.osMiB = 2;
    const UpdateThreadOutcome outcome = RunUpdateThread(link, page, spec.Bytes());
    if (outcome.failure != UpdateFailure::None)
        link.CloseUSBSyncDriver(); // as the page's end does after a failed run
    EXPECT_EQ(outcome.failure, c.failure);
    EXPECT_EQ(vboot.Wait(), c.exitStatus);
    ASSERT_FALSE(page.entries.empty());
    EXPECT_EQ(page.entries.back(), c.lastShown);
}

INSTANTIATE_TEST_SUITE_P(
    Options, PtyFaults,
    ::testing::Values(
        PtyFaultCase{"CablePulledHalfWayThroughABlock",
                     {"--pull-at", "block:20"},
                     UpdateFailure::Transfer,
                     4,
                     L"status: Error, Download OS Failed."},
        PtyFaultCase{"CablePulledWhileFlashing",
                     {"--stream", "range:10;pos:2;pull"},
                     UpdateFailure::MessageLoop,
                     4,
                     L"link box: Error, lost the connection to the handset while it was "
                     L"flashing."},
        PtyFaultCase{"FirmwareError",
                     {"--firmware-error", "-5"},
                     UpdateFailure::MessageLoop,
                     3,
                     L"link box: Flash Firmware Error occurred:  code -5"},
        PtyFaultCase{"ReadinessAsAckAndAWord",
                     {"--ready", "ack:12345678"},
                     UpdateFailure::None,
                     0,
                     L"guidance: Click close to Exit."},
        PtyFaultCase{"KeyRefused",
                     {"--key", "refuse"},
                     UpdateFailure::KeyRefused,
                     4,
                     L"box: Error, The image file is invalid, please contact with the operator "
                     L"to fetch a new image."},
        // The handset ends its stream well; the PC had stopped following it at the upload.
        PtyFaultCase{"UploadThePcCannotHold",
                     {"--stream", "range:10;word:AAAA000E;word:80000000"},
                     UpdateFailure::UploadRefused,
                     0,
                     L"status: Error, the PC cannot hold the handset's upload."}),
    CaseName());

// The handset sends a file to store and the cable comes out four bytes into it: the update ends
// as with a lost handset, and nothing is stored under the file's name, least of all a file of
// 65536 bytes whose rest reads as zeros. The device pauses before the pull, so that the host
// is inside the file by then rather than still reading the words before it.
TEST_F(PtyUpdate, AStoredFileCutByAPulledCableLeavesNoFile) {
    TempDir dir;
    Kovvboot vboot({"--once", "--stream",
                    "word:AAAA0008;word:00010000;word:AAAA0010;word:04030201;pull", "--silent-at",
                    "stream:5:500"});
    ASSERT_FALSE(vboot.Path().empty());
    CVug_CommsDLL link;
    link.SetDevicePath(vboot.Path().c_str());
    link.SetHostFile(HOST_STORED_FILE, dir.File("stored.bin").c_str());
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    HandMadeImage spec;
    spec.osMiB = 1;
    const UpdateThreadOutcome outcome = RunUpdateThread(link, page, spec.Bytes());
    link.CloseUSBSyncDriver();
    EXPECT_EQ(outcome.failure, UpdateFailure::MessageLoop);
    EXPECT_EQ(vboot.Wait(), 4) << "the cable was pulled";
    ASSERT_FALSE(page.entries.empty());
    EXPECT_EQ(page.entries.back(),
              L"link box: Error, lost the connection to the handset while it was flashing.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("stored.bin")));
}

} // namespace
