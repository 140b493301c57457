#include "SampleKit.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "Format.h"
#include "ImageType.h"
#include "ToolTexts.h"
#include "UpdateImage.h"

namespace {

// xorshift64*: fast enough to fill a 44 MiB payload in a few milliseconds, and different at
// every offset, so a misplaced block never compares equal by accident.
void FillPayload(uint8_t* out, uint64_t length, uint32_t seed) {
    uint64_t state = 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(seed) << 1 | 1);
    uint64_t i = 0;
    for (; i + 8 <= length; i += 8) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        uint64_t v = state * 0x2545F4914F6CDD1Dull;
        for (int b = 0; b < 8; ++b)
            out[i + b] = static_cast<uint8_t>(v >> (8 * b));
    }
    for (; i < length; ++i)
        out[i] = static_cast<uint8_t>(i * 131 + seed);
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

uint64_t SamplePayloadBytes(const SampleImageSpec& spec) {
    if (spec.payloadBytes >= 0)
        return static_cast<uint64_t>(spec.payloadBytes);
    const uint64_t os = static_cast<uint64_t>(spec.osSizeMiB) * MIB;
    const uint64_t cp = static_cast<uint64_t>(spec.cpSizeMiB) * MIB;
    switch (spec.updateMode) {
    case UPDATE_MODE_OS:
        return os;
    case UPDATE_MODE_CP:
        return cp;
    case UPDATE_MODE_OSCP:
        return os + cp;
    default:
        return 0;
    }
}

std::vector<uint8_t> BuildSampleImage(const SampleImageSpec& spec) {
    const uint64_t payload = SamplePayloadBytes(spec);
    std::vector<uint8_t> image(IMAGE_HEADER_SIZE + payload, 0);
    uint8_t* h = image.data();
    if (const uint8_t* sig = ImageTypeSignature(spec.signature))
        std::memcpy(h, sig, IMAGE_SIGNATURE_SIZE);
    // The rest of the key block: bytes the handset checks, fixed by the seed.
    for (uint32_t i = IMAGE_SIGNATURE_SIZE; i < IMAGE_KEY_BLOCK_SIZE; ++i)
        h[i] = static_cast<uint8_t>(i * 7 + spec.seed);
    PutU16(h + OFFSET_OS_SIZE, spec.osSizeMiB);
    PutU16(h + OFFSET_CP_SIZE, spec.cpSizeMiB);
    std::memcpy(h + OFFSET_IPL_VERSION, spec.iplVersion, IMAGE_VERSION_SIZE);
    std::memcpy(h + OFFSET_OS_VERSION, spec.osVersion, IMAGE_VERSION_SIZE);
    std::memcpy(h + OFFSET_CP_VERSION, spec.cpVersion, IMAGE_VERSION_SIZE);
    h[OFFSET_UPDATE_MODE] = spec.updateMode;
    size_t textLength = spec.versionText.size() < 255 ? spec.versionText.size() : 255;
    h[OFFSET_VERSION_TEXT_LENGTH] = static_cast<uint8_t>(textLength);
    std::memcpy(h + OFFSET_VERSION_TEXT, spec.versionText.data(), textLength);
    FillPayload(h + IMAGE_HEADER_SIZE, payload, spec.seed);
    if (spec.fileBytes >= 0)
        image.resize(static_cast<size_t>(spec.fileBytes), 0);
    return image;
}

Result WriteSampleImage(const std::string& path, const SampleImageSpec& spec) {
    std::vector<uint8_t> image = BuildSampleImage(spec);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return Result::Failure(Format(TXT_CANNOT_CREATE, path.c_str()));
    bool ok = image.empty() || std::fwrite(image.data(), 1, image.size(), f) == image.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        return Result::Failure(Format(TXT_CANNOT_WRITE, path.c_str()));
    return {};
}

bool ParseVersion(const std::string& text, uint8_t out[6]) {
    std::memset(out, 0, 6);
    bool hex = text.size() == 12;
    for (char c : text)
        hex = hex && std::isxdigit(static_cast<unsigned char>(c));
    if (hex) {
        for (int i = 0; i < 6; ++i)
            out[i] = static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
        return true;
    }
    if (text.size() > 6)
        return false;
    std::memcpy(out, text.data(), text.size());
    return true;
}
