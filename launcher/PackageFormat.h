#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The layout of a package: a copy of the builder (the stub) with its self-length word set,
// followed by entries of a 260-byte UTF-16LE name field, a 32-bit little-endian length and the
// data. Nothing else: no count, no end marker, no checksum.
namespace package {

// A program file larger than this is a package; the builder itself is never this large.
constexpr uint64_t kBuilderMaxSize = 3000 * 1024;

constexpr size_t kNameFieldBytes = 260;
constexpr size_t kNameFieldUnits = kNameFieldBytes / 2;
constexpr size_t kLengthBytes = 4;
// Entry lengths stay below 2^31, so every reader may hold one in a signed 32-bit number.
constexpr uint64_t kMaxEntryLength = 0x7FFFFFFF;
// The package copies every entry through one block of this size, whatever the entry's size.
constexpr size_t kCopyBlockBytes = 131072;

using NameField = std::array<uint8_t, kNameFieldBytes>;

bool IsPackageSize(uint64_t ownFileSize);

void PutLe32(uint8_t* at, uint32_t value);
uint32_t GetLe32(const uint8_t* at);

// A name of up to 129 units is stored with its terminating zero unit; a longer one fills all 130
// units and has none. The bytes after a terminator are zero here.
NameField EncodeName(const std::u16string& name);
// Reads the first `bytes` bytes of a name field (a whole one, or the part of one that a damaged
// package still holds): the units up to the first zero unit, at most 130. An odd last byte is a
// unit of its own whose high byte is zero.
std::u16string DecodeName(const uint8_t* field, size_t bytes);

// The offset of the first 4-byte-aligned copy of `marker` (little-endian) in a program image
// with room for the self-length word after it, or nothing.
std::optional<size_t> FindSelfLengthMarker(const uint8_t* image, size_t size, uint32_t marker);

// Whether an entry name from a package names a plain file in the current directory on Windows:
// no separator, drive or stream colon, no "." or "..", no device name such as "CON" or "com1.txt",
// no control or wildcard character.
bool IsPlainFileName(const std::u16string& name);

// UTF-8 for the console; a lone surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& text);

} // namespace package
