#pragma once

#include <stdint.h>

// The checks a handset's loader makes before it starts a program file, and the work it does to
// place it: lay the headers and sections out, move it to another base, bind its imports. The
// file comes from outside and is trusted in nothing: every offset, size and count is checked
// against the file or the image before it is used. Written without a C library, so that the
// ARM loader (ceload) uses it as the native tests do.

namespace ce {

// Larger than any program a handset's process could hold (a process has 32 MiB).
const uint32_t kMaxFileSize = 32u << 20;
const uint32_t kMaxImageSize = 32u << 20;
const uint32_t kMaxSections = 96;

struct Section {
    uint32_t rva;
    uint32_t virtualSize; // what the image reserves; at least the bytes the file holds
    uint32_t rawOffset;
    uint32_t rawSize; // bytes taken from the file
    uint32_t characteristics;
};

struct Image {
    const uint8_t* file;
    uint32_t fileSize;
    uint16_t machine;
    uint32_t imageBase;
    uint32_t sizeOfImage;
    uint32_t sizeOfHeaders;
    uint32_t entry; // relative to the image's base
    uint32_t sectionAlignment;
    uint32_t sectionCount;
    Section sections[kMaxSections];
    uint32_t importRva, importSize;
    uint32_t relocationRva, relocationSize;
    bool relocationsStripped;
};

// Why an image was refused: one line.
struct Refusal {
    char text[200];
};

// Reads and checks the headers and the section table of `file`: a PE32 Windows CE program
// (machine 0x01C0 or 0x01C2, subsystem 9, not a DLL), within the size limits, every section
// inside the file and the image and in rising order, the entry point in code.
bool ReadImage(const uint8_t* file, uint32_t fileSize, Image& image, Refusal& why);

// Copies the headers and the sections' bytes into `memory`, which holds sizeOfImage bytes and
// is all zeros.
void LayOut(const Image& image, uint8_t* memory);

// Applies the base relocations to the laid-out image for a move to `newBase`. Refused, part
// done, when an entry is of a type other than a whole word or padding, or a block or the word
// it patches lies outside the image; and when the image has had its relocations stripped.
bool Relocate(const Image& image, uint8_t* memory, uint32_t newBase, Refusal& why);

// Where an imported function lives: the address of the stand-in for coredll.dll's `name`, or
// for its ordinal when `name` is null; 0 when there is none.
typedef uint32_t (*ImportResolver)(const char* name, uint32_t ordinal, void* context);

// Fills the laid-out image's import address tables through `resolve`. Refused, part done, when
// a descriptor names a library other than coredll.dll, a function has no stand-in, or a table
// or name lies outside the image.
bool BindImports(const Image& image, uint8_t* memory, ImportResolver resolve, void* context,
                 Refusal& why);

} // namespace ce
