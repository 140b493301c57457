#include "TerminalEscape.h"

#include <cstdint>
#include <cstdio>

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char text[12];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// The length of the well-formed UTF-8 sequence at `s[i]`, and its code point; 0 when the bytes
// there are not one (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
size_t DecodeUtf8(const std::string& s, size_t i, uint32_t& code) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    size_t length = 0;
    uint32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1Fu, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0Fu, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (c & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string EscapeControls(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, "\\x%02X", c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t code = 0;
        const size_t length = DecodeUtf8(utf8, i, code);
        if (length == 0) {
            AppendEscape(out, "\\x%02X", c);
            ++i;
        } else if (code < 0xA0) {
            AppendEscape(out, "\\u%04X", code); // C1 controls: CSI, NEL and the rest
            i += length;
        } else {
            out.append(utf8, i, length);
            i += length;
        }
    }
    return out;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t code = 0;
        const size_t length = c < 0x80 ? 1 : DecodeUtf8(utf8, i, code);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || length == 0) {
            // A control, or a byte that is not UTF-8: the Latin-1 character of its value.
            AppendEscape(out, "\\u%04x", c);
        } else {
            out.append(utf8, i, length);
            i += length;
            continue;
        }
        ++i;
    }
    return out + "\"";
}
