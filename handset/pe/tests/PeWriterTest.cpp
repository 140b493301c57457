#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "CaseName.h"
#include "PeWriter.h"

// What the writer produces, checked at the offsets the PE format gives, written out here as
// numbers rather than taken from the writer's own constants.

namespace {

const uint32_t kBase = 0x00010000;
const uint32_t kMovedBase = 0x5A5A0000;

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A program laid out as the tree's linker script lays out the switch tool. Image-relative:
//   .text   0x1000, 0x1100 bytes (two pages)
//   .rdata  0x3000, 8 bytes
//   .data   0x4000, 0x20 bytes, starting with the import address table (3 imports + 1)
// Its absolute addresses: 0x1010 (.rdata), 0x1014 (an import's slot), 0x2008 (the entry, from
// .text's second page) and 0x3000 (a function, as R_ARM_TARGET1). 0x1018 is relocated but holds
// a constant that does not move; 0x1020 and 0x1024 are relative and need nothing.
LinkedProgram MakeProgram(uint32_t base) {
    LinkedProgram p;
    p.entry = base + 0x1000;
    ProgramSection text{".text", base + 0x1000, 0x1100, true, false, false, {}};
    text.bytes.resize(text.size);
    for (size_t i = 0; i < text.bytes.size(); ++i)
        text.bytes[i] = static_cast<uint8_t>(i * 7 + 1); // code: the same at any base
    Put32(text.bytes, 0x10, base + 0x3000);
    Put32(text.bytes, 0x14, base + 0x4004);
    Put32(text.bytes, 0x18, 0x12345678);
    Put32(text.bytes, 0x1008, base + 0x1000);
    ProgramSection rdata{".rdata", base + 0x3000, 8, false, false, false, {}};
    rdata.bytes.resize(8);
    Put32(rdata.bytes, 0, base + 0x1040);
    Put32(rdata.bytes, 4, 0xCAFEF00D);
    ProgramSection data{".data", base + 0x4000, 0x20, false, true, false, {}};
    data.bytes.resize(0x20);
    data.bytes[0x18] = 0x55;
    p.sections = {text, rdata, data};
    p.symbols = {{"__ImageBase", base, true, false},
                 {"$a", base + 0x1000, true, false},
                 {"$d", base + 0x1010, true, false},
                 {"WinMainCRTStartup", base + 0x1000, true, true},
                 {"__ImportAddressTable", base + 0x4000, true, false},
                 {"__ImportAddressTableEnd", base + 0x4010, true, false}};
    p.relocations = {{base + 0x1010, 2, ".rdata"},   {base + 0x1014, 2, "__imp_ShellOrdinal"},
                     {base + 0x1018, 2, "CONSTANT"}, {base + 0x1020, 28, "f"},
                     {base + 0x1024, 40, ""},        {base + 0x2008, 2, ".text"},
                     {base + 0x3000, 38, "f"}};
    p.attributes = {2, 1, 2};
    return p;
}

const std::vector<ImportedFunction> kImports = {
    {"KernelIoControl", false, 0}, {"ShellOrdinal", true, 2011}, {"GetTickCount", false, 0}};

// The written image, read at literal offsets.
class Pe {
public:
    explicit Pe(std::vector<uint8_t> bytes) : b(std::move(bytes)) {}

    uint32_t U16(size_t at) const { return b.at(at) | b.at(at + 1) << 8; }
    uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }
    size_t Coff() const { return U32(0x3C) + 4; }
    size_t Optional() const { return Coff() + 20; }
    size_t SectionHeader(size_t i) const { return Optional() + U16(Coff() + 16) + 40 * i; }
    std::string SectionName(size_t i) const {
        const char* name = reinterpret_cast<const char*>(&b.at(SectionHeader(i)));
        return std::string(name, strnlen(name, 8));
    }
    uint32_t Directory(size_t index, size_t part) const {
        return U32(Optional() + 96 + 8 * index + 4 * part);
    }
    // The file offset of an image-relative address.
    size_t At(uint32_t rva) const {
        for (size_t i = 0; i < U16(Coff() + 2); ++i) {
            const size_t h = SectionHeader(i);
            const uint32_t start = U32(h + 12), size = U32(h + 8);
            if (rva >= start && rva < start + size)
                return U32(h + 20) + (rva - start);
        }
        ADD_FAILURE() << "no section holds RVA " << rva;
        return 0;
    }
    std::vector<uint8_t> Bytes(uint32_t rva, size_t size) const {
        const size_t at = At(rva);
        return std::vector<uint8_t>(b.begin() + at, b.begin() + at + size);
    }
    std::string CString(uint32_t rva) const {
        return reinterpret_cast<const char*>(&b.at(At(rva)));
    }

