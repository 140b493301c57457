#include "SettingsRules.h"

std::wstring SettingsPathBeside(const std::wstring& programPath) {
    const std::size_t slash = programPath.rfind(L'\\');
    // A module path always names a directory; should one ever come without, the current
    // directory is the nearest thing to "beside the program". A bare file name would send
    // the profile functions to the Windows directory instead.
    const std::wstring directory =
        slash == std::wstring::npos ? L"." : programPath.substr(0, slash);
    return directory + L"\\KovShop.ini";
}

std::wstring UsableSoftwareVersion(const std::wstring& value) {
    return value.substr(0, SOFTWARE_VERSION_MAX);
}

std::wstring DecoratedTitle(const std::wstring& softwareVersion) {
    return softwareVersion + WIZARD_TITLE;
}

std::wstring ProgramName(const std::wstring& programPath) {
    const std::size_t slash = programPath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}
