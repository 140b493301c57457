#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CoffBuilder.h"
#include "CoffFile.h"
#include "TempDir.h"

namespace {

// Three sections (one without raw data), relocations, line numbers, symbols and strings.
TestCoff SampleCoff(uint16_t optionalHeaderSize = 28) {
    TestCoff c;
    c.optionalHeaderSize = optionalHeaderSize;
    c.sections = {{".text", 0x100, Pattern(10, 1), true, 0, 2, 3},
                  {".bss", 0x200, {}, false, 0x40},
                  {".data", 0x300, Pattern(5, 9), true, 0, 1, 0}};
    c.symbols = 2;
    c.strings = std::string("long_symbol\0", 12);
    return c;
}

std::vector<uint8_t> Copy(const CCoffFile& coff, const char* name) {
    std::vector<uint8_t> out(coff.SectionSize(name));
    EXPECT_EQ(coff.CopySection(name, out.data()), 1) << name;
    return out;
}

TEST(CoffFile, ReadsSectionHeadersAfterWhateverOptionalHeaderIsThere) {
    // Only 28 means an optional header; any other size is neither read nor skipped.
    for (uint16_t optional : {28, 0, 20}) {
        SCOPED_TRACE(optional);
        const TestCoff c = SampleCoff(optional);
        const std::vector<uint8_t> bytes = c.Build();
        CCoffFile coff;
        ASSERT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 1);
        EXPECT_TRUE(coff.IsLoaded());
        EXPECT_EQ(coff.FileHeader().versionId, COFF_VERSION_ID);
        EXPECT_EQ(coff.FileHeader().targetId, COFF_TARGET_TMS470);
        EXPECT_EQ(coff.OptionalHeader().magic, optional == 28 ? 0x0108 : 0);
        EXPECT_EQ(coff.OptionalHeader().entryPoint, optional == 28 ? 0x1234u : 0u);

        EXPECT_EQ(coff.SectionSize(".text"), 10u);
        EXPECT_EQ(coff.SectionAddress(".text"), 0x100u);
        EXPECT_EQ(coff.SectionSize(".bss"), 0x40u);
        EXPECT_EQ(coff.SectionAddress(".data"), 0x300u);
        EXPECT_EQ(Copy(coff, ".text"), Pattern(10, 1));
        EXPECT_EQ(Copy(coff, ".data"), Pattern(5, 9));
        uint8_t untouched = 0xEE;
        EXPECT_EQ(coff.CopySection(".bss", &untouched), 0);
        EXPECT_EQ(untouched, 0xEE);

        EXPECT_EQ(coff.Sections()[0].relocations, Pattern(24, 1));
        EXPECT_EQ(coff.Sections()[0].lineNumbers, Pattern(18, 2));
        EXPECT_EQ(coff.Sections()[2].relocations, Pattern(12, 33));
        EXPECT_EQ(coff.Symbols(), Pattern(36, 0x55));
        EXPECT_EQ(coff.StringTableLength(), 16u);
        EXPECT_EQ(std::string(coff.StringTable().begin(), coff.StringTable().end()), c.strings);
    }
}

TEST(CoffFile, EveryCutShortFileFailsFromDiskAndFromMemory) {
    const std::vector<uint8_t> whole = SampleCoff().Build();
    TempDir dir;
    for (size_t length = 0; length < whole.size(); ++length) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
        CCoffFile coff;
        EXPECT_EQ(coff.ReadBytes(cut.data(), cut.size()), 0) << length;
        dir.Write("cut.out", cut);
        EXPECT_EQ(coff.Read(dir.File("cut.out").c_str()), 0) << length;
        EXPECT_FALSE(coff.IsLoaded());
    }
    dir.Write("whole.out", whole);
    CCoffFile coff;
    EXPECT_EQ(coff.Read(dir.File("whole.out").c_str()), 1);
    EXPECT_EQ(coff.Read(dir.File("missing.out").c_str()), 0);
}

