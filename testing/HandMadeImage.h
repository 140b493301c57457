#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// An update image file put together byte by byte, each header field at the offset a handset
// expects it, without the kit's own header code: a field that code read or wrote one byte off
// would otherwise agree with itself.
struct HandMadeImage {
    uint8_t mode = 0xCE;
    uint16_t osMiB = 1;
    uint16_t cpMiB = 0;
    int64_t payloadBytes = -1; // -1: what the mode and sizes call for
    uint8_t signatureSeed = 0x4B;
    // Every version field differs from the others, so that one read from its neighbour's
    // place shows.
    uint8_t iplVersion[6] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16};
    uint8_t osVersion[6] = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26};
    uint8_t cpVersion[6] = {0x31, 0x32, 0x33, 0x34, 0x35, 0x36};
    std::string versionText = "Hand made 1.0";
    uint32_t seed = 1;

    std::vector<uint8_t> Bytes() const {
        const uint64_t payload =
            payloadBytes >= 0 ? static_cast<uint64_t>(payloadBytes) : PayloadForMode();
        std::vector<uint8_t> f(1024 + payload, 0);
        for (int i = 0; i < 32; ++i) // the type signature
            f[i] = static_cast<uint8_t>(signatureSeed + i * 3);
        for (int i = 32; i < 96; ++i) // the rest of the key block
            f[i] = static_cast<uint8_t>(0xC0 + i);
        f[96] = static_cast<uint8_t>(osMiB);
        f[97] = static_cast<uint8_t>(osMiB >> 8);
        f[98] = static_cast<uint8_t>(cpMiB);
        f[99] = static_cast<uint8_t>(cpMiB >> 8);
        std::memcpy(&f[100], iplVersion, 6);
        std::memcpy(&f[106], osVersion, 6);
        std::memcpy(&f[112], cpVersion, 6);
        f[118] = 0xEE; // not read: a neighbour of the update mode
        f[119] = 0xEE;
        f[120] = mode;
        f[121] = 0xEE;
        f[512] = static_cast<uint8_t>(versionText.size());
        std::memcpy(&f[513], versionText.data(), versionText.size());
        uint32_t x = seed * 2654435761u + 1;
        for (uint64_t i = 1024; i < f.size(); ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            f[i] = static_cast<uint8_t>(x);
        }
        return f;
    }

private:
    uint64_t PayloadForMode() const {
        const uint64_t os = uint64_t(osMiB) * 1048576, cp = uint64_t(cpMiB) * 1048576;
        return mode == 0xCE ? os : mode == 0xC0 ? cp : mode == 0xE0 ? os + cp : 0;
    }
};

// An IPL image of the same family as `update`: its first 32 bytes, its own IPL version
// (41 42 43 44 45 46) and payload.
inline std::vector<uint8_t> HandMadeIpl(const std::vector<uint8_t>& update, uint32_t payloadBytes) {
    HandMadeImage ipl;
    ipl.payloadBytes = payloadBytes;
    ipl.seed = 77;
    const uint8_t version[6] = {0x41, 0x42, 0x43, 0x44, 0x45, 0x46};
    std::memcpy(ipl.iplVersion, version, 6);
    std::vector<uint8_t> f = ipl.Bytes();
    std::memcpy(f.data(), update.data(), 32);
    return f;
}
