#include "HostFiles.h"

#include <windows.h>

bool ReadHostFile(const std::string& name, std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
    if (ok) {
        bytes.assign(size, 0);
        DWORD read = 0;
        ok = ReadFile(file, bytes.data(), size, &read, nullptr) && read == size;
    }
    CloseHandle(file);
    return ok;
}

bool HostFileSize(const std::string& name, uint32_t& size) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // GetFileSize's all-ones failure value is also the low part of a size; the larger form
    // tells them apart. A device or pipe opens, but has no size to report.
    LARGE_INTEGER whole;
    const bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &whole);
    CloseHandle(file);
    if (ok)
        size = whole.LowPart;
    return ok;
}

bool WriteHostFile(const std::string& name, const uint8_t* data, uint32_t length) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, data, length, &written, nullptr) && written == length;
    // Only a file on disk is removed: a device under the name is not ours to delete.
    const bool onDisk = GetFileType(file) == FILE_TYPE_DISK;
    // Closed whatever the write did, so a failed write leaves no open handle behind.
    CloseHandle(file);
    if (!ok && onDisk)
        DeleteFileA(name.c_str());
    return ok;
}
