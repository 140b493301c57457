#include "UpdaterSettings.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// Section and key names are ASCII.
std::wstring Widened(const char* name) {
    return std::wstring(name, name + std::strlen(name));
}

} // namespace

// The wide call, so that the file is found by its path whatever script its folders are named
// in; the values read are numbers and addresses, which any code page spells alike.
bool ReadProfileText(const std::filesystem::path& path, const char* section, const char* key,
                     std::string& value) {
    // A default that no value can be tells a missing key from an empty one.
    const wchar_t missing[] = L"\x01";
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD got = ::GetPrivateProfileStringW(
            Widened(section).c_str(), Widened(key).c_str(), missing, buffer.data(),
            static_cast<DWORD>(buffer.size()), path.c_str());
        if (got + 1 < buffer.size()) {
            const std::wstring wide(buffer.data(), got);
            if (wide == missing)
                return false;
            value.clear();
            if (got > 0) {
                const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(got),
                                                    nullptr, 0, nullptr, nullptr);
                value.assign(static_cast<size_t>(n), '\0');
                ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(got), &value[0], n,
                                      nullptr, nullptr);
            }
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}
