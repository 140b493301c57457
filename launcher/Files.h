#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The few file operations that the builder and the package need, on names in UTF-16 as the
// package stores them. The system's own come from one implementation per platform
// (Files_win32.cpp, Files_posix.cpp); tests stand in front of them to make the faults that a
// disk seldom makes on demand.
namespace package {

using Path = std::u16string;

// What a name leads to: the same for every name of one file (in any letter case, through any
// link), different for different files.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
};
inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// An open file.
class FileStream {
public:
    virtual ~FileStream() = default;
    // Reads up to `size` bytes and returns how many arrived: fewer only at the end of the file or
    // when reading failed, which ReadFailed() then tells apart.
    virtual size_t Read(uint8_t* into, size_t size) = 0;
    virtual bool ReadFailed() const = 0;
    // Whether all `size` bytes were written.
    virtual bool Write(const uint8_t* from, size_t size) = 0;
    // Moves to `offset` from the start of the file; false when it cannot.
    virtual bool Seek(uint64_t offset) = 0;
    // The open file's identity, or nothing when the system cannot tell.
    virtual std::optional<FileIdentity> Identity() const = 0;
    // Closes the file; false when what was written did not all reach it.
    virtual bool Close() = 0;
};
using File = std::unique_ptr<FileStream>;

struct CurrentDirectory {
    Path path;
    int error = 0; // the system's error code when the directory could not be taken
};

struct DirectoryEntry {
    Path name;
    bool directory = false;
};
struct Listing {
    std::vector<DirectoryEntry> entries;
    // The system's error code when the listing could not be started (no entries) or failed
    // part-way (after `entries`); 0 when it went to the end.
    int error = 0;
};

class Files {
public:
    virtual ~Files() = default;
    // Opens with a C stdio mode ("rb", "wb"); null when it cannot.
    virtual File Open(const Path& path, const char* mode) = 0;
    // A new file to write under `name`. It is written aside and takes the name when it is closed
    // whole, in place of whatever stood there: a file, or a link, which is replaced itself and
    // never written through, so what it leads to stays as it was. Dropped without Close(), or
    // when Close() fails, it leaves the name as it was. Null when a folder, or what the system
    // shows as one, stands at the name, or nothing can be written beside it.
    virtual File CreateAnew(const Path& name) = 0;
    // The size of the file by that name, or nothing when it cannot be asked.
    virtual std::optional<uint64_t> FileSize(const Path& path) = 0;
    // The identity of the file by that name, asked without reading it (a pipe would block a
    // reader), or nothing when it cannot be asked.
    virtual std::optional<FileIdentity> Identity(const Path& path) = 0;
    virtual bool RemoveFile(const Path& path) = 0;
    virtual CurrentDirectory TakeCurrentDirectory() = 0;
    // Lists `directory` in the platform's order, "." and ".." left out.
    virtual Listing ListDirectory(const Path& directory) = 0;
};

// The system's files.
Files& SystemFiles();

} // namespace package
