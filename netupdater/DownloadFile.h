#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

// The download file as the transfer reads it: its length once, then one block at a time,
// each read opening the file afresh, so that no more than one block is ever held.
class DownloadFile {
public:
    virtual ~DownloadFile();

    // The file's length; false when it cannot be opened.
    virtual bool Length(uint64_t& length) = 0;

    // Reads `length` bytes at `offset` into `buffer`; false when the file cannot be opened
    // or holds fewer bytes there.
    virtual bool ReadAt(uint64_t offset, uint8_t* buffer, size_t length) = 0;
};

// A file on disk by its path. On Windows the path stays wide all the way to the system, so
// that a file in a folder whose name the ANSI code page cannot spell is still found.
class DiskFile : public DownloadFile {
public:
    explicit DiskFile(std::filesystem::path path) : m_path(std::move(path)) {}
    bool Length(uint64_t& length) override;
    bool ReadAt(uint64_t offset, uint8_t* buffer, size_t length) override;

private:
    std::filesystem::path m_path;
};
