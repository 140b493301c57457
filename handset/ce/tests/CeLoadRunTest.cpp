#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ChildProcess.h"
#include "TempDir.h"

// The kit's Quillo.exe, run by ceload under qemu-arm on an ARMv4T and on an XScale processor:
// its calls into coredll.dll and the shell library, written out here as the switch tool must
// make them, and what they leave in the handset folder.

namespace fs = std::filesystem;

namespace {

const char* const kCpus[] = {"ti925t", "pxa270"};
const auto kRunLimit = std::chrono::seconds(30);

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<uint8_t> ReadImage() {
    const std::string text = Slurp(KOV_QUILLO_IMAGE);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A handset folder with its \Temp, as the wizard leaves it after copying the tool.
struct Handset {
    explicit Handset(bool withTemp = true) {
        if (withTemp)
            fs::create_directories(dir.File("files/Temp"));
    }
    fs::path Path(const std::string& name) const { return dir.File(name); }
    TempDir dir;
};

struct Outcome {
    bool ended = false;
    int status = -1;
    std::string output;
};

Outcome RunCeload(const char* cpu, const Handset& handset, std::vector<std::string> options,
                  const std::string& image, const std::vector<std::string>& commandLine) {
    std::vector<std::string> argv = {KOV_QEMU_ARM, "-cpu",      cpu,
                                     KOV_CELOAD,   "--handset", handset.dir.Path()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(image);
    argv.insert(argv.end(), commandLine.begin(), commandLine.end());
    ChildProcess loader(argv);
    Outcome outcome;
    if (!loader.Started()) {
        ADD_FAILURE() << "qemu-arm did not start";
        return outcome;
    }
    const auto status = loader.WaitUntil(ChildProcess::Clock::now() + kRunLimit);
    outcome.output = loader.Output();
    if (!status.ended) {
        ADD_FAILURE() << "ceload under qemu-arm -cpu " << cpu << " did not end within 30 s";
        return outcome;
    }
    outcome.ended = true;
    outcome.status = status.signaled ? 128 + status.code : status.code;
    return outcome;
}

// The records of the calls the switch tool makes. {T} stands for a tick count, which comes from
// the clock; {HEAD} and {HEADLEN} for the log entry's head made of the last one, "\n[%0.8d]".
const char kLogOpen[] =
    "CreateFileW(L\"\\\\Temp\\\\log.txt\", 0x40000000, 0x00000001, NULL, 4, 0x00000080, NULL) = ";

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::vector<std::string> Control(const char* code, int result) {
    return {std::string("KernelIoControl(") + code +
            ", \"\\x01\\x00\\x00\\x00\", 4, NULL, 0, NULL) = " + std::to_string(result)};
}

// One switch-log entry: its tick count, and the log opened, appended to and closed for it alone.
std::vector<std::string> Entry(uint32_t handle, uint32_t position, const std::string& text) {
    const std::string h = Hex(handle), n = std::to_string(text.size());
    return {"GetTickCount() = {T}",
            kLogOpen + h,
            "SetFilePointer(" + h + ", 0, NULL, 2) = " + std::to_string(position),
            "WriteFile(" + h + ", \"{HEAD}\", {HEADLEN}, [{HEADLEN}], NULL) = 1",
            "WriteFile(" + h + ", \"" + text + "\", " + n + ", [" + n + "], NULL) = 1",
            "CloseHandle(" + h + ") = 1"};
}

// An entry on a handset without \Temp: the log cannot be opened, so nothing is written.
std::vector<std::string> EntryWithoutLog() {
    return {"GetTickCount() = {T}", std::string(kLogOpen) + "0xFFFFFFFF"};
}

// The shell library loaded at run time and its reboot request reached by ordinal 2011.
std::vector<std::string> Reboot() {
    return {"LoadLibraryW(L\"aygshell.dll\") = 0x7A000000",
            "GetProcAddressW(0x7A000000, #2011) = ExitWindowsEx", "ExitWindowsEx(2, 0) = 1",
            "FreeLibrary(0x7A000000) = 1"};
}

std::vector<std::string> Calls(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    all.push_back("return 0");
    return all;
}

const char kUpdate[] = "0x0101208C";
const char kCpArea[] = "0x01012084";
const char kMasterClear[] = "0x01012080";

struct SwitchRun {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> commandLine;
    std::vector<std::string> calls;
    std::vector<std::string> entries; // the switch log's texts, in order
    std::string flags;
    bool rebooted;
    bool withTemp = true;
    uint32_t ticks = 0;
};

std::string Head(uint32_t ticks) {
    char head[32];
    // The log's "%0.8d": the 0 flag means nothing beside a precision, which pads to 8 digits.
    std::snprintf(head, sizeof head, "\n[%.8d]", static_cast<int32_t>(ticks));
    return head;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Compares the records line by line, taking each {T} from the record in its place.
std::vector<uint32_t> ExpectCalls(const std::vector<std::string>& expected,
                                  const std::vector<std::string>& actual) {
    std::vector<uint32_t> ticks;
    EXPECT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        std::string line = expected[i];
        const std::string prefix = "GetTickCount() = ";
        if (line == prefix + "{T}" && actual[i].rfind(prefix, 0) == 0) {
            ticks.push_back(static_cast<uint32_t>(std::stoul(actual[i].substr(prefix.size()))));
            line = actual[i];
        }
        if (!ticks.empty()) {
            const std::string head = Head(ticks.back());
            line = Replace(line, "{HEAD}", Replace(head, "\n", "\\n"));
            line = Replace(line, "{HEADLEN}", std::to_string(head.size()));
        }
        EXPECT_EQ(line, actual[i]) << "record " << i + 1;
    }
    return ticks;
}

void PrintTo(const SwitchRun& run, std::ostream* out) {
    *out << run.name;
}

class QuilloUnderCeload : public ::testing::TestWithParam<std::tuple<const char*, SwitchRun>> {};

TEST_P(QuilloUnderCeload, MakesEveryCallAndLeavesItsTrace) {
    const char* cpu = std::get<0>(GetParam());
    const SwitchRun& run = std::get<1>(GetParam());
    Handset handset(run.withTemp);

    const Outcome outcome = RunCeload(cpu, handset, run.options, KOV_QUILLO_IMAGE, run.commandLine);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(0, outcome.status) << outcome.output;
    EXPECT_EQ("", outcome.output) << "nothing on stdout or stderr";

    const std::vector<uint32_t> ticks =
        ExpectCalls(run.calls, Lines(Slurp(handset.Path("calls.txt"))));
    ASSERT_EQ(run.entries.size(), ticks.size()) << "one tick count per entry";
    std::string log;
    for (size_t i = 0; i < ticks.size(); ++i) {
        // A handset that started --ticks milliseconds before the loader: not before that (the
        // difference would wrap), nor later than the run could take.
        EXPECT_LE(ticks[i] - run.ticks, 30000u) << "tick count " << ticks[i];
        if (i) {
            EXPECT_LE(ticks[i - 1] - run.ticks, ticks[i] - run.ticks);
        }
        log += Head(ticks[i]) + run.entries[i];
    }
    const fs::path logFile = handset.Path("files/Temp/log.txt");
    if (run.withTemp && !run.entries.empty()) {
        EXPECT_EQ(log, Slurp(logFile));
    } else {
        EXPECT_FALSE(fs::exists(logFile));
    }
    EXPECT_EQ(run.flags, Slurp(handset.Path("flags.txt")));
    EXPECT_EQ(run.rebooted, fs::exists(handset.Path("rebooted")));
    if (run.rebooted) {
        EXPECT_EQ(0u, fs::file_size(handset.Path("rebooted")));
    }
}

const std::vector<std::string> kCpEntries = {"Write update flag OK.", "cp", "Update area is cp.",
                                             "Write MasterClear flag OK."};
const std::vector<std::string> kCpRun =
    Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."), Entry(0x104, 32, "cp"),
           Entry(0x108, 45, "Update area is cp."), Control(kCpArea, 1), Control(kMasterClear, 1),
           Entry(0x10C, 74, "Write MasterClear flag OK."), Reboot()});

std::vector<std::string> CpAs(const std::string& logged) {
    return Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."),
                  Entry(0x104, 32, logged), Entry(0x108, 45, "Update area is cp."),
                  Control(kCpArea, 1), Control(kMasterClear, 1),
                  Entry(0x10C, 74, "Write MasterClear flag OK."), Reboot()});
}

