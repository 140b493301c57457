#include <cstring>

#include "CoffFile.h"
#include "ImageLoader.h"

namespace {

// The lowest physical address and the span of addresses that the sections with raw data
// cover. No such section spans nothing. False for a span past 4 GiB, which the 32-bit
// measure cannot report.
bool LoadableSpan(const CCoffFile& coff, uint32_t& lowest, uint32_t& span) {
    uint64_t low = 0xFFFFFFFF;
    uint64_t high = 0;
    bool any = false;
    for (const CoffSectionHeader& h : coff.SectionHeaders()) {
        if (!h.rawDataPointer)
            continue;
        any = true;
        if (h.physicalAddress < low)
            low = h.physicalAddress;
        if (uint64_t{h.physicalAddress} + h.size > high)
            high = uint64_t{h.physicalAddress} + h.size;
    }
    lowest = static_cast<uint32_t>(low);
    if (!any) {
        span = 0;
        return true;
    }
    if (high - low > 0xFFFFFFFF)
        return false;
    span = static_cast<uint32_t>(high - low);
    return true;
}

} // namespace

uint32_t CImageLoader::CoffMeasure() {
    CCoffFile lcoff;
    uint32_t lowest = 0;
    uint32_t span = 0;
    if (!lcoff.Read(m_FileName) || !LoadableSpan(lcoff, lowest, span))
        return size;
    size = span;
    return size;
}

int CImageLoader::CoffLoad() {
    CCoffFile lcoff;
    uint32_t lowest = 0;
    uint32_t span = 0;
    // The destination was sized by the last measure; the file may have changed since.
    if (!lcoff.Read(m_FileName) || !LoadableSpan(lcoff, lowest, span) || span > size ||
        (span && !m_pDestination)) {
        m_ErrorCode = ERR_OPEN;
        return 0;
    }
    const std::vector<CoffSectionHeader>& headers = lcoff.SectionHeaders();
    for (size_t i = 0; i < headers.size(); ++i) {
        const std::vector<uint8_t>& raw = lcoff.Sections()[i].rawData;
        if (headers[i].rawDataPointer && !raw.empty())
            std::memcpy(m_pDestination + (headers[i].physicalAddress - lowest), raw.data(),
                        raw.size());
    }
    return 1;
}
