#pragma once

// The switch tool's logic: sets the handset firmware's update flags and reboots the handset into
// its boot loader. Written without the standard library, so that it builds wherever the
// handset's toolchain does.

#include <stdint.h>

// What the tool asks of the handset's system.
class HandsetPlatform {
public:
    virtual ~HandsetPlatform() {}

    // A kernel I/O control with `inputSize` bytes of input and no output. True on success.
    virtual bool KernelIoControl(uint32_t code, void* input, uint32_t inputSize) = 0;
    // Milliseconds since the handset started.
    virtual uint32_t TickCount() = 0;
    // Appends `head` then `text` to the switch log, opening it (created if absent) and closing it
    // again for this one entry.
    virtual void AppendLogEntry(const char* head, uint32_t headLength, const char* text,
                                uint32_t textLength) = 0;
    // Asks the shell to reboot the handset.
    virtual void Reboot() = 0;
};

// The kernel I/O controls, all of the hardware-abstraction device type.
const uint32_t kIoctlHalUpdateFlag = 0x0101208C;
const uint32_t kIoctlHalCpArea = 0x01012084;
const uint32_t kIoctlHalMasterClearFlag = 0x01012080;

// Copies the first argument of `commandLine` (the text after the program name) into `argument`:
// arguments are split at white space, and a double quote groups white space and is dropped.
// An argument longer than `capacity` - 1 characters is cut there. False when there is none.
bool FirstArgument(const wchar_t* commandLine, wchar_t* argument, uint32_t capacity);

// Writes an entry's head, a line break and the tick count in brackets as a signed decimal of
// at least eight digits, into `head`. Returns its length.
uint32_t FormatLogHead(uint32_t ticks, char (&head)[100]);

// Runs the tool once with the text after its program name. Always returns 0: nobody reads it.
int RunSwitchTool(HandsetPlatform& platform, const wchar_t* commandLine);
