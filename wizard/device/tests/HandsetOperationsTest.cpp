#include <gtest/gtest.h>

#include <cwchar>

#include "FakeHandsetLink.h"

namespace {

const std::wstring kOemKey = L"ControlPanel\\OEMINFORMATION";
const std::wstring kChargeKey = L"ControlPanel\\BatteryCharge";

std::vector<uint8_t> Le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

TEST(HandsetOperations, WithNoHandsetEveryOperationSaysSo) {
    FakeHandsetLink link;
    link.present = false;
    link.pcFiles[L"Quillo.exe"] = {1, 2, 3};
    HandsetOperations handset(link);

    EXPECT_EQ(nullptr, handset.OpenHandsetConnection());
    EXPECT_EQ(nullptr, handset.ReadHandsetVersion());
    EXPECT_EQ(-2, handset.ReadBatteryCharge());
    EXPECT_EQ(0u, handset.ReadBatteryPercent());
    EXPECT_EQ(0, handset.StartSwitchTool(0xCE));
    EXPECT_EQ(Transcript(5, "connect"), link.calls);
}

TEST(HandsetOperations, ReadsTheVersionTextAndClosesWhatItOpened) {
    FakeHandsetLink link;
    link.SetText(kOemKey, L"ZR_VERSION", L"ROM 1.0.4 WWE");
    HandsetOperations handset(link);

    const wchar_t* version = handset.ReadHandsetVersion();

    ASSERT_NE(nullptr, version);
    EXPECT_STREQ(L"ROM 1.0.4 WWE", version);
    EXPECT_EQ((Transcript{"connect", "open key ControlPanel\\OEMINFORMATION",
                          "query ZR_VERSION 400", "close key", "end connection"}),
              link.calls);
}

// The buffer holds 200 wide characters, terminator included: a text that fills it without a
// terminator of its own still comes back terminated.
TEST(HandsetOperations, VersionTextFillingTheBufferComesBackTerminated) {
    struct Case {
        size_t chars;
        bool terminated;
        size_t expectedChars; // SIZE_MAX: no text
    } cases[] = {{199, true, 199}, {200, false, 199},     {199, false, 199},
                 {5, false, 5},    {200, true, SIZE_MAX}, {0, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.chars) + (c.terminated ? " terminated" : " bare"));
        FakeHandsetLink link;
        HandsetOperations handset(link);
        // What an earlier, longer read left in the buffer must not show through.
        link.SetText(kOemKey, L"ZR_VERSION", std::wstring(199, L'Z'));
        ASSERT_NE(nullptr, handset.ReadHandsetVersion());
        std::wstring text;
        for (size_t i = 0; i < c.chars; ++i)
            text += static_cast<wchar_t>(L'a' + i % 26);
        link.SetText(kOemKey, L"ZR_VERSION", text, c.terminated);

        const wchar_t* version = handset.ReadHandsetVersion();
        if (c.expectedChars == SIZE_MAX) {
            EXPECT_EQ(nullptr, version);
            continue;
        }
        ASSERT_NE(nullptr, version);
        EXPECT_EQ(c.expectedChars, std::wcslen(version));
        EXPECT_EQ(text.substr(0, c.expectedChars), std::wstring(version));
    }
}

TEST(HandsetOperations, VersionReadFailsWithoutKeyOrValue) {
    FakeHandsetLink noKey;
    EXPECT_EQ(nullptr, HandsetOperations(noKey).ReadHandsetVersion());
    EXPECT_EQ((Transcript{"connect", "open key ControlPanel\\OEMINFORMATION", "end connection"}),
              noKey.calls);

    FakeHandsetLink noValue;
    noValue.SetText(kOemKey, L"OTHER", L"x");
    EXPECT_EQ(nullptr, HandsetOperations(noValue).ReadHandsetVersion());
    EXPECT_EQ((Transcript{"connect", "open key ControlPanel\\OEMINFORMATION",
                          "query ZR_VERSION 400", "close key", "end connection"}),
              noValue.calls);
}