const SwitchRun kRuns[] = {
    {"cp", {}, {"cp"}, kCpRun, kCpEntries, "update\ncp-area\nmasterclear\n", true},
    {"other",
     {},
     {"other"},
     Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."),
            Entry(0x104, 32, "other"), Entry(0x108, 48, "Update area is not CP."), Reboot()}),
     {"Write update flag OK.", "other", "Update area is not CP."},
     "update\n",
     true},
    {"quoted_cp", {}, {"\"cp\""}, kCpRun, kCpEntries, "update\ncp-area\nmasterclear\n", true},
    {"upper_case_CP",
     {},
     {"CP"},
     CpAs("CP"),
     {"Write update flag OK.", "CP", "Update area is cp.", "Write MasterClear flag OK."},
     "update\ncp-area\nmasterclear\n",
     true},
    {"cp_and_more_arguments",
     {},
     {"cp  other \"x y\""},
     kCpRun,
     kCpEntries,
     "update\ncp-area\nmasterclear\n",
     true},
    {"no_argument",
     {},
     {},
     Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."), Reboot()}),
     {"Write update flag OK."},
     "update\n",
     true},
    {"empty_command_line",
     {},
     {""},
     Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."), Reboot()}),
     {"Write update flag OK."},
     "update\n",
     true},
    {"update_flag_fails", {"--fail", kUpdate}, {"cp"}, Calls({Control(kUpdate, 0)}), {}, "", false},
    {"cp_area_fails",
     {"--fail", kCpArea},
     {"cp"},
     Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."), Entry(0x104, 32, "cp"),
            Entry(0x108, 45, "Update area is cp."), Control(kCpArea, 0)}),
     {"Write update flag OK.", "cp", "Update area is cp."},
     "update\n",
     false},
    {"masterclear_fails",
     {"--fail=0x01012080"},
     {"cp"},
     Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."), Entry(0x104, 32, "cp"),
            Entry(0x108, 45, "Update area is cp."), Control(kCpArea, 1), Control(kMasterClear, 0)}),
     {"Write update flag OK.", "cp", "Update area is cp."},
     "update\ncp-area\n",
     false},
    // A tick count past 2^31 is printed signed, with its sign before the eight digits.
    {"tick_count_past_half_its_range",
     {"--ticks", "4294000000"},
     {"other"},
     Calls({Control(kUpdate, 1), Entry(0x100, 0, "Write update flag OK."),
            Entry(0x104, 33, "other"), Entry(0x108, 50, "Update area is not CP."), Reboot()}),
     {"Write update flag OK.", "other", "Update area is not CP."},
     "update\n",
     true,
     true,
     4294000000u},
    // The log cannot be opened: the tool goes on without it.
    {"no_temp_folder",
     {},
     {"other"},
     Calls(
         {Control(kUpdate, 1), EntryWithoutLog(), EntryWithoutLog(), EntryWithoutLog(), Reboot()}),
     {"Write update flag OK.", "other", "Update area is not CP."},
     "update\n",
     true,
     false},
};

