#include "CoffFile.h"

#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>
#include <utility>

void CCoffFile::Release() {
    if (!m_Loaded)
        return;
    *this = CCoffFile();
}

int CCoffFile::Find(const char* name) const {
    if (!name)
        return -1;
    for (size_t i = 0; i < m_SectionHeaders.size(); ++i) {
        const char* field = m_SectionHeaders[i].name;
        // An 8-character name fills the field without a terminator and so matches no name.
        if (std::memchr(field, '\0', COFF_SECTION_NAME_SIZE) && std::strcmp(field, name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

uint32_t CCoffFile::HeadersEnd() const {
    const uint32_t optional = m_FileHeader.optionalHeaderSize == COFF_OPTIONAL_HEADER_SIZE
                                  ? COFF_OPTIONAL_HEADER_SIZE
                                  : 0;
    return COFF_FILE_HEADER_SIZE + optional +
           static_cast<uint32_t>(m_SectionHeaders.size()) * COFF_SECTION_HEADER_SIZE;
}

uint32_t CCoffFile::SectionSize(const char* name) const {
    const int i = Find(name);
    return i < 0 ? COFF_NOT_FOUND : m_SectionHeaders[i].size;
}

uint32_t CCoffFile::SectionAddress(const char* name) const {
    const int i = Find(name);
    return i < 0 ? COFF_NOT_FOUND : m_SectionHeaders[i].physicalAddress;
}

int CCoffFile::CopySection(const char* name, uint8_t* destination) const {
    const int i = Find(name);
    if (i < 0 || !m_SectionHeaders[i].rawDataPointer)
        return 0;
    const std::vector<uint8_t>& raw = m_Sections[i].rawData;
    if (!raw.empty())
        std::memcpy(destination, raw.data(), raw.size());
    return 1;
}

int CCoffFile::ReplaceSection(const char* name, const uint8_t* newData, uint32_t newSize) {
    const int index = Find(name);
    if (index < 0)
        return 1;
    if (newSize && !newData)
        return 0;

    // Without raw data at or before the section, the new data goes straight after the
    // headers: everything else in the file lies at or beyond that point and moves up by
    // newSize below, so nothing overlaps.
    uint64_t place = HeadersEnd();
    for (int i = 0; i <= index; ++i) {
        const CoffSectionHeader& h = m_SectionHeaders[i];
        if (h.rawDataPointer)
            place = uint64_t{h.rawDataPointer} + h.size;
    }

    // Refuse a layout whose file pointers no longer fit in 32 bits before changing anything.
    auto fits = [newSize](uint32_t pointer) {
        return pointer == 0 || uint64_t{pointer} + newSize <= 0xFFFFFFFF;
    };
    if (place + newSize > 0xFFFFFFFF || !fits(m_FileHeader.symbolTablePointer))
        return 0;
    for (size_t i = 0; i < m_SectionHeaders.size(); ++i) {
        const CoffSectionHeader& h = m_SectionHeaders[i];
        if (static_cast<int>(i) == index)
            continue;
        if ((static_cast<int>(i) > index && !fits(h.rawDataPointer)) ||
            !fits(h.relocationPointer) || !fits(h.lineNumberPointer))
            return 0;
    }

    std::vector<uint8_t> data;
    try {
        data.assign(newData, newData + newSize);
    } catch (const std::bad_alloc&) {
        return 0;
    } catch (const std::length_error&) { // more than a 32-bit process can hold at once
        return 0;
    }

    CoffSectionHeader& named = m_SectionHeaders[index];
    CoffSectionContents& contents = m_Sections[index];
    contents.rawData = std::move(data);
    contents.relocations = {};
    contents.lineNumbers = {};
    named.size = newSize;
    named.flags = COFF_REPLACED_SECTION_FLAGS;
    named.rawDataPointer = static_cast<uint32_t>(place);
    named.relocationPointer = named.lineNumberPointer = 0;
    named.relocationCount = named.lineNumberCount = 0;

    auto move = [newSize](uint32_t& pointer) {
        if (pointer)
            pointer += newSize;
    };
    for (size_t i = 0; i < m_SectionHeaders.size(); ++i) {
        CoffSectionHeader& h = m_SectionHeaders[i];
        if (static_cast<int>(i) > index)
            move(h.rawDataPointer);
        move(h.relocationPointer);
        move(h.lineNumberPointer);
    }
    move(m_FileHeader.symbolTablePointer);
    return 1;
}

int CCoffFile::CreateImage() {
    try {
        CCoffFile image;
        CoffFileHeader& fh = image.m_FileHeader;
        fh.versionId = COFF_VERSION_ID;
        fh.sectionCount = 1;
        fh.timeStamp = static_cast<uint32_t>(std::time(nullptr));
        fh.optionalHeaderSize = COFF_OPTIONAL_HEADER_SIZE;
        fh.flags = COFF_IMAGE_FLAGS;
        fh.targetId = COFF_TARGET_TMS470;
        image.m_OptionalHeader.magic = COFF_OPTIONAL_MAGIC;
        image.m_SectionHeaders.resize(1);
        image.m_Sections.resize(1);
        CoffSectionHeader& s = image.m_SectionHeaders[0];
        std::memcpy(s.name, ".image", sizeof ".image");
        s.rawDataPointer = image.HeadersEnd();
        image.m_StringTableLength = 4;
        image.m_Loaded = true;
        *this = std::move(image);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
