#include "DatagramSocket.h"

#include <winsock2.h>

#include <mswsock.h>

DatagramSocket::~DatagramSocket() = default;
SocketLibrary::~SocketLibrary() = default;

namespace {

class WinsockSocket : public DatagramSocket {
public:
    explicit WinsockSocket(SOCKET s) : m_socket(s) {}
    ~WinsockSocket() override { ::closesocket(m_socket); }

    bool SendTo(const Endpoint& to, const uint8_t* data, size_t length) override {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(to.address);
        address.sin_port = ::htons(to.port);
        return ::sendto(m_socket, reinterpret_cast<const char*>(data), static_cast<int>(length), 0,
                        reinterpret_cast<sockaddr*>(&address),
                        sizeof address) == static_cast<int>(length);
    }

    WaitResult WaitReadable(uint32_t milliseconds) override {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_socket, &readable);
        timeval limit{static_cast<long>(milliseconds / 1000),
                      static_cast<long>((milliseconds % 1000) * 1000)};
        const int n = ::select(0, &readable, nullptr, nullptr, &limit);
        if (n == SOCKET_ERROR)
            return WaitResult::Failed;
        return n == 0 ? WaitResult::TimedOut : WaitResult::Readable;
    }

    int ReceiveFrom(uint8_t* buffer, size_t capacity, Endpoint& from) override {
        sockaddr_in address{};
        int size = sizeof address;
        int got = ::recvfrom(m_socket, reinterpret_cast<char*>(buffer), static_cast<int>(capacity),
                             0, reinterpret_cast<sockaddr*>(&address), &size);
        // Winsock reports a datagram longer than the buffer as an error, where BSD sockets
        // quietly cut it: both come out here as a datagram of the buffer's length.
        if (got == SOCKET_ERROR && ::WSAGetLastError() == WSAEMSGSIZE)
            got = static_cast<int>(capacity);
        if (got == SOCKET_ERROR)
            return -1;
        from.address = ::ntohl(address.sin_addr.s_addr);
        from.port = ::ntohs(address.sin_port);
        return got;
    }

private:
    SOCKET m_socket;
};

class Winsock : public SocketLibrary {
public:
    bool Startup(uint16_t& version) override {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(1, 1), &data) != 0)
            return false;
        version = data.wVersion;
        return true;
    }
    void Cleanup() override { ::WSACleanup(); }
    std::unique_ptr<DatagramSocket> OpenSocket() override {
        const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (s == INVALID_SOCKET)
            return nullptr;
        // Left on, Windows turns the "port unreachable" that an earlier datagram drew (sent to
        // a port the target had already closed, or before it listened) into a failure of the
        // next receive, though the socket is sound: the transfer would count it as a socket
        // error. Where the call is unknown there is nothing to switch off.
        BOOL reportUnreachable = FALSE;
        DWORD returned = 0;
        ::WSAIoctl(s, SIO_UDP_CONNRESET, &reportUnreachable, sizeof reportUnreachable, nullptr, 0,
                   &returned, nullptr, nullptr);
        return std::make_unique<WinsockSocket>(s);
    }
};

} // namespace

SocketLibrary& SocketLibrary::System() {
    static Winsock library;
    return library;
}
