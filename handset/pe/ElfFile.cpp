#include "ElfFile.h"

#include <algorithm>

namespace {

const uint16_t kTypeExecutable = 2;
const uint16_t kMachineArm = 40;
const uint32_t kSectionHeaderSize = 40;
const uint32_t kSymbolSize = 16;

const uint32_t kShtProgbits = 1;
const uint32_t kShtSymtab = 2;
const uint32_t kShtRela = 4;
const uint32_t kShtNobits = 8;
const uint32_t kShtRel = 9;
const uint32_t kShtArmAttributes = 0x70000003;

const uint32_t kShfWrite = 0x1;
const uint32_t kShfAlloc = 0x2;
const uint32_t kShfExec = 0x4;

const uint8_t kSttFunc = 2;
const uint8_t kSttFile = 4;

const uint32_t kTagFile = 1;
const uint32_t kTagCpuArch = 6;
const uint32_t kTagThumbIsa = 9;
const uint32_t kTagWchar = 18;

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct SectionHeader {
    uint32_t name, type, flags, address, offset, size, link, info, entrySize;
};

// Whether [offset, offset + size) lies within a file of `fileSize` bytes.
bool Inside(uint64_t offset, uint64_t size, uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

class Reader {
public:
    Reader(const std::vector<uint8_t>& file, std::string& error) : file_(file), error_(error) {}

    bool Read(LinkedProgram& program) {
        if (!ReadHeaders(program) || !ReadSections(program))
            return false;
        std::sort(
            program.sections.begin(), program.sections.end(),
            [](const ProgramSection& a, const ProgramSection& b) { return a.address < b.address; });
        return true;
    }

private:
    bool Fail(const std::string& why) {
        error_ = why;
        return false;
    }

    bool ReadHeaders(LinkedProgram& program) {
        const uint8_t* f = file_.data();
        if (file_.size() < 52 || f[0] != 0x7F || f[1] != 'E' || f[2] != 'L' || f[3] != 'F')
            return Fail("not an ELF file");
        if (f[4] != 1 || f[5] != 1)
            return Fail("not a 32-bit little-endian ELF file");
        if (U16(f + 16) != kTypeExecutable || U16(f + 18) != kMachineArm)
            return Fail("not an ARM ELF executable");
        program.entry = U32(f + 24);
        shOffset_ = U32(f + 32);
        const uint16_t entrySize = U16(f + 46);
        shCount_ = U16(f + 48);
        shNames_ = U16(f + 50);
        if (entrySize != kSectionHeaderSize ||
            !Inside(shOffset_, uint64_t{shCount_} * kSectionHeaderSize, file_.size()))
            return Fail("section table outside the file");
        if (shNames_ >= shCount_)
            return Fail("no section names");
        for (uint32_t i = 0; i < shCount_; ++i) {
            const uint8_t* h = f + shOffset_ + i * kSectionHeaderSize;
            SectionHeader s = {U32(h),      U32(h + 4),  U32(h + 8),  U32(h + 12), U32(h + 16),
                               U32(h + 20), U32(h + 24), U32(h + 28), U32(h + 36)};
            if (s.type != kShtNobits && s.type != 0 && !Inside(s.offset, s.size, file_.size()))
                return Fail("section " + std::to_string(i) + " lies outside the file");
            headers_.push_back(s);
        }
        return true;
    }

    // The NUL-terminated string at `offset` of string table section `table`.
    bool String(uint32_t table, uint32_t offset, std::string& text) {
        if (table >= headers_.size() || offset >= headers_[table].size)
            return Fail("a name lies outside its string table");
        const char* start = reinterpret_cast<const char*>(file_.data()) + headers_[table].offset;
        const char* end = start + headers_[table].size;
        const char* p = start + offset;
        const char* nul = std::find(p, end, '\0');
        if (nul == end)
            return Fail("an unterminated name in a string table");
        text.assign(p, nul);
        return true;
    }

    bool ReadSections(LinkedProgram& program) {
        names_.resize(headers_.size());
        for (uint32_t i = 0; i < headers_.size(); ++i) {
            if (!String(shNames_, headers_[i].name, names_[i]))
                return false;
        }
        for (uint32_t i = 0; i < headers_.size(); ++i) {
            const SectionHeader& s = headers_[i];
            if ((s.flags & kShfAlloc) && (s.type == kShtProgbits || s.type == kShtNobits)) {
                ProgramSection section;
                section.name = names_[i];
                section.address = s.address;
                section.size = s.size;
                section.code = (s.flags & kShfExec) != 0;
                section.writable = (s.flags & kShfWrite) != 0;
                section.zeroFill = s.type == kShtNobits;
                if (!section.zeroFill)
                    section.bytes.assign(file_.begin() + s.offset,
                                         file_.begin() + s.offset + s.size);
                program.sections.push_back(std::move(section));
            } else if (s.type == kShtSymtab) {
                if (!ReadSymbols(i, program))
                    return false;
            } else if (s.type == kShtArmAttributes) {
                if (!ReadAttributes(s, program.attributes))
                    return false;
            }
        }
        for (uint32_t i = 0; i < headers_.size(); ++i) {
            const SectionHeader& s = headers_[i];
            if (s.type != kShtRel && s.type != kShtRela)
                continue;
            if (s.info >= headers_.size() || !(headers_[s.info].flags & kShfAlloc))
                continue;
            if (!ReadRelocations(s, program))
                return false;
        }
        return true;
    }

    bool ReadSymbols(uint32_t index, LinkedProgram& program) {
        const SectionHeader& table = headers_[index];
        if (table.entrySize != kSymbolSize)
            return Fail("odd symbol table entries");
        symbolNames_.clear();
        for (uint32_t offset = 0; offset + kSymbolSize <= table.size; offset += kSymbolSize) {
            const uint8_t* p = file_.data() + table.offset + offset;
            std::string name;
            if (!String(table.link, U32(p), name))
                return false;
            symbolNames_.push_back(name);
            const uint8_t type = p[12] & 0xF;
            const uint16_t sectionIndex = U16(p + 14);
            // The table's first entry is all zeros; file names say nothing about the image.
            if (offset == 0 || type == kSttFile)
                continue;
            // Symbols of unloaded sections (debug information) cannot matter to the image.
            const bool special = sectionIndex >= 0xFF00;
            if (sectionIndex != 0 && !special &&
                (sectionIndex >= headers_.size() || !(headers_[sectionIndex].flags & kShfAlloc)))
                continue;
            ProgramSymbol symbol;
            symbol.name = name;
            symbol.value = U32(p + 4);
            symbol.defined = sectionIndex != 0;
            symbol.function = type == kSttFunc;
            program.symbols.push_back(symbol);
        }
        symbolTable_ = index;
        return true;
    }

    bool ReadRelocations(const SectionHeader& s, LinkedProgram& program) {
        const uint32_t entrySize = s.type == kShtRel ? 8 : 12;
        if (s.link != symbolTable_)
            return Fail("relocations that refer to a symbol table other than the program's");
        for (uint32_t offset = 0; offset + entrySize <= s.size; offset += entrySize) {
            const uint8_t* p = file_.data() + s.offset + offset;
            ProgramRelocation relocation;
            relocation.address = U32(p);
            const uint32_t info = U32(p + 4);
            relocation.type = info & 0xFF;
            const uint32_t symbol = info >> 8;
            if (symbol < symbolNames_.size())
                relocation.symbol = symbolNames_[symbol];
            program.relocations.push_back(relocation);
        }
        return true;
    }

    // ULEB128 at `p`, not past `end`.
    static bool Uleb(const uint8_t*& p, const uint8_t* end, uint32_t& value) {
        value = 0;
        for (uint32_t shift = 0; p < end && shift < 35; shift += 7) {
            const uint8_t byte = *p++;
            value |= static_cast<uint32_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }

    static bool SkipString(const uint8_t*& p, const uint8_t* end) {
        p = std::find(p, end, uint8_t{0});
        if (p == end)
            return false;
        ++p;
        return true;
    }

    // The build attributes of the whole file ("aeabi" vendor, file scope); other vendors' and
    // narrower scopes are skipped.
    bool ReadAttributes(const SectionHeader& s, ProgramAttributes& attributes) {
        const uint8_t* p = file_.data() + s.offset;
        const uint8_t* end = p + s.size;
        if (p == end || *p++ != 'A')
            return Fail("unknown build attribute format");
        while (end - p >= 4) {
            const uint32_t length = U32(p);
            if (length < 4 || length > static_cast<uint32_t>(end - p))
                return Fail("build attributes cut short");
            const uint8_t* subEnd = p + length;
            const uint8_t* q = p + 4;
            const uint8_t* vendorEnd = std::find(q, subEnd, uint8_t{0});
            const std::string vendor(q, vendorEnd);
            q = vendorEnd == subEnd ? subEnd : vendorEnd + 1;
            while (vendor == "aeabi" && subEnd - q >= 5) {
                const uint8_t* scopeStart = q;
                uint32_t tag = 0;
                if (!Uleb(q, subEnd, tag) || subEnd - q < 4)
                    return Fail("build attributes cut short");
                const uint32_t scopeLength = U32(q);
                if (scopeLength < 5 || scopeLength > static_cast<uint32_t>(subEnd - scopeStart))
                    return Fail("build attributes cut short");
                const uint8_t* scopeEnd = scopeStart + scopeLength;
                q += 4;
                if (tag == kTagFile && !ReadFileAttributes(q, scopeEnd, attributes))
                    return Fail("build attributes cut short");
                q = scopeEnd;
            }
            p = subEnd;
        }
        return true;
    }

    static bool ReadFileAttributes(const uint8_t* p, const uint8_t* end,
                                   ProgramAttributes& attributes) {
        while (p < end) {
            uint32_t tag = 0;
            if (!Uleb(p, end, tag))
                return false;
            // Strings: CPU names (4, 5), compatibility (32, a number then a string), and every
            // odd tag above 32; every other value is one number.
            if (tag == 4 || tag == 5 || (tag > 32 && tag % 2 == 1)) {
                if (!SkipString(p, end))
                    return false;
                continue;
            }
            uint32_t value = 0;
            if (!Uleb(p, end, value))
                return false;
            if (tag == 32 && !SkipString(p, end))
                return false;
            if (tag == kTagCpuArch)
                attributes.cpuArch = value;
            else if (tag == kTagThumbIsa)
                attributes.thumbIsa = value;
            else if (tag == kTagWchar)
                attributes.wcharSize = value;
        }
        return true;
    }

    const std::vector<uint8_t>& file_;
    std::string& error_;
    uint32_t shOffset_ = 0;
    uint32_t shCount_ = 0;
    uint32_t shNames_ = 0;
    uint32_t symbolTable_ = 0xFFFFFFFF;
    std::vector<SectionHeader> headers_;
    std::vector<std::string> names_;
    std::vector<std::string> symbolNames_;
};

} // namespace

bool ReadLinkedProgram(const std::vector<uint8_t>& file, LinkedProgram& program,
                       std::string& error) {
    program = LinkedProgram();
    return Reader(file, error).Read(program);
}
