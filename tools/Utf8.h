#pragma once

#include <cstdint>
#include <string>

// The wizard's wide texts for a terminal or a JSON stream. Covers the Basic Multilingual Plane,
// which is all an ANSI code page or the kit's own texts can hold.
inline std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12 & 0x0F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
