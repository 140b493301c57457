#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CaseName.h"
#include "CeImage.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t value) {
    b.at(at) = static_cast<uint8_t>(value);
    b.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t value) {
    Put16(b, at, value & 0xFFFF);
    Put16(b, at + 2, value >> 16);
}

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
           static_cast<uint32_t>(b.at(at + 3)) << 24;
}

void PutText(std::vector<uint8_t>& b, size_t at, const char* text) {
    std::memcpy(&b.at(at), text, std::strlen(text) + 1);
}

// Offsets in the hand-made image below.
const size_t kCoff = 0x44;
const size_t kOptional = 0x58;
const size_t kSections = 0x138;
const size_t kText = kSections, kIdata = kSections + 40, kReloc = kSections + 80;

// A handset program written out byte by byte, 0x800 bytes:
//   headers    file 0x000, 0x200 bytes
//   .text      RVA 0x1000, file 0x200: one absolute address at 0x1010 (0x00011234)
//   .idata     RVA 0x2000, file 0x400: coredll.dll, GetTickCount by name and ordinal 7;
//              lookup table 0x2028, address table 0x2040, library name 0x2060
//   .reloc     RVA 0x3000, file 0x600: one block, page 0x1000, entries 0x3010 and padding
// Preferred base 0x10000, 0x4000 bytes in memory, entry 0x1000.
std::vector<uint8_t> HandsetProgram() {
    std::vector<uint8_t> b(0x800, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x40);
    Put32(b, 0x40, 0x00004550);
    Put16(b, kCoff, 0x01C2);
    Put16(b, kCoff + 2, 3);
    Put16(b, kCoff + 16, 224);
    Put16(b, kCoff + 18, 0x0102);
    Put16(b, kOptional, 0x010B);
    Put32(b, kOptional + 16, 0x1000);
    Put32(b, kOptional + 28, 0x10000);
    Put32(b, kOptional + 32, 0x1000);
    Put32(b, kOptional + 36, 0x200);
    Put32(b, kOptional + 56, 0x4000);
    Put32(b, kOptional + 60, 0x200);
    Put16(b, kOptional + 68, 9);
    Put32(b, kOptional + 92, 16);
    Put32(b, kOptional + 96 + 8, 0x2000);
    Put32(b, kOptional + 96 + 12, 40);
    Put32(b, kOptional + 96 + 40, 0x3000);
    Put32(b, kOptional + 96 + 44, 12);
    const struct {
        size_t at;
        const char* name;
        uint32_t virtualSize, rva, rawSize, rawOffset, characteristics;
    } sections[] = {{kText, ".text", 0x20, 0x1000, 0x200, 0x200, 0x60000020},
                    {kIdata, ".idata", 0x80, 0x2000, 0x200, 0x400, 0xC0000040},
                    {kReloc, ".reloc", 12, 0x3000, 0x200, 0x600, 0x42000040}};
    for (const auto& s : sections) {
        PutText(b, s.at, s.name);
        Put32(b, s.at + 8, s.virtualSize);
        Put32(b, s.at + 12, s.rva);
        Put32(b, s.at + 16, s.rawSize);
        Put32(b, s.at + 20, s.rawOffset);
        Put32(b, s.at + 36, s.characteristics);
    }
    Put32(b, 0x200, 0xE12FFF1E); // bx lr
    Put32(b, 0x210, 0x00011234);
    // .idata, file 0x400 = RVA 0x2000
    Put32(b, 0x400, 0x2028);
    Put32(b, 0x40C, 0x2060);
    Put32(b, 0x410, 0x2040);
    for (size_t table : {0x428, 0x440}) {
        Put32(b, table, 0x2050);
        Put32(b, table + 4, 0x80000007);
    }
    PutText(b, 0x452, "GetTickCount");
    PutText(b, 0x460, "coredll.dll");
    // .reloc, file 0x600
    Put32(b, 0x600, 0x1000);
    Put32(b, 0x604, 12);
    Put16(b, 0x608, 0x3010);
    return b;
}

struct Resolved {
    std::vector<std::string> asked;
};

uint32_t Resolve(const char* name, uint32_t ordinal, void* context) {
    auto* resolved = static_cast<Resolved*>(context);
    if (!name) {
        resolved->asked.push_back("#" + std::to_string(ordinal));
        return ordinal == 7 ? 0xBBBB0000 : 0;
    }
    resolved->asked.push_back(name);
    return std::string(name) == "GetTickCount" ? 0xAAAA0000 : 0;
}