TEST(CoffFile, HostileFilesFailCleanlyAndLeaveWhatWasHeld) {
    const TestCoff sample = SampleCoff();
    const size_t text = sample.SectionHeaderAt(0);
    const size_t data = sample.SectionHeaderAt(2);
    using Spoil = std::function<void(std::vector<uint8_t>&)>;
    const struct {
        const char* what;
        Spoil spoil;
    } cases[] = {
        {"no sections", [](auto& b) { Put16(b, FH_SECTION_COUNT, 0); }},
        {"more section headers than the file holds",
         [](auto& b) { Put16(b, FH_SECTION_COUNT, 0xFFFF); }},
        {"raw data pointer past the end",
         [&](auto& b) {
             Put32(b, text + SH_RAW_POINTER, static_cast<uint32_t>(b.size() + 1));
             Put32(b, text + SH_SIZE, 1);
         }},
        {"raw data size past the end", [&](auto& b) { Put32(b, text + SH_SIZE, 0xFFFFFFFF); }},
        {"raw data that wraps at 4 GiB",
         [&](auto& b) {
             Put32(b, text + SH_RAW_POINTER, 0xFFFFFFF0);
             Put32(b, text + SH_SIZE, 0x20);
         }},
        // 0x15555556 entries of 12 bytes are 8 bytes in 32-bit arithmetic.
        {"relocation count whose byte count wraps",
         [&](auto& b) { Put32(b, data + SH_RELOCATION_COUNT, 0x15555556); }},
        {"line-number pointer past the end",
         [&](auto& b) { Put32(b, text + SH_LINE_POINTER, 0xFFFFFFFF); }},
        // 0x0E38E38F symbols of 18 bytes are 6 bytes in 32-bit arithmetic.
        {"symbol count whose byte count wraps",
         [](auto& b) { Put32(b, FH_SYMBOL_COUNT, 0x0E38E38F); }},
        {"symbol pointer past the end",
         [](auto& b) { Put32(b, FH_SYMBOL_POINTER, static_cast<uint32_t>(b.size())); }},
        {"string-table length under its own 4 bytes", [](auto& b) { Put32(b, b.size() - 16, 3); }},
        {"string table longer than the file", [](auto& b) { Put32(b, b.size() - 16, 0xFFFFFFFF); }},
        // Each section alone fits in the file and the symbols and strings still follow;
        // together the sections would hold the file three times over.
        {"sections that share the file's bytes",
         [&](auto& b) {
             const uint32_t symbols = Get32(b, FH_SYMBOL_POINTER);
             for (size_t i : {0, 1, 2}) {
                 const size_t h = sample.SectionHeaderAt(i);
                 Put32(b, h + SH_RAW_POINTER, 1);
                 Put32(b, h + SH_SIZE, symbols - 1);
             }
         }},
    };

    TestCoff old;
    old.sections = {{".old", 0x10, Pattern(3, 0)}};
    const std::vector<uint8_t> oldBytes = old.Build();
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = sample.Build();
        c.spoil(bytes);
        CCoffFile coff;
        ASSERT_EQ(coff.ReadBytes(oldBytes.data(), oldBytes.size()), 1);
        EXPECT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 0);
        dir.Write("hostile.out", bytes);
        EXPECT_EQ(coff.Read(dir.File("hostile.out").c_str()), 0);
        EXPECT_TRUE(coff.IsLoaded());
        EXPECT_EQ(coff.SectionSize(".old"), 3u);
        EXPECT_EQ(coff.SectionSize(".text"), COFF_NOT_FOUND);
    }
}

TEST(CoffFile, AFileEndingAfterItsLastSectionDataCannotBeRead) {
    TestCoff c;
    c.sections = {{".text", 0, Pattern(8, 0)}};
    c.stringTableLength = false;
    const std::vector<uint8_t> bytes = c.Build();
    CCoffFile coff;
    EXPECT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 0);
    EXPECT_FALSE(coff.IsLoaded());
}

