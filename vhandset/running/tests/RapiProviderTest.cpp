// The wizard's RAPI2 provider and handset operations against the virtual running handset,
// registered as the platform's COM class in this Wine prefix.
#include <gtest/gtest.h>

#include <regex>

#include "RapiLink.h"
#include "VirtualHandsetFolder.h"

namespace {

// What the handset saw of one StartSwitchTool whose copy and start succeed.
const char kCopyAndStart[] = "init\n"
                             "create \\Temp\\Quillo.exe access=0x40000000 share=3 creation=2 "
                             "attributes=0x80\n"
                             "write 9\n"
                             "close handle\n";

TEST(RapiProvider, ReadsTheHandsetAndStartsTheSwitchToolWithOther) {
    VirtualHandsetFolder handset("version=ROM 1.0.0 WWE\ncharge=50\npercent=100\n");
    handset.PutPcFile(L"Quillo.exe", std::string("MZ\0\x90tool!", 9));
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
                  kCopyAndStart +
                  "start \\Temp\\Quillo.exe \"other\" flags=0x10\n"
                  "reboot\n"
                  "close handle\n"
                  "close handle\n"
                  "uninit\n",
              handset.Read("journal.txt"));
    EXPECT_EQ(std::string("MZ\0\x90tool!", 9), handset.Read("files/Temp/Quillo.exe"));
    EXPECT_EQ("update\n", handset.Read("flags.txt"));
    EXPECT_TRUE(std::regex_match(handset.Read("files/Temp/log.txt"),
                                 std::regex("\n\\[\\d{8,}\\]Write update flag OK\\."
                                            "\n\\[\\d{8,}\\]other"
                                            "\n\\[\\d{8,}\\]Update area is not CP\\.")));
    // Rebooted into its boot loader, the handset has left ActiveSync.
    EXPECT_EQ(nullptr, link.Connect());
    EXPECT_EQ(-2, operations.ReadBatteryCharge());
}

TEST(RapiProvider, CustomizationPartitionUpdateSetsTheMasterClearFlag) {
    VirtualHandsetFolder handset("charge=90\n");
    handset.PutPcFile(L"Quillo.exe", "123456789");
    RapiLink link;
    HandsetOperations operations(link);

    EXPECT_EQ(1, operations.StartSwitchTool(0xC0));

    EXPECT_EQ(std::string(kCopyAndStart) + "start \\Temp\\Quillo.exe \"cp\" flags=0x10\n" +
                  "reboot\nclose handle\nclose handle\nuninit\n",
              handset.Read("journal.txt"));
    EXPECT_EQ("update\ncp-area\nmasterclear\n", handset.Read("flags.txt"));
    EXPECT_NE(std::string::npos,
              handset.Read("files/Temp/log.txt").find("]Write MasterClear flag OK."));
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
