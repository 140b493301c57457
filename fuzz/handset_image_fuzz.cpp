// Feeds arbitrary bytes to the virtual running handset's check of whether a handset could start
// a program file. It must never read outside the bytes; what it accepts must be a program a
// handset starts (an ARM PE32 image for Windows CE); and it must accept every file that the
// tree's handset loader accepts, so that the virtual handset refuses no program a handset would
// run. The one difference allowed: the loader takes from the file only the bytes a section
// occupies in memory, so it runs a copy cut short inside a section's padding, which the virtual
// handset refuses as the cut copy it is.

#include <cstdlib>
#include <memory>

#include "CeImage.h"
#include "HandsetImage.h"

namespace {

void Check(bool holds) {
    if (!holds)
        std::abort();
}

uint32_t Word(const uint8_t* data, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | data[at + static_cast<size_t>(i)];
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const HandsetImageVerdict verdict = CheckHandsetImage(data, size);
    Check(verdict.startable == verdict.reason.empty());
    if (verdict.startable) {
        Check(size >= 64 && data[0] == 'M' && data[1] == 'Z');
        const size_t pe = Word(data, 0x3C, 4);
        Check(pe + 24 + 96 <= size && Word(data, pe, 4) == 0x00004550);
        const uint32_t machine = Word(data, pe + 4, 2);
        Check(machine == 0x01C0 || machine == 0x01C2);
        Check(Word(data, pe + 24, 2) == 0x010B && Word(data, pe + 24 + 68, 2) == 9);
    }

    auto image = std::make_unique<ce::Image>();
    ce::Refusal why = {};
    if (size > ce::kMaxFileSize || !ce::ReadImage(data, static_cast<uint32_t>(size), *image, why))
        return 0;
    // The loader has checked that the section table lies inside the file.
    const size_t pe = Word(data, 0x3C, 4);
    const size_t table = pe + 24 + Word(data, pe + 20, 2);
    for (uint32_t i = 0; i < image->sectionCount; ++i) {
        const size_t header = table + size_t{i} * 40;
        const uint64_t rawSize = Word(data, header + 16, 4);
        if (rawSize && Word(data, header + 20, 4) + rawSize > size)
            return 0;
    }
    Check(verdict.startable);
    return 0;
}
