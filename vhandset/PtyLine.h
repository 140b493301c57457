#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceLine.h"

// The master side of a pty as the device's line; its slave is what a host opens as the USB
// serial device (a native tty path, or under Wine a dosdevices link named wceusbsh001).
//
// The slave is put in raw mode once, here: its settings outlive every host that opens and
// closes it, so even a host that sets no line discipline of its own sees the bytes unchanged.
class PtyLine : public DeviceLine {
public:
    PtyLine();
    ~PtyLine() override;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // False, with a reason, when no pty could be made.
    bool Ok(std::string* why = nullptr) const;
    const std::string& SlavePath() const { return slavePath_; }

    // Makes the pty the controlling terminal of the calling process, which must lead its own
    // session (setsid). No other process can then take it as its own: the wineserver would,
    // and would get SIGHUP and dump its state when the pty goes away.
    bool TakeAsControllingTerminal();

    // Waits until a host has the slave open: false after timeoutMs (negative: no limit). A
    // pty without a host reads as hung up and poll cannot wait for that to change, so this
    // looks again every kHostPollMs: soon enough for a host that opens and writes at once
    // (its bytes wait in the pty meanwhile), cheap enough for an idle simulator.
    bool WaitForHost(int timeoutMs);
    // After the last word of an update: waits until the host has closed the slave, so that
    // closing the pty does not throw away a word the host has not read yet. Whatever the host
    // sends meanwhile is dropped. False after timeoutMs.
    bool WaitForHostToClose(int timeoutMs);

    Wait WaitForData(int timeoutMs) override;
    bool Read(uint8_t* data, uint32_t length) override;
    bool Write(const uint8_t* data, uint32_t length) override;
    // Closes the pty: the host's transfers fail at once, and the slave path is gone. Safe from
    // another thread while the line is in use: that thread's wait ends at once.
    void PullCable() override;

    static constexpr int kHostPollMs = 20;

private:
    enum class Ready { Yes, HungUp, TimedOut, Pulled };
    Ready WaitReady(short events, int timeoutMs);

    // Guards master_ against PullCable from another thread; held only around non-blocking
    // calls, never while waiting.
    std::mutex mutex_;
    bool pulled_ = false;
    int master_ = -1;
    int wake_[2] = {-1, -1};
    std::string slavePath_;
    std::string error_;
    std::vector<uint8_t> buffer_;
    uint32_t bufferHead_ = 0;
    uint32_t bufferSize_ = 0;
};
