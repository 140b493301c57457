#pragma once

#include <cstdint>

// Reads an image file whole into a caller's buffer: measure first, then load into a buffer of
// at least the measured size. Type code 8 is a raw file, 5 a COFF loader image; any other
// type code measures and loads nothing.
class CImageLoader {
public:
    enum : int32_t { TYPE_COFF = 5, TYPE_RAW = 8 };

    // Error codes; a failure sets one and nothing ever clears it.
    enum : int32_t {
        ERR_NONE = 0,
        ERR_OPEN = 1, // raw file cannot be opened, or COFF file cannot be read
        ERR_SHORT_READ = 2,
        ERR_SEEK_END = 3,
        ERR_TELL = 4,
    };

    CImageLoader();

    int SetType(int32_t type);
    // The file's length (also kept in `size`); 0xFFFFFFFF when a raw file cannot be measured,
    // 0 for an empty name or an unknown type code. For a COFF file, the span of addresses that
    // its sections with raw data cover; when the file cannot be read, the previous `size`.
    uint32_t Measure(const char* fileName);
    // 1 when `size` bytes (raw) or the flattened sections (COFF) were copied to `destination`.
    // A COFF load refuses a file whose sections now span more than the last measured `size`.
    int Load(uint8_t* destination, const char* fileName);
    int32_t GetErrorCode() const { return m_ErrorCode; }

    int32_t m_Type;
    uint32_t size;
    int32_t m_ErrorCode;
    char m_FileName[1000];
    uint8_t* m_pDestination;

private:
    void KeepName(const char* fileName);
    uint32_t RawMeasure();
    int RawLoad();
    uint32_t CoffMeasure();
    int CoffLoad();
};
