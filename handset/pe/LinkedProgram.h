#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the PE writer needs from one link of the handset program: the loaded sections with their
// bytes, the symbols, the relocations the linker applied to those sections (kept with -q), and
// what the objects' build attributes say about the code. Read from an ELF file by
// ReadLinkedProgram, or made by hand in tests.

struct ProgramSection {
    std::string name;
    uint32_t address = 0;
    uint32_t size = 0;
    bool code = false;
    bool writable = false;
    bool zeroFill = false;      // no bytes in the file (.bss kind)
    std::vector<uint8_t> bytes; // `size` bytes unless zeroFill
};

struct ProgramSymbol {
    std::string name;
    uint32_t value = 0;
    bool defined = true;
    bool function = false;
};

struct ProgramRelocation {
    uint32_t address = 0; // of the patched place
    uint32_t type = 0;    // an R_ARM_* number
    std::string symbol;   // what it refers to, for messages
};

// ARM build attribute values; 0 where no object said anything.
struct ProgramAttributes {
    uint32_t cpuArch = 0;   // Tag_CPU_arch: 1 ARMv4, 2 ARMv4T, 3 ARMv5T, 4 ARMv5TE, ...
    uint32_t thumbIsa = 0;  // Tag_THUMB_ISA_use: 1 Thumb-1, 2 Thumb-2
    uint32_t wcharSize = 0; // Tag_ABI_PCS_wchar_t: 2 or 4 bytes
};

struct LinkedProgram {
    uint32_t entry = 0;
    std::vector<ProgramSection> sections; // loaded ones, in address order
    std::vector<ProgramSymbol> symbols;
    std::vector<ProgramRelocation> relocations; // those that patch loaded sections
    ProgramAttributes attributes;

    const ProgramSymbol* FindSymbol(const std::string& name) const {
        for (const ProgramSymbol& s : symbols) {
            if (s.name == name && s.defined)
                return &s;
        }
        return nullptr;
    }
};

// ARM relocation types the writer tells apart.
namespace arm_reloc {
const uint32_t kNone = 0;
const uint32_t kPc24 = 1;
const uint32_t kAbs32 = 2;
const uint32_t kRel32 = 3;
const uint32_t kThumbCall = 10;
const uint32_t kCall = 28;
const uint32_t kJump24 = 29;
const uint32_t kThumbJump24 = 30;
const uint32_t kTarget1 = 38;
const uint32_t kV4Bx = 40;
const uint32_t kPrel31 = 42;
const uint32_t kMovwAbsNc = 43;
const uint32_t kMovtAbs = 44;
const uint32_t kMovwPrelNc = 45;
const uint32_t kMovtPrel = 46;
} // namespace arm_reloc
