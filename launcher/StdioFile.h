#pragma once

#include <climits>
#include <cstdio>

#include "Files.h"

namespace package {

// The identity of a file open through C stdio; each platform's files tell it their own way.
std::optional<FileIdentity> IdentityOf(std::FILE* file);

// A file opened through C stdio, as both platforms open theirs.
class StdioFile : public FileStream {
public:
    explicit StdioFile(std::FILE* file) : file_(file) {}
    ~StdioFile() override {
        if (file_)
            std::fclose(file_);
    }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    size_t Read(uint8_t* into, size_t size) override {
        return file_ ? std::fread(into, 1, size, file_) : 0;
    }
    bool ReadFailed() const override { return !file_ || std::ferror(file_) != 0; }
    bool Write(const uint8_t* from, size_t size) override {
        return file_ && std::fwrite(from, 1, size, file_) == size;
    }
    bool Seek(uint64_t offset) override {
        return file_ && offset <= LONG_MAX &&
               std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
    }
    std::optional<FileIdentity> Identity() const override {
        return file_ ? IdentityOf(file_) : std::nullopt;
    }
    bool Close() override {
        std::FILE* file = file_;
        file_ = nullptr;
        return file && std::fclose(file) == 0;
    }

private:
    std::FILE* file_;
};

} // namespace package
