#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

#include "CoffFile.h"
#include "CoffLayout.h"
#include "LargeFile.h"

namespace {

// The bytes of one file, on disk or in memory, read forward from a position that the parser
// moves. Nothing is read or allocated for a range that leaves the file.
class CoffInput {
public:
    explicit CoffInput(uint64_t size) : size_(size) {}
    virtual ~CoffInput() = default;

    uint64_t Size() const { return size_; }
    uint64_t Remaining() const { return size_ - pos_; }

    bool Seek(uint64_t offset) {
        if (offset > size_ || !SeekRaw(offset))
            return false;
        pos_ = offset;
        return true;
    }

    bool Read(uint8_t* destination, uint64_t length) {
        if (length > Remaining() || length > std::numeric_limits<size_t>::max())
            return false;
        if (length && !ReadRaw(destination, static_cast<size_t>(length)))
            return false;
        pos_ += length;
        return true;
    }

protected:
    virtual bool SeekRaw(uint64_t offset) = 0;
    virtual bool ReadRaw(uint8_t* destination, size_t length) = 0;

private:
    uint64_t size_;
    uint64_t pos_ = 0;
};

class FileInput : public CoffInput {
public:
    FileInput(std::FILE* f, uint64_t size) : CoffInput(size), f_(f) {}

protected:
    bool SeekRaw(uint64_t offset) override { return SeekTo(f_, static_cast<int64_t>(offset)) == 0; }
    // A file that shrinks while it is read reads short here.
    bool ReadRaw(uint8_t* destination, size_t length) override {
        return std::fread(destination, 1, length, f_) == length;
    }

private:
    std::FILE* f_;
};

class MemoryInput : public CoffInput {
public:
    MemoryInput(const uint8_t* data, size_t size) : CoffInput(size), data_(data) {}

protected:
    bool SeekRaw(uint64_t offset) override {
        at_ = static_cast<size_t>(offset);
        return true;
    }
    bool ReadRaw(uint8_t* destination, size_t length) override {
        std::copy(data_ + at_, data_ + at_ + length, destination);
        at_ += length;
        return true;
    }

private:
    const uint8_t* data_;
    size_t at_ = 0;
};

} // namespace

// Fills a CCoffFile from an input. Everything it keeps together is bounded by the file's
// length, so a file cannot ask for more memory than it occupies, however its sections
// point into one another.
class CoffParser {
public:
    static int Load(CoffInput& in, CCoffFile& target) {
        try {
            CCoffFile fresh;
            CoffParser parser(in);
            if (!parser.Parse(fresh))
                return 0;
            target = std::move(fresh);
            return 1;
        } catch (const std::bad_alloc&) {
            return 0;
        } catch (const std::length_error&) { // more than a 32-bit process can hold at once
            return 0;
        }
    }

private:
    explicit CoffParser(CoffInput& in) : in_(in), budget_(in.Size()) {}

    bool Take(uint64_t offset, uint64_t length, std::vector<uint8_t>& out) {
        return in_.Seek(offset) && TakeHere(length, out);
    }

    bool TakeHere(uint64_t length, std::vector<uint8_t>& out) {
        if (length > in_.Remaining() || length > budget_ ||
            length > std::numeric_limits<size_t>::max())
            return false;
        out.resize(static_cast<size_t>(length));
        if (!in_.Read(out.data(), length))
            return false;
        budget_ -= length;
        return true;
    }

    bool Parse(CCoffFile& f) {
        uint8_t record[COFF_SECTION_HEADER_SIZE];
        if (!in_.Read(record, COFF_FILE_HEADER_SIZE))
            return false;
        f.m_FileHeader = DecodeFileHeader(record);
        // Any other size names a header this reader does not know: it is neither read nor
        // skipped, and the section headers are taken from straight after the file header.
        if (f.m_FileHeader.optionalHeaderSize == COFF_OPTIONAL_HEADER_SIZE) {
            if (!in_.Read(record, COFF_OPTIONAL_HEADER_SIZE))
                return false;
            f.m_OptionalHeader = DecodeOptionalHeader(record);
        }

        const uint32_t count = f.m_FileHeader.sectionCount;
        if (count == 0 || uint64_t{count} * COFF_SECTION_HEADER_SIZE > in_.Remaining())
            return false;
        f.m_SectionHeaders.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (!in_.Read(record, COFF_SECTION_HEADER_SIZE))
                return false;
            f.m_SectionHeaders.push_back(DecodeSectionHeader(record));
        }

        f.m_Sections.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const CoffSectionHeader& h = f.m_SectionHeaders[i];
            CoffSectionContents& c = f.m_Sections[i];
            if (h.rawDataPointer && !Take(h.rawDataPointer, h.size, c.rawData))
                return false;
            if (h.relocationPointer &&
                !Take(h.relocationPointer, uint64_t{h.relocationCount} * COFF_RELOCATION_SIZE,
                      c.relocations))
                return false;
            if (h.lineNumberPointer &&
                !Take(h.lineNumberPointer, uint64_t{h.lineNumberCount} * COFF_LINE_NUMBER_SIZE,
                      c.lineNumbers))
                return false;
        }

        const CoffFileHeader& fh = f.m_FileHeader;
        if (fh.symbolTablePointer &&
            !Take(fh.symbolTablePointer, uint64_t{fh.symbolCount} * COFF_SYMBOL_SIZE, f.m_Symbols))
            return false;

        // The string table is taken from wherever the last read ended, symbols or not.
        uint8_t length[4];
        if (!in_.Read(length, sizeof length))
            return false;
        f.m_StringTableLength = CoffU32(length);
        if (f.m_StringTableLength < sizeof length ||
            !TakeHere(f.m_StringTableLength - sizeof length, f.m_StringTable))
            return false;

        f.m_Loaded = true;
        return true;
    }

    CoffInput& in_;
    uint64_t budget_;
};

int CCoffFile::Read(const char* fileName) {
    std::FILE* f = fileName ? std::fopen(fileName, "rb") : nullptr;
    if (!f)
        return 0;
    int result = 0;
    if (SeekToEnd(f) == 0) {
        const int64_t end = TellPosition(f);
        if (end >= 0 && SeekTo(f, 0) == 0) {
            FileInput in(f, static_cast<uint64_t>(end));
            result = CoffParser::Load(in, *this);
        }
    }
    std::fclose(f);
    return result;
}

int CCoffFile::ReadBytes(const uint8_t* data, size_t size) {
    if (!data && size)
        return 0;
    MemoryInput in(data, size);
    return CoffParser::Load(in, *this);
}
