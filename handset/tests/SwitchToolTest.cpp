#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "SwitchTool.h"

namespace {

// A handset whose firmware controls succeed unless told otherwise, with a switch log as text.
class FakeHandset : public HandsetPlatform {
public:
    bool KernelIoControl(uint32_t code, void* input, uint32_t inputSize) override {
        int32_t value = -1;
        if (inputSize == 4)
            std::memcpy(&value, input, 4);
        controls.push_back(code);
        inputs.push_back(value);
        return failing.count(code) == 0;
    }
    uint32_t TickCount() override { return ticks += 1000; }
    void AppendLogEntry(const char* head, uint32_t headLength, const char* text,
                        uint32_t textLength) override {
        log.append(head, headLength).append(text, textLength);
        ++opens;
    }
    void Reboot() override { ++reboots; }

    std::set<uint32_t> failing;
    std::vector<uint32_t> controls;
    std::vector<int32_t> inputs;
    uint32_t ticks = 0;
    std::string log;
    int opens = 0;
    int reboots = 0;
};

struct ToolRun {
    const wchar_t* commandLine;
    std::set<uint32_t> failing;
    std::vector<uint32_t> controls;
    const char* log;
    int reboots;
};

TEST(SwitchTool, SetsTheFlagsTheArgumentAsksForLogsAndReboots) {
    const ToolRun runs[] = {
        {L"other",
         {},
         {0x0101208C},
         "\n[00001000]Write update flag OK.\n[00002000]other\n[00003000]Update area is not CP.",
         1},
        {L"cp",
         {},
         {0x0101208C, 0x01012084, 0x01012080},
         "\n[00001000]Write update flag OK.\n[00002000]cp\n[00003000]Update area is cp."
         "\n[00004000]Write MasterClear flag OK.",
         1},
        {L"CP",
         {},
         {0x0101208C, 0x01012084, 0x01012080},
         "\n[00001000]Write update flag OK.\n[00002000]CP\n[00003000]Update area is cp."
         "\n[00004000]Write MasterClear flag OK.",
         1},
        {L"  \"Cp\"  extra args",
         {},
         {0x0101208C, 0x01012084, 0x01012080},
         "\n[00001000]Write update flag OK.\n[00002000]Cp\n[00003000]Update area is cp."
         "\n[00004000]Write MasterClear flag OK.",
         1},
        {L"cpx",
         {},
         {0x0101208C},
         "\n[00001000]Write update flag OK.\n[00002000]cpx\n[00003000]Update area is not CP.",
         1},
        {L"\"c p\"",
         {},
         {0x0101208C},
         "\n[00001000]Write update flag OK.\n[00002000]c p\n[00003000]Update area is not CP.",
         1},
        {L"", {}, {0x0101208C}, "\n[00001000]Write update flag OK.", 1},
        {nullptr, {}, {0x0101208C}, "\n[00001000]Write update flag OK.", 1},
        {L"cp", {0x0101208C}, {0x0101208C}, "", 0},
        {L"other", {0x0101208C}, {0x0101208C}, "", 0},
        {L"cp",
         {0x01012084},
         {0x0101208C, 0x01012084},
         "\n[00001000]Write update flag OK.\n[00002000]cp\n[00003000]Update area is cp.",
         0},
        {L"cp",
         {0x01012080},
         {0x0101208C, 0x01012084, 0x01012080},
         "\n[00001000]Write update flag OK.\n[00002000]cp\n[00003000]Update area is cp.",
         0},
    };
    for (const ToolRun& run : runs) {
        SCOPED_TRACE(run.log);
        FakeHandset handset;
        handset.failing = run.failing;

        EXPECT_EQ(0, RunSwitchTool(handset, run.commandLine));

        EXPECT_EQ(run.controls, handset.controls);
        EXPECT_EQ(std::vector<int32_t>(run.controls.size(), 1), handset.inputs);
        EXPECT_EQ(run.log, handset.log);
        EXPECT_EQ(run.reboots, handset.reboots);
    }
}

TEST(SwitchTool, EachEntryOpensTheLogOnItsOwn) {
    FakeHandset handset;
    RunSwitchTool(handset, L"other");
    EXPECT_EQ(3, handset.opens);
}

TEST(SwitchTool, TickCountIsASignedDecimalOfAtLeastEightDigits) {
    const struct {
        uint32_t ticks;
        const char* head;
    } cases[] = {{0, "\n[00000000]"},
                 {1234, "\n[00001234]"},
                 {123456789, "\n[123456789]"},
                 {2147483647u, "\n[2147483647]"},
                 {0xFFFFFFFFu, "\n[-00000001]"},
                 {0x80000000u, "\n[-2147483648]"}};
    for (const auto& c : cases) {
        char head[100];
        const uint32_t length = FormatLogHead(c.ticks, head);
        EXPECT_EQ(std::string(c.head), std::string(head, length));
        EXPECT_EQ(std::strlen(c.head), std::strlen(head));
    }
}

TEST(SwitchTool, LongArgumentIsCutNotOverrun) {
    std::wstring commandLine(5000, L'x');
    wchar_t argument[8];
    ASSERT_TRUE(FirstArgument(commandLine.c_str(), argument, 8));
    EXPECT_EQ(std::wstring(7, L'x'), std::wstring(argument));

    FakeHandset handset;
    RunSwitchTool(handset, (L"cp" + commandLine).c_str());
    EXPECT_EQ(std::vector<uint32_t>{0x0101208C}, handset.controls);
    EXPECT_NE(std::string::npos, handset.log.find("\n[00003000]Update area is not CP."));
}

TEST(SwitchTool, NonAsciiArgumentIsLoggedWithQuestionMarks) {
    FakeHandset handset;
    RunSwitchTool(handset, L"c\u00e9p");
    EXPECT_NE(std::string::npos, handset.log.find("\n[00002000]c?p\n"));
}

} // namespace
