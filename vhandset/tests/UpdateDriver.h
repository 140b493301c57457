#pragma once

#include <cstdint>
#include <vector>

#include "CVug_CommsDLL.h"
#include "LinkWords.h"
#include "UpdateImage.h"

// The link calls of one update in the update worker's order, without the worker's texts:
// key, the IPL when there is one, the partition step of the update mode, the closing word
// and the message loop. Returns the first call that failed, or nullptr.
struct UpdateOutcome {
    const char* failedAt = nullptr;
    int key = 0;
};

inline UpdateOutcome DriveUpdate(CVug_CommsDLL& link, const std::vector<uint8_t>& image,
                                 const std::vector<uint8_t>* ipl = nullptr) {
    UpdateOutcome out;
    const ImageHeader h = ReadImageHeader(image.data(), static_cast<uint32_t>(image.size()));
    const uint8_t* payload = image.data() + IMAGE_HEADER_SIZE;
    const uint32_t payloadBytes = static_cast<uint32_t>(image.size() - IMAGE_HEADER_SIZE);
    auto version = [&](const uint8_t* v) {
        return link.LoadVersion(v, IMAGE_VERSION_SIZE) != 0 || out.key == 2;
    };
    out.key = link.LoadKey(image.data(), IMAGE_KEY_BLOCK_SIZE);
    if (!out.key)
        return out.failedAt = "LoadKey", out;
    if (ipl) {
        const ImageHeader ih = ReadImageHeader(ipl->data(), static_cast<uint32_t>(ipl->size()));
        if (!link.LoadFlashMode(FLASH_MODE_BEFORE_IPL))
            return out.failedAt = "LoadFlashMode IPL", out;
        if (!version(ih.iplVersion))
            return out.failedAt = "LoadVersion IPL", out;
        if (!link.LoadRAM(ipl->data() + IMAGE_HEADER_SIZE, RAM_LOAD_ADDRESS,
                          static_cast<uint32_t>(ipl->size() - IMAGE_HEADER_SIZE)))
            return out.failedAt = "LoadRAM IPL", out;
        link.LoadData(DATA_WORD_CLOSE);
    }
    const uint32_t osBytes = uint32_t(h.osSizeMiB) * MIB;
    const uint32_t cpBytes = uint32_t(h.cpSizeMiB) * MIB;
    if (h.updateMode == UPDATE_MODE_OS) {
        if (!link.LoadFlashMode(FLASH_MODE_OS))
            return out.failedAt = "LoadFlashMode", out;
        if (!version(h.osVersion))
            return out.failedAt = "LoadVersion", out;
        if (!link.LoadRAM(payload, RAM_LOAD_ADDRESS, osBytes))
            return out.failedAt = "LoadRAM", out;
    } else if (h.updateMode == UPDATE_MODE_CP) {
        if (!link.LoadFlashMode(FLASH_MODE_CP))
            return out.failedAt = "LoadFlashMode", out;
        if (!version(h.cpVersion))
            return out.failedAt = "LoadVersion", out;
        if (!link.LoadRAM(payload, RAM_LOAD_ADDRESS, payloadBytes))
            return out.failedAt = "LoadRAM", out;
    } else if (h.updateMode == UPDATE_MODE_OSCP) {
        if (!link.LoadFlashMode(FLASH_MODE_OSCP))
            return out.failedAt = "LoadFlashMode", out;
        if (!version(h.osVersion) || !version(h.cpVersion))
            return out.failedAt = "LoadVersion", out;
        link.LoadData(DATA_WORD_SIZES_FOLLOW);
        link.LoadData(uint32_t(h.osSizeMiB) << 16 | h.cpSizeMiB);
        if (!link.LoadRAM(payload, RAM_LOAD_ADDRESS, osBytes))
            return out.failedAt = "LoadRAM OS", out;
        if (!link.LoadRAM(payload + osBytes, RAM_LOAD_ADDRESS, cpBytes))
            return out.failedAt = "LoadRAM CP", out;
    }
    link.LoadData(DATA_WORD_CLOSE);
    if (!link.MessageHandler())
        return out.failedAt = "MessageHandler", out;
    return out;
}