    std::vector<uint8_t> b;
};

Pe Write(const LinkedProgram& program, const LinkedProgram& moved,
         const CeImageOptions& options = CeImageOptions()) {
    std::vector<uint8_t> image;
    std::string error;
    EXPECT_TRUE(WriteCeImage(program, moved, kImports, options, image, error)) << error;
    return Pe(image);
}

TEST(PeWriter, WritesTheHeadersAHandsetLoads) {
    CeImageOptions options;
    options.timestamp = 1700000000;
    const Pe pe = Write(MakeProgram(kBase), MakeProgram(kMovedBase), options);
    const size_t c = pe.Coff(), o = pe.Optional();

    EXPECT_EQ(0x5A4Du, pe.U16(0));
    EXPECT_EQ(0x00004550u, pe.U32(c - 4));
    EXPECT_EQ(0x01C2u, pe.U16(c)) << "ARM with Thumb interworking";
    EXPECT_EQ(5u, pe.U16(c + 2)) << ".text .rdata .data, then .idata and .reloc";
    EXPECT_EQ(1700000000u, pe.U32(c + 4));
    EXPECT_EQ(224u, pe.U16(c + 16));
    const uint32_t characteristics = pe.U16(c + 18);
    EXPECT_EQ(0x0002u, characteristics & 0x0002) << "executable";
    EXPECT_EQ(0x0100u, characteristics & 0x0100) << "32-bit";
    EXPECT_EQ(0u, characteristics & 0x0001) << "relocations stripped";
    EXPECT_EQ(0u, characteristics & 0x2000) << "DLL";

    EXPECT_EQ(0x010Bu, pe.U16(o)) << "PE32";
    EXPECT_EQ(0x1200u, pe.U32(o + 4)) << "size of code";
    EXPECT_EQ(0x800u, pe.U32(o + 8)) << "size of initialised data";
    EXPECT_EQ(0x1000u, pe.U32(o + 16)) << "entry point";
    EXPECT_EQ(0x1000u, pe.U32(o + 20)) << "base of code";
    EXPECT_EQ(0x3000u, pe.U32(o + 24)) << "base of data";
    EXPECT_EQ(kBase, pe.U32(o + 28));
    EXPECT_EQ(0x1000u, pe.U32(o + 32)) << "section alignment";
    EXPECT_EQ(0x200u, pe.U32(o + 36)) << "file alignment";
    EXPECT_EQ(5u, pe.U16(o + 40)) << "OS version";
    EXPECT_EQ(0u, pe.U16(o + 42));
    EXPECT_EQ(5u, pe.U16(o + 48)) << "subsystem version";
    EXPECT_EQ(0u, pe.U16(o + 50));
    EXPECT_EQ(0x7000u, pe.U32(o + 56)) << "size of image: .reloc's page is the last";
    EXPECT_EQ(0x200u, pe.U32(o + 60)) << "size of headers";
    EXPECT_EQ(9u, pe.U16(o + 68)) << "Windows CE GUI";
    EXPECT_EQ(16u, pe.U32(o + 92));

    const struct {
        const char* name;
        uint32_t rva, virtualSize, rawSize, rawOffset, characteristics;
    } sections[] = {{".text", 0x1000, 0x1100, 0x1200, 0x200, 0x60000020},
                    {".rdata", 0x3000, 8, 0x200, 0x1400, 0x40000040},
                    {".data", 0x4000, 0x20, 0x200, 0x1600, 0xC0000040},
                    {".idata", 0x5000, 0x66, 0x200, 0x1800, 0x40000040},
                    {".reloc", 0x6000, 36, 0x200, 0x1A00, 0x42000040}};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(sections[i].name);
        const size_t h = pe.SectionHeader(i);
        EXPECT_EQ(sections[i].name, pe.SectionName(i));
        EXPECT_EQ(sections[i].virtualSize, pe.U32(h + 8));
        EXPECT_EQ(sections[i].rva, pe.U32(h + 12));
        EXPECT_EQ(sections[i].rawSize, pe.U32(h + 16));
        EXPECT_EQ(sections[i].rawOffset, pe.U32(h + 20));
        EXPECT_EQ(sections[i].characteristics, pe.U32(h + 36));
    }
    EXPECT_EQ(0x1C00u, pe.b.size());
    // The program's bytes as the linker laid them out at the preferred base.
    EXPECT_EQ(MakeProgram(kBase).sections[0].bytes, pe.Bytes(0x1000, 0x1100));
    EXPECT_EQ(MakeProgram(kBase).sections[1].bytes, pe.Bytes(0x3000, 8));
    EXPECT_EQ(0x55, pe.Bytes(0x4018, 1)[0]);
}

