#include "RememberedPath.h"

#include <cstdio>

std::string ReadRememberedPath(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return std::string();
    char bytes[1000];
    const size_t got = std::fread(bytes, 1, sizeof bytes, f);
    std::fclose(f);
    return std::string(bytes, got);
}

void WriteRememberedPath(const std::string& file, const std::string& path) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(path.data(), 1, path.size(), f);
    std::fclose(f);
}
