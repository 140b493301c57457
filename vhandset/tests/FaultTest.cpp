// The faults the virtual boot loader plays, and what the link makes of each: every case ends,
// with the result and text a caller can act on.
#include "DeviceFixture.h"

namespace {

class Faults : public DeviceTest {};

// Handshakes of an OS session's RAM load, counted as they end: 1 LoadRAM's own, 2 the first
// block's, and so on; the last is the closing one.
constexpr uint32_t kFirstBlockHandshake = 2;

TEST_F(Faults, AnAcknowledgementOnlyOnTheThirdQueryStillGetsTheBlockAcross) {
    BootLoaderScript script;
    script.ackOnQuery = 3;
    script.ackOnQueryHandshake = kFirstBlockHandshake;
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    EXPECT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, MIB), 1);
    Disconnect();
    const std::vector<uint32_t>& words = device->ReceivedWords();
    const std::vector<uint32_t> expected = {CMD_ADDRESS, RAM_LOAD_ADDRESS, WORD_ACK,
                                            WORD_ACK,    WORD_ACK,         CMD_BLOCK_DATA};
    EXPECT_NE(std::search(words.begin(), words.end(), expected.begin(), expected.end()),
              words.end());
}

TEST_F(Faults, LoadRamAsksOnlyOnceBeforeItsTransfer) {
    BootLoaderScript script;
    script.ackOnQuery = 2;
    script.ackOnQueryHandshake = 1;
    Connect(script);
    EnterOsSession();
    const std::vector<uint8_t> data(100);
    EXPECT_EQ(link.LoadRAM(data.data(), RAM_LOAD_ADDRESS, 100), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error: Device probably not recognized by 2nd boot");
    Disconnect();
    EXPECT_EQ(device->ReceivedWords().back(), WORD_ACK) << "nothing after the one query";
}

struct LateCase {
    const char* name;
    bool busy;
    uint32_t delayMs;
    int result;
};

class LateAcknowledgement : public Faults, public ::testing::WithParamInterface<LateCase> {};

// A device that is silent for over three seconds is waited for; one that keeps answering
// other words for that long is given up.
TEST_P(LateAcknowledgement, OfAFullBlock) {
    const LateCase& c = GetParam();
    BootLoaderScript script;
    script.lateAckMs = c.delayMs;
    script.lateAckHandshake = kFirstBlockHandshake;
    script.lateAckBusy = c.busy;
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    EXPECT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, MIB), c.result);
    if (!c.result) {
        EXPECT_STREQ(link.m_ErrorText, "Error: Device probably not recognized by 2nd boot");
    }
    Disconnect();
}

INSTANTIATE_TEST_SUITE_P(Kinds, LateAcknowledgement,
                         ::testing::Values(LateCase{"Silent", false, 3200, 1},
                                           LateCase{"Busy", true, 5000, 0}),
                         [](const ::testing::TestParamInfo<LateCase>& info) {
                             return info.param.name;
                         });

TEST_F(Faults, AWrongCrcStopsTheLoadWhenTheCheckIsOn) {
    BootLoaderScript script;
    script.wrongCrcAt = 3;
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    EXPECT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, MIB), 0);
    EXPECT_STREQ(link.m_ErrorText, "Error CRC failure");
    EXPECT_EQ(progress.events.back(), "pos 1") << "two blocks passed their check";
    Disconnect();
}

TEST_F(Faults, ALoadStartedAgainAfterAFailureIsFlashedWhole) {
    BootLoaderScript script;
    script.wrongCrcAt = 3;
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    ASSERT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, MIB), 0);
    EXPECT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, MIB), 1);
    link.LoadData(DATA_WORD_CLOSE);
    EXPECT_EQ(link.MessageHandler(), 1);
    Disconnect();
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Payload(image));
}

TEST_F(Faults, AFlashModeClosedOnAnUnfinishedLoadEndsInAFirmwareError) {
    BootLoaderScript script;
    script.wrongCrcAt = 3;
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EnterOsSession();
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    ASSERT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, MIB), 0);
    link.LoadData(DATA_WORD_CLOSE);
    EXPECT_EQ(link.MessageHandler(), 0);
    Disconnect();
    EXPECT_EQ(device->LastErrorCode(), kErrorLoadIncomplete);
    EXPECT_FALSE(device->HasFlashed(FlashPartition::OS));
}

