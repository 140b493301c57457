// The emulated line rate: the schedule as a pure function of the times it is told, the paced
// line over a real in-memory wire with a clock that never sleeps, and the option that sets it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "CaseName.h"
#include "LineSchedule.h"
#include "MemoryWire.h"
#include "PacedLine.h"
#include "ScriptOptions.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;

struct Booking {
    nanoseconds at;
    uint64_t bytes;
    nanoseconds wait;
};

struct ScheduleCase {
    const char* name;
    uint64_t rate;
    uint64_t burst;
    std::vector<Booking> bookings;
};

void PrintTo(const ScheduleCase& c, std::ostream* os) {
    *os << c.name;
}

class Schedule : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(Schedule, WaitsAsTheLineWould) {
    const ScheduleCase& c = GetParam();
    LineSchedule schedule(c.rate, c.burst);
    for (size_t i = 0; i < c.bookings.size(); ++i) {
        const Booking& b = c.bookings[i];
        EXPECT_EQ(schedule.Take(b.bytes, b.at).count(), b.wait.count()) << "booking " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Schedule,
    ::testing::Values(ScheduleCase{"BackToBackTransfersQueue",
                                   1000,
                                   0,
                                   {{seconds(0), 500, milliseconds(500)},
                                    {seconds(0), 500, milliseconds(1000)},
                                    {seconds(1), 1, milliseconds(1)}}},
                      ScheduleCase{"AnIdleLineSpendsItsBankAtOnceThenPaces",
                                   1000,
                                   100,
                                   {{seconds(10), 100, nanoseconds(0)},
                                    {seconds(10), 100, milliseconds(100)},
                                    {seconds(10) + milliseconds(50), 10, milliseconds(60)}}},
                      ScheduleCase{"ALongPauseBanksNoMoreThanTheBurst",
                                   1000,
                                   100,
                                   {{seconds(0), 1000, milliseconds(900)},
                                    {seconds(100), 1000, milliseconds(900)}}},
                      ScheduleCase{"ARateThatDoesNotDivideASecondKeepsItsPace",
                                   3,
                                   0,
                                   {{seconds(0), 1, nanoseconds(333333333)},
                                    {seconds(0), 1, nanoseconds(666666666)},
                                    {seconds(0), 1, nanoseconds(1000000000)},
                                    {seconds(0), 3, nanoseconds(2000000000)}}},
                      ScheduleCase{
                          "LargeTransfersAtLargeRatesDoNotOverflow",
                          0xFFFFFFFFull,
                          0,
                          {{seconds(0), 0xFFFFFFFFull, seconds(1)},
                           // 4R - 1 bytes at R a second: 3.99999999977 s.
                           {seconds(1), 0xFFFFFFFFull * 4 - 1, seconds(4) - nanoseconds(1)}}}),
    CaseName());

// Time that passes only when the line sleeps.
class ScriptedClock : public LineClock {
public:
    LineSchedule::Duration Now() override { return now; }
    void Sleep(LineSchedule::Duration duration) override {
        now += duration;
        sleeps.push_back(duration);
    }
    LineSchedule::Duration now = seconds(100);
    std::vector<LineSchedule::Duration> sleeps;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return bytes;
}

TEST(PacedLine, MovesEveryByteUnchangedBothWaysInTheLinesTimeAndInShortSleeps) {
    MemoryWire wire;
    BytePipe& host = wire.HostEnd();
    ASSERT_NE(host.Open(), INVALID_DEVICE_HANDLE);
    ScriptedClock clock;
    PacedLine line(wire.DeviceEnd(), 1000000, clock);
    const LineSchedule::Duration start = clock.now;

    const std::vector<uint8_t> fromHost = Pattern(100000);
    ASSERT_TRUE(host.WriteAll(fromHost.data(), static_cast<uint32_t>(fromHost.size())));
    std::vector<uint8_t> read(fromHost.size());
    ASSERT_TRUE(line.Read(read.data(), static_cast<uint32_t>(read.size())));
    EXPECT_EQ(read, fromHost);
    // 100,000 bytes at 1,000,000 a second, less the 4 ms an idle line banks.
    EXPECT_EQ(clock.now - start, milliseconds(96));

    const std::vector<uint8_t> toHost = Pattern(50000);
    ASSERT_TRUE(line.Write(toHost.data(), static_cast<uint32_t>(toHost.size())));
    std::vector<uint8_t> received(toHost.size());
    ASSERT_TRUE(host.ReadAll(received.data(), static_cast<uint32_t>(received.size())));
    EXPECT_EQ(received, toHost);
    EXPECT_EQ(clock.now - start, milliseconds(146)) << "both directions share the line";

    for (LineSchedule::Duration slept : clock.sleeps)
        EXPECT_LE(slept, milliseconds(4)) << "a pulled cable must not wait out a long sleep";
    host.Close();
}

TEST(ScriptOptions, LineRateCountsInThousandsAndMillions) {
    const std::pair<const char*, uint32_t> good[] = {
        {"1M", 1000000}, {"500k", 500000}, {"1000", 1000}, {"0", 0}, {"4294967295", 4294967295u}};
    for (const auto& g : good) {
        BootLoaderScript s;
        EXPECT_TRUE(ApplyScriptOption("--line-rate", g.first, s).Ok()) << g.first;
        EXPECT_EQ(s.lineRate, g.second) << g.first;
    }
    for (const char* bad : {"", "k", "1G", "1m", "1.5M", "-1", "+1", "0x10", "1MM", "4295M"}) {
        BootLoaderScript s;
        const Result applied = ApplyScriptOption("--line-rate", bad, s);
        EXPECT_FALSE(applied.Ok()) << "'" << bad << "'";
        EXPECT_NE(applied.Message().find("--line-rate"), std::string::npos) << applied.Message();
    }
}

} // namespace
