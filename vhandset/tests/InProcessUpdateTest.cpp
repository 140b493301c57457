#include <gtest/gtest.h>

#include "CVug_CommsDLL.h"
#include "MemoryWire.h"
#include "SampleKit.h"
#include "UpdateDriver.h"
#include "VirtualBootLoader.h"

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& image, size_t from, size_t length) {
    return std::vector<uint8_t>(image.begin() + from, image.begin() + from + length);
}

TEST(InProcessUpdate, OsImageIsFlashedByteForByte) {
    SampleImageSpec spec;
    spec.updateMode = UPDATE_MODE_OS;
    spec.osSizeMiB = 2;
    const std::vector<uint8_t> image = BuildSampleImage(spec);

    MemoryWire wire;
    VirtualBootLoader device;
    device.Start(wire.DeviceEnd());
    CVug_CommsDLL link;
    link.SetPipe(&wire.HostEnd());
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    const UpdateOutcome outcome = DriveUpdate(link, image);
    link.CloseUSBSyncDriver();
    EXPECT_EQ(device.Wait(), VirtualBootLoader::End::HostHungUp);

    EXPECT_EQ(outcome.failedAt, nullptr) << outcome.failedAt;
    EXPECT_EQ(device.Flashed(FlashPartition::OS), Slice(image, IMAGE_HEADER_SIZE, 2 * MIB));
    EXPECT_FALSE(device.HasFlashed(FlashPartition::CP));
    EXPECT_EQ(device.FlashModes(), std::vector<uint32_t>{FLASH_MODE_OS});
    EXPECT_EQ(device.DataWords(), std::vector<uint32_t>{DATA_WORD_CLOSE});
    EXPECT_TRUE(device.Problems().empty());
}

} // namespace

namespace {

TEST(InProcessUpdate, IplThenOsAndCpAreSplitByThePackedSizes) {
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

    MemoryWire wire;
    VirtualBootLoader device;
    device.Start(wire.DeviceEnd());
    CVug_CommsDLL link;
    link.SetPipe(&wire.HostEnd());
    ASSERT_EQ(link.OpenUsbSyncDriver(), 1);
    const UpdateOutcome outcome = DriveUpdate(link, image, &ipl);
    link.CloseUSBSyncDriver();
    device.Wait();

    EXPECT_EQ(outcome.failedAt, nullptr) << outcome.failedAt;
    EXPECT_EQ(device.Flashed(FlashPartition::IPL), Slice(ipl, IMAGE_HEADER_SIZE, 70000));
    EXPECT_EQ(device.Flashed(FlashPartition::OS), Slice(image, IMAGE_HEADER_SIZE, 2 * MIB));
    EXPECT_EQ(device.Flashed(FlashPartition::CP), Slice(image, IMAGE_HEADER_SIZE + 2 * MIB, MIB));
    EXPECT_EQ(device.FlashModes(), (std::vector<uint32_t>{FLASH_MODE_BEFORE_IPL, FLASH_MODE_OSCP}));
    EXPECT_EQ(device.DataWords(), (std::vector<uint32_t>{DATA_WORD_CLOSE, DATA_WORD_SIZES_FOLLOW,
                                                         0x00020001, DATA_WORD_CLOSE}));
    EXPECT_EQ(device.Held(FlashPartition::OS)[0], 3) << "the handset now holds the new version";
    EXPECT_EQ(device.UpdatesEnded(), 1u);
    EXPECT_FALSE(device.LastUpdateFailed());
    EXPECT_TRUE(device.Problems().empty());
}

} // namespace
