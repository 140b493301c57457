// The transfer against Debian's TFTP server on a loopback port: every file arrives byte for
// byte, whatever its length against the block size and the 16-bit block numbers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "DownloadTransfer.h"
#include "RecordingView.h"
#include "TftpServer.h"
#include "TransferPrinters.h"

namespace {

std::vector<uint8_t> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class RealServer : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RealServer, ReceivesTheFileByteForByte) {
    TftpServer server;
    ASSERT_TRUE(server.Ready()) << "in.tftpd did not start";
    TempDir here;
    std::vector<uint8_t> bytes(GetParam());
    uint32_t state = GetParam() * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    here.Write("upload.bin", bytes);

    UpdaterSettings settings;
    settings.target = {0x7F000001, server.Port()};
    RecordingView view;
    DiskFile file(here.File("upload.bin"));
    DownloadTransfer transfer(view, SocketLibrary::System(), TransferClock::System());
    EXPECT_EQ(transfer.Run(file, settings), TransferOutcome::Success);
    EXPECT_EQ(view.Only("status").back(), "status Download to Taget Success!");
    EXPECT_TRUE(Contents(server.File("doc.bin")) == bytes) << "doc.bin differs";
}

// 65,536 full blocks and a part: block 65,536 goes out numbered 0, block 65,537 as 1.
INSTANTIATE_TEST_SUITE_P(Sizes, RealServer,
                         ::testing::Values(0u, 100u, 511u, 512u, 1024u, 50688u, 5000000u,
                                           65536u * 512 + 100));

} // namespace
