// QuilloDesktopTest: the switch tool's logic built for desktop Windows, a test tool only (a
// handset refuses to start it, and no kit carries it). On a PC there is no handset firmware to
// take the flags: its first control fails, so it changes nothing, writes no log and reboots
// nothing; it says so.
#include <windows.h>

#include <cstdio>

#include "SwitchTool.h"

namespace {

class DesktopPlatform : public HandsetPlatform {
public:
    bool KernelIoControl(uint32_t, void*, uint32_t) override { return false; }
    uint32_t TickCount() override { return ::GetTickCount(); }
    void AppendLogEntry(const char* head, uint32_t headLength, const char* text,
                        uint32_t textLength) override {
        HANDLE log = ::CreateFileW(L"\\Temp\\log.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        ::WriteFile(log, head, headLength, &written, nullptr);
        ::WriteFile(log, text, textLength, &written, nullptr);
        ::CloseHandle(log);
    }
    // A PC is never rebooted by this build.
    void Reboot() override {}
};

// The text after the program name, as the handset's entry point receives it.
const wchar_t* ArgumentsOf(const wchar_t* commandLine) {
    bool quoted = false;
    for (; *commandLine && (quoted || (*commandLine != L' ' && *commandLine != L'\t'));
         ++commandLine) {
        if (*commandLine == L'"')
            quoted = !quoted;
    }
    return commandLine;
}

} // namespace

int wmain() {
    std::fputs("QuilloDesktopTest: the switch tool's logic on desktop Windows, for tests; a "
               "handset runs Quillo.exe. Its first control fails here, so it sets no flag, "
               "writes no log and reboots nothing.\n",
               stderr);
    DesktopPlatform platform;
    return RunSwitchTool(platform, ArgumentsOf(::GetCommandLineW()));
}
