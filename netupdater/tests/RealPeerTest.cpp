// The transfer over real loopback sockets against a peer of ours, for what Debian's server
// will not do: answer from a port other than the transfer's, or refuse with an error.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "DownloadTransfer.h"
#include "FakeTarget.h"
#include "RecordingView.h"
#include "TransferPrinters.h"

namespace {

// One UDP socket on a free loopback port.
class PeerSocket {
public:
    PeerSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t size = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
    }
    ~PeerSocket() { ::close(m_fd); }

    // The next datagram within `ms` milliseconds, empty when none came.
    std::vector<uint8_t> Receive(int ms = 5000) {
        pollfd p{m_fd, POLLIN, 0};
        std::vector<uint8_t> bytes(600);
        if (::poll(&p, 1, ms) != 1)
            return {};
        socklen_t size = sizeof m_client;
        const ssize_t n = ::recvfrom(m_fd, bytes.data(), bytes.size(), 0,
                                     reinterpret_cast<sockaddr*>(&m_client), &size);
        bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return bytes;
    }
    // Sends to the client from which `heard` last received.
    void SendTo(const PeerSocket& heard, const std::vector<uint8_t>& bytes) {
        ::sendto(m_fd, bytes.data(), bytes.size(), 0,
                 reinterpret_cast<const sockaddr*>(&heard.m_client), sizeof heard.m_client);
    }
    uint16_t Port() const { return m_port; }

private:
    int m_fd;
    uint16_t m_port = 0;
    sockaddr_in m_client{};
};

// Real time, but without the second's pause after the write request.
class NoPauseClock : public TransferClock {
public:
    int64_t NowSeconds() override { return TransferClock::System().NowSeconds(); }
    uint64_t NowMilliseconds() override { return TransferClock::System().NowMilliseconds(); }
    void Pause(uint32_t) override {}
};

TransferOutcome Send(uint16_t port, uint64_t size, RecordingView& view) {
    UpdaterSettings settings;
    settings.retryLimit = 1;
    settings.target = {0x7F000001, port};
    PatternFile file(size);
    NoPauseClock clock;
    DownloadTransfer transfer(view, SocketLibrary::System(), clock);
    return transfer.Run(file, settings);
}

TEST(RealPeer, DropsAStrayReplyAndSendsOnlyToTheTransferPort) {
    PeerSocket listening, transfer, stray;
    std::vector<std::vector<uint8_t>> atTransfer;
    std::thread peer([&] {
        listening.Receive();
        transfer.SendTo(listening, {0, 4, 0, 0});
        atTransfer.push_back(transfer.Receive());
        stray.SendTo(listening, {0, 4, 0, 1});
        transfer.SendTo(listening, {0, 4, 0, 1});
        atTransfer.push_back(transfer.Receive());
        transfer.SendTo(listening, {0, 4, 0, 2});
    });
    RecordingView view;
    const TransferOutcome outcome = Send(listening.Port(), 600, view);
    peer.join();
    EXPECT_EQ(outcome, TransferOutcome::Success);
    ASSERT_EQ(atTransfer.size(), 2u);
    EXPECT_EQ(atTransfer[0].size(), 516u);
    ASSERT_EQ(atTransfer[1].size(), 4u + 88);
    EXPECT_EQ(std::vector<uint8_t>(atTransfer[1].begin(), atTransfer[1].begin() + 5),
              (std::vector<uint8_t>{0, 3, 0, 2, PatternFile::ByteAt(512)}));
    EXPECT_TRUE(listening.Receive(200).empty()) << "data went to the listening port";
    EXPECT_TRUE(stray.Receive(200).empty()) << "data went to the stray port";
    EXPECT_TRUE(transfer.Receive(200).empty()) << "block 1 went again for the stray";
}

TEST(RealPeer, EndsWithTheTargetsWordsWhenTheWriteIsRefused) {
    PeerSocket listening, transfer;
    std::thread peer([&] {
        listening.Receive();
        transfer.SendTo(listening, {0, 5, 0, 2, 'A', 'c', 'c', 'e', 's', 's', 0});
    });
    RecordingView view;
    const TransferOutcome outcome = Send(listening.Port(), 5000, view);
    peer.join();
    EXPECT_EQ(outcome, TransferOutcome::TargetError);
    EXPECT_EQ(view.Only("status").back(),
              "status Refused by target (error 2: \"Access\")!  Download to Target failure!");
    EXPECT_TRUE(transfer.Receive(200).empty()) << "data went out after the refusal";
}

} // namespace
