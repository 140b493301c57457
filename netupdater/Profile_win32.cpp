#include "UpdaterSettings.h"

#include <windows.h>

#include <vector>

const char kPathSeparator = '\\';

bool ReadProfileText(const std::string& path, const char* section, const char* key,
                     std::string& value) {
    // A default that no value can be tells a missing key from an empty one.
    const char missing[] = "\x01";
    std::vector<char> buffer(256);
    for (;;) {
        const DWORD got = ::GetPrivateProfileStringA(
            section, key, missing, buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
        if (got + 1 < buffer.size()) {
            value.assign(buffer.data(), got);
            return value != missing;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string CurrentDirectory() {
    const DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    std::vector<char> buffer(needed + 1);
    const DWORD got = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    return std::string(buffer.data(), got < buffer.size() ? got : 0);
}
