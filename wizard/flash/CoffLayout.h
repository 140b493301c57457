#pragma once

#include <cstdint>

#include "CoffFile.h"

// The header records as their bytes stand in the file: little-endian, no padding.

inline uint16_t CoffU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t CoffU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void CoffPut16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void CoffPut32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

CoffFileHeader DecodeFileHeader(const uint8_t* p);         // 22 bytes
CoffOptionalHeader DecodeOptionalHeader(const uint8_t* p); // 28 bytes
CoffSectionHeader DecodeSectionHeader(const uint8_t* p);   // 48 bytes

void EncodeFileHeader(const CoffFileHeader& h, uint8_t* p);
void EncodeOptionalHeader(const CoffOptionalHeader& h, uint8_t* p);
void EncodeSectionHeader(const CoffSectionHeader& h, uint8_t* p);
