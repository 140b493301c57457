#pragma once

#include <cstdint>

// The device's end of the wire, as the virtual boot loader sees it: an in-memory wire for
// tests, or the master side of a pty that a host opens as its USB serial device.
class DeviceLine {
public:
    enum class Wait { Data, TimedOut, HungUp };

    virtual ~DeviceLine() = default;

    // Waits until the host has sent something, the host has hung up, or `timeoutMs` passed
    // (a negative timeout waits without limit).
    virtual Wait WaitForData(int timeoutMs) = 0;
    // Fills all `length` bytes, waiting for the host as long as it takes. False once the host
    // has hung up or the cable was pulled.
    virtual bool Read(uint8_t* data, uint32_t length) = 0;
    // False once the host has hung up or the cable was pulled.
    virtual bool Write(const uint8_t* data, uint32_t length) = 0;
    // Pulls the cable: from now on both ends fail at once.
    virtual void PullCable() = 0;
};
