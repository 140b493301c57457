#include "PeWriter.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "PeLayout.h"

namespace {

const uint32_t kSectionAlignment = 0x1000;
const uint32_t kFileAlignment = 0x200;
const uint32_t kPeHeaderOffset = 0x40;
const uint32_t kCoffHeader = kPeHeaderOffset + 4;
const uint32_t kOptionalHeader = kCoffHeader + pe::kFileHeaderSize;
const uint32_t kSectionTable = kOptionalHeader + pe::kOptionalHeaderSize;
const char kImageBaseSymbol[] = "__ImageBase";
const char kLibrary[] = "coredll.dll";

// ARMv4T in Tag_CPU_arch; Thumb-2 in Tag_THUMB_ISA_use.
const uint32_t kArchV4T = 2;
const uint32_t kThumb2 = 2;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

bool IsThumbRelocation(uint32_t type) {
    return type == 7 || type == arm_reloc::kThumbCall || type == 11 ||
           type == arm_reloc::kThumbJump24 || (type >= 47 && type <= 54) || type == 102 ||
           type == 103;
}

bool IsMovwMovt(uint32_t type) {
    return type >= arm_reloc::kMovwAbsNc && type <= arm_reloc::kMovtPrel;
}

// Relative to the place they patch, so right at any base.
bool IsPcRelative(uint32_t type) {
    return type == arm_reloc::kNone || type == arm_reloc::kPc24 || type == arm_reloc::kRel32 ||
           type == arm_reloc::kCall || type == arm_reloc::kJump24 || type == arm_reloc::kV4Bx ||
           type == arm_reloc::kPrel31;
}

bool IsWholeWordAddress(uint32_t type) {
    return type == arm_reloc::kAbs32 || type == arm_reloc::kTarget1;
}

struct PeSection {
    std::string name;
    uint32_t rva = 0;
    uint32_t virtualSize = 0;
    uint32_t characteristics = 0;
    std::vector<uint8_t> bytes; // empty for zero-filled sections
    uint32_t fileOffset = 0;
    uint32_t rawSize = 0;
};

class Writer {
public:
    Writer(const LinkedProgram& program, const LinkedProgram& moved,
           const std::vector<ImportedFunction>& imports, const CeImageOptions& options,
           std::string& error)
        : program_(program), moved_(moved), imports_(imports), options_(options), error_(error) {}

    bool Write(std::vector<uint8_t>& image) {
        if (!FindBases() || !CheckSameLayout() || !LaySections() || !CheckSymbols() ||
            !CollectRelocations() || !CheckCode() || !CompareLinks() || !FillImportTable())
            return false;
        AddImportDirectory();
        AddRelocations();
        Emit(image);
        return true;
    }

private:
    bool Fail(const std::string& why) {
        error_ = why;
        return false;
    }

    bool FindBases() {
        const ProgramSymbol* base = program_.FindSymbol(kImageBaseSymbol);
        const ProgramSymbol* movedBase = moved_.FindSymbol(kImageBaseSymbol);
        if (!base || !movedBase)
            return Fail(std::string("no ") + kImageBaseSymbol + " symbol in both links");
        base_ = base->value;
        delta_ = movedBase->value - base_;
        // A handset maps images on 64 KiB boundaries.
        if (base_ % 0x10000 || movedBase->value % 0x10000)
            return Fail("image base " + Hex(base_) + " is not a multiple of 64 KiB");
        if (delta_ == 0)
            return Fail("both links are at the same base: they cannot show the addresses");
        return true;
    }

    bool CheckSameLayout() {
        const auto& a = program_.sections;
        const auto& b = moved_.sections;
        bool same = program_.entry - base_ == moved_.entry - base_ - delta_ &&
                    a.size() == b.size() &&
                    program_.relocations.size() == moved_.relocations.size();
        for (size_t i = 0; same && i < a.size(); ++i) {
            same = a[i].name == b[i].name && a[i].address + delta_ == b[i].address &&
                   a[i].size == b[i].size && a[i].code == b[i].code &&
                   a[i].writable == b[i].writable && a[i].zeroFill == b[i].zeroFill &&
                   a[i].bytes.size() == b[i].bytes.size();
        }
        for (size_t i = 0; same && i < program_.relocations.size(); ++i) {
            same = program_.relocations[i].address + delta_ == moved_.relocations[i].address &&
                   program_.relocations[i].type == moved_.relocations[i].type;
        }
        return same || Fail("the two links are laid out differently: link the same objects with "
                            "the same script, only the base changed");
    }

