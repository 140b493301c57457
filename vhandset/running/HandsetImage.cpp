#include "HandsetImage.h"

#include <cstdio>

namespace {

const uint16_t kMachineArm = 0x01C0;
const uint16_t kMachineArmInterworking = 0x01C2;
const uint16_t kMagicPe32 = 0x010B;
const uint16_t kSubsystemCeGui = 9;
const uint16_t kExecutableImage = 0x0002;
const uint16_t kDll = 0x2000;
// The fixed part of a PE32 optional header, before its data directories.
const uint32_t kOptionalFixedSize = 96;
const uint32_t kDirectories = 16;
const uint32_t kSectionHeaderSize = 40;
// Every process of the handset's system lives in a slot of 32 MiB, image included.
const uint64_t kProcessSlot = 32u << 20;

class Bytes {
public:
    Bytes(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

    bool Holds(uint64_t offset, uint64_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    // Little-endian words; only called where Holds said yes.
    uint16_t U16(uint64_t at) const {
        return static_cast<uint16_t>(m_bytes[at] | m_bytes[at + 1] << 8);
    }
    uint32_t U32(uint64_t at) const {
        return static_cast<uint32_t>(U16(at)) | static_cast<uint32_t>(U16(at + 2)) << 16;
    }
    size_t Size() const { return m_size; }

private:
    const uint8_t* m_bytes;
    size_t m_size;
};

HandsetImageVerdict Refused(const char* format, uint32_t a = 0, uint32_t b = 0) {
    char text[120];
    std::snprintf(text, sizeof text, format, a, b);
    return {false, text};
}

} // namespace

HandsetImageVerdict CheckHandsetImage(const uint8_t* data, size_t size) {
    const Bytes bytes(data, size);
    if (!bytes.Holds(0, 64) || bytes.U16(0) != 0x5A4D)
        return Refused("not a program: no MZ header");
    const uint64_t pe = bytes.U32(0x3C);
    if (!bytes.Holds(pe, 24))
        return Refused("cut short before its PE header");
    if (bytes.U32(pe) != 0x00004550)
        return Refused("no PE header");

    const uint64_t coff = pe + 4;
    const uint16_t machine = bytes.U16(coff);
    if (machine != kMachineArm && machine != kMachineArmInterworking)
        return Refused("machine 0x%04X is not ARM", machine);
    const uint16_t characteristics = bytes.U16(coff + 18);
    if (!(characteristics & kExecutableImage))
        return Refused("not marked as an executable image");
    if (characteristics & kDll)
        return Refused("a library, not a program");

    const uint64_t optional = pe + 24;
    const uint32_t optionalSize = bytes.U16(coff + 16);
    if (optionalSize < kOptionalFixedSize || !bytes.Holds(optional, optionalSize))
        return Refused("optional header of %u bytes cut short", optionalSize);
    const uint16_t magic = bytes.U16(optional);
    if (magic != kMagicPe32)
        return Refused("optional header magic 0x%03X is not PE32", magic);
    const uint16_t subsystem = bytes.U16(optional + 68);
    if (subsystem != kSubsystemCeGui)
        return Refused("subsystem %u is not Windows CE", subsystem);
    // Loaders read no more than the sixteen directories the format defines, whatever the
    // count says beyond that.
    const uint32_t count = bytes.U32(optional + 92);
    const uint32_t directories = count < kDirectories ? count : kDirectories;
    if (kOptionalFixedSize + directories * 8 > optionalSize)
        return Refused("%u data directories do not fit its optional header", directories);

    const uint64_t imageSize = bytes.U32(optional + 56);
    const uint64_t headersSize = bytes.U32(optional + 60);
    if (imageSize > kProcessSlot)
        return Refused("image of %u bytes larger than a process slot",
                       static_cast<uint32_t>(imageSize));
    if (headersSize > imageSize || !bytes.Holds(0, headersSize))
        return Refused("headers of %u bytes outside the file or the image",
                       static_cast<uint32_t>(headersSize));

    const uint32_t sections = bytes.U16(coff + 2);
    const uint64_t table = optional + optionalSize;
    if (sections == 0)
        return Refused("no sections");
    if (table + uint64_t(sections) * kSectionHeaderSize > headersSize)
        return Refused("section table of %u entries outside its headers", sections);

    const uint64_t entry = bytes.U32(optional + 16);
    bool entryInSection = false;
    for (uint32_t i = 0; i < sections; ++i) {
        const uint64_t header = table + uint64_t(i) * kSectionHeaderSize;
        const uint64_t virtualSize = bytes.U32(header + 8);
        const uint64_t address = bytes.U32(header + 12);
        const uint64_t rawSize = bytes.U32(header + 16);
        const uint64_t rawOffset = bytes.U32(header + 20);
        if (rawSize && !bytes.Holds(rawOffset, rawSize))
            return Refused("section %u cut short (the file ends at %u)", i + 1,
                           static_cast<uint32_t>(size));
        // A section without a virtual size spans its raw data, as loaders read it.
        const uint64_t span = virtualSize ? virtualSize : rawSize;
        if (address < headersSize || address + span > imageSize)
            return Refused("section %u lies outside the image", i + 1);
        entryInSection = entryInSection || (entry >= address && entry < address + span);
    }
    if (!entryInSection)
        return Refused("entry point 0x%X lies in none of its sections",
                       static_cast<uint32_t>(entry));
    return {true, ""};
}
