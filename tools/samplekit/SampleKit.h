#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Result.h"

// Update image files made to order: any update mode, sizes (truthful or lying), versions,
// version text and signature, with a payload that a seed fixes, so that what a handset
// received can be compared with what was written.
struct SampleImageSpec {
    uint8_t updateMode = 0xCE;
    uint16_t osSizeMiB = 44;
    uint16_t cpSizeMiB = 0;
    int64_t payloadBytes = -1; // -1: exactly what the header's sizes and mode call for
    int64_t fileBytes = -1;    // -1: header plus payload; else the file is cut or padded to it
    int signature = 0;         // index into the image-type signatures; -1: all zero
    uint8_t iplVersion[6] = {1, 0, 0, 0, 0, 0};
    uint8_t osVersion[6] = {1, 0, 0, 0, 0, 0};
    uint8_t cpVersion[6] = {1, 0, 0, 0, 0, 0};
    std::string versionText = "Kov sample 1.0";
    uint32_t seed = 1;
};

// A truthful image of an update mode and its two size fields.
inline SampleImageSpec SampleSpec(uint8_t mode, uint16_t osMiB, uint16_t cpMiB) {
    SampleImageSpec s;
    s.updateMode = mode;
    s.osSizeMiB = osMiB;
    s.cpSizeMiB = cpMiB;
    return s;
}

// The payload length that `spec` calls for.
uint64_t SamplePayloadBytes(const SampleImageSpec& spec);

std::vector<uint8_t> BuildSampleImage(const SampleImageSpec& spec);

// A failure saying why when the file cannot be written.
Result WriteSampleImage(const std::string& path, const SampleImageSpec& spec);

// Parses a six-byte version: twelve hex digits ("010203040506"), or up to six characters of
// text padded with zero bytes.
bool ParseVersion(const std::string& text, uint8_t out[6]);
