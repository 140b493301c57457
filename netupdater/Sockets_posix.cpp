#include "DatagramSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

DatagramSocket::~DatagramSocket() = default;
SocketLibrary::~SocketLibrary() = default;

namespace {

class BsdSocket : public DatagramSocket {
public:
    explicit BsdSocket(int fd) : m_fd(fd) {}
    ~BsdSocket() override { ::close(m_fd); }

    bool SendTo(const Endpoint& to, const uint8_t* data, size_t length) override {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(to.address);
        address.sin_port = htons(to.port);
        return ::sendto(m_fd, data, length, 0, reinterpret_cast<sockaddr*>(&address),
                        sizeof address) == static_cast<ssize_t>(length);
    }

    WaitResult WaitReadable(uint32_t milliseconds) override {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_fd, &readable);
        timeval limit{static_cast<time_t>(milliseconds / 1000),
                      static_cast<suseconds_t>((milliseconds % 1000) * 1000)};
        // Linux leaves the time not yet waited in `limit`, so a signal only resumes the wait.
        int n;
        while ((n = ::select(m_fd + 1, &readable, nullptr, nullptr, &limit)) < 0 && errno == EINTR)
            FD_SET(m_fd, &readable);
        if (n < 0)
            return WaitResult::Failed;
        return n == 0 ? WaitResult::TimedOut : WaitResult::Readable;
    }

    int ReceiveFrom(uint8_t* buffer, size_t capacity, Endpoint& from) override {
        sockaddr_in address{};
        socklen_t size = sizeof address;
        const ssize_t got =
            ::recvfrom(m_fd, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&address), &size);
        if (got < 0)
            return -1;
        from.address = ntohl(address.sin_addr.s_addr);
        from.port = ntohs(address.sin_port);
        return static_cast<int>(got);
    }

private:
    int m_fd;
};

// BSD sockets need no starting; they behave as the version the transfer asks for.
class BsdSockets : public SocketLibrary {
public:
    bool Startup(uint16_t& version) override {
        version = 0x0101;
        return true;
    }
    void Cleanup() override {}
    std::unique_ptr<DatagramSocket> OpenSocket() override {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (fd < 0)
            return nullptr;
        return std::make_unique<BsdSocket>(fd);
    }
};

} // namespace

SocketLibrary& SocketLibrary::System() {
    static BsdSockets library;
    return library;
}
