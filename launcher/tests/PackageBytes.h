#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Packages laid out by hand for the tests, from the layout's literal sizes, so that the
// product's own constants are checked rather than reused: a 260-byte UTF-16LE name field, a
// 4-byte little-endian length, the data.
using Bytes = std::vector<uint8_t>;

inline Bytes FieldBytes(const std::u16string& name) {
    Bytes field(260, 0);
    for (size_t i = 0; i < name.size() && i < 130; ++i) {
        field[2 * i] = static_cast<uint8_t>(name[i]);
        field[2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
    }
    return field;
}

inline void AppendEntry(Bytes& package, const std::u16string& name, const Bytes& data) {
    const Bytes field = FieldBytes(name);
    package.insert(package.end(), field.begin(), field.end());
    const auto n = static_cast<uint32_t>(data.size());
    for (int shift = 0; shift < 32; shift += 8)
        package.push_back(static_cast<uint8_t>(n >> shift));
    package.insert(package.end(), data.begin(), data.end());
}

// Bytes that differ from one position to the next and from one seed to another.
inline Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    uint32_t x = 2463534242u + seed;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return bytes;
}

inline Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint32_t Le32(const Bytes& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<uint32_t>(bytes[at + 3]) << 24;
}
