#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "ArmProcessor.h"
#include "CaseName.h"
#include "HandMadePe.h"
#include "RunningHandset.h"
#include "TempDir.h"
#include "Utf8.h"

namespace {

using Failure = RunningHandset::StartFailure;
namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct LogEntry {
    int32_t ticks;
    std::string text;
};

// The switch log's entries: each a line break, the tick count in brackets as a signed decimal
// of at least eight digits, then the text. False when the log has anything else.
bool ParseSwitchLog(const std::string& log, std::vector<LogEntry>& entries) {
    static const std::regex entry("\n\\[(-?[0-9]{8,})\\]([^\n]*)");
    entries.clear();
    size_t parsed = 0;
    for (std::sregex_iterator it(log.begin(), log.end(), entry), end; it != end; ++it) {
        if (static_cast<size_t>(it->position()) != parsed)
            return false;
        entries.push_back({static_cast<int32_t>(std::stol((*it)[1])), (*it)[2]});
        parsed += static_cast<size_t>(it->length());
    }
    return parsed == log.size();
}

class RunningHandsetTest : public ::testing::Test {
protected:
    RunningHandset Handset(const std::string& ini) {
        std::ofstream(dir.File("handset.ini"), std::ios::binary) << ini << ArmProcessor::IniLines();
        return RunningHandset(dir.Path());
    }
    void PutSwitchTool(RunningHandset& handset) {
        ASSERT_TRUE(handset.WriteFile(L"\\Temp\\Quillo.exe", ArmProcessor::SwitchToolImage()));
    }
    // The program's exit status once it has ended; empty when it still ran after a while.
    std::string AwaitExit() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        do {
            const std::string status = Slurp(dir.File("exited"));
            if (!status.empty() && status.back() == '\n')
                return status.substr(0, status.size() - 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        ADD_FAILURE() << "the program had not ended 15 s after its start";
        return "";
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
    EXPECT_FALSE(handset.SessionLocked());
    EXPECT_FALSE(handset.DeviceInfoLocked());
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

// A locked handset is listed on ActiveSync all the same; only its session or its device
// information is refused.
TEST_F(RunningHandsetTest, LockedHandsetIsStillListed) {
    RunningHandset session = Handset("locked=init\n");
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(session.SessionLocked());
    EXPECT_FALSE(session.DeviceInfoLocked());

    RunningHandset info = Handset("locked=device_info\n");
    EXPECT_TRUE(info.Connected());
    EXPECT_FALSE(info.SessionLocked());
    EXPECT_TRUE(info.DeviceInfoLocked());
}

// One run of the switch tool's handset image, started as the wizard starts it.
struct ProgramRun {
    const char* name;
    const char* ini;
    const wchar_t* commandLine;
    uint32_t uptime;
    const char* flags;
    std::vector<std::string> entries;
    bool rebooted;
};

const ProgramRun kRuns[] = {
    {"Other",
     "",
     L"other",
     0,
     "update\n",
     {"Write update flag OK.", "other", "Update area is not CP."},
     true},
    {"Cp",
     "",
     L"cp",
     0,
     "update\ncp-area\nmasterclear\n",
     {"Write update flag OK.", "cp", "Update area is cp.", "Write MasterClear flag OK."},
     true},
    {"CpOnXScale",
     "cpu=pxa270\n",
     L"cp",
     0,
     "update\ncp-area\nmasterclear\n",
     {"Write update flag OK.", "cp", "Update area is cp.", "Write MasterClear flag OK."},
     true},
    {"UpdateFlagRefused", "update_flag=fail\n", L"other", 0, "", {}, false},
    {"CpAreaRefused",
     "cp_area=fail\n",
     L"cp",
     0,
     "update\n",
     {"Write update flag OK.", "cp", "Update area is cp."},
     false},
    {"MasterClearFlagRefused",
     "masterclear_flag=fail\n",
     L"cp",
     0,
     "update\ncp-area\n",
     {"Write update flag OK.", "cp", "Update area is cp."},
     false},
    {"OptionLikeArgument",
     "",
     L"--ticks",
     0,
     "update\n",
     {"Write update flag OK.", "--ticks", "Update area is not CP."},
     true},
    // Past 2^31 ms, 24.8 days, the tick count reads as a negative number.
    {"UpForTwentyFiveDays",
     "uptime=2160000000\n",
     L"other",
     2160000000u,
     "update\n",
     {"Write update flag OK.", "other", "Update area is not CP."},
     true},
};

void PrintTo(const ProgramRun& run, std::ostream* out) {
    *out << run.name;
}

class SwitchToolRun : public RunningHandsetTest,
                      public ::testing::WithParamInterface<ProgramRun> {};

TEST_P(SwitchToolRun, ActsOnTheHandsetThroughTheEmulatedProgram) {
    KOV_NEED_ARM_PROCESSOR();
    const ProgramRun& run = GetParam();
    RunningHandset handset = Handset(run.ini);
    PutSwitchTool(handset);

    std::string why;
    ASSERT_EQ(Failure::kNone, handset.Start(L"\\Temp\\Quillo.exe", run.commandLine, why)) << why;
    ASSERT_EQ("0", AwaitExit()) << Slurp(dir.File("program.txt"));

    EXPECT_EQ(run.flags, Slurp(dir.File("flags.txt")));
    std::vector<LogEntry> entries;
    const std::string log = Slurp(dir.File("files/Temp/log.txt"));
    ASSERT_TRUE(ParseSwitchLog(log, entries)) << log;
    std::vector<std::string> texts;
    for (const LogEntry& entry : entries) {
        texts.push_back(entry.text);
        // The handset's tick count runs from its uptime when the program started.
        EXPECT_LT(static_cast<uint32_t>(entry.ticks) - run.uptime, 60000u) << entry.ticks;
    }
    EXPECT_EQ(run.entries, texts);
    EXPECT_EQ(run.rebooted, fs::exists(dir.File("rebooted")));
    EXPECT_EQ(!run.rebooted, handset.Connected()) << "a rebooted handset has left ActiveSync";
}

INSTANTIATE_TEST_SUITE_P(Runs, SwitchToolRun, ::testing::ValuesIn(kRuns), CaseName());

TEST_F(RunningHandsetTest, AnUnknownProcessorRunsNothing) {
    KOV_NEED_ARM_PROCESSOR();
    RunningHandset handset = Handset("cpu=no-such-arm\n");
    PutSwitchTool(handset);

    std::string why;
    ASSERT_EQ(Failure::kNone, handset.Start(L"\\Temp\\Quillo.exe", L"other", why)) << why;

    EXPECT_NE("0", AwaitExit());
    EXPECT_NE("", Slurp(dir.File("program.txt"))) << "the emulator says why";
    EXPECT_FALSE(fs::exists(dir.File("flags.txt")));
    EXPECT_TRUE(handset.Connected());
}

TEST_F(RunningHandsetTest, StartReturnsAfterTheProgramWhenAsked) {
    KOV_NEED_ARM_PROCESSOR();
    RunningHandset handset = Handset("start_returns=after_exit\n");
    PutSwitchTool(handset);

    std::string why;
    ASSERT_EQ(Failure::kNone, handset.Start(L"\\Temp\\Quillo.exe", L"other", why)) << why;

    EXPECT_EQ("0\n", Slurp(dir.File("exited")));
    EXPECT_TRUE(fs::exists(dir.File("rebooted")));
    EXPECT_FALSE(handset.Connected());
}

#ifndef _WIN32
// As on a handset, the program runs after the start call has returned. Here its switch log is
// a pipe that nobody reads yet, so its first entry holds it up until the test reads it.
TEST_F(RunningHandsetTest, StartReturnsWhileTheProgramStillRuns) {
    KOV_NEED_ARM_PROCESSOR();
    RunningHandset handset = Handset("");
    PutSwitchTool(handset);
    fs::create_directories(dir.File("files/Temp"));
    const std::string log = dir.File("files/Temp/log.txt");
    ASSERT_EQ(0, ::mkfifo(log.c_str(), 0600));

    // Should the test stop early, a reader that comes and goes lets the waiting program on, so
    // that it ends instead of waiting for ever.
    struct Release {
        std::string pipe;
        ~Release() {
            const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
            if (reader >= 0)
                ::close(reader);
        }
    } release{log};

    std::string why;
    ASSERT_EQ(Failure::kNone, handset.Start(L"\\Temp\\Quillo.exe", L"other", why)) << why;

    // The update flag is set before the first entry is written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (Slurp(dir.File("flags.txt")).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ("update\n", Slurp(dir.File("flags.txt"))) << "no flag 15 s after the start";
    EXPECT_FALSE(fs::exists(dir.File("exited")));
    EXPECT_TRUE(handset.Connected());

    // Reading lets the waiting entry through; the later ones go to a plain file.
    const int pipe = ::open(log.c_str(), O_RDONLY);
    ASSERT_GE(pipe, 0);
    ::unlink(log.c_str());
    std::string first;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipe, buffer, sizeof buffer)) > 0;)
        first.append(buffer, static_cast<size_t>(got));
    ::close(pipe);