TEST(CoffFile, EightCharacterNamesAreNeverFound) {
    TestCoff c;
    // Address 0 puts a zero byte right after the unterminated name: a plain string compare
    // running past the field would find it.
    c.sections = {{"ABCDEFGH", 0, Pattern(4, 0)}, {"SEVENCH", 0x40, Pattern(2, 0)}};
    const std::vector<uint8_t> bytes = c.Build();
    CCoffFile coff;
    ASSERT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 1);
    uint8_t destination[4] = {};
    for (const char* name : {"ABCDEFGH", "ABCDEFG", "ABCDEFGHI", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(coff.SectionSize(name), COFF_NOT_FOUND);
        EXPECT_EQ(coff.SectionAddress(name), COFF_NOT_FOUND);
        EXPECT_EQ(coff.CopySection(name, destination), 0);
        EXPECT_EQ(coff.ReplaceSection(name, destination, 4), 1);
    }
    EXPECT_EQ(coff.SectionSize("ABCDEFGH"), COFF_NOT_FOUND);
    EXPECT_EQ(coff.SectionHeaders()[0].size, 4u);
    EXPECT_EQ(coff.SectionHeaders()[0].rawDataPointer, c.SectionHeaderAt(2));
    EXPECT_EQ(coff.SectionSize("SEVENCH"), 2u);
    EXPECT_EQ(coff.SectionAddress("SEVENCH"), 0x40u);
}

TEST(CoffFile, ReplaceThenWriteThenReadBack) {
    const std::vector<uint8_t> bytes = SampleCoff().Build();
    CCoffFile coff;
    ASSERT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 1);
    const std::vector<CoffSectionHeader> before = coff.SectionHeaders();
    const uint32_t symbolsBefore = coff.FileHeader().symbolTablePointer;

    const std::vector<uint8_t> replacement = Pattern(20, 0xA0);
    // Refused before the data is looked at: the pointers moved up would pass 4 GiB.
    EXPECT_EQ(coff.ReplaceSection(".text", replacement.data(), 0xFFFFFFF0), 0);
    EXPECT_EQ(coff.SectionSize(".text"), 10u);
    EXPECT_EQ(coff.FileHeader().symbolTablePointer, symbolsBefore);

    ASSERT_EQ(coff.ReplaceSection(".text", replacement.data(), 20), 1);
    const std::vector<CoffSectionHeader>& after = coff.SectionHeaders();
    // The new data lands after the old, which the headers no longer name.
    EXPECT_EQ(after[0].rawDataPointer, before[0].rawDataPointer + 10);
    EXPECT_EQ(after[0].size, 20u);
    EXPECT_EQ(after[0].flags, COFF_REPLACED_SECTION_FLAGS);
    EXPECT_EQ(after[0].relocationPointer | after[0].relocationCount, 0u);
    EXPECT_EQ(after[0].lineNumberPointer | after[0].lineNumberCount, 0u);
    EXPECT_EQ(after[1].rawDataPointer, 0u);
    EXPECT_EQ(after[2].rawDataPointer, before[2].rawDataPointer + 20);
    EXPECT_EQ(after[2].relocationPointer, before[2].relocationPointer + 20);
    EXPECT_EQ(coff.FileHeader().symbolTablePointer, symbolsBefore + 20);

    TempDir dir;
    const std::string name = dir.File("replaced.out");
    ASSERT_EQ(coff.Write(name.c_str()), 1);
    CCoffFile back;
    ASSERT_EQ(back.Read(name.c_str()), 1);
    EXPECT_EQ(Copy(back, ".text"), replacement);
    EXPECT_EQ(Copy(back, ".data"), Pattern(5, 9));
    EXPECT_EQ(back.SectionSize(".bss"), 0x40u);
    EXPECT_EQ(back.SectionHeaders()[0].flags, COFF_REPLACED_SECTION_FLAGS);
    EXPECT_TRUE(back.Sections()[0].relocations.empty());
    EXPECT_EQ(back.Sections()[2].relocations, coff.Sections()[2].relocations);
    EXPECT_EQ(back.Symbols(), coff.Symbols());
    EXPECT_EQ(back.StringTable(), coff.StringTable());
    EXPECT_EQ(back.OptionalHeader().entryPoint, 0x1234u);
}

