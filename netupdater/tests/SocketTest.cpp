// The platform's own datagram socket, the one the updater sends with, over loopback.
#include <gtest/gtest.h>

#include <cstring>

#include "DatagramSocket.h"
#include "TransferPrinters.h"

#ifdef _WIN32
#include <winsock2.h>
using PeerHandle = SOCKET;
using socklen_t = int;
const PeerHandle kNoPeer = INVALID_SOCKET;
void ClosePeer(PeerHandle s) {
    ::closesocket(s);
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using PeerHandle = int;
const PeerHandle kNoPeer = -1;
void ClosePeer(PeerHandle s) {
    ::close(s);
}
#endif

namespace {

// A socket of the test's own on a free loopback port.
class Peer {
public:
    Peer() : m_socket(::socket(AF_INET, SOCK_DGRAM, 0)) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t size = sizeof a;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&a), &size);
        m_port = ntohs(a.sin_port);
    }
    ~Peer() { Close(); }
    void Close() {
        if (m_socket != kNoPeer)
            ClosePeer(m_socket);
        m_socket = kNoPeer;
    }
    Endpoint Where() const { return {0x7F000001, m_port}; }

    // Waits up to two seconds for a datagram and sends `reply` back to where it came from;
    // false when none came.
    bool Answer(const char* reply) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_socket, &readable);
        timeval limit{2, 0};
        if (::select(static_cast<int>(m_socket) + 1, &readable, nullptr, nullptr, &limit) != 1)
            return false;
        char bytes[64];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        if (::recvfrom(m_socket, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from),
                       &size) < 0)
            return false;
        ::sendto(m_socket, reply, static_cast<int>(std::strlen(reply)), 0,
                 reinterpret_cast<sockaddr*>(&from), size);
        return true;
    }

private:
    PeerHandle m_socket;
    uint16_t m_port = 0;
};

// A datagram sent to a closed port draws a "port unreachable" from the system. Winsock, left
// to itself, reports it as a failure of the next wait or receive on the socket, which the
// transfer would count as a socket error; the updater's socket must let it pass and go on
// receiving.
TEST(DatagramSocket, APortUnreachableFromAnEarlierDatagramIsNoFailure) {
    SocketLibrary& library = SocketLibrary::System();
    uint16_t version = 0;
    ASSERT_TRUE(library.Startup(version));
    {
        std::unique_ptr<DatagramSocket> socket = library.OpenSocket();
        ASSERT_TRUE(socket);
        Peer closed, answering;
        const Endpoint nowhere = closed.Where();
        closed.Close();

        const uint8_t data[4] = {0, 3, 0, 1};
        ASSERT_TRUE(socket->SendTo(nowhere, data, sizeof data));
        EXPECT_EQ(socket->WaitReadable(300), WaitResult::TimedOut)
            << "the unreachable port showed on the socket";

        ASSERT_TRUE(socket->SendTo(answering.Where(), data, sizeof data));
        ASSERT_TRUE(answering.Answer("ACK!")) << "the answering peer heard nothing";
        ASSERT_EQ(socket->WaitReadable(2000), WaitResult::Readable);
        uint8_t reply[16];
        Endpoint from;
        EXPECT_EQ(socket->ReceiveFrom(reply, sizeof reply, from), 4);
        EXPECT_EQ(from, answering.Where());
    }
    library.Cleanup();
}

} // namespace
