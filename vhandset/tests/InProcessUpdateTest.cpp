// Whole updates of the virtual boot loader through the real link over an in-memory wire.
#include "DeviceFixture.h"
#include "Transcript.h"

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& image, size_t from, size_t length) {
    return std::vector<uint8_t>(image.begin() + from, image.begin() + from + length);
}

class InProcessUpdate : public DeviceTest {};

TEST_F(InProcessUpdate, OsImageIsFlashedByteForByte) {
    const std::vector<uint8_t> image = OsImage(2);
    Connect();
    const UpdateOutcome outcome = DriveUpdate(link, image);
    EXPECT_EQ(Disconnect(), VirtualBootLoader::End::HostHungUp);

    EXPECT_EQ(outcome.failedAt, nullptr) << outcome.failedAt;
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Payload(image));
    EXPECT_FALSE(device->HasFlashed(FlashPartition::CP));
    EXPECT_EQ(device->FlashModes(), std::vector<uint32_t>{FLASH_MODE_OS});
    EXPECT_EQ(device->DataWords(), std::vector<uint32_t>{DATA_WORD_CLOSE});
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 96), device->Key());
    EXPECT_TRUE(device->Problems().empty());
}

TEST_F(InProcessUpdate, IplThenOsAndCpAreSplitByThePackedSizes) {
    SampleImageSpec spec;
    spec.updateMode = UPDATE_MODE_OSCP;
    spec.osSizeMiB = 2;
    spec.cpSizeMiB = 1;
    spec.osVersion[0] = 3;
    const std::vector<uint8_t> image = BuildSampleImage(spec);
    SampleImageSpec iplSpec = spec;
    iplSpec.payloadBytes = 70000;
    iplSpec.seed = 9;
    const std::vector<uint8_t> ipl = BuildSampleImage(iplSpec);

    Connect();
    const UpdateOutcome outcome = DriveUpdate(link, image, &ipl);
    Disconnect();

    EXPECT_EQ(outcome.failedAt, nullptr) << outcome.failedAt;
    EXPECT_EQ(device->Flashed(FlashPartition::IPL), Slice(ipl, IMAGE_HEADER_SIZE, 70000));
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Slice(image, IMAGE_HEADER_SIZE, 2 * MIB));
    EXPECT_EQ(device->Flashed(FlashPartition::CP), Slice(image, IMAGE_HEADER_SIZE + 2 * MIB, MIB));
    EXPECT_EQ(device->FlashModes(),
              (std::vector<uint32_t>{FLASH_MODE_BEFORE_IPL, FLASH_MODE_OSCP}));
    EXPECT_EQ(device->DataWords(), (std::vector<uint32_t>{DATA_WORD_CLOSE, DATA_WORD_SIZES_FOLLOW,
                                                          0x00020001, DATA_WORD_CLOSE}));
    EXPECT_EQ(device->Held(FlashPartition::OS)[0], 3) << "the handset now holds the new version";
    EXPECT_EQ(device->UpdatesEnded(), 1u);
    EXPECT_FALSE(device->LastUpdateFailed());
    EXPECT_TRUE(device->Problems().empty());
}

