#include "DownloadFile.h"

#include <cstdio>
#include <fstream>

DownloadFile::~DownloadFile() = default;

bool DiskFile::Length(uint64_t& length) {
    std::ifstream file(m_path, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff end = file.tellg();
    if (end < 0)
        return false;
    length = static_cast<uint64_t>(end);
    return true;
}

bool DiskFile::ReadAt(uint64_t offset, uint8_t* buffer, size_t length) {
    std::ifstream file(m_path, std::ios::binary);
    if (!file)
        return false;
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(length));
    return static_cast<size_t>(file.gcount()) == length;
}
