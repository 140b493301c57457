#pragma once

// Where the fields of a Windows CE program file lie, for the tool that writes the handset's
// image and the loader that checks and runs it. Plain constants only, so that the loader, which
// runs without a C library, can use them as they are. Offsets count from the start of the header
// they belong to.

#include <stdint.h>

namespace pe {

// The MS-DOS header: its signature, and where it says the PE headers begin.
const uint32_t kDosHeaderSize = 64;
const uint32_t kDosNewHeaderOffset = 0x3C;
const uint16_t kDosSignature = 0x5A4D;    // "MZ"
const uint32_t kPeSignature = 0x00004550; // "PE\0\0"

// The file header, right after the PE signature.
const uint32_t kFileHeaderSize = 20;
const uint32_t kFileMachine = 0;
const uint32_t kFileSectionCount = 2;
const uint32_t kFileTimestamp = 4;
const uint32_t kFileOptionalHeaderSize = 16;
const uint32_t kFileCharacteristics = 18;

const uint16_t kMachineArm = 0x01C0;
// ARM code that may call Thumb code and be called from it: what the handsets' loaders take.
const uint16_t kMachineArmInterworking = 0x01C2;

const uint16_t kFileExecutable = 0x0002;
const uint16_t kFile32BitMachine = 0x0100;
const uint16_t kFileDll = 0x2000;
const uint16_t kFileRelocationsStripped = 0x0001;

// The PE32 optional header.
const uint32_t kOptionalMagic = 0;
const uint32_t kOptionalLinkerMajor = 2;
const uint32_t kOptionalSizeOfCode = 4;
const uint32_t kOptionalSizeOfInitializedData = 8;
const uint32_t kOptionalSizeOfUninitializedData = 12;
const uint32_t kOptionalEntryPoint = 16;
const uint32_t kOptionalBaseOfCode = 20;
const uint32_t kOptionalBaseOfData = 24;
const uint32_t kOptionalImageBase = 28;
const uint32_t kOptionalSectionAlignment = 32;
const uint32_t kOptionalFileAlignment = 36;
const uint32_t kOptionalOsMajor = 40;
const uint32_t kOptionalOsMinor = 42;
const uint32_t kOptionalSubsystemMajor = 48;
const uint32_t kOptionalSubsystemMinor = 50;
const uint32_t kOptionalSizeOfImage = 56;
const uint32_t kOptionalSizeOfHeaders = 60;
const uint32_t kOptionalChecksum = 64;
const uint32_t kOptionalSubsystem = 68;
const uint32_t kOptionalStackReserve = 72;
const uint32_t kOptionalStackCommit = 76;
const uint32_t kOptionalHeapReserve = 80;
const uint32_t kOptionalHeapCommit = 84;
const uint32_t kOptionalDirectoryCount = 92;
const uint32_t kOptionalDirectories = 96;
const uint32_t kDirectoryCount = 16;
const uint32_t kOptionalHeaderSize = kOptionalDirectories + 8 * kDirectoryCount;

const uint16_t kPe32Magic = 0x010B;
const uint16_t kSubsystemWindowsCeGui = 9;

// Data directories: each an address relative to the image base and a size.
const uint32_t kDirectoryImports = 1;
const uint32_t kDirectoryBaseRelocations = 5;
const uint32_t kDirectoryImportAddressTable = 12;

// One entry of the section table.
const uint32_t kSectionHeaderSize = 40;
const uint32_t kSectionName = 0;
const uint32_t kSectionNameLength = 8;
const uint32_t kSectionVirtualSize = 8;
const uint32_t kSectionVirtualAddress = 12;
const uint32_t kSectionRawSize = 16;
const uint32_t kSectionRawOffset = 20;
const uint32_t kSectionCharacteristics = 36;

const uint32_t kSectionCode = 0x00000020;
const uint32_t kSectionInitializedData = 0x00000040;
const uint32_t kSectionUninitializedData = 0x00000080;
const uint32_t kSectionDiscardable = 0x02000000;
const uint32_t kSectionExecute = 0x20000000;
const uint32_t kSectionRead = 0x40000000;
const uint32_t kSectionWrite = 0x80000000;

// An import descriptor; the table ends with one of zeros.
const uint32_t kImportDescriptorSize = 20;
const uint32_t kImportLookupTable = 0;
const uint32_t kImportLibraryName = 12;
const uint32_t kImportAddressTable = 16;
// A lookup entry with this bit set imports by the ordinal in its low 16 bits; otherwise it is
// the address of a 16-bit hint followed by the function's name.
const uint32_t kImportByOrdinal = 0x80000000;

// A block of base relocations: the page's address, the block's size, then 16-bit entries of a
// type (high 4 bits) and an offset in the page (low 12 bits).
const uint32_t kRelocationBlockHeaderSize = 8;
const uint16_t kRelocationPadding = 0;
const uint16_t kRelocationWord = 3; // the whole 32-bit word at the offset moves with the image

} // namespace pe
