#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "CVug_CommsDLL.h"
#include "FakePipe.h"
#include "WireWords.h"

namespace {

class LinkFace : public ::testing::Test {
protected:
    LinkFace() {
        link.SetPipe(&pipe);
        link.SetClock(&clock);
    }
    FakePipe pipe;
    SteppingClock clock;
    CVug_CommsDLL link;
};

TEST_F(LinkFace, ConstructionLeavesEverythingClosedAndClear) {
    EXPECT_EQ(link.m_hDevice, INVALID_DEVICE_HANDLE);
    EXPECT_EQ(link.m_pProgress, nullptr);
    EXPECT_EQ(link.m_pCrcCheck, nullptr);
    EXPECT_EQ(link.m_Cancel.load(), 0);
    EXPECT_EQ(link.m_Abort.load(), 0);
}

TEST_F(LinkFace, OpenSucceedsAtOnceWhenTheDeviceIsThere) {
    EXPECT_EQ(link.OpenUsbSyncDriver(), 1);
    EXPECT_EQ(pipe.openCalls, 1);
    EXPECT_NE(link.m_hDevice, INVALID_DEVICE_HANDLE);
}

TEST_F(LinkFace, OpenGivesUpOnceMoreThanSixtySecondsHavePassed) {
    pipe.present = false;
    const uint32_t start = clock.now;
    EXPECT_EQ(link.OpenUsbSyncDriver(), 0);
    // The clock is read once at the start and once after every failed attempt; the attempt
    // whose reading shows 61 seconds is the last.
    EXPECT_EQ(clock.now - 1 - start, 61u);
    EXPECT_EQ(pipe.openCalls, 61);
    EXPECT_EQ(link.m_hDevice, INVALID_DEVICE_HANDLE);
}

TEST_F(LinkFace, OpenStopsAfterTheFirstFailedAttemptWhenCancelled) {
    pipe.present = false;
    link.m_Cancel.store(1);
    EXPECT_EQ(link.OpenUsbSyncDriver(), 0);
    EXPECT_EQ(pipe.openCalls, 1);
    EXPECT_EQ(link.m_Cancel.load(), 0);
}

TEST_F(LinkFace, OpenFindsADeviceThatComesLate) {
    struct LatePipe : FakePipe {
        DeviceHandle Open() override {
            present = openCalls >= 4;
            return FakePipe::Open();
        }
    } late;
    link.SetPipe(&late);
    EXPECT_EQ(link.OpenUsbSyncDriver(), 1);
    EXPECT_EQ(late.openCalls, 5);
}

TEST_F(LinkFace, DeviceLayerOpenReportsItsExactCodes) {
    USBInterface usb;
    usb.SetPipe(&pipe);
    pipe.present = false;
    EXPECT_EQ(usb.OpenUsbSyncDriver(), wire::USB_OPEN_FAILED);
    EXPECT_EQ(usb.m_hDevice, INVALID_DEVICE_HANDLE);
    usb.CloseUSBSyncDriver();
    EXPECT_EQ(pipe.closeCalls, 0) << "closing after a failed open touches nothing";
    pipe.present = true;
    EXPECT_EQ(usb.OpenUsbSyncDriver(), wire::USB_OPEN_OK);
    usb.CloseUSBSyncDriver();
    EXPECT_EQ(pipe.closeCalls, 1);
}

struct PieceCase {
    uint32_t length;
    std::vector<uint32_t> pieces;
};

void PrintTo(const PieceCase& c, std::ostream* os) {
    *os << c.length << " bytes";
}

class DevicePieces : public ::testing::TestWithParam<PieceCase> {};

TEST_P(DevicePieces, WritesAndReadsGoOutInPiecesOfAtMost12288Bytes) {
    const PieceCase& c = GetParam();
    FakePipe pipe;
    USBInterface usb;
    usb.SetPipe(&pipe);
    std::vector<uint8_t> data(c.length);
    std::iota(data.begin(), data.end(), 0);

    ASSERT_EQ(usb.Write_USB_Data(data.data(), c.length), wire::USB_WRITE_OK);
    EXPECT_EQ(pipe.writeSizes, c.pieces);
    EXPECT_EQ(pipe.written, data);

    pipe.toRead.assign(data.begin(), data.end());
    std::vector<uint8_t> back(c.length);
    ASSERT_EQ(usb.Read_USB_Data(back.data(), c.length), wire::USB_READ_OK);
    EXPECT_EQ(pipe.readSizes, c.pieces);
    EXPECT_EQ(back, data);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, DevicePieces,
    ::testing::Values(PieceCase{0, {0}}, PieceCase{4, {4}}, PieceCase{12288, {12288}},
                      PieceCase{12289, {12288, 1}}, PieceCase{24576, {12288, 12288}},
                      PieceCase{65536, {12288, 12288, 12288, 12288, 12288, 4096}}),
    [](const ::testing::TestParamInfo<PieceCase>& piece) {
        return "bytes_" + std::to_string(piece.param.length);
    });

TEST(DeviceFailures, TheFirstFailingPieceEndsTheTransfer) {
    FakePipe pipe;
    USBInterface usb;
    usb.SetPipe(&pipe);
    pipe.failWriteAt = 1;
    std::vector<uint8_t> data(30000);
    EXPECT_EQ(usb.Write_USB_Data(data.data(), 30000), wire::USB_IO_FAILED);
    EXPECT_EQ(pipe.writeSizes.size(), 2u);

    std::vector<uint8_t> back(8);
    pipe.toRead.assign(4, 0);
    EXPECT_EQ(usb.Read_USB_Data(back.data(), 8), wire::USB_IO_FAILED)
        << "a short read is a failure";
}

} // namespace
