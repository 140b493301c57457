#include "CeImage.h"

#include "PeLayout.h"
#include "Text.h"

namespace ce {

namespace {

const uint32_t kMaxImports = 4096;
const uint32_t kMaxLibraries = 64;
const uint32_t kMaxNameLength = 256;
const char kLibrary[] = "coredll.dll";

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Whether [offset, offset + size) lies within `limit` bytes, without overflowing.
bool Inside(uint32_t offset, uint32_t size, uint32_t limit) {
    return offset <= limit && size <= limit - offset;
}

bool PowerOfTwo(uint32_t value) {
    return value && !(value & (value - 1));
}

bool Refuse(Refusal& why, const char* text) {
    Text(why.text, sizeof why.text).Add(text);
    return false;
}

bool RefuseValue(Refusal& why, const char* text, uint32_t value) {
    Text(why.text, sizeof why.text).Add(text).Hex(value);
    return false;
}

// A name from the image, quoted and escaped: it could hold anything.
bool RefuseName(Refusal& why, const char* text, const char* name) {
    uint32_t length = 0;
    while (name[length])
        ++length;
    Text(why.text, sizeof why.text)
        .Add(text)
        .Quoted(reinterpret_cast<const uint8_t*>(name), length, 64);
    return false;
}

// The NUL-terminated name at `rva`, which must end inside the image within kMaxNameLength.
const char* NameAt(const Image& image, const uint8_t* memory, uint32_t rva) {
    if (rva >= image.sizeOfImage)
        return nullptr;
    const uint32_t room = image.sizeOfImage - rva;
    for (uint32_t i = 0; i < room && i <= kMaxNameLength; ++i) {
        if (memory[rva + i] == 0)
            return reinterpret_cast<const char*>(memory + rva);
    }
    return nullptr;
}

bool ReadSections(const uint8_t* file, uint32_t table, Image& image, Refusal& why) {
    uint32_t end = image.sizeOfHeaders;
    for (uint32_t i = 0; i < image.sectionCount; ++i) {
        const uint8_t* h = file + table + i * pe::kSectionHeaderSize;
        Section& s = image.sections[i];
        s.rva = U32(h + pe::kSectionVirtualAddress);
        s.rawSize = U32(h + pe::kSectionRawSize);
        s.rawOffset = U32(h + pe::kSectionRawOffset);
        s.virtualSize = U32(h + pe::kSectionVirtualSize);
        s.characteristics = U32(h + pe::kSectionCharacteristics);
        // A zero virtual size means "as much as the file holds"; a larger raw size is padding
        // up to the file alignment and is not loaded.
        if (s.virtualSize == 0)
            s.virtualSize = s.rawSize;
        if (s.rawSize > s.virtualSize)
            s.rawSize = s.virtualSize;
        if (s.rawSize && !Inside(s.rawOffset, s.rawSize, image.fileSize))
            return RefuseValue(why, "a section's bytes lie outside the file: section at RVA ",
                               s.rva);
        if (s.rva % image.sectionAlignment)
            return RefuseValue(why, "a section is not aligned to the section alignment: RVA ",
                               s.rva);
        if (s.rva < end)
            return RefuseValue(why, "a section overlaps the headers or the section before it: RVA ",
                               s.rva);
        if (!Inside(s.rva, s.virtualSize, image.sizeOfImage))
            return RefuseValue(why, "a section lies outside the image's size: RVA ", s.rva);
        end = s.rva + s.virtualSize;
    }
    return true;
}

} // namespace

bool ReadImage(const uint8_t* file, uint32_t fileSize, Image& image, Refusal& why) {
    image = Image();
    image.file = file;
    image.fileSize = fileSize;
    if (fileSize > kMaxFileSize)
        return RefuseValue(why, "the file is larger than a handset program can be: bytes ",
                           fileSize);
    if (fileSize < pe::kDosHeaderSize || U16(file) != pe::kDosSignature)
        return Refuse(why, "not a program file: no MZ header");
    const uint32_t peOffset = U32(file + pe::kDosNewHeaderOffset);
    if (!Inside(peOffset, 4 + pe::kFileHeaderSize, fileSize) ||
        U32(file + peOffset) != pe::kPeSignature)
        return Refuse(why, "not a PE file: no PE header where the MZ header points");
    const uint8_t* coff = file + peOffset + 4;
    image.machine = U16(coff + pe::kFileMachine);
    if (image.machine != pe::kMachineArm && image.machine != pe::kMachineArmInterworking)
        return RefuseValue(why, "machine is not ARM (0x01C0 or 0x01C2): ", image.machine);
    image.sectionCount = U16(coff + pe::kFileSectionCount);
    const uint32_t optionalSize = U16(coff + pe::kFileOptionalHeaderSize);
    const uint16_t characteristics = U16(coff + pe::kFileCharacteristics);
    if (!(characteristics & pe::kFileExecutable) || (characteristics & pe::kFileDll))
        return Refuse(why, "not an executable program (a DLL or an object file)");
    image.relocationsStripped = (characteristics & pe::kFileRelocationsStripped) != 0;

    const uint32_t optional = peOffset + 4 + pe::kFileHeaderSize;
    if (optionalSize < pe::kOptionalDirectories || !Inside(optional, optionalSize, fileSize))
        return Refuse(why, "the optional header is cut short");
    const uint8_t* o = file + optional;
    if (U16(o + pe::kOptionalMagic) != pe::kPe32Magic)
        return Refuse(why, "not a PE32 image");
    if (U16(o + pe::kOptionalSubsystem) != pe::kSubsystemWindowsCeGui)
        return RefuseValue(why,
                           "subsystem is not Windows CE (9): ", U16(o + pe::kOptionalSubsystem));
    image.entry = U32(o + pe::kOptionalEntryPoint);
    image.imageBase = U32(o + pe::kOptionalImageBase);
    image.sectionAlignment = U32(o + pe::kOptionalSectionAlignment);
    const uint32_t fileAlignment = U32(o + pe::kOptionalFileAlignment);
    image.sizeOfImage = U32(o + pe::kOptionalSizeOfImage);
    image.sizeOfHeaders = U32(o + pe::kOptionalSizeOfHeaders);
    if (!PowerOfTwo(image.sectionAlignment) || !PowerOfTwo(fileAlignment))
        return Refuse(why, "the section or file alignment is not a power of two");
    if (image.sizeOfImage == 0 || image.sizeOfImage > kMaxImageSize)
        return RefuseValue(why, "the image's size is absurd: bytes ", image.sizeOfImage);
    if (image.sizeOfHeaders < optional + optionalSize || image.sizeOfHeaders > fileSize ||
        image.sizeOfHeaders > image.sizeOfImage)
        return Refuse(why, "the headers' size does not fit the file or the image");

    const uint32_t directories = U32(o + pe::kOptionalDirectoryCount);
    const uint32_t present = directories < pe::kDirectoryCount ? directories : pe::kDirectoryCount;
    if (pe::kOptionalDirectories + 8 * present > optionalSize)
        return Refuse(why, "the data directories are cut short");
    const auto directory = [&](uint32_t index, uint32_t& rva, uint32_t& size) {
        rva = size = 0;
        if (index < present) {
            rva = U32(o + pe::kOptionalDirectories + 8 * index);
            size = U32(o + pe::kOptionalDirectories + 8 * index + 4);
        }
    };
    directory(pe::kDirectoryImports, image.importRva, image.importSize);
    directory(pe::kDirectoryBaseRelocations, image.relocationRva, image.relocationSize);
    if (image.importRva && !Inside(image.importRva, pe::kImportDescriptorSize, image.sizeOfImage))
        return Refuse(why, "the import directory lies outside the image");
    if (image.relocationRva &&
        !Inside(image.relocationRva, image.relocationSize, image.sizeOfImage))
        return Refuse(why, "the relocation directory lies outside the image");

    if (image.sectionCount == 0 || image.sectionCount > kMaxSections)
        return RefuseValue(why, "the number of sections is absurd: ", image.sectionCount);
    const uint32_t table = optional + optionalSize;
    if (!Inside(table, image.sectionCount * pe::kSectionHeaderSize, image.sizeOfHeaders))
        return Refuse(why, "the section table lies outside the headers");
    if (!ReadSections(file, table, image, why))
        return false;

    for (uint32_t i = 0; i < image.sectionCount; ++i) {
        const Section& s = image.sections[i];
        if ((s.characteristics & (pe::kSectionCode | pe::kSectionExecute)) &&
            image.entry >= s.rva && image.entry - s.rva < s.virtualSize)
            return true;
    }
    return RefuseValue(why, "the entry point is not in code: RVA ", image.entry);
}

void LayOut(const Image& image, uint8_t* memory) {
    for (uint32_t i = 0; i < image.sizeOfHeaders; ++i)
        memory[i] = image.file[i];
    for (uint32_t n = 0; n < image.sectionCount; ++n) {
        const Section& s = image.sections[n];
        for (uint32_t i = 0; i < s.rawSize; ++i)
            memory[s.rva + i] = image.file[s.rawOffset + i];
    }
}

bool Relocate(const Image& image, uint8_t* memory, uint32_t newBase, Refusal& why) {
    if (newBase == image.imageBase)
        return true;
    if (image.relocationsStripped)
        return Refuse(why, "the image's relocations are stripped: it cannot be moved from its "
                           "base");
    const uint32_t delta = newBase - image.imageBase;
    uint32_t at = image.relocationRva;
    const uint32_t end = image.relocationRva + image.relocationSize;
    while (image.relocationSize && end - at >= pe::kRelocationBlockHeaderSize) {
        const uint32_t page = U32(memory + at);
        const uint32_t blockSize = U32(memory + at + 4);
        if (blockSize < pe::kRelocationBlockHeaderSize || blockSize > end - at || blockSize % 2)
            return RefuseValue(why, "a relocation block's size is wrong: block at RVA ", at);
        for (uint32_t e = at + pe::kRelocationBlockHeaderSize; e < at + blockSize; e += 2) {
            const uint16_t entry = U16(memory + e);
            const uint32_t type = entry >> 12;
            const uint32_t target = page + (entry & 0xFFF);
            if (type == pe::kRelocationPadding)
                continue;
            if (type != pe::kRelocationWord)
                return RefuseValue(why, "a relocation a handset cannot apply, of type ", type);
            if (page > image.sizeOfImage || !Inside(target, 4, image.sizeOfImage))
                return RefuseValue(why, "a relocation lies outside the image: RVA ", target);
            Put32(memory + target, U32(memory + target) + delta);
        }
        at += blockSize;
    }
    return true;
}

bool BindImports(const Image& image, uint8_t* memory, ImportResolver resolve, void* context,
                 Refusal& why) {
    if (!image.importRva)
        return true;
    uint32_t imports = 0;
    for (uint32_t n = 0;; ++n) {
        const uint32_t descriptor = image.importRva + n * pe::kImportDescriptorSize;
        if (n == kMaxLibraries || !Inside(descriptor, pe::kImportDescriptorSize, image.sizeOfImage))
            return Refuse(why, "the import descriptors run outside the image");
        const uint8_t* d = memory + descriptor;
        const uint32_t lookup = U32(d + pe::kImportLookupTable);
        const uint32_t nameRva = U32(d + pe::kImportLibraryName);
        const uint32_t table = U32(d + pe::kImportAddressTable);
        if (nameRva == 0 && table == 0)
            return true;
        const char* library = NameAt(image, memory, nameRva);
        if (!library)
            return Refuse(why, "an imported library's name lies outside the image");
        if (!EqualIgnoringCase(library, kLibrary))
            return RefuseName(why, "imports from a library other than coredll.dll: ", library);
        // Without a separate lookup table the address table itself says what to import.
        const uint32_t names = lookup ? lookup : table;
        for (uint32_t i = 0;; ++i) {
            if (!Inside(names, 4 * (i + 1), image.sizeOfImage) ||
                !Inside(table, 4 * (i + 1), image.sizeOfImage))
                return Refuse(why, "an import table runs outside the image");
            const uint32_t entry = U32(memory + names + 4 * i);
            if (entry == 0)
                break;
            if (++imports > kMaxImports)
                return Refuse(why, "the image imports an absurd number of functions");
            uint32_t address = 0;
            if (entry & pe::kImportByOrdinal) {
                address = resolve(nullptr, entry & 0xFFFF, context);
                if (!address)
                    return RefuseValue(why, "no stand-in for coredll.dll's ordinal ",
                                       entry & 0xFFFF);
            } else {
                const char* name =
                    entry <= 0xFFFFFFFDu ? NameAt(image, memory, entry + 2) : nullptr;
                if (!name)
                    return Refuse(why, "an imported function's name lies outside the image");
                address = resolve(name, 0, context);
                if (!address)
                    return RefuseName(why, "no stand-in for coredll.dll's ", name);
            }
            Put32(memory + table + 4 * i, address);
        }
    }
}

} // namespace ce
