#include "CoffLayout.h"

#include <cstring>

CoffFileHeader DecodeFileHeader(const uint8_t* p) {
    CoffFileHeader h;
    h.versionId = CoffU16(p + 0);
    h.sectionCount = CoffU16(p + 2);
    h.timeStamp = CoffU32(p + 4);
    h.symbolTablePointer = CoffU32(p + 8);
    h.symbolCount = CoffU32(p + 12);
    h.optionalHeaderSize = CoffU16(p + 16);
    h.flags = CoffU16(p + 18);
    h.targetId = CoffU16(p + 20);
    return h;
}

void EncodeFileHeader(const CoffFileHeader& h, uint8_t* p) {
    CoffPut16(p + 0, h.versionId);
    CoffPut16(p + 2, h.sectionCount);
    CoffPut32(p + 4, h.timeStamp);
    CoffPut32(p + 8, h.symbolTablePointer);
    CoffPut32(p + 12, h.symbolCount);
    CoffPut16(p + 16, h.optionalHeaderSize);
    CoffPut16(p + 18, h.flags);
    CoffPut16(p + 20, h.targetId);
}

CoffOptionalHeader DecodeOptionalHeader(const uint8_t* p) {
    CoffOptionalHeader h;
    h.magic = CoffU16(p + 0);
    h.versionStamp = CoffU16(p + 2);
    h.textSize = CoffU32(p + 4);
    h.dataSize = CoffU32(p + 8);
    h.bssSize = CoffU32(p + 12);
    h.entryPoint = CoffU32(p + 16);
    h.textStart = CoffU32(p + 20);
    h.dataStart = CoffU32(p + 24);
    return h;
}

void EncodeOptionalHeader(const CoffOptionalHeader& h, uint8_t* p) {
    CoffPut16(p + 0, h.magic);
    CoffPut16(p + 2, h.versionStamp);
    CoffPut32(p + 4, h.textSize);
    CoffPut32(p + 8, h.dataSize);
    CoffPut32(p + 12, h.bssSize);
    CoffPut32(p + 16, h.entryPoint);
    CoffPut32(p + 20, h.textStart);
    CoffPut32(p + 24, h.dataStart);
}

CoffSectionHeader DecodeSectionHeader(const uint8_t* p) {
    CoffSectionHeader h;
    std::memcpy(h.name, p, COFF_SECTION_NAME_SIZE);
    h.physicalAddress = CoffU32(p + 8);
    h.virtualAddress = CoffU32(p + 12);
    h.size = CoffU32(p + 16);
    h.rawDataPointer = CoffU32(p + 20);
    h.relocationPointer = CoffU32(p + 24);
    h.lineNumberPointer = CoffU32(p + 28);
    h.relocationCount = CoffU32(p + 32);
    h.lineNumberCount = CoffU32(p + 36);
    h.flags = CoffU32(p + 40);
    h.reserved = CoffU16(p + 44);
    h.memoryPage = CoffU16(p + 46);
    return h;
}

void EncodeSectionHeader(const CoffSectionHeader& h, uint8_t* p) {
    std::memcpy(p, h.name, COFF_SECTION_NAME_SIZE);
    CoffPut32(p + 8, h.physicalAddress);
    CoffPut32(p + 12, h.virtualAddress);
    CoffPut32(p + 16, h.size);
    CoffPut32(p + 20, h.rawDataPointer);
    CoffPut32(p + 24, h.relocationPointer);
    CoffPut32(p + 28, h.lineNumberPointer);
    CoffPut32(p + 32, h.relocationCount);
    CoffPut32(p + 36, h.lineNumberCount);
    CoffPut32(p + 40, h.flags);
    CoffPut16(p + 44, h.reserved);
    CoffPut16(p + 46, h.memoryPage);
}