    const ProgramSection* SectionAt(uint32_t address) const {
        for (const ProgramSection& s : program_.sections) {
            if (address >= s.address && address - s.address < s.size)
                return &s;
        }
        return nullptr;
    }

    bool CheckCode() {
        const ProgramSection* entry = SectionAt(program_.entry);
        if (!entry || !entry->code)
            return Fail("entry point " + Hex(program_.entry) + " is not in code");
        if (program_.entry % 4)
            return Fail("entry point " + Hex(program_.entry) + " is Thumb code");
        for (const ProgramSymbol& s : program_.symbols) {
            if (s.name == "$t" || s.name.rfind("$t.", 0) == 0)
                return Fail("Thumb code at " + Hex(s.value) +
                            ": build for ARM (-marm), the handsets' processors run ARMv4T");
            if (s.function && s.defined && (s.value & 1))
                return Fail("Thumb function " + s.name + " at " + Hex(s.value & ~1u));
        }
        const ProgramAttributes& at = program_.attributes;
        if (at.cpuArch > kArchV4T)
            return Fail("the objects were built for a processor newer than ARMv4T (Tag_CPU_arch " +
                        std::to_string(at.cpuArch) + "): build with -march=armv4t");
        if (at.thumbIsa >= kThumb2)
            return Fail("the objects may use Thumb-2 code: build with -march=armv4t -marm");
        if (at.wcharSize != 0 && at.wcharSize != 2)
            return Fail("wchar_t is " + std::to_string(at.wcharSize) +
                        " bytes: build with -fshort-wchar, or every wide string handed to "
                        "coredll.dll is garbled");
        return true;
    }

    bool CheckSymbols() {
        for (const ProgramSymbol& s : program_.symbols) {
            if (!s.defined && !s.name.empty())
                return Fail(s.name + " is neither defined nor in the import list");
        }
        return true;
    }

    bool CollectRelocations() {
        for (const ProgramRelocation& r : program_.relocations) {
            const std::string where = " at " + Hex(r.address) + " (" + r.symbol + ")";
            if (IsPcRelative(r.type))
                continue;
            if (IsMovwMovt(r.type))
                return Fail("movw/movt relocation" + where +
                            ": a handset relocates whole words only, and ARMv4T has no movw");
            if (IsThumbRelocation(r.type))
                return Fail("Thumb relocation " + std::to_string(r.type) + where);
            if (!IsWholeWordAddress(r.type))
                return Fail("relocation type " + std::to_string(r.type) + where +
                            ", which a handset cannot apply");
            const ProgramSection* s = SectionAt(r.address);
            if (!s || s->zeroFill || s->size < 4 || r.address - s->address > s->size - 4)
                return Fail("relocated word" + where + " lies outside the loaded sections");
            if (r.address % 4)
                return Fail("unaligned absolute address" + where);
            absolute_.insert(r.address);
        }
        return true;
    }

    // Every word that differs between the links is an address: it must be relocated and move
    // by exactly the distance between the bases. A relocated word that stays the same refers to
    // a constant and needs no base relocation.
    bool CompareLinks() {
        for (size_t i = 0; i < program_.sections.size(); ++i) {
            const ProgramSection& a = program_.sections[i];
            const ProgramSection& b = moved_.sections[i];
            for (uint32_t at = 0; at < a.bytes.size(); at += 4) {
                const uint32_t address = a.address + at;
                const bool whole = a.bytes.size() - at >= 4;
                const bool differs =
                    !std::equal(a.bytes.begin() + at,
                                a.bytes.begin() + std::min<size_t>(at + 4, a.bytes.size()),
                                b.bytes.begin() + at);
                const bool relocated = absolute_.count(address) != 0;
                if (!differs)
                    continue;
                if (!relocated || !whole)
                    return Fail("the word at " + Hex(address) + " in " + a.name +
                                " holds an address that no relocation covers: a handset "
                                "loading the image elsewhere would leave it pointing at the "
                                "old place");
                if (Get32(b.bytes, at) - Get32(a.bytes, at) != delta_)
                    return Fail("the relocated word at " + Hex(address) + " in " + a.name +
                                " does not move with the image");
                baseRelocations_.insert(address - base_);
            }
        }
        return true;
    }

