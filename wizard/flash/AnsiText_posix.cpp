#include "UpdateImage.h"

// Windows-1252 stands in for the ANSI code page where there is none.
std::wstring DecodeAnsi(const std::string& bytes) {
    // 0x80..0x9F of Windows-1252; 0 marks the five codes it leaves undefined.
    static const char16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c >= 0x80 && c < 0xA0)
            out.push_back(high[c - 0x80] ? static_cast<wchar_t>(high[c - 0x80])
                                         : static_cast<wchar_t>(c));
        else
            out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}