// Everything a loader does before the entry, on an exact copy of `file` (so that a read past
// its end is a read past an allocation). Empty when the image is taken, else the refusal.
std::string Load(const std::vector<uint8_t>& file, std::vector<uint8_t>* laidOut = nullptr,
                 uint32_t newBase = 0x20000000, Resolved* resolved = nullptr) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size() + 1]);
    if (!file.empty())
        std::memcpy(copy.get(), file.data(), file.size());
    auto image = std::make_unique<ce::Image>();
    ce::Refusal why = {};
    if (!ce::ReadImage(copy.get(), static_cast<uint32_t>(file.size()), *image, why))
        return why.text;
    std::vector<uint8_t> memory(image->sizeOfImage, 0);
    ce::LayOut(*image, memory.data());
    Resolved own;
    if (!ce::Relocate(*image, memory.data(), newBase, why) ||
        !ce::BindImports(*image, memory.data(), &Resolve, resolved ? resolved : &own, why))
        return why.text;
    if (laidOut)
        *laidOut = memory;
    return "";
}

TEST(CeImage, TakesAHandsetProgramAndPlacesItElsewhere) {
    const std::vector<uint8_t> file = HandsetProgram();
    std::vector<uint8_t> memory;
    Resolved resolved;
    ASSERT_EQ("", Load(file, &memory, 0x20000000, &resolved));

    ASSERT_EQ(0x4000u, memory.size());
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 0x200, memory.begin())) << "headers";
    EXPECT_EQ(0xE12FFF1Eu, Get32(memory, 0x1000));
    EXPECT_EQ(0x20001234u, Get32(memory, 0x1010)) << "moved by 0x20000000 - 0x10000";
    EXPECT_EQ(0u, Get32(memory, 0x1020)) << "beyond the file's bytes: zeros";
    EXPECT_EQ(0xAAAA0000u, Get32(memory, 0x2040)) << "GetTickCount, by name";
    EXPECT_EQ(0xBBBB0000u, Get32(memory, 0x2044)) << "ordinal 7";
    EXPECT_EQ(0x2050u, Get32(memory, 0x2028)) << "the lookup table stays";
    EXPECT_EQ((std::vector<std::string>{"GetTickCount", "#7"}), resolved.asked);

    ASSERT_EQ("", Load(file, &memory, 0x10000));
    EXPECT_EQ(0x00011234u, Get32(memory, 0x1010)) << "at its own base nothing moves";
}

TEST(CeImage, ReadsTheHeadersItChecked) {
    const std::vector<uint8_t> file = HandsetProgram();
    auto image = std::make_unique<ce::Image>();
    ce::Refusal why = {};
    ASSERT_TRUE(ce::ReadImage(file.data(), static_cast<uint32_t>(file.size()), *image, why));
    EXPECT_EQ(0x01C2, image->machine);
    EXPECT_EQ(0x10000u, image->imageBase);
    EXPECT_EQ(0x1000u, image->entry);
    EXPECT_EQ(0x4000u, image->sizeOfImage);
    ASSERT_EQ(3u, image->sectionCount);
    EXPECT_EQ(0x3000u, image->sections[2].rva);
    EXPECT_EQ(12u, image->sections[2].rawSize) << "the file's padding is not loaded";
    EXPECT_FALSE(image->relocationsStripped);
}

TEST(CeImage, ImageWithStrippedRelocationsRunsOnlyAtItsBase) {
    std::vector<uint8_t> file = HandsetProgram();
    Put16(file, kCoff + 18, 0x0103);
    EXPECT_EQ("", Load(file, nullptr, 0x10000));
    EXPECT_EQ("the image's relocations are stripped: it cannot be moved from its base",
              Load(file, nullptr, 0x20000000));
}

// The image needs the file's bytes up to the end of .reloc's 12 (0x60C); the rest is padding
// to the file alignment, which is never loaded.
TEST(CeImage, EveryCutThatLosesABytesItNeedsIsRefused) {
    const std::vector<uint8_t> file = HandsetProgram();
    for (size_t size = 0; size <= file.size(); ++size) {
        const std::string why = Load(std::vector<uint8_t>(file.begin(), file.begin() + size));
        if (size < 0x60C)
            EXPECT_NE("", why) << "cut at " << size;
        else
            EXPECT_EQ("", why) << "cut at " << size;
    }
}