TEST(HandsetOperations, ChargeIsTheRegistryValueSignedOrMinusOne) {
    FakeHandsetLink link;
    HandsetOperations handset(link);
    EXPECT_EQ(-1, handset.ReadBatteryCharge()); // no key

    link.SetValue(kChargeKey, L"other", Le32(80));
    EXPECT_EQ(-1, handset.ReadBatteryCharge()); // no value

    link.SetValue(kChargeKey, L"charge", Le32(49));
    link.calls.clear();
    EXPECT_EQ(49, handset.ReadBatteryCharge());
    EXPECT_EQ((Transcript{"connect", "open key ControlPanel\\BatteryCharge", "query charge 4",
                          "close key", "end connection"}),
              link.calls);

    link.SetValue(kChargeKey, L"charge", Le32(0xFFFFFFFB));
    EXPECT_EQ(-5, handset.ReadBatteryCharge());

    link.SetValue(kChargeKey, L"charge", {1, 2, 3, 4, 5}); // larger than the integer
    EXPECT_EQ(-1, handset.ReadBatteryCharge());
    EXPECT_EQ(0, link.openConnections);
}

TEST(HandsetOperations, PercentageComesFromThePowerStatus) {
    FakeHandsetLink link;
    HandsetOperations handset(link);
    for (uint8_t percent : {0, 49, 50, 100, 255}) {
        link.percent = percent;
        EXPECT_EQ(percent, handset.ReadBatteryPercent());
    }
    link.hasPowerStatus = false;
    link.percent = 77;
    EXPECT_EQ(0u, handset.ReadBatteryPercent());
    EXPECT_EQ(0, link.openConnections);
}

TEST(HandsetOperations, CopiesTheSwitchToolAndStartsItWithTheModesArgument) {
    const struct {
        uint8_t mode;
        const char* argument;
    } modes[] = {{0xC0, "cp"}, {0xCE, "other"}, {0xE0, "other"}, {0x00, "other"}, {0xC1, "other"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        FakeHandsetLink link;
        link.pcFiles[L"Quillo.exe"] = {'M', 'Z', 0x90, 0, 7};
        HandsetOperations handset(link);

        EXPECT_EQ(1, handset.StartSwitchTool(m.mode));

        EXPECT_EQ((std::vector<uint8_t>{'M', 'Z', 0x90, 0, 7}), link.files[L"\\Temp\\Quillo.exe"]);
        EXPECT_EQ(
            (Transcript{"connect", "read PC file Quillo.exe", "create \\Temp\\Quillo.exe",
                        "write 5", "close file",
                        std::string("start \\Temp\\Quillo.exe ") + m.argument, "end connection"}),
            link.calls);
    }
}

// A copy that fails is waited for: 2 s when no copy ever succeeded, 6 s and 2 s when an earlier
// one did. The start is tried either way, since an earlier run may have left the tool there.
TEST(HandsetOperations, FailedCopyPausesThenStartsWhatTheHandsetHolds) {
    FakeHandsetLink link;
    HandsetOperations handset(link);

    EXPECT_EQ(0, handset.StartSwitchTool(0xCE)); // no Quillo.exe anywhere
    EXPECT_EQ((Transcript{"connect", "read PC file Quillo.exe", "pause 2000",
                          "start \\Temp\\Quillo.exe other", "end connection"}),
              link.calls);

    link.pcFiles[L"Quillo.exe"] = {1, 2};
    EXPECT_EQ(1, handset.StartSwitchTool(0xCE));

    link.calls.clear();
    link.failWrite = true;
    EXPECT_EQ(1, handset.StartSwitchTool(0xC0)); // the earlier copy still serves
    EXPECT_EQ((Transcript{"connect", "read PC file Quillo.exe", "create \\Temp\\Quillo.exe",
                          "write 2", "close file", "pause 6000", "pause 2000",
                          "start \\Temp\\Quillo.exe cp", "end connection"}),
              link.calls);

    link.calls.clear();
    link.failWrite = false;
    link.failCreate = true;
    link.failStart = true;
    EXPECT_EQ(0, handset.StartSwitchTool(0xCE));
    EXPECT_EQ(
        (Transcript{"connect", "read PC file Quillo.exe", "create \\Temp\\Quillo.exe", "pause 6000",
                    "pause 2000", "start \\Temp\\Quillo.exe other", "end connection"}),
        link.calls);
    EXPECT_EQ(0, link.openConnections);
}

} // namespace
