// Whole updates of the virtual boot loader by the update worker through the real link over an
// in-memory wire, seen from the device's side.
#include "CaseName.h"
#include "DeviceFixture.h"
#include "WireWords.h"
#include "WorkerTexts.h"

namespace {

class InProcessUpdate : public DeviceTest {};

TEST_F(InProcessUpdate, IplThenOsAndCpLeaveTheDeviceContentAndHoldingTheNewVersions) {
    HandMadeImage spec;
    spec.mode = 0xE0;
    spec.osMiB = 2;
    spec.cpMiB = 1;
    const std::vector<uint8_t> image = spec.Bytes();
    const std::vector<uint8_t> ipl = HandMadeIpl(image, 70000);

    Connect();
    const UpdateThreadOutcome outcome = Update(image, &ipl);
    EXPECT_EQ(Disconnect(), VirtualBootLoader::End::HostHungUp);

    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(device->UpdatesEnded(), 1u);
    EXPECT_FALSE(device->LastUpdateFailed());
    EXPECT_TRUE(device->Problems().empty()) << device->Problems().front();
    EXPECT_EQ(device->Held(FlashPartition::OS), (Version{0x21, 0x22, 0x23, 0x24, 0x25, 0x26}));
}

TEST_F(InProcessUpdate, ReadinessAsAckAndAWordIsConsumedWhole) {
    BootLoaderScript script;
    script.readiness = Readiness::AckAndWord;
    script.readinessWord = wire::WORD_ACK; // even a second WORD_ACK is only the word after it
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EXPECT_EQ(Update(image).exitCode, 1u);
    Disconnect();
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Payload(image));
    EXPECT_EQ(page.entries.back(), std::wstring(L"guidance: ") + said::CLICK_CLOSE);
}

struct HeldCase {
    const char* name;
    Version held; // the image's OS version is 21 22 23 24 25 26
    UpdateFailure failure;
};

void PrintTo(const HeldCase& c, std::ostream* os) {
    *os << c.name;
}

class HeldVersions : public DeviceTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldVersions, AreJudgedByTheHandsetAlone) {
    const HeldCase& c = GetParam();
    BootLoaderScript script;
    script.held[static_cast<int>(FlashPartition::OS)] = c.held;
    Connect(script);
    EXPECT_EQ(Update(OsImage(1)).failure, c.failure);
    Disconnect();
    EXPECT_EQ(device->HasFlashed(FlashPartition::OS), c.failure == UpdateFailure::None);
}

INSTANTIATE_TEST_SUITE_P(
    Held, HeldVersions,
    ::testing::Values(
        HeldCase{"Equal", {0x21, 0x22, 0x23, 0x24, 0x25, 0x26}, UpdateFailure::None},
        HeldCase{"OlderInTheLastByte", {0x21, 0x22, 0x23, 0x24, 0x25, 0x25}, UpdateFailure::None},
        HeldCase{"NewerInTheLastByte",
                 {0x21, 0x22, 0x23, 0x24, 0x25, 0x27},
                 UpdateFailure::VersionRefused}),
    CaseName());

} // namespace
