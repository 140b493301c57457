#include "Files.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

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

class PosixFiles : public Files {
public:
    File Open(const Path& path, const char* mode) override {
        std::FILE* file = std::fopen(Native(path).c_str(), mode);
        return file ? std::make_unique<StdioFile>(file) : nullptr;
    }

    std::optional<uint64_t> FileSize(const Path& path) override {
        struct stat st {};
        if (::stat(Native(path).c_str(), &st) != 0)
            return std::nullopt;
        return static_cast<uint64_t>(st.st_size);
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
