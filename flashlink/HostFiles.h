#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The few file operations of the message loop's file requests, with the Win32 semantics the
// handset's requests were made for: opened without sharing, created anew (replacing an old
// file). One implementation file per platform.

// Reads an existing file whole. Only the low 32 bits of a larger file's size are taken.
bool ReadHostFile(const std::string& name, std::vector<uint8_t>& bytes);

// The size (low 32 bits) of an existing file. A device or pipe under the name has none.
bool HostFileSize(const std::string& name, uint32_t& size);

// Creates the file, replacing an existing one, and writes `length` bytes into it. A file that
// cannot be written whole is removed again, so that no part of it passes for the whole.
bool WriteHostFile(const std::string& name, const uint8_t* data, uint32_t length);
