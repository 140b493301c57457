#pragma once

// A TFTP server on a loopback port for the faults of a real network that Debian's server will
// not play: every acknowledgement sent twice, one data block arriving late, an error datagram
// in the middle of a write, a stranger on another address answering first. Otherwise it
// behaves as a plain RFC 1350 server: it acknowledges each new block, acknowledges a repeated
// block again, and takes a block shorter than 512 bytes as the last. Whatever it is sent it
// stores as doc.bin in its folder, and it counts the data datagrams that reach it. POSIX
// only; one write at a time (a new write request replaces the write under way).
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct FaultPlan {
    bool duplicateAcks = false;
    // The block (counted from 1) answered with an error datagram instead of its
    // acknowledgement; 0 for none. After it, the write is over and nothing is answered.
    uint32_t errorAtBlock = 0;
    uint16_t errorCode = 0;
    std::string errorText;
    // The first copy of this block (0 for none) is held up on the way until the client,
    // whose wait for it ran out, sends it again; the late copy then arrives just ahead of
    // the new one, and each draws an acknowledgement.
    uint32_t delayBlock = 0;
    // Before each acknowledgement, a stranger on 127.0.0.2 sends the client the same one.
    bool stranger = false;
};

// What reached the server, over every write it served.
struct FaultTally {
    uint32_t writes = 0;     // write requests
    uint32_t data = 0;       // data datagrams from the writing client, repeats included
    uint32_t blocks = 0;     // blocks stored in the last write
    uint32_t afterError = 0; // data datagrams that came after the error datagram
    uint32_t strays = 0;     // datagrams the stranger sent
    bool complete = false;   // the last write's final block arrived
};

class FaultServer {
public:
    // Binds a free port on 127.0.0.1; `folder` receives doc.bin. `log`, when given, gets one
    // line per write request, error datagram and completed write.
    FaultServer(FaultPlan plan, std::string folder, std::FILE* log = nullptr);
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    // False when a socket could not be made or bound.
    bool Ready() const { return m_ready; }
    uint16_t Port() const { return m_port; }

    // Serves until `stop` is set, looking at it at least every 50 ms, and then takes in what
    // has already arrived.
    void Serve(const std::atomic<bool>& stop);

    // Read once Serve has returned.
    const FaultTally& Tally() const { return m_tally; }

private:
    struct Write;

    void Request(const uint8_t* datagram, size_t length, const struct sockaddr_in& client);
    void Data(const uint8_t* datagram, size_t length);
    void Acknowledge(uint16_t block);
    void EndWrite();

    FaultPlan m_plan;
    std::string m_folder;
    std::FILE* m_log;
    int m_listening = -1;
    int m_stranger = -1;
    uint16_t m_port = 0;
    bool m_ready = false;
    std::unique_ptr<Write> m_write;
    FaultTally m_tally;
};
