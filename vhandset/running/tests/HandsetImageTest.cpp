// What a handset would start: hand-made program files, each one field away from the smallest
// Windows CE ARM program, and every cut of it.
#include <gtest/gtest.h>

#include <string>

#include "CaseName.h"
#include "HandMadePe.h"
#include "HandsetImage.h"

namespace {

const long kWhole = -1;

struct ImageCase {
    const char* name;
    void (*shape)(HandMadePe&);
    // Where a copy ends, or kWhole.
    long cutTo;
    // A piece of the reason for refusing it, or null when a handset would start it.
    const char* refusal;
};

const ImageCase kCases[] = {
    {"ArmInterworking", [](HandMadePe&) {}, kWhole, nullptr},
    {"PlainArm", [](HandMadePe& pe) { pe.machine = 0x01C0; }, kWhole, nullptr},
    {"EntryAtTheSectionsLastByte", [](HandMadePe& pe) { pe.entry = 0x100F; }, kWhole, nullptr},
    {"EmptyFile", [](HandMadePe&) {}, 0, "no MZ header"},
    {"PcProgramX86", [](HandMadePe& pe) { pe.machine = 0x014C; }, kWhole, "0x014C is not ARM"},
    {"PcProgramX64",
     [](HandMadePe& pe) {
         pe.machine = 0x8664;
         pe.magic = 0x020B;
     },
     kWhole, "0x8664 is not ARM"},
    {"ThumbTwoArm", [](HandMadePe& pe) { pe.machine = 0x01C4; }, kWhole, "0x01C4 is not ARM"},
    {"PcConsoleSubsystem", [](HandMadePe& pe) { pe.subsystem = 3; }, kWhole, "subsystem 3"},
    {"PcWindowSubsystem", [](HandMadePe& pe) { pe.subsystem = 2; }, kWhole, "subsystem 2"},
    {"Pe32Plus", [](HandMadePe& pe) { pe.magic = 0x020B; }, kWhole, "not PE32"},
    {"Library", [](HandMadePe& pe) { pe.characteristics |= 0x2000; }, kWhole, "library"},
    {"NotExecutable", [](HandMadePe& pe) { pe.characteristics = 0x0100; }, kWhole, "executable"},
    {"PeHeaderPastTheFile", [](HandMadePe& pe) { pe.peOffset = 0x3F0; }, kWhole,
     "cut short before"},
    {"PeHeaderOffsetWraps", [](HandMadePe& pe) { pe.peOffset = 0xFFFFFFF0; }, kWhole,
     "cut short before"},
    {"OldStyleSignature", [](HandMadePe& pe) { pe.peSignature = 0x454E; }, kWhole, "no PE header"},
    {"OptionalHeaderTooSmall", [](HandMadePe& pe) { pe.optionalSize = 64; }, kWhole,
     "optional header of 64 bytes"},
    {"DirectoriesBeyondTheOptionalHeader", [](HandMadePe& pe) { pe.optionalSize = 96 + 4 * 8; },
     kWhole, "16 data directories"},
    {"MoreDirectoriesThanTheFormatHas", [](HandMadePe& pe) { pe.directories = 0x20000000; }, kWhole,
     nullptr},
    {"NoSections", [](HandMadePe& pe) { pe.sections = 0; }, kWhole, "no sections"},
    {"SectionTableBeyondTheHeaders", [](HandMadePe& pe) { pe.sections = 9; }, kWhole,
     "section table"},
    {"HeadersLargerThanTheFile",
     [](HandMadePe& pe) {
         pe.headersSize = 0x800;
         pe.imageSize = 0x4000;
         pe.sectionAddress = 0x1000;
     },
     kWhole, "headers of 2048 bytes"},
    {"ImageLargerThanAProcessSlot", [](HandMadePe& pe) { pe.imageSize = 0x2000001; }, kWhole,
     "process slot"},
    {"SectionDataPastTheFile", [](HandMadePe& pe) { pe.sectionRawSize = 0x400; }, kWhole,
     "section 1 cut short"},
    {"SectionDataOffsetWraps", [](HandMadePe& pe) { pe.sectionRawOffset = 0xFFFFFF00; }, kWhole,
     "section 1 cut short"},
    {"SectionBeyondTheImage", [](HandMadePe& pe) { pe.sectionAddress = 0x1FF8; }, kWhole,
     "outside the image"},
    {"SectionOverTheHeaders", [](HandMadePe& pe) { pe.sectionAddress = 0x100; }, kWhole,
     "outside the image"},
    {"NoEntryPoint", [](HandMadePe& pe) { pe.entry = 0; }, kWhole, "entry point 0x0"},
    {"EntryPastItsSection", [](HandMadePe& pe) { pe.entry = 0x1010; }, kWhole,
     "entry point 0x1010"},
    {"EntryPastTheImage", [](HandMadePe& pe) { pe.entry = 0x7FFFFFF0; }, kWhole, "entry point"},
    {"CutInsideTheDosHeader", [](HandMadePe&) {}, 0x3F, "no MZ header"},
    {"CutInsideThePeHeader", [](HandMadePe&) {}, 0x50, "cut short before"},
    {"CutInsideTheOptionalHeader", [](HandMadePe&) {}, 0x100, "optional header"},
    {"CutInsideTheCode", [](HandMadePe&) {}, 0x3FF, "section 1 cut short"},
};

void PrintTo(const ImageCase& c, std::ostream* out) {
    *out << c.name;
}

class HandsetImageCheck : public ::testing::TestWithParam<ImageCase> {};

TEST_P(HandsetImageCheck, StartsOnlyWholeCeArmPrograms) {
    const ImageCase& c = GetParam();
    HandMadePe pe;
    c.shape(pe);
    std::vector<uint8_t> bytes = pe.Bytes();
    if (c.cutTo != kWhole)
        bytes.resize(static_cast<size_t>(c.cutTo));

    const HandsetImageVerdict verdict = CheckHandsetImage(bytes.data(), bytes.size());

    if (c.refusal) {
        EXPECT_FALSE(verdict.startable);
        EXPECT_NE(std::string::npos, verdict.reason.find(c.refusal)) << verdict.reason;
    } else {
        EXPECT_TRUE(verdict.startable) << verdict.reason;
        EXPECT_EQ("", verdict.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, HandsetImageCheck, ::testing::ValuesIn(kCases), CaseName());

// The code section runs to the file's last byte, so a copy cut anywhere lacks part of it.
TEST(HandsetImageCut, EveryShorterCopyIsRefused) {
    const std::vector<uint8_t> whole = HandMadePe().Bytes();
    ASSERT_TRUE(CheckHandsetImage(whole.data(), whole.size()).startable);
    for (size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(CheckHandsetImage(whole.data(), size).startable) << "cut to " << size;
}

} // namespace
