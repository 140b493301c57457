#include "RunningHandset.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "SwitchTool.h"

namespace fs = std::filesystem;

namespace {

const wchar_t kOemKey[] = L"ControlPanel\\OEMINFORMATION";
const wchar_t kChargeKey[] = L"ControlPanel\\BatteryCharge";

bool SameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (towlower(a[i]) != towlower(b[i]))
            return false;
    return true;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        uint32_t code = c;
        size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            code = c & (0x3F >> extra);
        for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k)
            code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += extra + 1;
        out += static_cast<wchar_t>(code);
    }
    return out;
}

void AppendTo(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}

// The handset's firmware and shell as the switch tool sees them.
class VirtualFirmware : public HandsetPlatform {
public:
    VirtualFirmware(RunningHandset& handset, const fs::path& folder, bool updateFlagFails)
        : m_handset(handset), m_folder(folder), m_bUpdateFlagFails(updateFlagFails) {}

    bool KernelIoControl(uint32_t code, void* input, uint32_t inputSize) override {
        const char* flag = code == 0x0101208C   ? "update"
                           : code == 0x01012084 ? "cp-area"
                           : code == 0x01012080 ? "masterclear"
                                                : nullptr;
        const bool holdsOne = inputSize == 4 && *static_cast<const int32_t*>(input) == 1;
        if (!flag || !holdsOne || (code == 0x0101208C && m_bUpdateFlagFails))
            return false;
        AppendTo(m_folder / "flags.txt", std::string(flag) + "\n");
        return true;
    }
    uint32_t TickCount() override {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
    void AppendLogEntry(const char* head, uint32_t headLength, const char* text,
                        uint32_t textLength) override {
        const fs::path log = m_handset.HostPath(L"\\Temp\\log.txt");
        fs::create_directories(log.parent_path());
        AppendTo(log, std::string(head, headLength) + std::string(text, textLength));
    }
    void Reboot() override {
        m_handset.Note("reboot");
        std::ofstream(m_folder / "rebooted");
    }

private:
    RunningHandset& m_handset;
    fs::path m_folder;
    bool m_bUpdateFlagFails;
};

} // namespace

RunningHandset::RunningHandset(fs::path folder) : m_folder(std::move(folder)) {
    std::ifstream ini(m_folder / "handset.ini");
    std::string line;
    while (std::getline(ini, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals != std::string::npos && line[0] != '#')
            m_settings[line.substr(0, equals)] = line.substr(equals + 1);
    }
}

std::string RunningHandset::Setting(const std::string& key, const std::string& otherwise) const {
    auto found = m_settings.find(key);
    return found == m_settings.end() ? otherwise : found->second;
}

bool RunningHandset::Connected() const {
    return Setting("connected", "1") != "0" && !fs::exists(m_folder / "rebooted");
}

bool RunningHandset::HasKey(const std::wstring& key) const {
    return SameText(key, kOemKey) || SameText(key, kChargeKey);
}

bool RunningHandset::ReadValue(const std::wstring& key, const std::wstring& name,
                               std::vector<uint8_t>& bytes) const {
    bytes.clear();
    if (SameText(key, kOemKey) && SameText(name, L"ZR_VERSION") && m_settings.count("version")) {
        std::wstring text = Wide(Setting("version"));
        if (Setting("version_unterminated") != "1")
            text += L'\0';
        for (wchar_t c : text) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(static_cast<uint8_t>(c >> 8));
        }
        return true;
    }
    if (SameText(key, kChargeKey) && SameText(name, L"charge") && m_settings.count("charge")) {
        const uint32_t charge = static_cast<uint32_t>(std::stol(Setting("charge")));
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(charge >> (8 * i)));
        return true;
    }
    return false;
}

bool RunningHandset::BatteryPercent(uint8_t& percent) const {
    const std::string value = Setting("percent", "100");
    if (value == "none")
        return false;
    percent = static_cast<uint8_t>(std::stoul(value));
    return true;
}

fs::path RunningHandset::HostPath(const std::wstring& name) const {
    if (name.empty() || name[0] != L'\\')
        return {};
    fs::path path = m_folder / "files";
    std::wstringstream parts(name.substr(1));
    std::wstring part;
    while (std::getline(parts, part, L'\\')) {
        if (part.empty() || part == L"." || part == L".." ||
            part.find_first_of(L":/") != std::wstring::npos)
            return {};
        path /= part;
    }
    return path;
}

bool RunningHandset::WriteFile(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    const fs::path path = HostPath(name);
    if (path.empty() || Setting("copy") == "fail")
        return false;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

bool RunningHandset::Start(const std::wstring& application, const std::wstring& commandLine) {
    const fs::path path = HostPath(application);
    if (path.empty() || !fs::is_regular_file(path))
        return false;
    VirtualFirmware firmware(*this, m_folder, Setting("update_flag") == "fail");
    RunSwitchTool(firmware, commandLine.c_str());
    return true;
}

void RunningHandset::Note(const std::string& line) {
    AppendTo(m_folder / "journal.txt", line + "\n");
}