TEST(CeImage, FileLargerThanAHandsetProgramIsRefused) {
    std::vector<uint8_t> file = HandsetProgram();
    file.resize(ce::kMaxFileSize + 1);
    EXPECT_EQ("the file is larger than a handset program can be: bytes 0x02000001", Load(file));
}

struct Fault {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* says;
};

void PrintTo(const Fault& c, std::ostream* out) {
    *out << c.name;
}

class CeImageRefusal : public ::testing::TestWithParam<Fault> {};

TEST_P(CeImageRefusal, IsOneLineSayingWhy) {
    std::vector<uint8_t> file = HandsetProgram();
    GetParam().change(file);
    const std::string why = Load(file);
    EXPECT_NE(std::string::npos, why.find(GetParam().says)) << why;
    EXPECT_EQ(std::string::npos, why.find('\n'));
}

INSTANTIATE_TEST_SUITE_P(
    Images, CeImageRefusal,
    ::testing::Values(
        Fault{"desktop_x86", [](auto& b) { Put16(b, kCoff, 0x014C); },
              "machine is not ARM (0x01C0 or 0x01C2): 0x0000014C"},
        Fault{"desktop_x64", [](auto& b) { Put16(b, kCoff, 0x8664); }, "machine is not ARM"},
        Fault{"thumb2_arm", [](auto& b) { Put16(b, kCoff, 0x01C4); }, "0x000001C4"},
        Fault{"pe32_plus", [](auto& b) { Put16(b, kOptional, 0x020B); }, "not a PE32 image"},
        Fault{"windows_gui", [](auto& b) { Put16(b, kOptional + 68, 2); },
              "subsystem is not Windows CE (9): 0x00000002"},
        Fault{"windows_console", [](auto& b) { Put16(b, kOptional + 68, 3); },
              "subsystem is not Windows CE"},
        Fault{"dll", [](auto& b) { Put16(b, kCoff + 18, 0x2102); }, "not an executable program"},
        Fault{"object_file", [](auto& b) { Put16(b, kCoff + 18, 0x0100); },
              "not an executable program"},
        Fault{"no_mz", [](auto& b) { b[0] = 'Z'; }, "no MZ header"},
        Fault{"pe_header_past_the_end", [](auto& b) { Put32(b, 0x3C, 0x7FE); }, "no PE header"},
        Fault{"pe_header_wrapping", [](auto& b) { Put32(b, 0x3C, 0xFFFFFFF8); }, "no PE header"},
        Fault{"no_pe_signature", [](auto& b) { b[0x40] = 'X'; }, "no PE header"},
        Fault{"optional_header_cut", [](auto& b) { Put16(b, kCoff + 16, 64); },
              "optional header is cut short"},
        Fault{"directories_cut", [](auto& b) { Put16(b, kCoff + 16, 100); },
              "data directories are cut short"},
        Fault{"absurd_image_size", [](auto& b) { Put32(b, kOptional + 56, 0x7FFFFFFF); },
              "the image's size is absurd"},
        Fault{"empty_image", [](auto& b) { Put32(b, kOptional + 56, 0); }, "absurd"},
        Fault{"headers_past_the_file", [](auto& b) { Put32(b, kOptional + 60, 0x900); },
              "headers' size"},
        Fault{"odd_alignment", [](auto& b) { Put32(b, kOptional + 32, 0x1800); },
              "not a power of two"},
        Fault{"no_sections", [](auto& b) { Put16(b, kCoff + 2, 0); },
              "number of sections is absurd"},
        Fault{"too_many_sections", [](auto& b) { Put16(b, kCoff + 2, 0xFFFF); },
              "number of sections is absurd"},
        Fault{"section_table_past_the_headers", [](auto& b) { Put16(b, kCoff + 2, 10); },
              "section table lies outside the headers"},
        Fault{"section_bytes_past_the_file", [](auto& b) { Put32(b, kReloc + 20, 0x7F8); },
              "a section's bytes lie outside the file: section at RVA 0x00003000"},
        Fault{"section_offset_wrapping", [](auto& b) { Put32(b, kReloc + 20, 0xFFFFFFF8); },
              "lie outside the file"},
        Fault{"section_past_the_image", [](auto& b) { Put32(b, kReloc + 8, 0x2000); },
              "a section lies outside the image's size: RVA 0x00003000"},
        Fault{"section_wrapping", [](auto& b) { Put32(b, kReloc + 8, 0xFFFFF000); },
              "outside the image's size"},
        Fault{"sections_overlapping", [](auto& b) { Put32(b, kIdata + 12, 0x1000); },
              "overlaps the headers or the section before it"},
        Fault{"section_over_the_headers", [](auto& b) { Put32(b, kText + 12, 0); },
              "overlaps the headers or the section before it: RVA 0x00000000"},
        Fault{"section_off_its_alignment", [](auto& b) { Put32(b, kReloc + 12, 0x3100); },
              "not aligned"},
        Fault{"entry_in_data", [](auto& b) { Put32(b, kOptional + 16, 0x2000); },
              "the entry point is not in code: RVA 0x00002000"},
        Fault{"entry_past_the_image", [](auto& b) { Put32(b, kOptional + 16, 0x9000); },
              "entry point is not in code"},
        Fault{"import_directory_past_the_image",
              [](auto& b) { Put32(b, kOptional + 96 + 8, 0x3FF0); },
              "import directory lies outside the image"},
        Fault{"relocation_directory_past_the_image",
              [](auto& b) { Put32(b, kOptional + 96 + 44, 0x2000); },
              "relocation directory lies outside the image"},
        Fault{"relocation_block_empty", [](auto& b) { Put32(b, 0x604, 0); },
              "a relocation block's size is wrong"},
        Fault{"relocation_block_past_its_directory", [](auto& b) { Put32(b, 0x604, 16); },
              "block's size is wrong"},
        Fault{"relocation_block_odd", [](auto& b) { Put32(b, 0x604, 11); },
              "block's size is wrong"},
        Fault{"relocation_of_64_bits", [](auto& b) { Put16(b, 0x608, 0xA010); },
              "a relocation a handset cannot apply, of type 0x0000000A"},
        Fault{"relocation_of_a_thumb_pair", [](auto& b) { Put16(b, 0x608, 0x7010); },
              "cannot apply, of type 0x00000007"},
        Fault{"relocation_past_the_image",
              [](auto& b) {
                  Put32(b, 0x600, 0x3000);
                  Put16(b, 0x608, 0x3FFE);
              },
              "a relocation lies outside the image: RVA 0x00003FFE"},
        Fault{"relocation_page_wrapping", [](auto& b) { Put32(b, 0x600, 0xFFFFF000); },
              "a relocation lies outside the image"},
        Fault{"import_from_kernel32", [](auto& b) { PutText(b, 0x460, "kernel32.dll"); },
              "imports from a library other than coredll.dll: \"kernel32.dll\""},
        Fault{"import_without_a_stand_in", [](auto& b) { PutText(b, 0x452, "GetTickCoun\x01"); },
              "no stand-in for coredll.dll's \"GetTickCoun\\x01\""},
        Fault{"ordinal_without_a_stand_in", [](auto& b) { Put32(b, 0x42C, 0x80000008); },
              "no stand-in for coredll.dll's ordinal 0x00000008"},
        Fault{"library_name_past_the_image", [](auto& b) { Put32(b, 0x40C, 0x5000); },
              "an imported library's name lies outside the image"},
        Fault{"function_name_past_the_image", [](auto& b) { Put32(b, 0x428, 0x3FFF); },
              "an imported function's name lies outside the image"},
        Fault{"function_name_wrapping", [](auto& b) { Put32(b, 0x428, 0x7FFFFFFE); },
              "name lies outside the image"},
        Fault{"function_name_unterminated",
              [](auto& b) {
                  // .reloc's last four bytes, the last of the image, hold a name without its end.
                  Put32(b, kOptional + 56, 0x3010);
                  Put32(b, kReloc + 8, 16);
                  std::memcpy(&b[0x60C], "ABCD", 4);
                  Put32(b, 0x428, 0x300A);
              },
              "an imported function's name lies outside the image"},
        Fault{"address_table_past_the_image", [](auto& b) { Put32(b, 0x410, 0x3FFE); },
              "an import table runs outside the image"}),
    CaseName());

} // namespace
