#pragma once

#include <cstdint>
#include <memory>

#include "HandsetLink.h"

// The handset operations the preparation procedure decides by. Called on the user-interface
// thread, one at a time; none shows a message or retries.
class HandsetAccess {
public:
    virtual ~HandsetAccess();

    // The handset's version text, or null when it cannot be read. The text lives as long as
    // the process and is overwritten by the next successful read.
    virtual const wchar_t* ReadHandsetVersion() = 0;

    // The handset's registry charge in percent, compared as a signed number; -1 when the
    // handset answers but the value cannot be read; -2 when no handset answers.
    virtual int32_t ReadBatteryCharge() = 0;

    // The main battery's percentage from the power status (0..100, 255 when the handset cannot
    // tell); 0 when no handset answers or the status cannot be read.
    virtual uint32_t ReadBatteryPercent() = 0;

    // Copies the switch tool onto the handset and starts it there with the argument that
    // `updateMode` asks for. 1 when it was started, else 0; it is not waited for.
    virtual int StartSwitchTool(uint8_t updateMode) = 0;
};

// The switch tool's command line: "cp" for a customization-partition update (0xC0), "other"
// for every other update mode.
const wchar_t* SwitchToolArgument(uint8_t updateMode);

// The handset operations over a HandsetLink. Each operation except the copy opens its own
// connection and ends it before it returns.
class HandsetOperations : public HandsetAccess {
public:
    explicit HandsetOperations(HandsetLink& link) : m_link(link) {}

    std::unique_ptr<HandsetSession> OpenHandsetConnection() { return m_link.Connect(); }
    const wchar_t* ReadHandsetVersion() override;
    int32_t ReadBatteryCharge() override;
    uint32_t ReadBatteryPercent() override;
    int StartSwitchTool(uint8_t updateMode) override;

    // Writes the PC file `pcFile` whole to `handsetFile` within `session`. 1 when the whole
    // file was written, else 0.
    int CopyFileToHandset(const wchar_t* pcFile, const wchar_t* handsetFile,
                          HandsetSession& session);

private:
    HandsetLink& m_link;
    // What the handset writes: 200 UTF-16 characters, terminator included. The text handed out
    // is made from it, always terminated.
    uint8_t m_versionBytes[400] = {};
    wchar_t m_szVersion[200] = {};
    // The copy-complete signal: made by the first successful copy, set by every one, and
    // consumed by the wait that follows it.
    bool m_bCopyEventExists = false;
    bool m_bCopyEventSet = false;
};
