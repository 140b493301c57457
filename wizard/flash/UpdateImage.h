#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Result.h"

// An update image file (".DIP"): a 1024-byte header, then the payload that the link carries
// to the handset unchanged.

constexpr uint32_t IMAGE_HEADER_SIZE = 1024;
constexpr uint32_t IMAGE_SIGNATURE_SIZE = 32;
constexpr uint32_t IMAGE_KEY_BLOCK_SIZE = 96;
constexpr uint32_t IMAGE_VERSION_SIZE = 6;
constexpr uint32_t MIB = 1u << 20;

constexpr uint32_t OFFSET_OS_SIZE = 96;
constexpr uint32_t OFFSET_CP_SIZE = 98;
constexpr uint32_t OFFSET_IPL_VERSION = 100;
constexpr uint32_t OFFSET_OS_VERSION = 106;
constexpr uint32_t OFFSET_CP_VERSION = 112;
constexpr uint32_t OFFSET_UPDATE_MODE = 120;
constexpr uint32_t OFFSET_VERSION_TEXT_LENGTH = 512;
constexpr uint32_t OFFSET_VERSION_TEXT = 513;

constexpr uint8_t UPDATE_MODE_CP = 0xC0;
constexpr uint8_t UPDATE_MODE_OS = 0xCE;
constexpr uint8_t UPDATE_MODE_OSCP = 0xE0;

// The header fields as the rest of the kit uses them. Bytes beyond a short file read as 0,
// so a truncated image can be described without reading past its buffer.
struct ImageHeader {
    uint8_t keyBlock[IMAGE_KEY_BLOCK_SIZE] = {}; // the type signature is its first 32 bytes
    uint16_t osSizeMiB = 0;
    uint16_t cpSizeMiB = 0;
    uint8_t iplVersion[IMAGE_VERSION_SIZE] = {};
    uint8_t osVersion[IMAGE_VERSION_SIZE] = {};
    uint8_t cpVersion[IMAGE_VERSION_SIZE] = {};
    uint8_t updateMode = 0;
    std::string versionText; // the raw single-byte characters, without a terminator
    bool complete = false;   // the file holds the whole 1024-byte header

    const uint8_t* Signature() const { return keyBlock; }
};

ImageHeader ReadImageHeader(const uint8_t* data, uint32_t size);

// The version text for display, decoded from the PC's ANSI code page (Windows-1252 where
// there is none).
std::wstring VersionTextForDisplay(const ImageHeader& header);
std::wstring DecodeAnsi(const std::string& bytes);

// A byte range of an image file that goes to the handset as one RAM load.
struct Partition {
    const char* name; // "IPL", "OS" or "CP"
    uint32_t offset;
    uint32_t length;
};

// The partitions that the update mode takes from the update image, in flashing order.
// An unknown update mode takes none. Lengths use unsigned 32-bit arithmetic.
std::vector<Partition> UpdatePartitions(const ImageHeader& header, uint32_t fileSize);
Partition IplPartition(uint32_t fileSize);

// Ok when the image can be flashed without reading past its buffer; otherwise a failure whose
// message tells the user what is wrong with it.
Result CheckUpdateImage(const uint8_t* data, uint32_t size);
Result CheckIplImage(const uint8_t* data, uint32_t size);

// An update page's holder of one image file.
struct ImageRecord {
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> data; // the whole file, or none
    int32_t crcCheck = 0;            // the link's per-block CRC switch: always off

    bool HasData() const { return data != nullptr; }
    void Release() { data.reset(); }
};

// Whether two images belong to one family: their first 32 bytes are the same. A record too
// short to hold a signature belongs to none.
bool SameImageFamily(const ImageRecord& a, const ImageRecord& b);
