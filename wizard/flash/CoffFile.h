#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// TI COFF version 2 object files for the TMS470, little-endian: the loader images of a kit.

constexpr uint16_t COFF_VERSION_ID = 0x00C2;
constexpr uint16_t COFF_TARGET_TMS470 = 0x0097;
constexpr uint16_t COFF_OPTIONAL_MAGIC = 0x0108;
constexpr uint16_t COFF_IMAGE_FLAGS = 0x010F;
constexpr uint32_t COFF_REPLACED_SECTION_FLAGS = 0x40;

constexpr uint32_t COFF_FILE_HEADER_SIZE = 22;
constexpr uint32_t COFF_OPTIONAL_HEADER_SIZE = 28;
constexpr uint32_t COFF_SECTION_HEADER_SIZE = 48;
constexpr uint32_t COFF_RELOCATION_SIZE = 12;
constexpr uint32_t COFF_LINE_NUMBER_SIZE = 6;
constexpr uint32_t COFF_SYMBOL_SIZE = 18;
constexpr uint32_t COFF_SECTION_NAME_SIZE = 8;

constexpr uint32_t COFF_NOT_FOUND = 0xFFFFFFFF;

struct CoffFileHeader {
    uint16_t versionId = 0;
    uint16_t sectionCount = 0;
    uint32_t timeStamp = 0;
    uint32_t symbolTablePointer = 0;
    uint32_t symbolCount = 0;
    uint16_t optionalHeaderSize = 0; // only 28 means an optional header is present
    uint16_t flags = 0;
    uint16_t targetId = 0;
};

struct CoffOptionalHeader {
    uint16_t magic = 0;
    uint16_t versionStamp = 0;
    uint32_t textSize = 0;
    uint32_t dataSize = 0;
    uint32_t bssSize = 0;
    uint32_t entryPoint = 0;
    uint32_t textStart = 0;
    uint32_t dataStart = 0;
};

struct CoffSectionHeader {
    char name[COFF_SECTION_NAME_SIZE] = {}; // terminated only when shorter than 8 characters
    uint32_t physicalAddress = 0;
    uint32_t virtualAddress = 0;
    uint32_t size = 0;
    uint32_t rawDataPointer = 0; // file pointers: 0 means none
    uint32_t relocationPointer = 0;
    uint32_t lineNumberPointer = 0;
    uint32_t relocationCount = 0;
    uint32_t lineNumberCount = 0;
    uint32_t flags = 0;
    uint16_t reserved = 0;
    uint16_t memoryPage = 0;
};

// What a section carries in the file, as raw bytes. A buffer is filled exactly when its file
// pointer is not 0: `size` bytes of raw data, 12 bytes per relocation, 6 per line number.
struct CoffSectionContents {
    std::vector<uint8_t> rawData;
    std::vector<uint8_t> relocations;
    std::vector<uint8_t> lineNumbers;
};

// A COFF file held whole in memory. Results are 1 for success and 0 for failure. Reading
// treats the file as untrusted: every count, size and file pointer must stay inside the file,
// and all that is kept together never exceeds the file's own length.
class CCoffFile {
public:
    // On failure the object keeps what it held before.
    int Read(const char* fileName);
    // The same for a file image already in memory.
    int ReadBytes(const uint8_t* data, size_t size);
    // Frees what a read or a create obtained; the object then holds nothing.
    void Release();

    // Names are found only when shorter than 8 characters; COFF_NOT_FOUND otherwise.
    uint32_t SectionSize(const char* name) const;
    uint32_t SectionAddress(const char* name) const; // the physical address
    // Copies the section's `size` bytes of raw data; 0 when there is no such section or it
    // carries no raw data.
    int CopySection(const char* name, uint8_t* destination) const;
    // Gives the named section new raw data placed after the last raw data at or before it
    // and moves everything that follows up by `newSize`; 1 also when no section has the
    // name. 0, with nothing changed, when a file pointer would pass 4 GiB, when there is no
    // data for a non-zero size or when memory runs out.
    int ReplaceSection(const char* name, const uint8_t* newData, uint32_t newSize);
    // Starts a new image of one empty section ".image"; 0 when memory runs out.
    int CreateImage();
    // 0 also when nothing has been read or created.
    int Write(const char* fileName) const;

    bool IsLoaded() const { return m_Loaded; }
    const CoffFileHeader& FileHeader() const { return m_FileHeader; }
    const CoffOptionalHeader& OptionalHeader() const { return m_OptionalHeader; }
    const std::vector<CoffSectionHeader>& SectionHeaders() const { return m_SectionHeaders; }
    const std::vector<CoffSectionContents>& Sections() const { return m_Sections; }
    const std::vector<uint8_t>& Symbols() const { return m_Symbols; }
    uint32_t StringTableLength() const { return m_StringTableLength; }
    const std::vector<uint8_t>& StringTable() const { return m_StringTable; }

private:
    friend class CoffParser;

    // Index of the named section, or -1.
    int Find(const char* name) const;
    uint32_t HeadersEnd() const;

    CoffFileHeader m_FileHeader;
    CoffOptionalHeader m_OptionalHeader;
    std::vector<CoffSectionHeader> m_SectionHeaders;
    std::vector<CoffSectionContents> m_Sections;
    std::vector<uint8_t> m_Symbols;   // 18 bytes a symbol, as in the file
    uint32_t m_StringTableLength = 0; // counts its own 4 bytes
    std::vector<uint8_t> m_StringTable;
    bool m_Loaded = false;
};
