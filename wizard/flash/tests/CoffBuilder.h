#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes small COFF files for the tests byte by byte, without the reader's own code. Each
// section's raw data, relocations and line numbers follow the headers in section order, then
// the symbols, then the string table: the order in which the reader takes them.

struct TestSection {
    std::string name;
    uint32_t address = 0;
    std::vector<uint8_t> data;
    bool raw = true; // false: the section has no raw data and `size` is its size
    uint32_t size = 0;
    uint32_t relocations = 0;
    uint32_t lineNumbers = 0;
};

// Field offsets, for tests that spoil a file built here.
constexpr size_t FH_SECTION_COUNT = 2, FH_SYMBOL_POINTER = 8, FH_SYMBOL_COUNT = 12;
constexpr size_t SH_ADDRESS = 8, SH_SIZE = 16, SH_RAW_POINTER = 20, SH_RELOCATION_POINTER = 24,
                 SH_LINE_POINTER = 28, SH_RELOCATION_COUNT = 32, SH_LINE_COUNT = 36, SH_FLAGS = 40;

inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

struct TestCoff {
    uint16_t optionalHeaderSize = 28; // the optional header's 28 bytes are written only for 28
    std::vector<TestSection> sections;
    uint32_t symbols = 0;
    std::string strings;
    bool stringTableLength = true;

    size_t SectionHeaderAt(size_t i) const {
        return 22 + (optionalHeaderSize == 28 ? 28 : 0) + 48 * i;
    }

    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> b(SectionHeaderAt(sections.size()));
        Put16(b, 0, 0x00C2);
        Put16(b, FH_SECTION_COUNT, static_cast<uint32_t>(sections.size()));
        Put32(b, 4, 0x5E000000);
        Put32(b, FH_SYMBOL_COUNT, symbols);
        Put16(b, 16, optionalHeaderSize);
        Put16(b, 18, 0x0113);
        Put16(b, 20, 0x0097);
        if (optionalHeaderSize == 28) {
            Put16(b, 22, 0x0108);
            Put16(b, 24, 0x0190);
            Put32(b, 38, 0x1234); // entry point
        }
        auto append = [&b](const std::vector<uint8_t>& bytes) {
            const uint32_t at = static_cast<uint32_t>(b.size());
            b.insert(b.end(), bytes.begin(), bytes.end());
            return at;
        };
        for (size_t i = 0; i < sections.size(); ++i) {
            const TestSection& s = sections[i];
            const size_t h = SectionHeaderAt(i);
            for (size_t c = 0; c < s.name.size() && c < 8; ++c)
                b[h + c] = static_cast<uint8_t>(s.name[c]);
            Put32(b, h + SH_ADDRESS, s.address);
            Put32(b, h + 12, s.address);
            Put32(b, h + SH_SIZE, s.raw ? static_cast<uint32_t>(s.data.size()) : s.size);
            Put32(b, h + SH_FLAGS, s.raw ? 0x20 : 0x80);
            const uint8_t seed = static_cast<uint8_t>(i * 16);
            if (s.raw)
                Put32(b, h + SH_RAW_POINTER, append(s.data));
            if (s.relocations) {
                Put32(b, h + SH_RELOCATION_POINTER, append(Pattern(12 * s.relocations, seed + 1)));
                Put32(b, h + SH_RELOCATION_COUNT, s.relocations);
            }
            if (s.lineNumbers) {
                Put32(b, h + SH_LINE_POINTER, append(Pattern(6 * s.lineNumbers, seed + 2)));
                Put32(b, h + SH_LINE_COUNT, s.lineNumbers);
            }
        }
        if (symbols)
            Put32(b, FH_SYMBOL_POINTER, append(Pattern(18 * symbols, 0x55)));
        if (stringTableLength) {
            std::vector<uint8_t> table(4);
            Put32(table, 0, static_cast<uint32_t>(4 + strings.size()));
            table.insert(table.end(), strings.begin(), strings.end());
            append(table);
        }
        return b;
    }
};