std::string RunName(const ::testing::TestParamInfo<std::tuple<const char*, SwitchRun>>& info) {
    return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param);
}

INSTANTIATE_TEST_SUITE_P(Runs, QuilloUnderCeload,
                         ::testing::Combine(::testing::ValuesIn(kCpus), ::testing::ValuesIn(kRuns)),
                         RunName);

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
           static_cast<uint32_t>(b.at(at + 3)) << 24;
}

void Put(std::vector<uint8_t>& b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

// Offsets in the image: the file header follows "PE\0\0", the optional header follows it.
size_t FileHeader(const std::vector<uint8_t>& b) {
    return U32(b, 0x3C) + 4;
}
size_t OptionalHeader(const std::vector<uint8_t>& b) {
    return FileHeader(b) + 20;
}

// The file offset of the entry point's instruction.
size_t EntryInFile(const std::vector<uint8_t>& b) {
    const uint32_t entry = U32(b, OptionalHeader(b) + 16);
    const size_t table =
        OptionalHeader(b) + (b.at(FileHeader(b) + 16) | b.at(FileHeader(b) + 17) << 8);
    for (size_t i = 0; i < b.at(FileHeader(b) + 2); ++i) {
        const size_t h = table + 40 * i;
        if (entry >= U32(b, h + 12) && entry < U32(b, h + 12) + U32(b, h + 8))
            return U32(b, h + 20) + entry - U32(b, h + 12);
    }
    ADD_FAILURE() << "no section holds the entry point";
    return 0;
}

struct Refused {
    const char* name;
    std::function<std::vector<uint8_t>(std::vector<uint8_t>)> make;
    const char* says;
};

void PrintTo(const Refused& refused, std::ostream* out) {
    *out << refused.name;
}

class CeloadRefuses : public ::testing::TestWithParam<std::tuple<const char*, Refused>> {};

// A file a handset could not start: one line on stderr, status 2, and the handset untouched.
TEST_P(CeloadRefuses, WhatAHandsetCouldNotStart) {
    const char* cpu = std::get<0>(GetParam());
    const Refused& refused = std::get<1>(GetParam());
    Handset handset;
    TempDir files;
    const std::vector<uint8_t> image = refused.make(ReadImage());
    files.Write("Quillo.exe", image);

    const Outcome outcome = RunCeload(cpu, handset, {}, files.File("Quillo.exe"), {"cp"});
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(2, outcome.status);
    EXPECT_EQ(1u, Lines(outcome.output).size()) << outcome.output;
    EXPECT_EQ(0u, outcome.output.find("ceload: " + files.File("Quillo.exe") + ": "))
        << outcome.output;
    EXPECT_NE(std::string::npos, outcome.output.find(refused.says)) << outcome.output;
    EXPECT_EQ(
        (std::vector<fs::path>{handset.Path("files")}),
        std::vector<fs::path>(fs::directory_iterator(handset.dir.Path()), fs::directory_iterator()))
        << "no records, flags or reboot";
    EXPECT_TRUE(fs::is_empty(handset.Path("files/Temp")));
}

const Refused kRefused[] = {
    {"desktop_program",
     [](std::vector<uint8_t> b) {
         Put(b, FileHeader(b), 0x014C, 2);     // i386
         Put(b, OptionalHeader(b) + 68, 2, 2); // Windows GUI
         return b;
     },
     "machine is not ARM (0x01C0 or 0x01C2): 0x0000014C"},
    {"desktop_subsystem",
     [](std::vector<uint8_t> b) {
         Put(b, OptionalHeader(b) + 68, 2, 2);
         return b;
     },
     "subsystem is not Windows CE (9)"},
    {"cut_in_half",
     [](std::vector<uint8_t> b) {
         b.resize(b.size() / 2);
         return b;
     },
     "lie outside the file"},
    {"headers_only",
     [](std::vector<uint8_t> b) {
         b.resize(0x200);
         return b;
     },
     "lie outside the file"},
    {"empty_file", [](std::vector<uint8_t>) { return std::vector<uint8_t>(); }, "no MZ header"},
    {"another_library",
     [](std::vector<uint8_t> b) {
         const std::string name = "coredll.dll";
         const auto at = std::search(b.begin(), b.end(), name.begin(), name.end());
         EXPECT_NE(b.end(), at);
         if (at != b.end())
             std::copy_n("kernel3.dll", 11, at);
         return b;
     },
     "imports from a library other than coredll.dll: \"kernel3.dll\""},
};

std::string RefusedName(const ::testing::TestParamInfo<std::tuple<const char*, Refused>>& info) {
    return std::string(std::get<1>(info.param).name) + "_" + std::get<0>(info.param);
}

INSTANTIATE_TEST_SUITE_P(Files, CeloadRefuses,
                         ::testing::Combine(::testing::ValuesIn(kCpus),
                                            ::testing::ValuesIn(kRefused)),
                         RefusedName);

class CeloadFaults : public ::testing::TestWithParam<const char*> {};

// A program that faults ends the run with status 3 and a record of where.
TEST_P(CeloadFaults, EndTheRunWithARecordOfWhere) {
    std::vector<uint8_t> image = ReadImage();
    Put(image, EntryInFile(image), 0xE7F000F0, 4); // permanently undefined on every ARM
    TempDir files;
    files.Write("Quillo.exe", image);
    Handset handset;
    const Outcome outcome = RunCeload(GetParam(), handset, {}, files.File("Quillo.exe"), {"cp"});
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(3, outcome.status);
    const std::string where = "fault SIGILL at RVA " + Hex(U32(image, OptionalHeader(image) + 16));
    EXPECT_EQ(where + "\n", Slurp(handset.Path("calls.txt")));
    EXPECT_EQ("ceload: " + where + "\n", outcome.output);
}

// Without its base relocations the image, mapped away from its preferred base, reads its own
// addresses where nothing is: the passing runs above stand on the relocations being applied.
TEST_P(CeloadFaults, ImageStrippedOfItsRelocationsFailsAwayFromItsBase) {
    std::vector<uint8_t> image = ReadImage();
    Put(image, OptionalHeader(image) + 96 + 8 * 5, 0, 4);
    Put(image, OptionalHeader(image) + 96 + 8 * 5 + 4, 0, 4);
    TempDir files;
    files.Write("Quillo.exe", image);
    Handset handset;
    const Outcome outcome = RunCeload(GetParam(), handset, {}, files.File("Quillo.exe"), {"cp"});
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(3, outcome.status) << outcome.output;
    EXPECT_EQ(0u, Slurp(handset.Path("calls.txt")).find("fault SIGSEGV at RVA 0x"));
    EXPECT_FALSE(fs::exists(handset.Path("flags.txt")));
}

INSTANTIATE_TEST_SUITE_P(Cpus, CeloadFaults, ::testing::ValuesIn(kCpus));

TEST(Ceload, CommandLineMistakesStopBeforeAnything) {
    Handset handset;
    const struct {
        std::vector<std::string> argv;
        const char* says;
    } cases[] = {
        {{KOV_CELOAD, KOV_QUILLO_IMAGE}, "ceload: --handset DIR is required"},
        {{KOV_CELOAD, "--handset", handset.dir.Path()}, "ceload: no image"},
        {{KOV_CELOAD, "--handset", handset.dir.Path(), "--fail", "cp-area", KOV_QUILLO_IMAGE},
         "ceload: --fail takes a control code"},
        {{KOV_CELOAD, "--handset", handset.dir.Path(), KOV_QUILLO_IMAGE, "cp", "other"},
         "ceload: one command line only"},
        {{KOV_CELOAD, "--handset", handset.Path("none").string(), KOV_QUILLO_IMAGE},
         "ceload: cannot open the handset folder"},
        {{KOV_CELOAD, "--handset", handset.dir.Path(), handset.Path("missing.exe").string()},
         ": cannot read it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        std::vector<std::string> argv = {KOV_QEMU_ARM, "-cpu", "ti925t"};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        ChildProcess loader(argv);
        const auto status = loader.WaitUntil(ChildProcess::Clock::now() + kRunLimit);
        ASSERT_TRUE(status.ended) << "ceload did not end within 30 s";
        EXPECT_EQ(2, status.code);
        EXPECT_NE(std::string::npos, loader.Output().find(c.says)) << loader.Output();
    }
    EXPECT_FALSE(fs::exists(handset.Path("calls.txt")));
}

} // namespace