    bool LaySections() {
        uint32_t end = kSectionAlignment;
        for (const ProgramSection& s : program_.sections) {
            if (s.size == 0)
                continue;
            // A loader expects the sections in rising order, each on the first page after the
            // one before it (the first after the headers' page), with no gaps between.
            const uint32_t rva = s.address - base_;
            const uint32_t expected = AlignUp(end, kSectionAlignment);
            if (s.address < base_ || rva != expected)
                return Fail("section " + s.name + " at " + Hex(s.address) + " is not at " +
                            Hex(base_ + expected) +
                            ", the first 4 KiB page after the headers or the section before it");
            if (s.name.size() > pe::kSectionNameLength)
                return Fail("section name " + s.name + " is longer than 8 bytes");
            PeSection p;
            p.name = s.name;
            p.rva = rva;
            p.virtualSize = s.size;
            if (s.code)
                p.characteristics = pe::kSectionCode | pe::kSectionExecute | pe::kSectionRead;
            else if (s.zeroFill)
                p.characteristics = pe::kSectionUninitializedData | pe::kSectionRead;
            else
                p.characteristics = pe::kSectionInitializedData | pe::kSectionRead;
            if (s.writable)
                p.characteristics |= pe::kSectionWrite;
            p.bytes = s.bytes;
            sections_.push_back(p);
            end = rva + s.size;
        }
        if (sections_.empty())
            return Fail("the program has no loaded sections");
        // Room for the section table, with the two sections added below, in the first page.
        if (kSectionTable + (sections_.size() + 2) * pe::kSectionHeaderSize > kSectionAlignment)
            return Fail("too many sections for the headers' page");
        return true;
    }

    PeSection* SectionOf(uint32_t rva) {
        for (PeSection& s : sections_) {
            if (rva >= s.rva && rva - s.rva < s.virtualSize)
                return &s;
        }
        return nullptr;
    }

    // The linker reserved the import address table's slots (zeros, one per import and one to
    // end it); they get what the lookup table holds, as the format asks for before binding.
    bool FillImportTable() {
        const ProgramSymbol* start = program_.FindSymbol(kImportTableStart);
        const ProgramSymbol* end = program_.FindSymbol(kImportTableEnd);
        if (!start || !end)
            return Fail(std::string("no import address table (") + kImportTableStart +
                        "): link the thunks that elf2ce writes");
        const uint32_t slots = static_cast<uint32_t>(imports_.size()) + 1;
        if (end->value < start->value || end->value - start->value != 4 * slots)
            return Fail("the import address table has room for " +
                        std::to_string((end->value - start->value) / 4) +
                        " slots; the import "
                        "list needs " +
                        std::to_string(slots));
        iatRva_ = start->value - base_;
        PeSection* s = SectionOf(iatRva_);
        if (!s || s->bytes.empty() || !(s->characteristics & pe::kSectionWrite) || iatRva_ % 4 ||
            iatRva_ + 4 * slots > s->rva + s->virtualSize)
            return Fail("the import address table must lie in initialised writable data");
        for (uint32_t i = 0; i < slots; ++i) {
            const uint32_t at = iatRva_ - s->rva + 4 * i;
            if (Get32(s->bytes, at) != 0 || baseRelocations_.count(iatRva_ + 4 * i))
                return Fail("the import address table's slots must be zero and not relocated");
        }
        iatSection_ = s;
        return true;
    }

    uint32_t NextRva() const {
        const PeSection& last = sections_.back();
        return AlignUp(last.rva + last.virtualSize, kSectionAlignment);
    }

    // Descriptors (coredll.dll and the closing zeros), the lookup table, each name's hint and
    // text, and the library's name.
    void AddImportDirectory() {
        PeSection idata;
        idata.name = ".idata";
        idata.rva = NextRva();
        idata.characteristics = pe::kSectionInitializedData | pe::kSectionRead;
        const uint32_t lookup = 2 * pe::kImportDescriptorSize;
        const uint32_t slots = static_cast<uint32_t>(imports_.size()) + 1;
        std::vector<uint8_t>& b = idata.bytes;
        b.assign(lookup + 4 * slots, 0);
        std::vector<uint32_t> entries;
        for (const ImportedFunction& f : imports_) {
            if (f.byOrdinal) {
                entries.push_back(pe::kImportByOrdinal | f.ordinal);
                continue;
            }
            entries.push_back(idata.rva + static_cast<uint32_t>(b.size()));
            b.push_back(0); // hint: none, the loader looks the name up
            b.push_back(0);
            b.insert(b.end(), f.name.begin(), f.name.end());
            b.push_back(0);
            if (b.size() % 2)
                b.push_back(0);
        }
        const uint32_t libraryName = idata.rva + static_cast<uint32_t>(b.size());
        b.insert(b.end(), kLibrary, kLibrary + sizeof kLibrary);
        for (size_t i = 0; i < entries.size(); ++i) {
            Put32(b, lookup + 4 * i, entries[i]);
            Put32(iatSection_->bytes, iatRva_ - iatSection_->rva + 4 * i, entries[i]);
        }
        Put32(b, pe::kImportLookupTable, idata.rva + lookup);
        Put32(b, pe::kImportLibraryName, libraryName);
        Put32(b, pe::kImportAddressTable, iatRva_);
        idata.virtualSize = static_cast<uint32_t>(b.size());
        importDirectory_ = idata.rva;
        iatSize_ = 4 * slots;
        sections_.push_back(idata);
    }

