// A device that goes silent, phase by phase: each transfer phase gives up after the transfer
// limit, while the message loop waits out a silence longer than that, up to its own limit.
#include "CaseName.h"
#include "DeviceFixture.h"
#include "WorkerTexts.h"

namespace {

// Short limits, so that a case costs a fraction of a second. A silence of kSilentMs is longer
// than the transfer limit and shorter than the flashing limit.
constexpr uint32_t kTransferMs = 300;
constexpr uint32_t kFlashMs = 15000;
constexpr uint32_t kSilentMs = 1000;
// Longer than any case waits: the device ends it early when the test destroys it.
constexpr uint32_t kFrozenMs = 600000;

struct SilenceCase {
    const char* name;
    EventPoint at;
    uint32_t silentMs;
    uint32_t flashMs;
    UpdateFailure failure; // None: the update finishes
};

void PrintTo(const SilenceCase& c, std::ostream* os) {
    *os << c.name;
}

class Silence : public DeviceTest, public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(Silence, EndsEachPhaseWithinItsOwnLimit) {
    const SilenceCase& c = GetParam();
    BootLoaderScript script;
    script.silentAt = c.at;
    script.silentMs = c.silentMs;
    Connect(script);
    LinkTimeouts timeouts;
    timeouts.transferMs = kTransferMs;
    timeouts.flashMs = c.flashMs;
    link.SetTimeouts(timeouts);

    const std::vector<uint8_t> image = OsImage(1);
    const UpdateThreadOutcome out = Update(image);
    EXPECT_EQ(out.failure, c.failure);
    if (c.failure == UpdateFailure::None) {
        EXPECT_EQ(out.exitCode, 1u);
        Disconnect();
        EXPECT_EQ(device->Flashed(FlashPartition::OS), Payload(image));
    } else if (c.failure == UpdateFailure::MessageLoop) {
        const std::vector<std::wstring> last(page.entries.end() - 2, page.entries.end());
        EXPECT_EQ(last, (std::vector<std::wstring>{
                            L"status: Upgrade completed.",
                            L"link box: Error, lost the connection to the handset while it was "
                            L"flashing."}));
    }
}

// A device silent at the key or a version refused nothing: the link failed there.
// A 1 MiB OS is 16 full blocks. Its acknowledgement queries: LoadRAM's own (1), one per block
// (2 to 17), the closing one (18).
INSTANTIATE_TEST_SUITE_P(
    Phases, Silence,
    ::testing::Values(
        SilenceCase{"Key", {DeviceEvent::Key, 1}, kSilentMs, kFlashMs, UpdateFailure::Transfer},
        SilenceCase{"FlashMode",
                    {DeviceEvent::Readiness, 1},
                    kSilentMs,
                    kFlashMs,
                    UpdateFailure::FlashMode},
        SilenceCase{"Version",
                    {DeviceEvent::OfferedVersion, 1},
                    kSilentMs,
                    kFlashMs,
                    UpdateFailure::Transfer},
        SilenceCase{"BlockAcknowledgement",
                    {DeviceEvent::AckQuery, 5},
                    kSilentMs,
                    kFlashMs,
                    UpdateFailure::Transfer},
        SilenceCase{
            "BlockData", {DeviceEvent::Block, 7}, kSilentMs, kFlashMs, UpdateFailure::Transfer},
        SilenceCase{"ClosingAcknowledgement",
                    {DeviceEvent::AckQuery, 18},
                    kSilentMs,
                    kFlashMs,
                    UpdateFailure::Transfer},
        // After the closing word, and between two messages: a handset writing its flash.
        SilenceCase{"SlowAfterTheClosingWord",
                    {DeviceEvent::Stream, 1},
                    kSilentMs,
                    kFlashMs,
                    UpdateFailure::None},
        SilenceCase{"SlowBetweenMessages",
                    {DeviceEvent::Stream, 3},
                    kSilentMs,
                    kFlashMs,
                    UpdateFailure::None},
        SilenceCase{"FrozenWhileFlashing",
                    {DeviceEvent::Stream, 3},
                    kFrozenMs,
                    kTransferMs,
                    UpdateFailure::MessageLoop}),
    CaseName());

} // namespace