TEST(PeWriter, VersionAndTimestampAreTheCallersChoice) {
    CeImageOptions options;
    options.versionMajor = 4;
    options.versionMinor = 20;
    const Pe pe = Write(MakeProgram(kBase), MakeProgram(kMovedBase), options);
    const size_t o = pe.Optional();
    EXPECT_EQ(0u, pe.U32(pe.Coff() + 4)) << "no timestamp given: 0, the same on every build";
    EXPECT_EQ(4u, pe.U16(o + 40));
    EXPECT_EQ(20u, pe.U16(o + 42));
    EXPECT_EQ(4u, pe.U16(o + 48));
    EXPECT_EQ(20u, pe.U16(o + 50));
}

TEST(PeWriter, ImportTableNamesEachFunctionByNameOrOrdinal) {
    const Pe pe = Write(MakeProgram(kBase), MakeProgram(kMovedBase));

    EXPECT_EQ(0x5000u, pe.Directory(1, 0));
    EXPECT_EQ(40u, pe.Directory(1, 1)) << "coredll.dll's descriptor and the closing one";
    EXPECT_EQ(0x4000u, pe.Directory(12, 0)) << "the slots the linker reserved";
    EXPECT_EQ(16u, pe.Directory(12, 1));

    const size_t d = pe.At(0x5000);
    EXPECT_EQ(0x5028u, pe.U32(d)) << "lookup table";
    EXPECT_EQ(0u, pe.U32(d + 4));
    EXPECT_EQ(0u, pe.U32(d + 8));
    EXPECT_EQ(0x505Au, pe.U32(d + 12)) << "library name";
    EXPECT_EQ(0x4000u, pe.U32(d + 16)) << "address table";
    EXPECT_EQ(std::vector<uint8_t>(20, 0), pe.Bytes(0x5014, 20));
    EXPECT_EQ("coredll.dll", pe.CString(0x505A));

    const std::vector<uint32_t> lookup = {0x5038, 0x80000000u | 2011, 0x504A, 0};
    for (size_t i = 0; i < lookup.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lookup[i], pe.U32(pe.At(0x5028 + 4 * i)));
        EXPECT_EQ(lookup[i], pe.U32(pe.At(0x4000 + 4 * i))) << "before binding, as the lookup";
    }
    EXPECT_EQ(0u, pe.U16(pe.At(0x5038))) << "hint";
    EXPECT_EQ("KernelIoControl", pe.CString(0x503A));
    EXPECT_EQ(0u, pe.U16(pe.At(0x504A)));
    EXPECT_EQ("GetTickCount", pe.CString(0x504C));
}

TEST(PeWriter, RelocationsCoverEveryMovedWordInBlocksPerPage) {
    const Pe pe = Write(MakeProgram(kBase), MakeProgram(kMovedBase));

    EXPECT_EQ(0x6000u, pe.Directory(5, 0));
    EXPECT_EQ(36u, pe.Directory(5, 1));
    // Page, size, entries (type 3 in the top four bits): an odd count is padded with a zero
    // entry. The relocated constant at 0x1018 is not among them.
    const std::vector<uint8_t> blocks = {0x00, 0x10, 0, 0, 12, 0, 0, 0, 0x10, 0x30, 0x14, 0x30, //
                                         0x00, 0x20, 0, 0, 12, 0, 0, 0, 0x08, 0x30, 0x00, 0x00, //
                                         0x00, 0x30, 0, 0, 12, 0, 0, 0, 0x00, 0x30, 0x00, 0x00};
    EXPECT_EQ(blocks, pe.Bytes(0x6000, 36));
}

