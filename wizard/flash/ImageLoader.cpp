#include "ImageLoader.h"

#include <cstdio>
#include <cstring>

#include "LargeFile.h"

CImageLoader::CImageLoader()
    : m_Type(0), size(0), m_ErrorCode(ERR_NONE), m_FileName{}, m_pDestination(nullptr) {}

int CImageLoader::SetType(int32_t type) {
    m_Type = type;
    return 1;
}

void CImageLoader::KeepName(const char* fileName) {
    std::strncpy(m_FileName, fileName ? fileName : "", sizeof m_FileName - 1);
    m_FileName[sizeof m_FileName - 1] = '\0';
}

uint32_t CImageLoader::Measure(const char* fileName) {
    KeepName(fileName);
    switch (m_Type) {
    case TYPE_RAW:
        return RawMeasure();
    case TYPE_COFF:
        return CoffMeasure();
    default:
        return 0;
    }
}

int CImageLoader::Load(uint8_t* destination, const char* fileName) {
    m_pDestination = destination;
    KeepName(fileName);
    switch (m_Type) {
    case TYPE_RAW:
        return RawLoad();
    case TYPE_COFF:
        return CoffLoad();
    default:
        return 0;
    }
}

uint32_t CImageLoader::RawMeasure() {
    if (m_FileName[0] == '\0')
        return 0;
    std::FILE* f = std::fopen(m_FileName, "rb");
    if (!f) {
        m_ErrorCode = ERR_OPEN;
        return 0xFFFFFFFF;
    }
    if (SeekToEnd(f) != 0) {
        m_ErrorCode = ERR_SEEK_END;
        std::fclose(f);
        return 0xFFFFFFFF;
    }
    int64_t end = TellPosition(f);
    if (end < 0) {
        m_ErrorCode = ERR_TELL;
        std::fclose(f);
        return 0xFFFFFFFF;
    }
    size = static_cast<uint32_t>(end);
    std::fclose(f);
    return size;
}

int CImageLoader::RawLoad() {
    std::FILE* f = std::fopen(m_FileName, "rb");
    if (!f) {
        m_ErrorCode = ERR_OPEN;
        return 0;
    }
    size_t got = size ? std::fread(m_pDestination, 1, size, f) : 0;
    std::fclose(f);
    if (got < size) {
        m_ErrorCode = ERR_SHORT_READ;
        return 0;
    }
    return 1;
}
