#include "Files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <utility>

#include "StdioFile.h"

namespace package {

namespace {

const wchar_t* Wide(const Path& path) {
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

Path FromWide(const wchar_t* text) {
    return Path(reinterpret_cast<const char16_t*>(text));
}

} // namespace

namespace {

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    const uint64_t index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    // Some network file systems give every file the number 0; that tells no two files apart.
    if (index == 0)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, index};
}

} // namespace

std::optional<FileIdentity> IdentityOf(std::FILE* file) {
    return IdentityOf(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file))));
}

namespace {

// A file written aside and renamed over its name once whole. The rename replaces whatever stands
// at the name, a file's symbolic link included, and never touches what a link leads to; deleting
// the name first would not do, since under Wine DeleteFileW on a Unix link deletes its target.
class NewFile : public StdioFile {
public:
    NewFile(std::FILE* file, std::wstring aside, std::wstring name)
        : StdioFile(file), aside_(std::move(aside)), name_(std::move(name)) {}
    ~NewFile() override {
        if (!closed_) {
            StdioFile::Close();
            ::DeleteFileW(aside_.c_str());
        }
    }

    bool Close() override {
        if (closed_)
            return false;
        closed_ = true;
        if (StdioFile::Close() &&
            ::MoveFileExW(aside_.c_str(), name_.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        ::DeleteFileW(aside_.c_str());
        return false;
    }

private:
    std::wstring aside_;
    std::wstring name_;
    bool closed_ = false;
};

class WindowsFiles : public Files {
public:
    File Open(const Path& path, const char* mode) override {
        const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
        std::FILE* file = ::_wfopen(Wide(path), wideMode.c_str());
        return file ? std::make_unique<StdioFile>(file) : nullptr;
    }

    File CreateAnew(const Path& name) override {
        // A junction or a folder's link looks like a folder here, and so does a Unix link to a
        // folder under Wine; none is removed, since removing may reach what it leads to. A
        // read-only file could not be replaced either; both are told before anything is written.
        const DWORD attributes = ::GetFileAttributesW(Wide(name));
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
            return nullptr;
        // Beside it under a name of its own; CREATE_NEW also refuses a link someone put there.
        static unsigned made = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::wstring aside = L"~kov" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(made++) + L".part";
            HANDLE handle = ::CreateFileW(aside.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                    continue;
                return nullptr;
            }
            const int fd =
                ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
            if (fd < 0) {
                ::CloseHandle(handle);
                ::DeleteFileW(aside.c_str());
                return nullptr;
            }
            std::FILE* file = ::_fdopen(fd, "wb");
            if (!file) {
                ::_close(fd);
                ::DeleteFileW(aside.c_str());
                return nullptr;
            }
            return std::make_unique<NewFile>(file, aside, std::wstring(Wide(name)));
        }
        return nullptr;
    }

    std::optional<uint64_t> FileSize(const Path& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data))
            return std::nullopt;
        return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    }

    std::optional<FileIdentity> Identity(const Path& path) override {
        // Only the attributes are asked for, so neither the file's content nor its sharing matters;
        // backup semantics lets a folder be opened too.
        HANDLE handle = ::CreateFileW(Wide(path), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return std::nullopt;
        const std::optional<FileIdentity> identity = IdentityOf(handle);
        ::CloseHandle(handle);
        return identity;
    }

    bool RemoveFile(const Path& path) override { return ::DeleteFileW(Wide(path)) != 0; }

    CurrentDirectory TakeCurrentDirectory() override {
        wchar_t buffer[MAX_PATH] = {};
        const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, buffer);
        if (length == 0)
            return {Path(), static_cast<int>(::GetLastError())};
        if (length >= MAX_PATH)
            return {Path(), ERROR_FILENAME_EXCED_RANGE};
        return {FromWide(buffer), 0};
    }

    Listing ListDirectory(const Path& directory) override {
        Path pattern = directory;
        if (pattern.empty() || pattern.back() != u'\\')
            pattern += u'\\';
        pattern += u'*';
        Listing listing;
        WIN32_FIND_DATAW found;
        HANDLE search = ::FindFirstFileW(Wide(pattern), &found);
        if (search == INVALID_HANDLE_VALUE) {
            listing.error = static_cast<int>(::GetLastError());
            return listing;
        }
        do {
            const Path name = FromWide(found.cFileName);
            if (name == u"." || name == u"..")
                continue;
            listing.entries.push_back(
                {name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::FindNextFileW(search, &found));
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES)
            listing.error = static_cast<int>(error);
        ::FindClose(search);
        return listing;
    }
};

} // namespace

Files& SystemFiles() {
    static WindowsFiles files;
    return files;
}

} // namespace package