TEST_F(Faults, TheCrcCheckPassesAgainstTheDevicesOwnCrc) {
    const std::vector<uint8_t> image = OsImage(1);
    Connect();
    EnterOsSession();
    int crcCheck = 1;
    link.m_pCrcCheck = &crcCheck;
    EXPECT_EQ(link.LoadRAM(image.data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS, 65536 * 2 + 5), 1);
    Disconnect();
}

TEST_F(Faults, AFirmwareErrorEndsTheUpdateWithItsCodeShown) {
    BootLoaderScript script;
    script.stream = {StreamItem::Of(StreamItem::ProgressRange, 10),
                     StreamItem::Of(StreamItem::ProgressPos, 4),
                     StreamItem::Of(StreamItem::FirmwareError, static_cast<uint32_t>(-5))};
    Connect(script);
    EXPECT_STREQ(DriveUpdate(link, OsImage(1)).failedAt, "MessageHandler");
    Disconnect();
    EXPECT_EQ(messages.shown, std::vector<std::string>{"Flash Firmware Error occurred:  code -5"});
    EXPECT_TRUE(device->LastUpdateFailed());
}

struct PullCase {
    const char* name;
    DeviceEvent event;
    uint32_t nth;
    bool withIpl;
    const char* failedAt;
    bool osFlashed;
};

class PulledCable : public Faults, public ::testing::WithParamInterface<PullCase> {};

TEST_P(PulledCable, EndsTheUpdateWhereItHappens) {
    const PullCase& c = GetParam();
    BootLoaderScript script;
    script.pullAt = {c.event, c.nth};
    SampleImageSpec iplSpec;
    iplSpec.payloadBytes = 5000;
    const std::vector<uint8_t> ipl = BuildSampleImage(iplSpec);
    Connect(script);
    EXPECT_STREQ(DriveUpdate(link, OsImage(1), c.withIpl ? &ipl : nullptr).failedAt, c.failedAt);
    EXPECT_EQ(Disconnect(), VirtualBootLoader::End::CablePulled);
    EXPECT_EQ(device->HasFlashed(FlashPartition::OS), c.osFlashed);
}

// Each moment is one at which nothing the host still expects is on its way to it, so the
// failing call does not depend on timing.
INSTANTIATE_TEST_SUITE_P(
    Moments, PulledCable,
    ::testing::Values(
        PullCase{"AtTheKey", DeviceEvent::Key, 1, false, "LoadKey", false},
        PullCase{"AtReadinessAfterTheIpl", DeviceEvent::Readiness, 2, true, "LoadFlashMode", false},
        PullCase{"AtTheVersion", DeviceEvent::OfferedVersion, 1, false, "LoadVersion", false},
        PullCase{"HalfWayThroughBlock5", DeviceEvent::Block, 5, false, "LoadRAM", false},
        PullCase{"AtTheClosingHandshake", DeviceEvent::AckQuery, 18, false, "LoadRAM", false},
        PullCase{"InTheMessageStream", DeviceEvent::Stream, 3, false, "MessageHandler", true}),
    [](const ::testing::TestParamInfo<PullCase>& info) { return info.param.name; });

TEST_F(Faults, APulledCableInTheStreamIsReportedAsALostHandset) {
    BootLoaderScript script;
    script.stream = {StreamItem::Of(StreamItem::ProgressRange, 10),
                     StreamItem::Of(StreamItem::PullCable)};
    Connect(script);
    EXPECT_STREQ(DriveUpdate(link, OsImage(1)).failedAt, "MessageHandler");
    Disconnect();
    EXPECT_EQ(messages.shown,
              std::vector<std::string>{
                  "Error, lost the connection to the handset while it was flashing."});
    EXPECT_TRUE(device->HasFlashed(FlashPartition::OS)) << "it had everything before the pull";
}

TEST_F(Faults, APullAfterAByteCountCutsABlockInTwo) {
    BootLoaderScript script;
    script.pullAfterHostBytes = 300000;
    Connect(script);
    EXPECT_STREQ(DriveUpdate(link, OsImage(1)).failedAt, "LoadRAM");
    Disconnect();
    EXPECT_EQ(device->BytesFromHost(), 300000u);
}

} // namespace
