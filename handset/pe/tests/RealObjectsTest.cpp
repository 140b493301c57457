#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CaseName.h"
#include "ChildProcess.h"
#include "ElfFile.h"
#include "PeWriter.h"
#include "TempDir.h"

// Small programs built by Debian's ARM assembler, compiler and linker with the tree's linker
// script, linked at two bases as the handset image is: what the ELF reader takes from real
// files must be enough for the writer to accept a sound program and to refuse each fault.

namespace {

const char kProgram[] = R"(
    .syntax unified
    .arm
    .text
    .global WinMainCRTStartup
    .type WinMainCRTStartup, %function
WinMainCRTStartup:
    ldr r0, =table
    ldr r0, [r0]
    bx lr
    .ltorg
%BODY%
    .section .rodata
table:
    .word WinMainCRTStartup
    .section .idata.iat,"aw",%progbits
    .global __ImportAddressTable
    .global __ImportAddressTableEnd
__ImportAddressTable:
    .word 0
    .word 0
__ImportAddressTableEnd:
)";

struct Fault {
    const char* name;
    const char* assembly; // into the program above
    const char* cxx;      // a C++ unit built beside it, if any
    const char* script;   // a line added to .rdata in the linker script, if any
    const char* says;     // the writer's refusal; empty when it must accept the program
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

void RunTool(std::vector<std::string> argv) {
    ChildProcess tool(argv);
    ASSERT_TRUE(tool.Started()) << argv[0];
    const auto status = tool.WaitUntil(ChildProcess::Clock::now() + std::chrono::seconds(60));
    ASSERT_TRUE(status.ended) << argv[0] << " did not end within 60 s";
    ASSERT_FALSE(status.signaled) << argv[0];
    ASSERT_EQ(0, status.code) << argv[0] << ":\n" << tool.Output();
}

LinkedProgram Read(const std::string& path) {
    const std::string text = ReadText(path);
    LinkedProgram program;
    std::string error;
    EXPECT_TRUE(ReadLinkedProgram(std::vector<uint8_t>(text.begin(), text.end()), program, error))
        << error;
    return program;
}

void PrintTo(const Fault& c, std::ostream* out) {
    *out << c.name;
}

class RealObjects : public ::testing::TestWithParam<Fault> {};

TEST_P(RealObjects, AreWrittenOrRefusedAsAHandsetNeeds) {
    const Fault& f = GetParam();
    TempDir dir;
    WriteText(dir.File("program.s"), Replace(kProgram, "%BODY%", f.assembly));
    std::string script = ReadText(KOV_QUILLO_LD);
    if (*f.script)
        script = Replace(script, ".rdata : { *(.rodata .rodata.*)",
                         std::string(".rdata : { *(.rodata .rodata.*) ") + f.script);
    WriteText(dir.File("program.ld"), script);

    std::vector<std::string> objects = {dir.File("program.o")};
    ASSERT_NO_FATAL_FAILURE(RunTool(
        {KOV_ARM_GCC, "-march=armv4t", "-c", dir.File("program.s"), "-o", dir.File("program.o")}));
    if (*f.cxx) {
        WriteText(dir.File("unit.cpp"), f.cxx);
        ASSERT_NO_FATAL_FAILURE(
            RunTool({KOV_ARM_GXX, "-marm", "-march=armv4t", "-Os", "-ffreestanding", "-c",
                     dir.File("unit.cpp"), "-o", dir.File("unit.o")}));
        objects.push_back(dir.File("unit.o"));
    }
    for (const char* base : {"0x00010000", "0x5A5A0000"}) {
        std::vector<std::string> link = {KOV_ARM_LD,
                                         "-T",
                                         dir.File("program.ld"),
                                         "--defsym",
                                         std::string("IMAGE_BASE=") + base,
                                         "-q",
                                         "-o",
                                         dir.File(std::string(base) + ".elf")};
        link.insert(link.end(), objects.begin(), objects.end());
        ASSERT_NO_FATAL_FAILURE(RunTool(link));
    }

    const LinkedProgram program = Read(dir.File("0x00010000.elf"));
    const LinkedProgram moved = Read(dir.File("0x5A5A0000.elf"));
    std::vector<uint8_t> image;
    std::string error;
    const bool written =
        WriteCeImage(program, moved, {{"Only", false, 0}}, CeImageOptions(), image, error);
    if (!*f.says) {
        EXPECT_TRUE(written) << error;
        EXPECT_EQ(2u, program.attributes.cpuArch) << "ARMv4T, read from the objects";
        // The literal pool's address of `table` in .text and table's address of the entry in
        // .rdata: one word on each of two pages, each block padded to 12 bytes.
        const size_t size = 0x40 + 24 + 96 + 8 * 5 + 4;
        ASSERT_GT(image.size(), size + 4);
        EXPECT_EQ(24u, image[size] | image[size + 1] << 8 | image[size + 2] << 16);
    } else {
        EXPECT_FALSE(written);
        EXPECT_NE(std::string::npos, error.find(f.says)) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, RealObjects,
    ::testing::Values(Fault{"plain_armv4t", "", "", "", ""},
                      Fault{"thumb_function",
                            "    .thumb\n    .thumb_func\nthumbed:\n    bx lr\n    .arm\n"
                            "    .section .rodata\n    .word thumbed\n",
                            "", "", "Thumb"},
                      Fault{"movw_movt",
                            "    .arch armv7-a\nwide:\n    movw r0, #:lower16:table\n"
                            "    movt r0, #:upper16:table\n    bx lr\n",
                            "", "", "movw/movt relocation"},
                      Fault{"armv5te_instructions",
                            "    .arch armv5te\nnewer:\n    blx r0\n    clz r0, r1\n", "", "",
                            "newer than ARMv4T"},
                      Fault{"weak_call_to_nothing", "    .weak missing\ncaller:\n    bl missing\n",
                            "", "", "missing is neither defined nor in the import list"},
                      Fault{"four_byte_wchar", "",
                            "extern \"C\" const wchar_t* Wide() { return L\"text\"; }\n", "",
                            "wchar_t is 4 bytes"},
                      Fault{"address_from_the_linker_script", "", "", "LONG(ADDR(.text))",
                            "holds an address that no relocation covers"}),
    CaseName());

} // namespace
