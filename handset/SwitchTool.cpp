#include "SwitchTool.h"

namespace {

const uint32_t kArgumentChars = 260;

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

uint32_t Length(const char* text) {
    uint32_t n = 0;
    while (text[n])
        ++n;
    return n;
}

void Log(HandsetPlatform& platform, const char* text, uint32_t length) {
    char head[100];
    const uint32_t headLength = FormatLogHead(platform.TickCount(), head);
    platform.AppendLogEntry(head, headLength, text, length);
}

void Log(HandsetPlatform& platform, const char* text) {
    Log(platform, text, Length(text));
}

// The log is narrow text: characters outside ASCII become '?'.
uint32_t Narrow(const wchar_t* wide, char* narrow, uint32_t capacity) {
    uint32_t n = 0;
    for (; wide[n] && n + 1 < capacity; ++n)
        narrow[n] = wide[n] < 0x80 ? static_cast<char>(wide[n]) : '?';
    narrow[n] = '\0';
    return n;
}

bool IsCp(const wchar_t* argument) {
    return (argument[0] == L'c' || argument[0] == L'C') &&
           (argument[1] == L'p' || argument[1] == L'P') && argument[2] == L'\0';
}

bool SetFlag(HandsetPlatform& platform, uint32_t code) {
    int32_t flag = 1;
    return platform.KernelIoControl(code, &flag, sizeof(flag));
}

} // namespace

bool FirstArgument(const wchar_t* commandLine, wchar_t* argument, uint32_t capacity) {
    uint32_t n = 0;
    argument[0] = L'\0';
    if (!commandLine)
        return false;
    const wchar_t* p = commandLine;
    while (IsSpace(*p))
        ++p;
    if (!*p)
        return false;
    bool quoted = false;
    for (; *p && (quoted || !IsSpace(*p)); ++p) {
        if (*p == L'"')
            quoted = !quoted;
        else if (n + 1 < capacity)
            argument[n++] = *p;
    }
    argument[n] = L'\0';
    return true;
}

uint32_t FormatLogHead(uint32_t ticks, char (&head)[100]) {
    const int32_t value = static_cast<int32_t>(ticks);
    // The magnitude as unsigned, so the most negative value prints too.
    uint32_t magnitude = value < 0 ? 0u - ticks : ticks;
    char digits[12];
    uint32_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (count < 8)
        digits[count++] = '0';
    uint32_t n = 0;
    head[n++] = '\n';
    head[n++] = '[';
    if (value < 0)
        head[n++] = '-';
    while (count)
        head[n++] = digits[--count];
    head[n++] = ']';
    head[n] = '\0';
    return n;
}

int RunSwitchTool(HandsetPlatform& platform, const wchar_t* commandLine) {
    if (!SetFlag(platform, kIoctlHalUpdateFlag))
        return 0;
    Log(platform, "Write update flag OK.");

    wchar_t argument[kArgumentChars];
    if (!FirstArgument(commandLine, argument, kArgumentChars)) {
        platform.Reboot();
        return 0;
    }
    char text[kArgumentChars];
    Log(platform, text, Narrow(argument, text, kArgumentChars));

    if (!IsCp(argument)) {
        Log(platform, "Update area is not CP.");
        platform.Reboot();
        return 0;
    }
    Log(platform, "Update area is cp.");
    if (!SetFlag(platform, kIoctlHalCpArea) || !SetFlag(platform, kIoctlHalMasterClearFlag))
        return 0;
    Log(platform, "Write MasterClear flag OK.");
    platform.Reboot();
    return 0;
}