TEST_F(InProcessUpdate, TheWholeExchangeOfASmallCpUpdateWordForWord) {
    SampleImageSpec spec;
    spec.updateMode = UPDATE_MODE_CP;
    spec.payloadBytes = 65536 + 100; // a CP update sends the file's length, whatever its header
    const std::vector<uint8_t> image = BuildSampleImage(spec);
    device.reset(new VirtualBootLoader());
    device->Start(wire.DeviceEnd());
    RecordingPipe recorder(wire.HostEnd());
    link.SetPipe(&recorder);
    link.SetMessageSink(&messages);
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    EXPECT_EQ(DriveUpdate(link, image).failedAt, nullptr);
    link.CloseUSBSyncDriver();
    device->Wait();

    auto w = [](uint32_t word) { return RecordingPipe::Hex(word); };
    const std::vector<std::string> expected = {
        // key, answered by acceptance and then readiness
        "> CMD_KEY_LENGTH", "> " + w(96), "> CMD_KEY_DATA", "> 96 bytes", "< REPLY_KEY_OK",
        // flash mode and version
        "< MSG_READY", "> MSG_FLASH_MODE", "> " + w(FLASH_MODE_CP), "> CMD_VERSION_LENGTH",
        "> " + w(6), "> CMD_VERSION_DATA", "> 6 bytes", "< REPLY_VERSION_OK",
        // the RAM load: one full block, one partial block, the closing handshake
        "> WORD_ACK", "< WORD_ACK", "> CMD_TOTAL_LENGTH", "> " + w(65636), "> CMD_BLOCK_SIZE",
        "> " + w(65536), "> CMD_ADDRESS", "> " + w(RAM_LOAD_ADDRESS), "> WORD_ACK", "< WORD_ACK",
        "> CMD_BLOCK_DATA", "> 65536 bytes", "> CMD_ADDRESS", "> " + w(RAM_LOAD_ADDRESS + 65536),
        "> CMD_BLOCK_SIZE", "> " + w(100), "> WORD_ACK", "< WORD_ACK", "> CMD_BLOCK_DATA",
        "> 100 bytes", "> WORD_ACK", "< WORD_ACK",
        // the closing word and the device's report of its flashing
        "> " + w(DATA_WORD_CLOSE), "< MSG_TEXT_LENGTH", "< " + w(13), "< MSG_TEXT", "< 13 bytes",
        "< MSG_PROGRESS_RANGE", "< " + w(100), "< MSG_PROGRESS_POS", "< " + w(25),
        "< MSG_PROGRESS_POS", "< " + w(50), "< MSG_PROGRESS_POS", "< " + w(75),
        "< MSG_PROGRESS_POS", "< " + w(100), "< WORD_ACK"};
    EXPECT_EQ(recorder.Lines(), expected);
    EXPECT_EQ(device->Flashed(FlashPartition::CP), Payload(image));
}

TEST_F(InProcessUpdate, ReadinessAsAckAndAWordIsConsumedWhole) {
    BootLoaderScript script;
    script.readiness = Readiness::AckAndWord;
    script.readinessWord = WORD_ACK; // even a second WORD_ACK is only the word after it
    const std::vector<uint8_t> image = OsImage(1);
    Connect(script);
    EXPECT_EQ(DriveUpdate(link, image).failedAt, nullptr);
    Disconnect();
    EXPECT_EQ(device->Flashed(FlashPartition::OS), Payload(image));
}

struct KeyCase {
    const char* name;
    KeyReply reply;
    bool heldNewer;
    int key;
    const char* failedAt;
    bool flashed;
};

class KeysAndVersions : public DeviceTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeysAndVersions, DecideWhatIsFlashed) {
    const KeyCase& c = GetParam();
    BootLoaderScript script;
    script.keyReply = c.reply;
    if (c.heldNewer)
        script.held[static_cast<int>(FlashPartition::OS)] = {2, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> image = OsImage(1); // OS version 1.0.0.0.0.0
    Connect(script);
    const UpdateOutcome outcome = DriveUpdate(link, image);
    Disconnect();
    EXPECT_EQ(outcome.key, c.key);
    EXPECT_STREQ(outcome.failedAt, c.failedAt);
    EXPECT_EQ(device->HasFlashed(FlashPartition::OS), c.flashed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeysAndVersions,
    ::testing::Values(KeyCase{"Accepted", KeyReply::Accept, false, 1, nullptr, true},
                      KeyCase{"Refused", KeyReply::Refuse, false, 0, "LoadKey", false},
                      KeyCase{"OlderImageRefused", KeyReply::Accept, true, 1, "LoadVersion", false},
                      KeyCase{"SecondWordWaivesTheRefusal", KeyReply::AcceptAlt, true, 2, nullptr,
                              true}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(InProcessUpdate, AnEqualVersionIsAcceptedAndAFlashedOneIsHeld) {
    BootLoaderScript script;
    script.held[static_cast<int>(FlashPartition::OS)] = {1, 0, 0, 0, 0, 0};
    Connect(script);
    EXPECT_EQ(DriveUpdate(link, OsImage(1)).failedAt, nullptr);
    const uint8_t older[6] = {0, 9, 9, 9, 9, 9};
    const uint8_t key[96] = {};
    ASSERT_EQ(link.LoadKey(key, 96), 1);
    ASSERT_EQ(link.LoadFlashMode(FLASH_MODE_OS), 1);
    EXPECT_EQ(link.LoadVersion(older, 6), 0);
    Disconnect();
}

} // namespace