    // One block per 4 KiB page, its entries in rising order, padded to a 4-byte size.
    void AddRelocations() {
        if (baseRelocations_.empty())
            return;
        PeSection reloc;
        reloc.name = ".reloc";
        reloc.rva = NextRva();
        reloc.characteristics =
            pe::kSectionInitializedData | pe::kSectionRead | pe::kSectionDiscardable;
        std::vector<uint8_t>& b = reloc.bytes;
        auto next = baseRelocations_.begin();
        while (next != baseRelocations_.end()) {
            const uint32_t page = *next & ~(kSectionAlignment - 1);
            const size_t header = b.size();
            b.resize(b.size() + pe::kRelocationBlockHeaderSize);
            for (; next != baseRelocations_.end() && (*next & ~(kSectionAlignment - 1)) == page;
                 ++next) {
                const uint32_t entry = uint32_t{pe::kRelocationWord} << 12 | (*next & 0xFFF);
                b.push_back(static_cast<uint8_t>(entry));
                b.push_back(static_cast<uint8_t>(entry >> 8));
            }
            if ((b.size() - header) % 4) {
                b.push_back(0);
                b.push_back(0);
            }
            Put32(b, header, page);
            Put32(b, header + 4, static_cast<uint32_t>(b.size() - header));
        }
        reloc.virtualSize = static_cast<uint32_t>(b.size());
        relocationDirectory_ = reloc.rva;
        relocationSize_ = reloc.virtualSize;
        sections_.push_back(reloc);
    }

