#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "RunningHandset.h"
#include "TempDir.h"
#include "Utf8.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class RunningHandsetTest : public ::testing::Test {
protected:
    RunningHandset Handset(const std::string& ini) {
        std::ofstream(dir.File("handset.ini")) << ini;
        return RunningHandset(dir.Path());
    }
    TempDir dir;
};

TEST_F(RunningHandsetTest, AnswersWithTheRegistryAndPowerStatusItWasGiven) {
    RunningHandset handset = Handset("version=ROM 1.2\ncharge=-3\npercent=49\n");
    std::vector<uint8_t> bytes;

    ASSERT_TRUE(handset.ReadValue(L"controlpanel\\oeminformation", L"ZR_VERSION", bytes));
    EXPECT_EQ((std::vector<uint8_t>{'R', 0, 'O', 0, 'M', 0, ' ', 0, '1', 0, '.', 0, '2', 0, 0, 0}),
              bytes);
    ASSERT_TRUE(handset.ReadValue(L"ControlPanel\\BatteryCharge", L"charge", bytes));
    EXPECT_EQ((std::vector<uint8_t>{0xFD, 0xFF, 0xFF, 0xFF}), bytes);
    uint8_t percent = 0;
    ASSERT_TRUE(handset.BatteryPercent(percent));
    EXPECT_EQ(49, percent);
    EXPECT_TRUE(handset.Connected());
}

TEST_F(RunningHandsetTest, LeavesOutWhatItWasNotGiven) {
    RunningHandset handset = Handset("version=ROM\nversion_unterminated=1\npercent=none\n");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(handset.ReadValue(L"ControlPanel\\OEMINFORMATION", L"ZR_VERSION", bytes));
    EXPECT_EQ((std::vector<uint8_t>{'R', 0, 'O', 0, 'M', 0}), bytes);
    EXPECT_TRUE(handset.HasKey(L"ControlPanel\\BatteryCharge"));
    EXPECT_FALSE(handset.ReadValue(L"ControlPanel\\BatteryCharge", L"charge", bytes));
    EXPECT_FALSE(handset.HasKey(L"ControlPanel\\Other"));
    uint8_t percent = 0;
    EXPECT_FALSE(handset.BatteryPercent(percent));

    EXPECT_FALSE(Handset("connected=0\n").Connected());
}

TEST_F(RunningHandsetTest, SwitchToolWithCpSetsBothFlagsLogsAndReboots) {
    RunningHandset handset = Handset("");
    ASSERT_TRUE(handset.WriteFile(L"\\Temp\\Quillo.exe", {'M', 'Z'}));
    EXPECT_EQ("MZ", Slurp(dir.File("files/Temp/Quillo.exe")));

    ASSERT_TRUE(handset.Start(L"\\Temp\\Quillo.exe", L"cp"));

    EXPECT_EQ("update\ncp-area\nmasterclear\n", Slurp(dir.File("flags.txt")));
    EXPECT_TRUE(std::regex_match(Slurp(dir.File("files/Temp/log.txt")),
                                 std::regex("\n\\[\\d{8,}\\]Write update flag OK\\."
                                            "\n\\[\\d{8,}\\]cp"
                                            "\n\\[\\d{8,}\\]Update area is cp\\."
                                            "\n\\[\\d{8,}\\]Write MasterClear flag OK\\.")));
    EXPECT_FALSE(handset.Connected()) << "a rebooted handset has left ActiveSync";
}

TEST_F(RunningHandsetTest, RefusedUpdateFlagLeavesNoTrace) {
    RunningHandset handset = Handset("update_flag=fail\n");
    ASSERT_TRUE(handset.WriteFile(L"\\Temp\\Quillo.exe", {1}));
    ASSERT_TRUE(handset.Start(L"\\Temp\\Quillo.exe", L"other"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("flags.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("files/Temp/log.txt")));
    EXPECT_TRUE(handset.Connected());
}

TEST_F(RunningHandsetTest, StartsOnlyWhatItHoldsAndWritesOnlyInsideItsFiles) {
    RunningHandset handset = Handset("");
    EXPECT_FALSE(handset.Start(L"\\Temp\\Quillo.exe", L"other"));
    for (const wchar_t* name : {L"Temp\\x", L"\\..\\handset.ini", L"\\Temp\\..\\..\\x", L"\\C:\\x",
                                L"\\Temp\\a/../../x", L"\\Temp\\\\x", L""})
        EXPECT_FALSE(handset.WriteFile(name, {1})) << Utf8(name);
    EXPECT_EQ("", Slurp(dir.File("handset.ini")));

    RunningHandset failing = Handset("copy=fail\n");
    EXPECT_FALSE(failing.WriteFile(L"\\Temp\\Quillo.exe", {1}));
}

} // namespace
