#include "Files.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "PackageFormat.h"
#include "StdioFile.h"

namespace package {

namespace {

std::string Native(const Path& path) {
    return Utf8(path);
}

// File names here are UTF-8; a byte that does not decode stands for itself.
Path FromNative(const std::string& text) {
    Path out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (extra == 0 || i + extra >= text.size()) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        uint32_t c = b & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += extra + 1;
    }
    return out;
}

} // namespace

std::optional<FileIdentity> IdentityOf(std::FILE* file) {
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

namespace {

// A file written aside and renamed over its name once whole. rename() replaces whatever stands at
// the name, a link included, and never touches what a link leads to.
class NewFile : public StdioFile {
public:
    NewFile(std::FILE* file, std::string aside, std::string name)
        : StdioFile(file), aside_(std::move(aside)), name_(std::move(name)) {}
    ~NewFile() override {
        if (!closed_) {
            StdioFile::Close();
            ::unlink(aside_.c_str());
        }
    }

    bool Close() override {
        if (closed_)
            return false;
        closed_ = true;
        if (StdioFile::Close() && ::rename(aside_.c_str(), name_.c_str()) == 0)
            return true;
        ::unlink(aside_.c_str());
        return false;
    }

private:
    std::string aside_;
    std::string name_;
    bool closed_ = false;
};

class PosixFiles : public Files {
public:
    File Open(const Path& path, const char* mode) override {
        std::FILE* file = std::fopen(Native(path).c_str(), mode);
        return file ? std::make_unique<StdioFile>(file) : nullptr;
    }

    File CreateAnew(const Path& name) override {
        const std::string native = Native(name);
        // A folder at the name stays; told before anything is written, not when renaming fails.
        struct stat st {};
        if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return nullptr;
        // Beside it under a name of its own; O_EXCL also refuses a link someone put there.
        static unsigned made = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string aside =
                ".kov-" + std::to_string(::getpid()) + "-" + std::to_string(made++) + ".part";
            const int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd < 0)
                return nullptr;
            std::FILE* file = ::fdopen(fd, "wb");
            if (!file) {
                ::close(fd);
                ::unlink(aside.c_str());
                return nullptr;
            }
            return std::make_unique<NewFile>(file, aside, native);
        }
        return nullptr;
    }

    std::optional<uint64_t> FileSize(const Path& path) override {
        struct stat st {};
        if (::stat(Native(path).c_str(), &st) != 0)
            return std::nullopt;
        return static_cast<uint64_t>(st.st_size);
    }

    std::optional<FileIdentity> Identity(const Path& path) override {
        struct stat st {};
        if (::stat(Native(path).c_str(), &st) != 0)
            return std::nullopt;
        return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    }

    bool RemoveFile(const Path& path) override { return ::unlink(Native(path).c_str()) == 0; }

    CurrentDirectory TakeCurrentDirectory() override {
        char buffer[4096];
        if (!::getcwd(buffer, sizeof buffer))
            return {Path(), errno};
        return {FromNative(buffer), 0};
    }

    Listing ListDirectory(const Path& directory) override {
        Listing listing;
        DIR* dir = ::opendir(Native(directory).c_str());
        if (!dir) {
            listing.error = errno;
            return listing;
        }
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat st {};
            const bool isDirectory =
                ::stat((Native(directory) + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            listing.entries.push_back({FromNative(name), isDirectory});
            errno = 0;
        }
        listing.error = errno;
        ::closedir(dir);
        return listing;
    }
};

} // namespace

Files& SystemFiles() {
    static PosixFiles files;
    return files;
}

} // namespace package
