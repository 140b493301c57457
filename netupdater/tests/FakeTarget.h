#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DatagramSocket.h"
#include "DownloadFile.h"
#include "TransferClock.h"

// A scripted TFTP target for what a real server will not do. By default it answers every
// datagram as a good server would (the write request with acknowledgement 0, each data
// block with its acknowledgement, all from kPeerPort of the address the client sent to);
// `script` replaces the answer to the k-th datagram the client sends (0 is the write
// request) with a list of events: a datagram, a silent wait, or a failing socket. A silent
// or failing event ends one wait of the client; a datagram arrives `delayMs` after the one
// before it (or after the client began to wait), so it may come in a later wait, or let a
// wait time out first.
//
// It is the clock as well: a wait that times out moves time on by the wait, a pause by the
// pause, a datagram by its delay. Everything shows in `wire`, one line per step, for
// transcripts.
struct Event {
    enum Kind { Datagram, Silence, WaitFails, ReceiveFails } kind;
    std::vector<uint8_t> bytes;
    uint16_t port;
    // 0: the address the client last sent to, the target's own.
    uint32_t address = 0;
    uint32_t delayMs = 0;
};

constexpr uint16_t kPeerPort = 50000;
// Another host than the target: Linux and Wine route all of 127/8 to the loopback device.
constexpr uint32_t kStrangerAddress = 0x7F000002;

inline Event Ack(uint32_t block, uint16_t port = kPeerPort) {
    return {Event::Datagram,
            {0, 4, static_cast<uint8_t>((block >> 8) & 0xFF), static_cast<uint8_t>(block & 0xFF)},
            port};
}
inline Event Raw(std::vector<uint8_t> bytes, uint16_t port = kPeerPort) {
    return {Event::Datagram, std::move(bytes), port};
}
// An error datagram with `code` and `text`, zero-terminated.
inline Event Error(uint16_t code, const std::string& text, uint16_t port = kPeerPort) {
    std::vector<uint8_t> bytes{0, 5, static_cast<uint8_t>(code >> 8),
                               static_cast<uint8_t>(code & 0xFF)};
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    return Raw(std::move(bytes), port);
}
// `e` sent from `address` instead of the target's.
inline Event From(uint32_t address, Event e) {
    e.address = address;
    return e;
}
// `e` arriving `ms` milliseconds after the event before it.
inline Event Late(uint32_t ms, Event e) {
    e.delayMs = ms;
    return e;
}
inline Event Silence() {
    return {Event::Silence, {}, 0};
}
inline Event WaitFails() {
    return {Event::WaitFails, {}, 0};
}
inline Event ReceiveFails() {
    return {Event::ReceiveFails, {}, 0};
}

class FakeTarget : public SocketLibrary, public TransferClock {
public:
    struct Sent {
        Endpoint to;
        std::vector<uint8_t> bytes;
    };
    using Script = std::function<std::optional<std::vector<Event>>(size_t k, const Sent& sent)>;

    // SocketLibrary
    bool Startup(uint16_t& version) override;
    void Cleanup() override { ++cleanups; }
    std::unique_ptr<DatagramSocket> OpenSocket() override;

    // TransferClock
    int64_t NowSeconds() override { return nowMs / 1000; }
    uint64_t NowMilliseconds() override { return static_cast<uint64_t>(nowMs); }
    void Pause(uint32_t milliseconds) override;

    // The block number a data datagram carries, or -1.
    static int BlockOf(const std::vector<uint8_t>& datagram);
    // "WRQ doc.bin octet", "DATA 7 +512", "ACK 3", "ERROR 2 text", or the bytes in hex.
    static std::string Describe(const std::vector<uint8_t>& datagram);

    Script script;
    bool startFails = false;
    uint16_t version = 0x0101;
    bool noSocket = false;
    int startups = 0, cleanups = 0, socketsOpen = 0;
    int64_t nowMs = 1000000;
    std::vector<Sent> sent;
    std::vector<uint32_t> waits;
    std::vector<std::string> wire;
    // Events not yet used by a wait.
    std::deque<Event> pending;
    std::optional<Event> delivering;

    friend class FakeSocket;
};

// A download file made up in memory: byte i is (i * 7 + i / 251) & 0xFF. Reads fail for the
// calls listed in `failReads` (counted from 0), or always from `lostFromCall` on.
class PatternFile : public DownloadFile {
public:
    explicit PatternFile(uint64_t size) : m_size(size) {}
    bool Length(uint64_t& length) override;
    bool ReadAt(uint64_t offset, uint8_t* buffer, size_t length) override;
    static uint8_t ByteAt(uint64_t i) { return static_cast<uint8_t>((i * 7 + i / 251) & 0xFF); }

    bool missing = false;
    std::vector<size_t> failReads;
    size_t lostFromCall = SIZE_MAX;
    size_t reads = 0;

private:
    uint64_t m_size;
};
