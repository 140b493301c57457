// The wizard's RAPI2 provider and handset operations against the virtual running handset,
// registered as the platform's COM class in this Wine prefix.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <regex>

#include "RapiLink.h"
#include "VirtualHandsetFolder.h"

namespace {

std::string Image() {
    const std::vector<uint8_t> image = ArmProcessor::SwitchToolImage();
    return std::string(image.begin(), image.end());
}

// What the handset saw of one StartSwitchTool whose copy of `size` bytes succeeds.
std::string CopyOf(size_t size) {
    return "init\n"
           "create \\Temp\\Quillo.exe access=0x40000000 share=3 creation=2 attributes=0x80\n"
           "write " +
           std::to_string(size) +
           "\n"
           "close handle\n";
}

// `text` matched as it stands.
std::string Literally(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// Entries of the switch log, each after its tick count, a signed decimal.
std::string LogPattern(std::initializer_list<const char*> entries) {
    std::string pattern;
    for (const char* entry : entries)
        pattern += std::string("\n\\[-?\\d{8,}\\]") + entry;
    return pattern;
}

// The program reboots the handset before the start call returns, so the wizard closes its
// handles and ends its connection on a handset that has gone, without looking at the results.
TEST(RapiProvider, ReadsTheHandsetAndStartsTheSwitchToolWithOther) {
    KOV_NEED_ARM_PROCESSOR();
    VirtualHandsetFolder handset("version=ROM 1.0.0 WWE\ncharge=50\npercent=100\n"
                                 "start_returns=after_exit\n");
    handset.PutPcFile(L"Quillo.exe", Image());
    RapiLink link;
    HandsetOperations operations(link);

    const wchar_t* version = operations.ReadHandsetVersion();
    ASSERT_NE(nullptr, version);
    EXPECT_STREQ(L"ROM 1.0.0 WWE", version);
    EXPECT_EQ(50, operations.ReadBatteryCharge());
    EXPECT_EQ(100u, operations.ReadBatteryPercent());
    EXPECT_EQ(1, operations.StartSwitchTool(0xCE));

    EXPECT_EQ(std::string("init\n"
                          "open key ControlPanel\\OEMINFORMATION options=0 access=0\n"
                          "query ZR_VERSION 400\n"
                          "close key\n"
                          "uninit\n"
                          "init\n"
                          "open key ControlPanel\\BatteryCharge options=0 access=0\n"
                          "query charge 4\n"
                          "close key\n"
                          "uninit\n"
                          "init\n"
                          "power status update=1\n"
                          "uninit\n") +
                  CopyOf(Image().size()) +
                  "start \\Temp\\Quillo.exe \"other\" flags=0x10\n"
                  "close handle: handset gone\n"
                  "close handle: handset gone\n"
                  "uninit: handset gone\n",
              handset.Read("journal.txt"));
    EXPECT_EQ(Image(), handset.Read("files/Temp/Quillo.exe"));
    EXPECT_EQ("0\n", handset.Read("exited"));
    EXPECT_EQ("update\n", handset.Read("flags.txt"));
    EXPECT_TRUE(std::regex_match(
        handset.Read("files/Temp/log.txt"),
        std::regex(LogPattern({"Write update flag OK\\.", "other", "Update area is not CP\\."}))))
        << handset.Read("files/Temp/log.txt");
    // Rebooted into its boot loader, the handset has left ActiveSync.
    EXPECT_EQ(nullptr, link.Connect());
    EXPECT_EQ(-2, operations.ReadBatteryCharge());
}

// As on a handset, the program runs on its own once started: the wizard's closing calls meet
// the handset before or after it reboots, and the flags arrive afterwards.
TEST(RapiProvider, CustomizationPartitionUpdateSetsTheMasterClearFlag) {
    KOV_NEED_ARM_PROCESSOR();
    VirtualHandsetFolder handset("charge=90\n");
    handset.PutPcFile(L"Quillo.exe", Image());
    RapiLink link;
    HandsetOperations operations(link);

    EXPECT_EQ(1, operations.StartSwitchTool(0xC0));

    EXPECT_TRUE(std::regex_match(
        handset.Read("journal.txt"),
        std::regex(Literally(CopyOf(Image().size()) + "start \\Temp\\Quillo.exe \"cp\" "
                                                      "flags=0x10\n") +
                   "close handle(: handset gone)?\n"
                   "close handle(: handset gone)?\n"
                   "uninit(: handset gone)?\n")))
        << handset.Read("journal.txt");
    EXPECT_EQ("0", handset.AwaitExit());
    EXPECT_EQ("update\ncp-area\nmasterclear\n", handset.Read("flags.txt"));
    EXPECT_TRUE(std::regex_match(
        handset.Read("files/Temp/log.txt"),
        std::regex(LogPattern({"Write update flag OK\\.", "cp", "Update area is cp\\.",
                               "Write MasterClear flag OK\\."}))))
        << handset.Read("files/Temp/log.txt");
    EXPECT_TRUE(handset.Exists("rebooted"));
}

// A switch tool built for a PC is copied like any file, but a handset does not start it.
TEST(RapiProvider, PcBuildOfTheSwitchToolIsNotStarted) {
    KOV_NEED_ARM_PROCESSOR();
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    std::ifstream file(self, std::ios::binary);
    const std::string pcProgram{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
    VirtualHandsetFolder handset("charge=90\n");
    handset.PutPcFile(L"Quillo.exe", pcProgram);
    RapiLink link;
    HandsetOperations operations(link);

    EXPECT_EQ(0, operations.StartSwitchTool(0xCE));

    EXPECT_TRUE(std::regex_match(
        handset.Read("journal.txt"),
        std::regex(Literally(CopyOf(pcProgram.size()) +
                             "start \\Temp\\Quillo.exe \"other\" flags=0x10\n") +
                   "start refused: not a handset program: machine 0x(014C|8664) is not ARM\n"
                   "uninit\n")))
        << handset.Read("journal.txt");
    EXPECT_EQ(pcProgram, handset.Read("files/Temp/Quillo.exe"));
    for (const char* trace : {"exited", "calls.txt", "flags.txt", "files/Temp/log.txt", "rebooted"})
        EXPECT_FALSE(handset.Exists(trace)) << trace;
}

// A handset listed on ActiveSync that opens no session, as a locked one: every operation finds
// no connection, as when no handset answers at all.
TEST(RapiProvider, LockedHandsetGivesNoConnection) {
    const struct {
        const char* lock;
        const char* journalled;
    } locks[] = {{"init", "init: locked\n"}, {"device_info", "device info: locked\n"}};
    for (const auto& lock : locks) {
        VirtualHandsetFolder handset(std::string("locked=") + lock.lock +
                                     "\nversion=ROM 1\ncharge=80\n");
        handset.PutPcFile(L"Quillo.exe", "123456789");
        RapiLink link;
        HandsetOperations operations(link);

        EXPECT_EQ(nullptr, link.Connect()) << lock.lock;
        EXPECT_EQ(nullptr, operations.ReadHandsetVersion()) << lock.lock;
        EXPECT_EQ(-2, operations.ReadBatteryCharge()) << lock.lock;
        EXPECT_EQ(0u, operations.ReadBatteryPercent()) << lock.lock;
        EXPECT_EQ(0, operations.StartSwitchTool(0xCE)) << lock.lock;

        std::string fiveAttempts;
        for (int i = 0; i < 5; ++i)
            fiveAttempts += lock.journalled;
        EXPECT_EQ(fiveAttempts, handset.Read("journal.txt"));
        EXPECT_FALSE(handset.Exists("files"));
    }
}

TEST(RapiProvider, VersionFillingTheBufferComesBackTerminated) {
    const std::string text(200, 'v');
    VirtualHandsetFolder handset("version=" + text + "\nversion_unterminated=1\n");
    RapiLink link;
    HandsetOperations operations(link);

    const wchar_t* version = operations.ReadHandsetVersion();

    ASSERT_NE(nullptr, version);
    EXPECT_EQ(std::wstring(199, L'v'), std::wstring(version));
}

TEST(RapiProvider, MissingValuesAndAbsentHandset) {
    {
        VirtualHandsetFolder handset("percent=none\n");
        RapiLink link;
        HandsetOperations operations(link);
        EXPECT_EQ(nullptr, operations.ReadHandsetVersion());
        EXPECT_EQ(-1, operations.ReadBatteryCharge());
        EXPECT_EQ(0u, operations.ReadBatteryPercent());
    }
    {
        VirtualHandsetFolder handset("connected=0\ncharge=80\n");
        RapiLink link;
        HandsetOperations operations(link);
        EXPECT_EQ(nullptr, link.Connect());
        EXPECT_EQ(-2, operations.ReadBatteryCharge());
        EXPECT_EQ(0, operations.StartSwitchTool(0xCE));
        EXPECT_EQ("", handset.Read("journal.txt"));
    }
}

// The copy fails and nothing was copied before: the start is still tried after the pause, and
// fails, since the handset holds no switch tool.
TEST(RapiProvider, FailedCopyEndsInAFailedStart) {
    VirtualHandsetFolder handset("charge=80\ncopy=fail\n");
    handset.PutPcFile(L"Quillo.exe", "123456789");
    RapiLink link;
    HandsetOperations operations(link);

    EXPECT_EQ(0, operations.StartSwitchTool(0xCE));

    EXPECT_EQ("init\n"
              "create \\Temp\\Quillo.exe access=0x40000000 share=3 creation=2 attributes=0x80\n"
              "write 9\n"
              "close handle\n"
              "start \\Temp\\Quillo.exe \"other\" flags=0x10\n"
              "start refused: no such file\n"
              "uninit\n",
              handset.Read("journal.txt"));
    EXPECT_FALSE(handset.Exists("rebooted"));
}

// Run by the test script before the class is registered: as on a PC without the desktop sync
// software, no handset ever answers.
TEST(RapiUnregistered, NoHandsetAnswers) {
    RapiLink link;
    HandsetOperations operations(link);
    EXPECT_EQ(nullptr, link.Connect());
    EXPECT_EQ(-2, operations.ReadBatteryCharge());
    EXPECT_EQ(0u, operations.ReadBatteryPercent());
}

} // namespace