TEST(PeWriter, ChecksumIsTheFoldedWordSumPlusTheLength) {
    const struct {
        std::vector<uint8_t> bytes;
        size_t field;
        uint32_t sum;
    } cases[] = {
        {{0x01, 0x00, 0x02, 0x00}, 100, 1 + 2 + 4},
        {{0xFF, 0xFF, 0x02, 0x00}, 100, 0x0002 + 4},             // 0x10001 folds to 2
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x00}, 100, 0x0003 + 6}, // 0xFFFF adds as zero
        {{0x01, 0x00, 0x05}, 100, 1 + 5 + 3}, // an odd last byte counts as a word
        {{0x10, 0x00, 0x00, 0x00, 0xAA, 0xBB, 0xCC, 0xDD}, 4, 0x10 + 8}, // the field is zero
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.sum, PeChecksum(c.bytes, c.field));

    const Pe pe = Write(MakeProgram(kBase), MakeProgram(kMovedBase));
    const size_t field = pe.Optional() + 64;
    EXPECT_NE(0u, pe.U32(field));
    EXPECT_EQ(PeChecksum(pe.b, field), pe.U32(field));
}

// One way a program can be wrong for a handset, made by changing the two links.
struct Refusal {
    const char* name;
    std::function<void(LinkedProgram& program, LinkedProgram& moved)> change;
    const char* says;
};

void PrintTo(const Refusal& c, std::ostream* out) {
    *out << c.name;
}

class PeWriterRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(PeWriterRefusal, WritesNothingAndSaysWhy) {
    LinkedProgram program = MakeProgram(kBase), moved = MakeProgram(kMovedBase);
    GetParam().change(program, moved);
    std::vector<uint8_t> image;
    std::string error;
    EXPECT_FALSE(WriteCeImage(program, moved, kImports, CeImageOptions(), image, error));
    EXPECT_NE(std::string::npos, error.find(GetParam().says)) << error;
    EXPECT_TRUE(image.empty());
    EXPECT_EQ(std::string::npos, error.find('\n')) << "one line";
}

void Both(LinkedProgram& a, LinkedProgram& b, const std::function<void(LinkedProgram&)>& f) {
    f(a);
    f(b);
}

void AddRelocation(LinkedProgram& a, LinkedProgram& b, uint32_t rva, uint32_t type) {
    a.relocations.push_back({kBase + rva, type, "x"});
    b.relocations.push_back({kMovedBase + rva, type, "x"});
}

