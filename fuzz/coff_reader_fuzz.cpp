// Feeds arbitrary bytes to the COFF reader. Whatever it accepts must hold together: each
// buffer matches its header, nothing kept exceeds the input, and lookups, a section
// replacement and the writer then work on it without touching memory they do not own.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "CoffFile.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

uint64_t Expected(uint32_t pointer, uint64_t bytes) {
    return pointer ? bytes : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCoffFile coff;
    if (!coff.ReadBytes(data, size)) {
        Check(!coff.IsLoaded() && coff.SectionHeaders().empty());
        return 0;
    }

    const std::vector<CoffSectionHeader>& headers = coff.SectionHeaders();
    const std::vector<CoffSectionContents>& sections = coff.Sections();
    Check(headers.size() == coff.FileHeader().sectionCount && sections.size() == headers.size());
    uint64_t kept = coff.Symbols().size() + coff.StringTable().size();
    Check(coff.StringTable().size() + 4 == coff.StringTableLength());
    const char* firstName = nullptr;
    for (size_t i = 0; i < headers.size(); ++i) {
        const CoffSectionHeader& h = headers[i];
        const CoffSectionContents& c = sections[i];
        Check(c.rawData.size() == Expected(h.rawDataPointer, h.size));
        Check(c.relocations.size() == Expected(h.relocationPointer, h.relocationCount * 12ull));
        Check(c.lineNumbers.size() == Expected(h.lineNumberPointer, h.lineNumberCount * 6ull));
        kept += c.rawData.size() + c.relocations.size() + c.lineNumbers.size();

        if (!std::memchr(h.name, '\0', sizeof h.name)) {
            char name[sizeof h.name + 1] = {};
            std::memcpy(name, h.name, sizeof h.name);
            Check(coff.SectionSize(name) == COFF_NOT_FOUND);
            continue;
        }
        // A lookup answers for the first section of a name.
        const bool first = std::find_if(headers.begin(), headers.begin() + i, [&](const auto& o) {
                               return std::strncmp(o.name, h.name, sizeof h.name) == 0;
                           }) == headers.begin() + i;
        if (!first)
            continue;
        if (!firstName)
            firstName = h.name;
        Check(coff.SectionSize(h.name) == h.size);
        Check(coff.SectionAddress(h.name) == h.physicalAddress);
        if (h.rawDataPointer) {
            std::vector<uint8_t> copy(h.size);
            Check(coff.CopySection(h.name, copy.data()) == 1 && copy == c.rawData);
        }
    }
    Check(kept <= size);

    if (firstName) {
        char name[sizeof headers[0].name] = {};
        std::memcpy(name, firstName, sizeof name);
        const uint32_t newSize = static_cast<uint32_t>(std::min<size_t>(size, 300));
        if (coff.ReplaceSection(name, data, newSize)) {
            Check(coff.SectionSize(name) == newSize);
            std::vector<uint8_t> copy(newSize);
            Check(coff.CopySection(name, copy.data()) == 1);
            Check(std::equal(copy.begin(), copy.end(), data));
        }
    }
    coff.Write("/dev/null");
    return 0;
}
