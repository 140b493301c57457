#include <gtest/gtest.h>

#include "ScriptedHandset.h"

namespace {

struct Road {
    const char* name;
    std::deque<int32_t> charges;
    std::deque<uint32_t> percents;
    bool startSucceeds;
    uint8_t updateMode;
    Transcript expected; // after the common opening
};

const char kLowBattery[] = "message [WARNING] The power of main battery is less than 50%. In order "
                           "to make sure the update successful, please charge it first!";

class PreparationRoadsTest : public ::testing::TestWithParam<Road> {};

TEST_P(PreparationRoadsTest, TakesTheRoadTheHandsetsAnswersLeadTo) {
    const Road& road = GetParam();
    Transcript transcript;
    ScriptedHandset handset(transcript);
    handset.version = L"ROM 1.2.3";
    handset.charges = road.charges;
    handset.percents = road.percents;
    handset.startSucceeds = road.startSucceeds;
    RecordingSteps steps(transcript);

    RunPreparationRoads(handset, steps, road.updateMode);

    Transcript expected = {"end preparation page", "version ROM 1.2.3", "wait window NORMAL"};
    expected.insert(expected.end(), road.expected.begin(), road.expected.end());
    EXPECT_EQ(expected, transcript);
}

INSTANTIATE_TEST_SUITE_P(
    Roads, PreparationRoadsTest,
    ::testing::Values(
        Road{"no_handset_three_reads_two_pauses",
             {},
             {},
             true,
             0xCE,
             {"charge -2", "charge -2", "pause 1000", "charge -2", "pause 1000", "end wait window",
              "wait window SUPER", "rescue update page"}},
        Road{"answers_on_the_second_read_without_a_pause",
             {-2, 80, 80, 80},
             {},
             true,
             0xCE,
             {"charge -2", "charge 80", "charge 80", "charge 80", "switch tool other started",
              "normal update page \"ROM 1.2.3\""}},
        Road{"answers_on_the_third_read_after_one_pause",
             {-2, -2, 60, 60, 60},
             {},
             true,
             0xE0,
             {"charge -2", "charge -2", "pause 1000", "charge 60", "charge 60", "charge 60",
              "switch tool other started", "normal update page \"ROM 1.2.3\""}},
        Road{"charge_49_unknown_battery_status",
             {49, 49, 49},
             {},
             true,
             0xCE,
             {"charge 49", "charge 49", "charge 49", "end wait window", "error page 1"}},
        Road{"charge_50_starts_the_switch_tool",
             {50, 50, 50},
             {},
             true,
             0xCE,
             {"charge 50", "charge 50", "charge 50", "switch tool other started",
              "normal update page \"ROM 1.2.3\""}},
        Road{"customization_partition_update_passes_cp",
             {100, 100, 100},
             {},
             true,
             0xC0,
             {"charge 100", "charge 100", "charge 100", "switch tool cp started",
              "normal update page \"ROM 1.2.3\""}},
        Road{"no_charge_value_percentage_0_cannot_connect",
             {-1, -1},
             {0},
             true,
             0xCE,
             {"charge -1", "charge -1", "percent 0", "end wait window", "error page 0"}},
        Road{
            "no_charge_value_percentage_49_warning_box",
            {-1, -1},
            {49, 49},
            true,
            0xCE,
            {"charge -1", "charge -1", "percent 49", "percent 49", "end wait window", kLowBattery}},
        Road{"no_charge_value_percentage_50_goes_on",
             {-1, -1},
             {50, 50},
             true,
             0xCE,
             {"charge -1", "charge -1", "percent 50", "percent 50", "switch tool other started",
              "normal update page \"ROM 1.2.3\""}},
        Road{"no_charge_value_percentage_255_counts_as_charged",
             {-1, -1},
             {255, 255},
             true,
             0xC0,
             {"charge -1", "charge -1", "percent 255", "percent 255", "switch tool cp started",
              "normal update page \"ROM 1.2.3\""}},
        Road{"vanishes_after_the_first_read",
             {80},
             {},
             true,
             0xCE,
             {"charge 80", "charge -2", "charge -2", "end wait window", "error page 1"}},
        Road{"loses_its_charge_value_before_the_last_read",
             {80, 80, -1},
             {},
             true,
             0xCE,
             {"charge 80", "charge 80", "charge -1", "end wait window", "error page 1"}},
        Road{"gains_a_charge_value_after_the_first_read",
             {-1, 30, 30},
             {},
             true,
             0xCE,
             {"charge -1", "charge 30", "charge 30", "end wait window", "error page 1"}},
        Road{"switch_tool_does_not_start",
             {90, 90, 90},
             {},
             false,
             0xCE,
             {"charge 90", "charge 90", "charge 90", "switch tool other failed", "end wait window",
              "error page 2"}}),
    [](const ::testing::TestParamInfo<Road>& road) { return std::string(road.param.name); });

TEST(PreparationRoads, HandsTheNormalPageNoVersionWhenItsReadFailed) {
    Transcript transcript;
    ScriptedHandset handset(transcript);
    handset.charges = {70, 70, 70};
    RecordingSteps steps(transcript);

    RunPreparationRoads(handset, steps, 0xCE);

    EXPECT_EQ("version none", transcript.at(1));
    EXPECT_EQ("normal update page without version", transcript.back());
}

} // namespace
