#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The few file operations that the builder and the package need, on names in UTF-16 as the
// package stores them. One implementation per platform (Files_win32.cpp, Files_posix.cpp).
namespace package {

using Path = std::u16string;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens with a C stdio mode ("rb", "wb"); null when it cannot.
File OpenFile(const Path& path, const char* mode);

// The size of the file by that name, or nothing when it cannot be asked.
std::optional<uint64_t> FileSize(const Path& path);

bool RemoveFile(const Path& path);

struct CurrentDirectory {
    Path path;
    int error = 0; // the system's error code when the directory could not be taken
};
CurrentDirectory TakeCurrentDirectory();

struct DirectoryEntry {
    Path name;
    bool directory = false;
};
struct Listing {
    std::vector<DirectoryEntry> entries;
    bool complete = true; // false when the listing failed part-way, after `entries`
};
// Lists `directory` in the platform's order, "." and ".." left out; nothing when the listing
// cannot be started.
std::optional<Listing> ListDirectory(const Path& directory);

} // namespace package