    ASSERT_EQ("0", AwaitExit());
    std::vector<LogEntry> entries;
    ASSERT_TRUE(ParseSwitchLog(first + Slurp(log), entries)) << first << Slurp(log);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ("Write update flag OK.", entries[0].text);
    EXPECT_FALSE(handset.Connected());
}
#endif

// Files a handset would refuse to start: nothing runs, nothing on the handset changes.
struct RefusedFile {
    const char* name;
    std::vector<uint8_t> (*bytes)();
    const char* reason;
};

const RefusedFile kRefused[] = {
    {"Empty", [] { return std::vector<uint8_t>(); }, "no MZ header"},
    {"PcProgram",
     [] {
         HandMadePe pe;
         pe.machine = 0x014C;
         pe.subsystem = 3;
         return pe.Bytes();
     },
     "0x014C is not ARM"},
    {"CutCopy",
     [] {
         std::vector<uint8_t> image = ArmProcessor::SwitchToolImage();
         image.resize(image.size() / 2);
         return image;
     },
     "cut short"},
};

void PrintTo(const RefusedFile& file, std::ostream* out) {
    *out << file.name;
}

class RefusedStart : public RunningHandsetTest,
                     public ::testing::WithParamInterface<RefusedFile> {};

TEST_P(RefusedStart, NothingRuns) {
    KOV_NEED_ARM_PROCESSOR();
    RunningHandset handset = Handset("");
    ASSERT_TRUE(handset.WriteFile(L"\\Temp\\Quillo.exe", GetParam().bytes()));

    std::string why;
    EXPECT_EQ(Failure::kNotAProgram, handset.Start(L"\\Temp\\Quillo.exe", L"other", why));
    EXPECT_NE(std::string::npos, why.find(GetParam().reason)) << why;

    for (const char* trace : {"exited", "program.txt", "calls.txt", "flags.txt", "rebooted"})
        EXPECT_FALSE(fs::exists(dir.File(trace))) << trace;
    EXPECT_TRUE(handset.Connected());
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedStart, ::testing::ValuesIn(kRefused), CaseName());

TEST_F(RunningHandsetTest, WithoutItsProcessorNothingStarts) {
    std::ofstream(dir.File("handset.ini")) << "";
    RunningHandset noLoader(dir.Path());
    ASSERT_TRUE(noLoader.WriteFile(L"\\Temp\\Quillo.exe", HandMadePe().Bytes()));
    std::string why;
    EXPECT_EQ(Failure::kNoProcessor, noLoader.Start(L"\\Temp\\Quillo.exe", L"other", why));
    EXPECT_NE(std::string::npos, why.find("loader=")) << why;

    std::ofstream(dir.File("handset.ini")) << "loader=/nonexistent/ceload\n";
    RunningHandset missing(dir.Path());
    EXPECT_EQ(Failure::kNoProcessor, missing.Start(L"\\Temp\\Quillo.exe", L"other", why));
    EXPECT_NE(std::string::npos, why.find("/nonexistent/ceload")) << why;
    EXPECT_FALSE(fs::exists(dir.File("exited")));
}

TEST_F(RunningHandsetTest, StartsOnlyWhatItHoldsAndWritesOnlyInsideItsFiles) {
    RunningHandset handset = Handset("");
    std::string why;
    EXPECT_EQ(Failure::kNoFile, handset.Start(L"\\Temp\\Quillo.exe", L"other", why));
    EXPECT_EQ(Failure::kNoFile, handset.Start(L"\\Temp\\..\\..\\handset.ini", L"other", why));
    for (const wchar_t* name : {L"Temp\\x", L"\\..\\handset.ini", L"\\Temp\\..\\..\\x", L"\\C:\\x",
                                L"\\Temp\\a/../../x", L"\\Temp\\\\x", L""})
        EXPECT_FALSE(handset.WriteFile(name, {1})) << Utf8(name);
    EXPECT_EQ(ArmProcessor::IniLines(), Slurp(dir.File("handset.ini")));

    RunningHandset failing = Handset("copy=fail\n");
    EXPECT_FALSE(failing.WriteFile(L"\\Temp\\Quillo.exe", {1}));
}

} // namespace
