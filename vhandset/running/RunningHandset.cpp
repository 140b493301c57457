#include "RunningHandset.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "HandsetImage.h"
#include "HostProgram.h"
#include "Utf8.h"

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

// The firmware controls a test may make fail, by their handset.ini keys.
const struct {
    const char* key;
    const char* code;
} kFirmwareControls[] = {
    {"update_flag", "0x0101208C"},
    {"cp_area", "0x01012084"},
    {"masterclear_flag", "0x01012080"},
};

// Long enough for the emulator to start and the loader to run a small program on a loaded
// machine; a program that takes longer is left running.
const auto kExitWait = std::chrono::seconds(30);

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

bool RunningHandset::SessionLocked() const {
    return Setting("locked") == "init";
}

bool RunningHandset::DeviceInfoLocked() const {
    return Setting("locked") == "device_info";
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

RunningHandset::StartFailure RunningHandset::Start(const std::wstring& application,
                                                   const std::wstring& commandLine,
                                                   std::string& why) {
    const fs::path path = HostPath(application);
    if (path.empty() || !fs::is_regular_file(path)) {
        why = "no such file";
        return StartFailure::kNoFile;
    }
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    const HandsetImageVerdict verdict = CheckHandsetImage(bytes.data(), bytes.size());
    if (!verdict.startable) {
        why = "not a handset program: " + verdict.reason;
        return StartFailure::kNotAProgram;
    }

    const std::string loader = Setting("loader");
    const std::string emulator = Setting("emulator", "/usr/bin/qemu-arm");
    if (loader.empty()) {
        why = "no loader= in handset.ini: nothing can run a handset program";
        return StartFailure::kNoProcessor;
    }
    for (const std::string& program : {emulator, loader}) {
        if (!fs::is_regular_file(HostProgram::LocalName(program))) {
            why = "no " + program + ": nothing can run a handset program";
            return StartFailure::kNoProcessor;
        }
    }
    const std::string folder = HostProgram::LinuxName(m_folder);
    const std::string image = HostProgram::LinuxName(path);
    if (folder.empty() || image.empty()) {
        why = "the handset's folder has no Linux path: nothing can run a handset program";
        return StartFailure::kNoProcessor;
    }
    std::vector<std::string> argv = {emulator, "-cpu",      Setting("cpu", "ti925t"),
                                     loader,   "--handset", folder};
    for (const auto& control : kFirmwareControls)
        if (Setting(control.key) == "fail")
            argv.insert(argv.end(), {"--fail", control.code});
    // Whatever the command line holds reaches the program, an option's name included.
    argv.insert(argv.end(), {"--ticks", Setting("uptime", "0"), "--", image});
    if (!commandLine.empty())
        argv.push_back(Utf8(commandLine));

    std::error_code ignored;
    fs::remove(m_folder / "exited", ignored);
    if (!HostProgram::StartInBackground(argv, folder + "/program.txt", folder + "/exited", why))
        return StartFailure::kNoProcessor;
    if (Setting("start_returns") == "after_exit" && !AwaitExit())
        Note("the program still runs after " + std::to_string(kExitWait.count()) + " s");
    return StartFailure::kNone;
}

bool RunningHandset::AwaitExit() const {
    const auto deadline = std::chrono::steady_clock::now() + kExitWait;
    do {
        // The status is complete once its line has ended.
        std::ifstream status(m_folder / "exited", std::ios::binary);
        std::string text;
        if (std::getline(status, text) && !status.eof())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void RunningHandset::Note(const std::string& line) {
    AppendTo(m_folder / "journal.txt", line + "\n");
}
