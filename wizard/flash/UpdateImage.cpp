#include "UpdateImage.h"

#include <cstdio>
#include <cstring>

namespace {

uint16_t U16At(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::string Hex2(uint8_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

} // namespace

ImageHeader ReadImageHeader(const uint8_t* data, uint32_t size) {
    // Work on a zero-padded copy of whatever part of the header the file holds.
    uint8_t raw[IMAGE_HEADER_SIZE] = {};
    std::memcpy(raw, data, size < IMAGE_HEADER_SIZE ? size : IMAGE_HEADER_SIZE);

    ImageHeader h;
    std::memcpy(h.keyBlock, raw, IMAGE_KEY_BLOCK_SIZE);
    h.osSizeMiB = U16At(raw + OFFSET_OS_SIZE);
    h.cpSizeMiB = U16At(raw + OFFSET_CP_SIZE);
    std::memcpy(h.iplVersion, raw + OFFSET_IPL_VERSION, IMAGE_VERSION_SIZE);
    std::memcpy(h.osVersion, raw + OFFSET_OS_VERSION, IMAGE_VERSION_SIZE);
    std::memcpy(h.cpVersion, raw + OFFSET_CP_VERSION, IMAGE_VERSION_SIZE);
    h.updateMode = raw[OFFSET_UPDATE_MODE];
    uint8_t length = raw[OFFSET_VERSION_TEXT_LENGTH];
    h.versionText.assign(reinterpret_cast<const char*>(raw + OFFSET_VERSION_TEXT), length);
    h.complete = size >= IMAGE_HEADER_SIZE;
    return h;
}

std::wstring VersionTextForDisplay(const ImageHeader& header) {
    return DecodeAnsi(header.versionText);
}

std::vector<Partition> UpdatePartitions(const ImageHeader& header, uint32_t fileSize) {
    const uint32_t os = static_cast<uint32_t>(header.osSizeMiB) << 20;
    const uint32_t cp = static_cast<uint32_t>(header.cpSizeMiB) << 20;
    switch (header.updateMode) {
    case UPDATE_MODE_OS:
        return {{"OS", IMAGE_HEADER_SIZE, os}};
    case UPDATE_MODE_CP:
        // A CP-only image is all payload, whatever its CP size field says.
        return {{"CP", IMAGE_HEADER_SIZE, fileSize - IMAGE_HEADER_SIZE}};
    case UPDATE_MODE_OSCP:
        return {{"OS", IMAGE_HEADER_SIZE, os}, {"CP", IMAGE_HEADER_SIZE + os, cp}};
    default:
        return {};
    }
}

Partition IplPartition(uint32_t fileSize) {
    return {"IPL", IMAGE_HEADER_SIZE, fileSize - IMAGE_HEADER_SIZE};
}

std::string CheckUpdateImage(const uint8_t* data, uint32_t size) {
    if (!data || size < IMAGE_HEADER_SIZE)
        return "The update image is damaged: it is " + std::to_string(size) +
               " bytes long, shorter than its 1024-byte header.";
    ImageHeader header = ReadImageHeader(data, size);
    std::vector<Partition> parts = UpdatePartitions(header, size);
    if (parts.empty())
        return "The update image has the unknown update mode " + Hex2(header.updateMode) +
               ": it names none of OS (0xCE), CP (0xC0) and OS with CP (0xE0).";
    for (const Partition& p : parts) {
        uint64_t end = static_cast<uint64_t>(p.offset) + p.length;
        if (end > size)
            return std::string("The update image is damaged: its ") + p.name + " partition (" +
                   std::to_string(p.length) + " bytes from offset " + std::to_string(p.offset) +
                   ") ends past the end of the " + std::to_string(size) + "-byte file.";
    }
    return {};
}

std::string CheckIplImage(const uint8_t* data, uint32_t size) {
    if (!data || size < IMAGE_HEADER_SIZE)
        return "The IPL image is damaged: it is " + std::to_string(size) +
               " bytes long, shorter than its 1024-byte header.";
    return {};
}

bool SameImageFamily(const ImageRecord& a, const ImageRecord& b) {
    return a.HasData() && b.HasData() && a.size >= IMAGE_SIGNATURE_SIZE &&
           b.size >= IMAGE_SIGNATURE_SIZE &&
           std::memcmp(a.data.get(), b.data.get(), IMAGE_SIGNATURE_SIZE) == 0;
}
