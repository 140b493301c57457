#include "PackageFormat.h"

#include <algorithm>

namespace package {

bool IsPackageSize(uint64_t ownFileSize) {
    return ownFileSize > kBuilderMaxSize;
}

void PutLe32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetLe32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

NameField EncodeName(const std::u16string& name) {
    NameField field{};
    const size_t units = std::min(name.size(), kNameFieldUnits);
    for (size_t i = 0; i < units; ++i) {
        field[2 * i] = static_cast<uint8_t>(name[i]);
        field[2 * i + 1] = static_cast<uint8_t>(name[i] >> 8);
    }
    return field;
}

std::u16string DecodeName(const uint8_t* field, size_t bytes) {
    bytes = std::min(bytes, kNameFieldBytes);
    std::u16string name;
    for (size_t i = 0; i < bytes; i += 2) {
        const uint8_t high = i + 1 < bytes ? field[i + 1] : 0;
        const char16_t unit = static_cast<char16_t>(field[i] | high << 8);
        if (unit == 0)
            break;
        name += unit;
    }
    return name;
}

std::optional<size_t> FindSelfLengthMarker(const uint8_t* image, size_t size, uint32_t marker) {
    for (size_t at = 0; at + 8 <= size; at += 4) {
        if (GetLe32(image + at) == marker)
            return at;
    }
    return std::nullopt;
}

namespace {

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// Windows opens a device, not a file, for these names, with or without an extension.
bool IsDeviceName(const std::u16string& name) {
    std::u16string base = name.substr(0, name.find(u'.'));
    while (!base.empty() && base.back() == u' ')
        base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), Upper);
    static const char16_t* const kDevices[] = {u"CON",    u"PRN",     u"AUX",   u"NUL",
                                               u"CONIN$", u"CONOUT$", u"CLOCK$"};
    for (const char16_t* device : kDevices) {
        if (base == device)
            return true;
    }
    if (base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0))
        return (base[3] >= u'0' && base[3] <= u'9') || base[3] == u'\u00B9' ||
               base[3] == u'\u00B2' || base[3] == u'\u00B3';
    return false;
}

} // namespace

bool IsPlainFileName(const std::u16string& name) {
    if (name.empty() || name.find_first_not_of(u'.') == std::u16string::npos)
        return false;
    for (char16_t c : name) {
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
            return false;
    }
    return !IsDeviceName(name);
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace package
