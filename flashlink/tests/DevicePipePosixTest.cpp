// The POSIX device pipe over a real pty: what a USB serial driver, a pty or a simulator may do
// to the byte stream, and how a device that goes away ends a transfer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "DevicePipe.h"
#include "USBInterface.h"
#include "WireWords.h"

namespace {

// The device's side of a fresh pty, and the path a host opens.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            path_ = ptsname(master_);
    }
    ~Pty() { Hangup(); }
    void Hangup() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    int Fd() const { return master_; }
    const std::string& Path() const { return path_; }

    void WriteInDribbles(const std::vector<uint8_t>& bytes, size_t piece) {
        for (size_t at = 0; at < bytes.size(); at += piece) {
            ASSERT_EQ(::write(master_, bytes.data() + at, std::min(piece, bytes.size() - at)),
                      static_cast<ssize_t>(std::min(piece, bytes.size() - at)));
            if (at % (piece * 64) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::vector<uint8_t> ReadExactly(size_t n) {
        std::vector<uint8_t> out(n);
        size_t done = 0;
        while (done < n) {
            ssize_t got = ::read(master_, out.data() + done, n - done);
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        out.resize(done);
        return out;
    }
    bool HasMore(int waitMs) {
        pollfd p = {master_, POLLIN, 0};
        return ::poll(&p, 1, waitMs) > 0 && (p.revents & POLLIN);
    }

private:
    int master_ = -1;
    std::string path_;
};

std::vector<uint8_t> AllByteValues(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return bytes;
}

TEST(DevicePipePosix, AShortReadIsContinuedUntilTheRequestIsFull) {
    Pty pty;
    DevicePipe pipe(pty.Path().c_str());
    ASSERT_NE(pipe.Open(), INVALID_DEVICE_HANDLE);
    const std::vector<uint8_t> block = AllByteValues(65536);
    std::thread device([&] { pty.WriteInDribbles(block, 100); });
    std::vector<uint8_t> got(block.size());
    EXPECT_TRUE(pipe.ReadAll(got.data(), static_cast<uint32_t>(got.size())));
    device.join();
    EXPECT_EQ(got, block);
}

TEST(DevicePipePosix, EveryByteValuePassesUnchangedAndNothingIsEchoed) {
    Pty pty;
    DevicePipe pipe(pty.Path().c_str());
    ASSERT_NE(pipe.Open(), INVALID_DEVICE_HANDLE);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<uint8_t>(i);

    ASSERT_EQ(::write(pty.Fd(), all.data(), all.size()), 256);
    std::vector<uint8_t> got(256);
    EXPECT_TRUE(pipe.ReadAll(got.data(), 256));
    EXPECT_EQ(got, all);

    EXPECT_TRUE(pipe.WriteAll(all.data(), 256));
    EXPECT_EQ(pty.ReadExactly(256), all);
    EXPECT_FALSE(pty.HasMore(100)) << "the line echoed or added bytes";
}

TEST(DevicePipePosix, ALargeWriteIsContinuedWhileTheDeviceReadsSlowly) {
    Pty pty;
    DevicePipe pipe(pty.Path().c_str());
    ASSERT_NE(pipe.Open(), INVALID_DEVICE_HANDLE);
    const std::vector<uint8_t> data = AllByteValues(1 << 20);
    std::vector<uint8_t> got;
    std::thread device([&] { got = pty.ReadExactly(data.size()); });
    EXPECT_TRUE(pipe.WriteAll(data.data(), static_cast<uint32_t>(data.size())));
    device.join();
    EXPECT_EQ(got, data);
}

TEST(DevicePipePosix, AHangUpEndsABlockedReadAndLaterWrites) {
    Pty pty;
    DevicePipe pipe(pty.Path().c_str());
    pipe.SetSilenceLimit(60000); // so that only the hang-up can end the read
    ASSERT_NE(pipe.Open(), INVALID_DEVICE_HANDLE);
    ASSERT_EQ(::write(pty.Fd(), "ab", 2), 2);
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Hangup();
    });
    uint8_t word[4];
    EXPECT_FALSE(pipe.ReadAll(word, 4));
    device.join();
    EXPECT_FALSE(pipe.WriteAll(word, 4));
}

TEST(DevicePipePosix, ASilentDeviceFailsTheReadAfterTheSilenceLimit) {
    Pty pty;
    DevicePipe pipe(pty.Path().c_str());
    pipe.SetSilenceLimit(200);
    ASSERT_NE(pipe.Open(), INVALID_DEVICE_HANDLE);
    ASSERT_EQ(::write(pty.Fd(), "abc", 3), 3);
    uint8_t word[4];
    EXPECT_FALSE(pipe.ReadAll(word, 4));
    EXPECT_TRUE(pipe.ReadAll(word, 0)) << "the pipe itself is still usable";
}

TEST(DevicePipePosix, TheLinkOpensTheNamedTtyAndReportsAMissingOne) {
    Pty pty;
    USBInterface usb;
    usb.SetDevicePath("/nonexistent/ttyKOV0");
    EXPECT_EQ(usb.OpenUsbSyncDriver(), wire::USB_OPEN_FAILED);
    EXPECT_EQ(usb.m_hDevice, INVALID_DEVICE_HANDLE);
    usb.SetDevicePath(pty.Path().c_str());
    ASSERT_EQ(usb.OpenUsbSyncDriver(), wire::USB_OPEN_OK);
    const uint8_t word[4] = {0x80, 0x55, 0x55, 0xFF};
    EXPECT_EQ(usb.Write_USB_Data(word, 4), wire::USB_WRITE_OK);
    EXPECT_EQ(pty.ReadExactly(4), std::vector<uint8_t>(word, word + 4));
    usb.CloseUSBSyncDriver();
}

} // namespace
