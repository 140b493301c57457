#include "LiveTerminal.h"

#include <io.h>
#include <windows.h>

namespace {

// Not in every MinGW's headers.
constexpr DWORD kVirtualTerminalProcessing = 0x0004;

} // namespace

bool LiveTerminal(std::FILE* out) {
    const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return false;
    return (mode & kVirtualTerminalProcessing) ||
           SetConsoleMode(console, mode | kVirtualTerminalProcessing);
}
