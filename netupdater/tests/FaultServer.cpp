#include "FaultServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int BoundSocket(uint32_t address) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

uint16_t PortOf(int fd) {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    return ntohs(a.sin_port);
}

// The zero-terminated text at `from`, or up to the end of the datagram.
std::string TextAt(const uint8_t* datagram, size_t length, size_t from) {
    std::string text;
    while (from < length && datagram[from])
        text += static_cast<char>(datagram[from++]);
    return text;
}

} // namespace

// The write under way: the client's port, the port the server answers it from, and where
// the blocks go.
struct FaultServer::Write {
    sockaddr_in client{};
    int socket = -1;
    std::FILE* file = nullptr;
    uint32_t next = 1; // the block expected, counted from 1
    bool refused = false;
    bool delayDone = false;
    std::vector<uint8_t> delayed;
};

FaultServer::FaultServer(FaultPlan plan, std::string folder, std::FILE* log)
    : m_plan(std::move(plan)), m_folder(std::move(folder)), m_log(log) {
    m_listening = BoundSocket(INADDR_LOOPBACK);
    if (m_plan.stranger)
        m_stranger = BoundSocket(0x7F000002);
    m_ready = m_listening >= 0 && (!m_plan.stranger || m_stranger >= 0);
    if (m_listening >= 0)
        m_port = PortOf(m_listening);
}

FaultServer::~FaultServer() {
    EndWrite();
    if (m_listening >= 0)
        ::close(m_listening);
    if (m_stranger >= 0)
        ::close(m_stranger);
}

void FaultServer::Serve(const std::atomic<bool>& stop) {
    uint8_t datagram[2048];
    for (;;) {
        // Once stopped, what is already queued is still taken in: a client that has just
        // returned has sent all it will send.
        const bool stopping = stop;
        pollfd fds[2] = {{m_listening, POLLIN, 0}, {m_write ? m_write->socket : -1, POLLIN, 0}};
        if (::poll(fds, 2, stopping ? 0 : 50) <= 0) {
            if (stopping)
                break;
            continue;
        }
        sockaddr_in from{};
        socklen_t size = sizeof from;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::recvfrom(m_listening, datagram, sizeof datagram, 0,
                                         reinterpret_cast<sockaddr*>(&from), &size);
            if (n >= 2)
                Request(datagram, static_cast<size_t>(n), from);
        } else if (m_write && (fds[1].revents & POLLIN)) {
            const ssize_t n = ::recvfrom(m_write->socket, datagram, sizeof datagram, 0,
                                         reinterpret_cast<sockaddr*>(&from), &size);
            // Only the writing client's own port is heard on the write's port.
            if (n >= 4 && from.sin_addr.s_addr == m_write->client.sin_addr.s_addr &&
                from.sin_port == m_write->client.sin_port)
                Data(datagram, static_cast<size_t>(n));
        }
    }
    EndWrite();
}

void FaultServer::Request(const uint8_t* datagram, size_t length, const sockaddr_in& client) {
    if (datagram[0] != 0 || datagram[1] != 2)
        return;
    EndWrite();
    m_write = std::make_unique<Write>();
    m_write->client = client;
    m_write->socket = BoundSocket(INADDR_LOOPBACK);
    m_write->file = std::fopen((m_folder + "/doc.bin").c_str(), "wb");
    ++m_tally.writes;
    m_tally.blocks = 0;
    m_tally.complete = false;
    const std::string name = TextAt(datagram, length, 2);
    if (m_log)
        std::fprintf(m_log, "write request for %s in %s mode from port %u\n", name.c_str(),
                     TextAt(datagram, length, 3 + name.size()).c_str(), ntohs(client.sin_port));
    Acknowledge(0);
}

void FaultServer::Data(const uint8_t* datagram, size_t length) {
    Write& w = *m_write;
    if (datagram[0] != 0 || datagram[1] != 3)
        return;
    ++m_tally.data;
    if (w.refused) {
        ++m_tally.afterError;
        return;
    }
    const uint16_t block = static_cast<uint16_t>(datagram[2] << 8 | datagram[3]);
    if (block == static_cast<uint16_t>(w.next) && w.next == m_plan.delayBlock && !w.delayDone) {
        w.delayDone = true;
        w.delayed.assign(datagram, datagram + length);
        return;
    }
    if (!w.delayed.empty()) {
        const std::vector<uint8_t> late = std::move(w.delayed);
        w.delayed.clear();
        --m_tally.data; // counted when it came
        Data(late.data(), late.size());
    }
    if (block == static_cast<uint16_t>(w.next - 1)) {
        // A block repeated, because its acknowledgement was lost or late: acknowledged again.
        Acknowledge(block);
        return;
    }
    if (block != static_cast<uint16_t>(w.next) || m_tally.complete)
        return;
    if (w.next == m_plan.errorAtBlock) {
        std::vector<uint8_t> error{0, 5, static_cast<uint8_t>(m_plan.errorCode >> 8),
                                   static_cast<uint8_t>(m_plan.errorCode & 0xFF)};
        error.insert(error.end(), m_plan.errorText.begin(), m_plan.errorText.end());
        error.push_back(0);
        ::sendto(w.socket, error.data(), error.size(), 0,
                 reinterpret_cast<const sockaddr*>(&w.client), sizeof w.client);
        w.refused = true;
        if (m_log)
            std::fprintf(m_log, "error %u sent for block %u\n", m_plan.errorCode, w.next);
        return;
    }
    if (w.file)
        std::fwrite(datagram + 4, 1, length - 4, w.file);
    ++m_tally.blocks;
    ++w.next;
    if (length - 4 < 512) {
        m_tally.complete = true;
        if (w.file)
            std::fflush(w.file);
        if (m_log)
            std::fprintf(m_log, "write complete: %u blocks\n", m_tally.blocks);
    }
    Acknowledge(block);
}

void FaultServer::Acknowledge(uint16_t block) {
    const Write& w = *m_write;
    const uint8_t ack[4] = {0, 4, static_cast<uint8_t>(block >> 8),
                            static_cast<uint8_t>(block & 0xFF)};
    const auto to = reinterpret_cast<const sockaddr*>(&w.client);
    if (m_plan.stranger) {
        ::sendto(m_stranger, ack, sizeof ack, 0, to, sizeof w.client);
        ++m_tally.strays;
    }
    for (int copy = m_plan.duplicateAcks ? 2 : 1; copy > 0; --copy)
        ::sendto(w.socket, ack, sizeof ack, 0, to, sizeof w.client);
}

void FaultServer::EndWrite() {
    if (!m_write)
        return;
    if (m_write->file)
        std::fclose(m_write->file);
    if (m_write->socket >= 0)
        ::close(m_write->socket);
    m_write.reset();
}