INSTANTIATE_TEST_SUITE_P(Programs, PeWriterRefusal,
                         ::testing::
                             Values(
                                 Refusal{
                                     "thumb_mapping_symbol",
                                     [](LinkedProgram& a, LinkedProgram& b) {
                                         a.symbols.push_back({"$t", kBase + 0x1100, true, false});
                                         b.symbols.push_back(
                                             {"$t", kMovedBase + 0x1100, true, false});
                                     },
                                     "Thumb code at 0x00011100"},
                                 Refusal{"thumb_function",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.symbols.push_back({"f", kBase + 0x1101, true, true});
                                         },
                                         "Thumb function f"},
                                 Refusal{"thumb_entry",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             a.entry += 1;
                                             b.entry += 1;
                                         },
                                         "is Thumb code"},
                                 Refusal{"entry_in_data",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             a.entry = kBase + 0x3000;
                                             b.entry = kMovedBase + 0x3000;
                                         },
                                         "is not in code"},
                                 Refusal{"armv5te_code",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.attributes.cpuArch = 4;
                                         },
                                         "newer than ARMv4T"},
                                 Refusal{"thumb2_allowed",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.attributes.thumbIsa = 2;
                                         },
                                         "Thumb-2"},
                                 Refusal{"four_byte_wchar",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.attributes.wcharSize = 4;
                                         },
                                         "wchar_t is 4 bytes"},
                                 Refusal{"undefined_symbol",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.symbols.push_back({"atexit", 0, false, false});
                                         },
                                         "atexit is neither defined nor in the import list"},
                                 Refusal{"movw",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             AddRelocation(a, b, 0x1028, 43);
                                         },
                                         "movw/movt relocation at 0x00011028"},
                                 Refusal{"movt",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             AddRelocation(a, b, 0x102C, 44);
                                         },
                                         "movw/movt relocation"},
                                 Refusal{"thumb_call",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             AddRelocation(a, b, 0x1028, 10);
                                         },
                                         "Thumb relocation 10"},
                                 Refusal{"abs16",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             AddRelocation(a, b, 0x1028, 5);
                                         },
                                         "relocation type 5 at 0x00011028 (x), which a handset "
                                         "cannot apply"},
                                 Refusal{"unaligned_word",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             AddRelocation(a, b, 0x102A, 2);
                                         },
                                         "unaligned absolute address at 0x0001102A"},
                                 Refusal{"word_past_its_section",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             AddRelocation(a, b, 0x3006, 2);
                                         },
                                         "lies outside the loaded sections"},
                                 Refusal{"address_without_relocation",
                                         [](LinkedProgram&, LinkedProgram& b) {
                                             Put32(b.sections[0].bytes, 0x30,
                                                   0x5A4A0000); // an address only here
                                         },
                                         "the word at 0x00011030 in .text holds an address that no "
                                         "relocation covers"},
                                 Refusal{"byte_that_moves",
                                         [](LinkedProgram&, LinkedProgram& b) {
                                             b.sections[2].bytes[0x1F] = 0x5A;
                                         },
                                         "the word at 0x0001401C in .data holds an address"},
                                 Refusal{"relocated_word_moving_otherwise",
                                         [](LinkedProgram&, LinkedProgram& b) {
                                             Put32(b.sections[1].bytes, 0, kMovedBase + 0x1044);
                                         },
                                         "the relocated word at 0x00013000 in .rdata does not move "
                                         "with the image"},
                                 Refusal{"same_base",
                                         [](LinkedProgram& a, LinkedProgram& b) { b = a; },
                                         "at the same base"},
                                 Refusal{"base_off_64k",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.symbols[0].value = kBase + 0x1000;
                                         },
                                         "not a multiple of 64 KiB"},
                                 Refusal{"no_image_base",
                                         [](LinkedProgram& a, LinkedProgram&) {
                                             a.symbols[0].name = "base";
                                         },
                                         "no __ImageBase"},
                                 Refusal{"links_laid_out_differently",
                                         [](LinkedProgram&, LinkedProgram& b) {
                                             b.sections[1].size = 12;
                                         },
                                         "laid out differently"},
                                 Refusal{"no_import_table",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             Both(a, b,
                                                  [](LinkedProgram& p) { p.symbols.resize(4); });
                                         },
                                         "no import address table (__ImportAddressTable)"},
                                 Refusal{"import_table_too_small",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             Both(a, b, [](LinkedProgram& p) {
                                                 p.symbols[5].value -= 4;
                                             });
                                         },
                                         "room for 3 slots; the import list needs 4"},
                                 Refusal{"import_table_read_only",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             Both(a, b, [](LinkedProgram& p) {
                                                 p.sections[2].writable = false;
                                             });
                                         },
                                         "must lie in initialised writable data"},
                                 Refusal{"import_slot_not_zero",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             Both(a, b, [](LinkedProgram& p) {
                                                 p.sections[2].bytes[0xC] = 1;
                                             });
                                         },
                                         "must be zero"},
                                 Refusal{"section_off_its_page",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             a.sections[1].address += 0x100;
                                             b.sections[1].address += 0x100;
                                         },
                                         "section .rdata at 0x00013100 is not at 0x00013000"},
                                 Refusal{"gap_between_sections",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             Both(a, b, [](LinkedProgram& p) {
                                                 p.sections[1].address += 0x3000;
                                                 p.sections[2].address += 0x3000;
                                             });
                                         },
                                         "section .rdata at 0x00016000 is not at 0x00013000"},
                                 Refusal{"long_section_name",
                                         [](LinkedProgram& a, LinkedProgram& b) {
                                             Both(a, b, [](LinkedProgram& p) {
                                                 p.sections[1].name = ".rodata.str";
                                             });
                                         },
                                         "section name .rodata.str is longer than 8 bytes"}),
                         CaseName());

} // namespace
