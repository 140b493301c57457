#include "Files.h"

#include <io.h>
#include <windows.h>

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

std::optional<FileIdentity> IdentityOf(std::FILE* file) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info))
        return std::nullopt;
    const uint64_t index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    // Some network file systems give every file the number 0; that tells no two files apart.
    if (index == 0)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, index};
}

namespace {

class WindowsFiles : public Files {
public:
    File Open(const Path& path, const char* mode) override {
        const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
        std::FILE* file = ::_wfopen(Wide(path), wideMode.c_str());
        return file ? std::make_unique<StdioFile>(file) : nullptr;
    }

    std::optional<uint64_t> FileSize(const Path& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data))
            return std::nullopt;
        return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
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
