#pragma once

#include <cstdint>
#include <vector>

// A program file put together byte by byte, every field at the offset the PE format gives it,
// without the check's own reading code: by default the smallest Windows CE program for ARM
// that a handset would start (one code section holding the entry point). Each field a test
// changes is a member; `Put` writes any other word at its offset.
struct HandMadePe {
    uint32_t peOffset = 0x40;
    uint32_t peSignature = 0x00004550; // "PE\0\0"
    uint16_t machine = 0x01C2;
    uint16_t sections = 1;
    uint16_t optionalSize = 96 + 16 * 8;
    uint16_t characteristics = 0x0102; // executable image, 32-bit words
    uint16_t magic = 0x010B;
    uint32_t entry = 0x1000;
    uint32_t imageSize = 0x2000;
    uint32_t headersSize = 0x200;
    uint16_t subsystem = 9;
    uint32_t directories = 16;
    uint32_t sectionVirtualSize = 0x10;
    uint32_t sectionAddress = 0x1000;
    uint32_t sectionRawSize = 0x200;
    uint32_t sectionRawOffset = 0x200;

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> f(0x400, 0);
        f[0] = 'M';
        f[1] = 'Z';
        Put(f, 0x3C, peOffset, 4);
        if (uint64_t(peOffset) + 24 + optionalSize + 40 > f.size())
            return f; // the header points past the file: nothing more to lay out
        const uint32_t coff = peOffset + 4, optional = peOffset + 24;
        Put(f, peOffset, peSignature, 4);
        Put(f, coff, machine, 2);
        Put(f, coff + 2, sections, 2);
        Put(f, coff + 16, optionalSize, 2);
        Put(f, coff + 18, characteristics, 2);
        Put(f, optional, magic, 2);
        Put(f, optional + 16, entry, 4);
        Put(f, optional + 28, 0x10000, 4); // image base
        Put(f, optional + 32, 0x1000, 4);  // section alignment
        Put(f, optional + 36, 0x200, 4);   // file alignment
        Put(f, optional + 40, 5, 2);       // OS version 5.0
        Put(f, optional + 48, 5, 2);       // subsystem version 5.0
        Put(f, optional + 56, imageSize, 4);
        Put(f, optional + 60, headersSize, 4);
        Put(f, optional + 68, subsystem, 2);
        Put(f, optional + 92, directories, 4);
        const uint32_t section = optional + optionalSize;
        const char name[8] = {'.', 't', 'e', 'x', 't'};
        for (int i = 0; i < 8; ++i)
            f[section + i] = static_cast<uint8_t>(name[i]);
        Put(f, section + 8, sectionVirtualSize, 4);
        Put(f, section + 12, sectionAddress, 4);
        Put(f, section + 16, sectionRawSize, 4);
        Put(f, section + 20, sectionRawOffset, 4);
        Put(f, section + 36, 0x60000020, 4); // code, executable, readable
        // ARM code at the entry: mov r0, #0; bx lr.
        Put(f, 0x200, 0xE3A00000, 4);
        Put(f, 0x204, 0xE12FFF1E, 4);
        return f;
    }

    static void Put(std::vector<uint8_t>& f, uint32_t offset, uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            f[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
};
