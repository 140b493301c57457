#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaseName.h"
#include "CommandLine.h"
#include "FlasherOptions.h"
#include "Outcome.h"

namespace {

ParseResult Parse(std::vector<std::string> words, FlasherOptions& o, std::string& error) {
    words.insert(words.begin(), "kovflash");
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    return ParseFlasherArgs(static_cast<int>(argv.size()), argv.data(), o, error);
}

struct ParseCase {
    const char* name;
    std::vector<std::string> words;
    ParseResult result;
    std::vector<std::string> devices;
    std::string kit;
    int waitSeconds;
    std::string error;
    uint32_t transferMs = 60000;
    uint32_t flashMs = 600000;
};

class FlasherOptionsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FlasherOptionsTest, ReadsTheLine) {
    const ParseCase& c = GetParam();
    FlasherOptions o;
    std::string error;
    EXPECT_EQ(Parse(c.words, o, error), c.result);
    EXPECT_EQ(error, c.error);
    if (c.result == ParseResult::Run) {
        EXPECT_EQ(o.devices, c.devices);
        EXPECT_EQ(o.kit, c.kit);
        EXPECT_EQ(o.waitSeconds, c.waitSeconds);
        EXPECT_EQ(o.timeouts.transferMs, c.transferMs);
        EXPECT_EQ(o.timeouts.flashMs, c.flashMs);
    }
}

const ParseCase kParseCases[] = {
    {"one_device",
     {"--device", "/dev/ttyACM0", "kit"},
     ParseResult::Run,
     {"/dev/ttyACM0"},
     "kit",
     60,
     ""},
    {"value_after_equals",
     {"--device=/dev/ttyACM0", "--wait=5", "kit"},
     ParseResult::Run,
     {"/dev/ttyACM0"},
     "kit",
     5,
     ""},
    {"equals_inside_the_value", {"--device=/tmp/a=b"}, ParseResult::Run, {"/tmp/a=b"}, "", 60, ""},
    {"several_devices_in_order",
     {"-d", "/dev/ttyACM1", "--device", "/dev/ttyACM0", "--device=/dev/ttyACM2", "kit"},
     ParseResult::Run,
     {"/dev/ttyACM1", "/dev/ttyACM0", "/dev/ttyACM2"},
     "kit",
     60,
     ""},
    {"kit_after_double_dash",
     {"--device", "x", "--", "-kit"},
     ParseResult::Run,
     {"x"},
     "-kit",
     60,
     ""},
    {"time_limits",
     {"--transfer-timeout=5", "--flash-timeout", "900", "-d", "x"},
     ParseResult::Run,
     {"x"},
     "",
     60,
     "",
     5000,
     900000},
    {"time_limit_of_no_seconds",
     {"--flash-timeout=0"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: --flash-timeout needs a valid value\n"},
    {"device_twice",
     {"--device", "/dev/ttyACM0", "--device=/dev/ttyACM0"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: the device /dev/ttyACM0 is named twice\n"},
    {"device_without_value",
     {"--device"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: --device needs a valid value\n"},
    {"empty_device",
     {"--device="},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: --device needs a valid value\n"},
    {"bad_wait",
     {"--wait=soon"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: --wait needs a valid value\n"},
    {"flag_given_a_value",
     {"--quiet=yes"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: --quiet takes no value\n"},
    {"all_and_device",
     {"--all", "--device", "x"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: give either --all or --device, not both\n"},
    {"two_kits",
     {"kit", "other"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: one kit directory only; other is a second\n"},
    {"unknown",
     {"--frobnicate=1"},
     ParseResult::Usage,
     {},
     "",
     0,
     "kovflash: unknown option --frobnicate\n"},
    {"version", {"--device", "x", "--version"}, ParseResult::Version, {}, "", 0, ""},
    {"help_wins", {"--version", "--help"}, ParseResult::Help, {}, "", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Lines, FlasherOptionsTest, ::testing::ValuesIn(kParseCases), CaseName());

TEST(ToolVersion, ComesFromTheBuild) {
    EXPECT_STREQ(ToolVersion(), "2.1.1");
}

DeviceOutcome Ended(const char* device, int exit) {
    DeviceOutcome o;
    o.device = device;
    o.exit = exit;
    return o;
}

struct ExitCase {
    const char* name;
    std::vector<int> exits;
    int combined;
};

class CombinedExitTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(CombinedExitTest, SaysWhetherAllFinished) {
    std::vector<DeviceOutcome> outcomes;
    for (int exit : GetParam().exits)
        outcomes.push_back(Ended("d", exit));
    EXPECT_EQ(CombinedExit(outcomes), GetParam().combined);
}

const ExitCase kExitCases[] = {
    {"one_finished", {0}, 0},
    {"one_refused", {5}, 5},
    {"all_finished", {0, 0, 0, 0}, 0},
    {"all_never_appeared", {4, 4}, 4},
    {"all_stopped", {130, 130, 130}, 130},
    {"some_failed", {0, 1, 5, 0}, 7},
    {"one_failed_of_two", {0, 6}, 7},
    {"none", {}, 4},
};

INSTANTIATE_TEST_SUITE_P(Runs, CombinedExitTest, ::testing::ValuesIn(kExitCases), CaseName());

TEST(Summary, LinesUpTheColumns) {
    DeviceOutcome a = Ended("/dev/ttyACM0", 0), b = Ended("/dev/ttyACM10", 5);
    a.result = "finished";
    a.state = "The handset has its new firmware.";
    a.seconds = 12.34;
    b.result = "refused the key";
    b.state = "The handset refused the kit.";
    b.seconds = 0.4;
    const std::vector<std::string> lines = SummaryLines({a, b});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "  /dev/ttyACM0   finished         exit   0    12.3 s  The handset has its new firmware.");
    EXPECT_EQ(lines[1],
              "  /dev/ttyACM10  refused the key  exit   5     0.4 s  The handset refused the kit.");
}

} // namespace