TEST(CoffFile, ReplacingWithNoRawDataBeforeItPlacesTheDataAfterTheHeaders) {
    TestCoff c;
    c.sections = {{".bss", 0x10, {}, false, 0x100}, {".text", 0x200, Pattern(6, 3), true, 0, 1}};
    c.symbols = 1;
    const std::vector<uint8_t> bytes = c.Build();
    CCoffFile coff;
    ASSERT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 1);
    const std::vector<uint8_t> replacement = Pattern(9, 0x70);
    ASSERT_EQ(coff.ReplaceSection(".bss", replacement.data(), 9), 1);
    EXPECT_EQ(coff.SectionHeaders()[0].rawDataPointer, 22u + 28 + 2 * 48);

    TempDir dir;
    const std::string name = dir.File("bss.out");
    ASSERT_EQ(coff.Write(name.c_str()), 1);
    CCoffFile back;
    ASSERT_EQ(back.Read(name.c_str()), 1);
    EXPECT_EQ(Copy(back, ".bss"), replacement);
    EXPECT_EQ(Copy(back, ".text"), Pattern(6, 3));
    EXPECT_EQ(back.Sections()[1].relocations, Pattern(12, 17));
    EXPECT_EQ(back.Symbols(), Pattern(18, 0x55));
}

TEST(CoffFile, CreatedImageIsWrittenWithItsHeadersAndData) {
    CCoffFile coff;
    ASSERT_EQ(coff.CreateImage(), 1);
    EXPECT_TRUE(coff.IsLoaded());
    EXPECT_EQ(coff.SectionSize(".image"), 0u);
    EXPECT_EQ(coff.SectionAddress(".image"), 0u);
    EXPECT_EQ(coff.SectionHeaders()[0].rawDataPointer, 98u);
    const std::vector<uint8_t> payload = Pattern(5, 0x30);
    ASSERT_EQ(coff.ReplaceSection(".image", payload.data(), 5), 1);

    TempDir dir;
    const std::string name = dir.File("image.out");
    ASSERT_EQ(coff.Write(name.c_str()), 1);
    std::FILE* f = std::fopen(name.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<uint8_t> file(200);
    file.resize(std::fread(file.data(), 1, file.size(), f));
    std::fclose(f);
    ASSERT_EQ(file.size(), 103u);
    const std::vector<uint8_t> fileHeader(file.begin(), file.begin() + 22);
    std::vector<uint8_t> expected = {0xC2, 0, 1, 0, 0, 0,  0, 0,    0,    0,    0,
                                     0,    0, 0, 0, 0, 28, 0, 0x0F, 0x01, 0x97, 0};
    std::copy(file.begin() + 4, file.begin() + 8, expected.begin() + 4); // the time stamp
    EXPECT_EQ(fileHeader, expected);
    EXPECT_EQ(file[22], 0x08);
    EXPECT_EQ(file[23], 0x01);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[50])), ".image");
    EXPECT_EQ(Get32(file, 50 + SH_SIZE), 5u);
    EXPECT_EQ(Get32(file, 50 + SH_RAW_POINTER), 98u);
    EXPECT_EQ(Get32(file, 50 + SH_FLAGS), COFF_REPLACED_SECTION_FLAGS);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 98, file.end()), payload);
}

TEST(CoffFile, ReleaseEmptiesAndWriteNeedsSomethingToWrite) {
    CCoffFile coff;
    TempDir dir;
    coff.Release();
    EXPECT_EQ(coff.Write(dir.File("nothing.out").c_str()), 0);

    const std::vector<uint8_t> bytes = SampleCoff().Build();
    ASSERT_EQ(coff.ReadBytes(bytes.data(), bytes.size()), 1);
    EXPECT_EQ(coff.Write(dir.File("no/such/folder.out").c_str()), 0);
    coff.Release();
    EXPECT_FALSE(coff.IsLoaded());
    EXPECT_EQ(coff.SectionSize(".text"), COFF_NOT_FOUND);
    EXPECT_EQ(coff.Write(dir.File("released.out").c_str()), 0);
}

} // namespace