    void Emit(std::vector<uint8_t>& image) {
        const uint32_t headers = AlignUp(kSectionTable + static_cast<uint32_t>(sections_.size()) *
                                                             pe::kSectionHeaderSize,
                                         kFileAlignment);
        uint32_t fileEnd = headers;
        uint32_t codeSize = 0, dataSize = 0, zeroSize = 0, baseOfCode = 0, baseOfData = 0;
        for (PeSection& s : sections_) {
            s.rawSize = AlignUp(static_cast<uint32_t>(s.bytes.size()), kFileAlignment);
            s.fileOffset = s.rawSize ? fileEnd : 0;
            fileEnd += s.rawSize;
            if (s.characteristics & pe::kSectionCode) {
                codeSize += s.rawSize;
                if (!baseOfCode)
                    baseOfCode = s.rva;
            } else {
                if (s.characteristics & pe::kSectionUninitializedData)
                    zeroSize += AlignUp(s.virtualSize, kFileAlignment);
                else
                    dataSize += s.rawSize;
                if (!baseOfData)
                    baseOfData = s.rva;
            }
        }
        image.assign(fileEnd, 0);
        Put16(image, 0, pe::kDosSignature);
        Put32(image, pe::kDosNewHeaderOffset, kPeHeaderOffset);
        Put32(image, kPeHeaderOffset, pe::kPeSignature);

        Put16(image, kCoffHeader + pe::kFileMachine, pe::kMachineArmInterworking);
        Put16(image, kCoffHeader + pe::kFileSectionCount, static_cast<uint32_t>(sections_.size()));
        Put32(image, kCoffHeader + pe::kFileTimestamp, options_.timestamp);
        Put16(image, kCoffHeader + pe::kFileOptionalHeaderSize, pe::kOptionalHeaderSize);
        // Line numbers and local symbols stripped (0x000C): there are none.
        Put16(image, kCoffHeader + pe::kFileCharacteristics,
              pe::kFileExecutable | pe::kFile32BitMachine | 0x000C);

        const uint32_t o = kOptionalHeader;
        const PeSection& last = sections_.back();
        Put16(image, o + pe::kOptionalMagic, pe::kPe32Magic);
        Put32(image, o + pe::kOptionalSizeOfCode, codeSize);
        Put32(image, o + pe::kOptionalSizeOfInitializedData, dataSize);
        Put32(image, o + pe::kOptionalSizeOfUninitializedData, zeroSize);
        Put32(image, o + pe::kOptionalEntryPoint, program_.entry - base_);
        Put32(image, o + pe::kOptionalBaseOfCode, baseOfCode);
        Put32(image, o + pe::kOptionalBaseOfData, baseOfData);
        Put32(image, o + pe::kOptionalImageBase, base_);
        Put32(image, o + pe::kOptionalSectionAlignment, kSectionAlignment);
        Put32(image, o + pe::kOptionalFileAlignment, kFileAlignment);
        Put16(image, o + pe::kOptionalOsMajor, options_.versionMajor);
        Put16(image, o + pe::kOptionalOsMinor, options_.versionMinor);
        Put16(image, o + pe::kOptionalSubsystemMajor, options_.versionMajor);
        Put16(image, o + pe::kOptionalSubsystemMinor, options_.versionMinor);
        Put32(image, o + pe::kOptionalSizeOfImage,
              AlignUp(last.rva + last.virtualSize, kSectionAlignment));
        Put32(image, o + pe::kOptionalSizeOfHeaders, headers);
        Put16(image, o + pe::kOptionalSubsystem, pe::kSubsystemWindowsCeGui);
        Put32(image, o + pe::kOptionalStackReserve, 0x10000);
        Put32(image, o + pe::kOptionalStackCommit, 0x1000);
        Put32(image, o + pe::kOptionalHeapReserve, 0x100000);
        Put32(image, o + pe::kOptionalHeapCommit, 0x1000);
        Put32(image, o + pe::kOptionalDirectoryCount, pe::kDirectoryCount);
        const auto directory = [&](uint32_t index, uint32_t rva, uint32_t size) {
            Put32(image, o + pe::kOptionalDirectories + 8 * index, rva);
            Put32(image, o + pe::kOptionalDirectories + 8 * index + 4, size);
        };
        directory(pe::kDirectoryImports, importDirectory_, 2 * pe::kImportDescriptorSize);
        directory(pe::kDirectoryImportAddressTable, iatRva_, iatSize_);
        if (relocationSize_)
            directory(pe::kDirectoryBaseRelocations, relocationDirectory_, relocationSize_);

        for (size_t i = 0; i < sections_.size(); ++i) {
            const PeSection& s = sections_[i];
            const size_t h = kSectionTable + i * pe::kSectionHeaderSize;
            std::copy(s.name.begin(), s.name.end(), image.begin() + h + pe::kSectionName);
            Put32(image, h + pe::kSectionVirtualSize, s.virtualSize);
            Put32(image, h + pe::kSectionVirtualAddress, s.rva);
            Put32(image, h + pe::kSectionRawSize, s.rawSize);
            Put32(image, h + pe::kSectionRawOffset, s.fileOffset);
            Put32(image, h + pe::kSectionCharacteristics, s.characteristics);
            std::copy(s.bytes.begin(), s.bytes.end(), image.begin() + s.fileOffset);
        }
        const size_t checksum = o + pe::kOptionalChecksum;
        Put32(image, checksum, PeChecksum(image, checksum));
    }

    const LinkedProgram& program_;
    const LinkedProgram& moved_;
    const std::vector<ImportedFunction>& imports_;
    const CeImageOptions& options_;
    std::string& error_;
    uint32_t base_ = 0;
    uint32_t delta_ = 0;
    std::set<uint32_t> absolute_;        // addresses the linker relocated as whole words
    std::set<uint32_t> baseRelocations_; // image-relative addresses of words that move
    std::vector<PeSection> sections_;
    PeSection* iatSection_ = nullptr;
    uint32_t iatRva_ = 0;
    uint32_t iatSize_ = 0;
    uint32_t importDirectory_ = 0;
    uint32_t relocationDirectory_ = 0;
    uint32_t relocationSize_ = 0;
};

} // namespace

bool WriteCeImage(const LinkedProgram& program, const LinkedProgram& moved,
                  const std::vector<ImportedFunction>& imports, const CeImageOptions& options,
                  std::vector<uint8_t>& image, std::string& error) {
    image.clear();
    return Writer(program, moved, imports, options, error).Write(image);
}

uint32_t PeChecksum(const std::vector<uint8_t>& image, size_t checksumOffset) {
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2)
            continue;
        uint32_t word = image[i];
        if (i + 1 < image.size())
            word |= static_cast<uint32_t>(image[i + 1]) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}
