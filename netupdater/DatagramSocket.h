#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// An IPv4 address and UDP port, both in host order.
struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;

    bool operator==(const Endpoint& other) const {
        return address == other.address && port == other.port;
    }
    bool operator!=(const Endpoint& other) const { return !(*this == other); }
};

// How a wait for the socket to become readable ended.
enum class WaitResult { Readable, TimedOut, Failed };

// The seam under the download client: one UDP socket. Winsock, BSD sockets and the tests'
// scripted peer each provide it; the transfer never knows which.
class DatagramSocket {
public:
    virtual ~DatagramSocket();

    // Sends one datagram. False when the platform refused it; the transfer does not rely on
    // it, since a lost datagram looks the same to the far end.
    virtual bool SendTo(const Endpoint& to, const uint8_t* data, size_t length) = 0;

    // Waits up to `milliseconds` for a datagram, in one wait rather than by polling.
    virtual WaitResult WaitReadable(uint32_t milliseconds) = 0;

    // Takes one datagram, cut to `capacity` bytes, and says where it came from. Returns its
    // length, or -1 when the socket reports an error instead.
    virtual int ReceiveFrom(uint8_t* buffer, size_t capacity, Endpoint& from) = 0;
};

// The platform's socket library, started and cleaned up once per transfer.
class SocketLibrary {
public:
    virtual ~SocketLibrary();

    // Starts the library asking for version 1.1. False when it will not start; otherwise
    // `version` holds what it offers, major version in the low byte as Winsock reports it.
    virtual bool Startup(uint16_t& version) = 0;
    virtual void Cleanup() = 0;

    // A fresh IPv4 datagram socket, closed when the object goes; null when none can be made.
    virtual std::unique_ptr<DatagramSocket> OpenSocket() = 0;

    // The platform's own library: Winsock on Windows, BSD sockets elsewhere.
    static SocketLibrary& System();
};
