#include "DownloadFile.h"

#include <windows.h>

namespace {

// Shared for reading and writing by others, as the C library opens a file for reading.
HANDLE OpenForReading(const std::filesystem::path& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

bool DiskFile::Length(uint64_t& length) {
    HANDLE file = OpenForReading(m_path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    const bool ok = ::GetFileSizeEx(file, &size) != FALSE;
    ::CloseHandle(file);
    if (ok)
        length = static_cast<uint64_t>(size.QuadPart);
    return ok;
}

bool DiskFile::ReadAt(uint64_t offset, uint8_t* buffer, size_t length) {
    HANDLE file = OpenForReading(m_path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    const bool ok = ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
                    ::ReadFile(file, buffer, static_cast<DWORD>(length), &got, nullptr) &&
                    got == length;
    ::CloseHandle(file);
    return ok;
}
