// Feeds arbitrary bytes to the handset loader's image checks, and what they accept to its
// layout, relocation and binding, as ceload does before it runs a program. Whatever is accepted
// must hold together: sections inside the file and the image, in order, the entry in code;
// and nothing may read or write outside the file or the image's memory.

#include <cstdlib>
#include <memory>
#include <vector>

#include "CeImage.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

// Binds any name that starts with a letter and the first hundred ordinals, so that the binding
// is explored past its first import.
uint32_t Resolve(const char* name, uint32_t ordinal, void*) {
    if (name)
        return ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z') ? 0x7F000000 : 0;
    return ordinal < 100 ? 0x7E000000 + ordinal : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto image = std::make_unique<ce::Image>();
    ce::Refusal why = {};
    if (!ce::ReadImage(
            data, static_cast<uint32_t>(size > ce::kMaxFileSize + 1 ? ce::kMaxFileSize + 1 : size),
            *image, why))
        return 0;
    Check(image->sizeOfImage <= ce::kMaxImageSize && image->sizeOfHeaders <= size);
    Check(image->sectionCount >= 1 && image->sectionCount <= ce::kMaxSections);
    uint64_t end = image->sizeOfHeaders;
    bool entryInCode = false;
    for (uint32_t i = 0; i < image->sectionCount; ++i) {
        const ce::Section& s = image->sections[i];
        Check(s.rva >= end && uint64_t{s.rva} + s.virtualSize <= image->sizeOfImage);
        Check(s.rawSize <= s.virtualSize &&
              (!s.rawSize || uint64_t{s.rawOffset} + s.rawSize <= size));
        end = uint64_t{s.rva} + s.virtualSize;
        entryInCode |= image->entry >= s.rva && image->entry - s.rva < s.virtualSize &&
                       (s.characteristics & 0x20000020u);
    }
    Check(entryInCode);

    std::vector<uint8_t> memory(image->sizeOfImage, 0);
    ce::LayOut(*image, memory.data());
    if (ce::Relocate(*image, memory.data(), 0x20000000, why))
        ce::BindImports(*image, memory.data(), &Resolve, nullptr, why);
    return 0;
}
