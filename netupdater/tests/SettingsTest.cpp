// setting.ini as the transfer reads it: the retry limit with its default, and the keys that
// point the updater at another target.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "UpdaterSettings.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

struct Case {
    const char* ini; // null: no file at all
    uint32_t retryLimit;
    uint32_t address;
    uint16_t port;
    bool usable;
};

TEST(UpdaterSettings, ReadsRetryLimitAndTarget) {
    const Case cases[] = {
        {nullptr, 15, 0x64646401, 69, true},
        {"[other]\r\nretrytimes=3\r\n", 15, 0x64646401, 69, true},
        {"[setting]\r\nretrytimes=0\r\n", 0, 0x64646401, 69, true},
        {"[Setting]\r\nRetryTimes = 7 \r\n", 7, 0x64646401, 69, true},
        {"[setting]\nretrytimes=-3\n", 0, 0x64646401, 69, true},
        {"[setting]\nretrytimes=abc\n", 0, 0x64646401, 69, true},
        {"[setting]\nretrytimes=12x\n", 12, 0x64646401, 69, true},
        // An empty value is no number: the default, as the platform's profile call gives it.
        {"[setting]\nretrytimes=\n", 15, 0x64646401, 69, true},
        {"[setting]\r\nretrytimes=   \r\n", 15, 0x64646401, 69, true},
        {"[setting]\nretrytimes=\"\"\n", 15, 0x64646401, 69, true},
        {"[setting]\ntargetaddress=127.0.0.1\ntargetport=6969\n", 15, 0x7F000001, 6969, true},
        {"[setting]\ntargetaddress=10.1.2\n", 15, 0x64646401, 69, false},
        {"[setting]\ntargetaddress=256.0.0.1\n", 15, 0x64646401, 69, false},
        {"[setting]\ntargetaddress=localhost\n", 15, 0x64646401, 69, false},
        {"[setting]\ntargetport=0\n", 15, 0x64646401, 69, false},
        {"[setting]\ntargetport=65536\n", 15, 0x64646401, 69, false},
        {"[setting]\ntargetport=69a\n", 15, 0x64646401, 69, false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.ini)
            dir.Write("setting.ini", Bytes(c.ini));
        const UpdaterSettings s = ReadUpdaterSettings(dir.File("setting.ini"));
        const std::string which = c.ini ? c.ini : "(no file)";
        EXPECT_EQ(s.retryLimit, c.retryLimit) << which;
        EXPECT_EQ(s.target.address, c.address) << which;
        EXPECT_EQ(s.target.port, c.port) << which;
        EXPECT_EQ(s.problem.empty(), c.usable) << which;
    }
}

// The settings file is found in the current directory however deep it lies.
TEST(UpdaterSettings, ReadsFromACurrentDirectoryOfAnyLength) {
    TempDir dir;
    std::string deep = dir.Path();
    while (deep.size() < 200)
        deep += "/a-rather-long-folder-name";
    std::filesystem::create_directories(deep);
    std::FILE* f = std::fopen((deep + "/setting.ini").c_str(), "wb");
    std::fputs("[setting]\nretrytimes=2\n", f);
    std::fclose(f);
    ScopedCwd cwd(deep);
    EXPECT_EQ(ReadUpdaterSettings().retryLimit, 2u);
}

// Zamri may be run from a folder whose name no ANSI code page can spell (here Cyrillic, Arabic
// and Hebrew together); its settings file is still found there.
TEST(UpdaterSettings, ReadsFromACurrentDirectoryNamedOutsideTheAnsiCodePage) {
    TempDir dir;
    const std::filesystem::path folder =
        std::filesystem::path(dir.Path()) / std::filesystem::u8path(u8"тест-ملف-קובץ");
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "setting.ini") << "[setting]\nretrytimes=2\n";
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const UpdaterSettings settings = ReadUpdaterSettings();
    std::filesystem::current_path(before);
    EXPECT_EQ(settings.retryLimit, 2u);
}

} // namespace
