#include "AppSettings.h"

#include <windows.h>

#include <vector>

#include "SettingsRules.h"

std::wstring ProgramFilePath() {
    // A path longer than the buffer comes back cut, and before Vista without a terminator, so
    // the buffer grows until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return std::wstring();
        if (length < size)
            return std::wstring(buffer.data(), length);
        if (size >= 32768)
            return std::wstring(buffer.data(), size - 1);
        buffer.resize(buffer.size() * 2);
    }
}

CAppSettings::CAppSettings() : m_strSettingsPath(SettingsPathBeside(ProgramFilePath())) {}

std::wstring CAppSettings::ReadSoftwareVersion() const {
    wchar_t value[SOFTWARE_VERSION_MAX + 1] = {};
    const DWORD length =
        ::GetPrivateProfileStringW(L"KovShop", L"SoftwareVersion", nullptr, value,
                                   SOFTWARE_VERSION_MAX + 1, m_strSettingsPath.c_str());
    return UsableSoftwareVersion(std::wstring(value, length));
}
