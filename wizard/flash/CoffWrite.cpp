#include <cstdio>

#include "CoffFile.h"
#include "CoffLayout.h"
#include "LargeFile.h"

namespace {

bool Put(std::FILE* f, const uint8_t* bytes, size_t length) {
    return length == 0 || std::fwrite(bytes, 1, length, f) == length;
}

// Moving past the end and writing there leaves zeros in between, on Windows as on POSIX.
bool PutAt(std::FILE* f, uint32_t offset, const std::vector<uint8_t>& bytes) {
    return SeekTo(f, offset) == 0 && Put(f, bytes.data(), bytes.size());
}

} // namespace

int CCoffFile::Write(const char* fileName) const {
    if (!m_Loaded || !fileName)
        return 0;
    std::FILE* f = std::fopen(fileName, "wb");
    if (!f)
        return 0;

    bool ok = true;
    uint8_t record[COFF_SECTION_HEADER_SIZE];
    EncodeFileHeader(m_FileHeader, record);
    ok = ok && Put(f, record, COFF_FILE_HEADER_SIZE);
    if (m_FileHeader.optionalHeaderSize == COFF_OPTIONAL_HEADER_SIZE) {
        EncodeOptionalHeader(m_OptionalHeader, record);
        ok = ok && Put(f, record, COFF_OPTIONAL_HEADER_SIZE);
    }
    for (const CoffSectionHeader& h : m_SectionHeaders) {
        EncodeSectionHeader(h, record);
        ok = ok && Put(f, record, COFF_SECTION_HEADER_SIZE);
    }

    const size_t count = m_SectionHeaders.size();
    for (size_t i = 0; ok && i < count; ++i)
        if (m_SectionHeaders[i].rawDataPointer)
            ok = PutAt(f, m_SectionHeaders[i].rawDataPointer, m_Sections[i].rawData);
    for (size_t i = 0; ok && i < count; ++i)
        if (m_SectionHeaders[i].relocationPointer)
            ok = PutAt(f, m_SectionHeaders[i].relocationPointer, m_Sections[i].relocations);
    for (size_t i = 0; ok && i < count; ++i)
        if (m_SectionHeaders[i].lineNumberPointer)
            ok = PutAt(f, m_SectionHeaders[i].lineNumberPointer, m_Sections[i].lineNumbers);

    if (ok && m_FileHeader.symbolTablePointer) {
        uint8_t length[4];
        CoffPut32(length, m_StringTableLength);
        ok = PutAt(f, m_FileHeader.symbolTablePointer, m_Symbols) &&
             Put(f, length, sizeof length) && Put(f, m_StringTable.data(), m_StringTable.size());
    }

    const bool closed = std::fclose(f) == 0;
    return ok && closed ? 1 : 0;
}
