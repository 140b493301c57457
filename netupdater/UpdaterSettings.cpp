#include "UpdaterSettings.h"

#include <cctype>

namespace {

const char kSection[] = "setting";

bool AllDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

uint32_t ProfileInteger(const std::string& text) {
    const std::string t = Trimmed(text);
    uint64_t value = 0;
    for (char c : t) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            break;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > 0xFFFFFFFFu)
            return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

bool ParseIpv4(const std::string& text, uint32_t& address) {
    uint32_t result = 0;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.', start);
        if ((part < 3) != (dot != std::string::npos))
            return false;
        const std::string number = text.substr(start, dot == std::string::npos ? dot : dot - start);
        if (!AllDigits(number) || number.size() > 3 || std::stoul(number) > 255)
            return false;
        result = (result << 8) | static_cast<uint32_t>(std::stoul(number));
        start = dot + 1;
    }
    address = result;
    return true;
}

UpdaterSettings ReadUpdaterSettings(const std::filesystem::path& iniPath) {
    UpdaterSettings settings;
    std::string value;
    // An empty value keeps the default, as the platform's profile call reads one: with
    // nothing written after the equals sign, the user has not set a limit of 0.
    if (ReadProfileText(iniPath, kSection, "retrytimes", value) && !Trimmed(value).empty())
        settings.retryLimit = ProfileInteger(value);
    if (ReadProfileText(iniPath, kSection, "targetaddress", value) &&
        !ParseIpv4(Trimmed(value), settings.target.address))
        settings.problem = "targetaddress \"" + value + "\"";
    if (ReadProfileText(iniPath, kSection, "targetport", value)) {
        const std::string port = Trimmed(value);
        if (AllDigits(port) && port.size() <= 5 && std::stoul(port) >= 1 &&
            std::stoul(port) <= 65535)
            settings.target.port = static_cast<uint16_t>(std::stoul(port));
        else
            settings.problem = "targetport \"" + value + "\"";
    }
    return settings;
}

UpdaterSettings ReadUpdaterSettings() {
    // Built at whatever length the directory has, and wide on Windows: neither a deep folder
    // nor one named in another script may lose its settings. A directory that is gone finds
    // no file, and the defaults hold.
    std::error_code error;
    const std::filesystem::path directory = std::filesystem::current_path(error);
    return ReadUpdaterSettings(directory / "setting.ini");
}
