#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ImportList.h"
#include "LinkedProgram.h"

// Writes a handset program as a Windows CE ARM image: machine 0x01C2, subsystem 9 (Windows CE
// GUI), its sections as the linker laid them out, an import table for coredll.dll over the
// program's import address table, and HIGHLOW base relocations.
//
// It takes the same objects linked twice, at two image bases (the symbol __ImageBase), and finds
// every absolute address by comparing them: each word that differs must be one the linker
// relocated as a whole word (R_ARM_ABS32) and must differ by exactly the distance between the
// bases. Whatever a handset could not run or relocate is refused rather than written: Thumb code,
// code built for a processor newer than ARMv4T, a 4-byte wchar_t, relocations a handset cannot
// apply (movw/movt pairs, Thumb ones), a symbol neither defined nor imported, an address the
// linker did not relocate.

struct CeImageOptions {
    uint32_t timestamp = 0;
    // The subsystem's and the operating system's version in the optional header.
    uint16_t versionMajor = 5;
    uint16_t versionMinor = 0;
};

// Writes the image into `image`; false, with a one-line reason, when the program is refused.
bool WriteCeImage(const LinkedProgram& program, const LinkedProgram& moved,
                  const std::vector<ImportedFunction>& imports, const CeImageOptions& options,
                  std::vector<uint8_t>& image, std::string& error);

// The PE checksum of `image`, whose checksum field lies at `checksumOffset` and counts as zero:
// the file's 16-bit little-endian words added with their carries folded back in, plus the
// file's length.
uint32_t PeChecksum(const std::vector<uint8_t>& image, size_t checksumOffset);
